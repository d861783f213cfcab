// The in-memory activity log: every user action appends a time-stamped line, some actions
// add continuation lines without a stamp. Never written to disk, never trimmed.
// UI thread only.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace core {

// Append-only list of text lines; nothing edits or removes a line.
class TActivityLog {
 public:
  void Add(const QString& line) { FLines.append(line); }
  const QStringList& Lines() const { return FLines; }
  int Count() const { return static_cast<int>(FLines.size()); }

 private:
  QStringList FLines;
};

// The local wall-clock time of `when` in the current C locale's long time format
// (strftime "%X" of LC_TIME): hours, minutes and seconds, plus the AM/PM designator where
// the locale uses a 12-hour clock; no date. A locale whose format gives nothing falls back
// to 24-hour "HH:MM:SS".
QString LongTimeStamp(const QDateTime& when);

// Appends LongTimeStamp(now) immediately followed by `text` (callers pass texts that begin
// with " ---> "). Cannot fail.
void LogEvent(TActivityLog& log, const QString& text);

}  // namespace core
