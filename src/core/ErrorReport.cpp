#include "ErrorReport.h"

#include <cstdio>
#include <utility>

namespace core {

namespace {

ReportErrorHandler& InstalledHandler()
{
  static ReportErrorHandler handler;
  return handler;
}

}  // namespace

void SetReportErrorHandler(ReportErrorHandler handler)
{
  InstalledHandler() = std::move(handler);
}

void ReportError(const QString& message, const QString& mark)
{
  // A copy, so that a handler that installs another handler keeps running safely.
  const ReportErrorHandler handler = InstalledHandler();
  if (handler) {
    handler(message, mark);
    return;
  }
  try {
    const QByteArray text = (QStringLiteral("Error: ") + message + QStringLiteral(" [") + mark +
                             QStringLiteral("]\n")).toLocal8Bit();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    std::fflush(stderr);
  } catch (...) {
    // Out of memory while building the line: there is nowhere left to say so.
  }
}

}  // namespace core
