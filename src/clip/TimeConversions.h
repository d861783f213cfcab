// The time texts and time-of-day values of the clip bounds. Times are 32-bit signed
// milliseconds from the start of the video; a time of day is what the time pickers hold.
//
// Each conversion that fails hands its fixed message to core::ReportError (which ends the
// program) and returns a harmless value, so callers simply go on.
#pragma once

#include <QString>
#include <QTime>

#include <optional>

namespace clip {

// Whole seconds of ms (truncated) as hours:minutes:seconds, "%.2d:%.2d:%.2d", the hours not
// wrapped at 24 ("100:00:00"). Empty for a negative count, which no time can be.
std::optional<QString> FormatTime(int ms);

// FormatTime, or on failure ReportError("Could not convert integer to time string.",
// "CLM_IntToTimeStr") and an empty text.
QString IntToTimeStr(int ms);

// The time of day hh:mm:ss of ms (the fraction of a second dropped). A count that is
// negative or reaches 24 hours has none: ReportError as IntToTimeStr and an invalid QTime
// (which a time picker ignores).
QTime MsToTime(int ms);

// hours * 3600000 + minutes * 60000 + seconds * 1000 + milliseconds. An invalid time:
// ReportError("Could not get time in milliseconds", "CLM_GetTimeInMilliseconds") and 0.
int TimeToMs(const QTime &time);

}  // namespace clip
