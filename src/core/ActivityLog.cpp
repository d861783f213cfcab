#include "ActivityLog.h"

#include <QTime>

#include <ctime>
#include <cwchar>

namespace core {

QString LongTimeStamp(const QDateTime& when)
{
  // localtime_r rather than QDateTime's own fields, so that the zone and DST fields that a
  // locale's "%X" may print are filled in the way strftime expects.
  const std::time_t seconds = static_cast<std::time_t>(when.toSecsSinceEpoch());
  std::tm local{};
  if (localtime_r(&seconds, &local) != nullptr) {
    // The wide variant converts from the locale's own character set.
    wchar_t buffer[128];
    const std::size_t length = std::wcsftime(buffer, sizeof buffer / sizeof buffer[0], L"%X", &local);
    if (length > 0)
      return QString::fromWCharArray(buffer, static_cast<qsizetype>(length));
  }
  return when.toLocalTime().time().toString(QStringLiteral("HH:mm:ss"));
}

void LogEvent(TActivityLog& log, const QString& text)
{
  log.Add(LongTimeStamp(QDateTime::currentDateTime()) + text);
}

}  // namespace core
