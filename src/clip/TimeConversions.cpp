#include "TimeConversions.h"

#include "ErrorReport.h"

namespace clip {

namespace {

constexpr int kMsPerDay = 24 * 3600 * 1000;

void ReportTimeStrFailure()
{
  core::ReportError(QStringLiteral("Could not convert integer to time string."),
                    QStringLiteral("CLM_IntToTimeStr"));
}

}  // namespace

std::optional<QString> FormatTime(int ms)
{
  if (ms < 0)
    return std::nullopt;
  const int s = ms / 1000;
  return QString::asprintf("%.2d:%.2d:%.2d", s / 3600, (s / 60) % 60, s % 60);
}

QString IntToTimeStr(int ms)
{
  if (const std::optional<QString> text = FormatTime(ms))
    return *text;
  ReportTimeStrFailure();
  return {};
}

QTime MsToTime(int ms)
{
  if (ms < 0 || ms >= kMsPerDay) {
    ReportTimeStrFailure();
    return {};
  }
  const int s = ms / 1000;
  return QTime(s / 3600, (s / 60) % 60, s % 60);
}

int TimeToMs(const QTime &time)
{
  if (!time.isValid()) {
    core::ReportError(QStringLiteral("Could not get time in milliseconds"),
                      QStringLiteral("CLM_GetTimeInMilliseconds"));
    return 0;
  }
  return time.hour() * 3600000 + time.minute() * 60000 + time.second() * 1000 + time.msec();
}

}  // namespace clip
