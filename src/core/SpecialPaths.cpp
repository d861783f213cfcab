#include "SpecialPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include "ErrorReport.h"

namespace core {

namespace {

QString WithoutTrailingSeparator(QString path)
{
  path = QDir::cleanPath(QDir::fromNativeSeparators(path));
  while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
    path.chop(1);
  return path;
}

// The user's folder of that kind, created when missing; empty when it cannot be had.
QString UserFolder(QStandardPaths::StandardLocation location)
{
  const QString path = QStandardPaths::writableLocation(location);
  if (path.isEmpty())
    return {};
  if (!QDir().mkpath(path))
    return {};
  return WithoutTrailingSeparator(path);
}

}  // namespace

QString GetSpecialPath(int folderId)
{
  try {
    switch (folderId) {
      case sfDocuments:
        return UserFolder(QStandardPaths::DocumentsLocation);
      case sfVideos:
        return UserFolder(QStandardPaths::MoviesLocation);
      case sfApplicationData:
        return UserFolder(QStandardPaths::GenericDataLocation);
      case sfProgramFiles:
        if (QCoreApplication::instance() == nullptr)
          return {};
        return WithoutTrailingSeparator(QCoreApplication::applicationDirPath());
      default:
        return {};
    }
  } catch (...) {
    ReportError(QStringLiteral("Could not get standard path"), QStringLiteral("CLM_GetSpecialPath"));
    return {};
  }
}

}  // namespace core
