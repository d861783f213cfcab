#include "ResultPage.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUrl>

#include "ErrorReport.h"
#include "SpecialPaths.h"

namespace convert {

QString ResultWorkDir(const QString& appData)
{
  return appData + QStringLiteral("/Zentiq/Quorvane");
}

QString ResultGifPath(const QString& workDir)
{
  return workDir + QStringLiteral("/out.gif");
}

QString ResultPagePath(const QString& workDir)
{
  return workDir + QStringLiteral("/out.html");
}

QByteArray ResultPageText()
{
  // Line 4 has two blanks before "from"; the div is left open.
  return QByteArrayLiteral(
      "<html><head><title>Result of Conversion</title></head>\r\n"
      "<body>\r\n"
      "<div align=\"center\">The video was successfully converted to animated GIF!<br>\r\n"
      "You can right click on this image and choose \"Save image...\"  from the popup menu.<br><br>\r\n"
      "<img src=\"out.gif\"><br><br>\r\n"
      "</body></html>\r\n");
}

namespace {

// Creates the folder when it is missing; false when it is missing and cannot be made.
bool EnsureFolder(const QString& path)
{
  return QDir(path).exists() || QDir().mkdir(path);
}

// Writes the page in one piece; on failure returns the error's text.
bool WritePage(const QString& path, QString& error)
{
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
    return false;
  }
  const QByteArray text = ResultPageText();
  if (file.write(text) != text.size() || !file.commit()) {
    error = QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

}  // namespace

void ShowResult(gifimage::TGIFImage* image, QString& workDir, core::IPrompts& prompts,
                core::IUrlOpener& opener)
{
  if (!image || image->Empty()) {
    prompts.Warning(QStringLiteral("GIF is empty."));
    return;
  }

  // An unresolvable application-data folder counts as a failure here: an empty prefix
  // would put the folders at the root of the file system.
  const QString appData = core::GetSpecialPath(core::sfApplicationData);
  bool made = !appData.isEmpty() && EnsureFolder(appData + QStringLiteral("/Zentiq"));
  if (made) {
    workDir = ResultWorkDir(appData);
    made = EnsureFolder(workDir);
  }
  if (!made) {
    core::ReportError(QStringLiteral("Cannot create folder in Application Data"), QStringLiteral("CLM_GetSpecialPath"));
    return;
  }

  const QString gifPath = ResultGifPath(workDir);
  try {
    image->SaveToFile(QFile::encodeName(gifPath).toStdString());
  } catch (...) {
    core::ReportError(QStringLiteral("Cannot save temporary GIF to") + gifPath, QStringLiteral("CLM_GIFSave1"));
    return;
  }

  const QString pagePath = ResultPagePath(workDir);
  QString error;
  if (!WritePage(pagePath, error)) {
    prompts.Warning(error);
    return;
  }
  opener.Open(QUrl::fromLocalFile(pagePath).toString(QUrl::FullyEncoded));
}

}  // namespace convert
