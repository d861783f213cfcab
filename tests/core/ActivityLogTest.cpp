#include "ActivityLog.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <ctime>
#include <ostream>
#include <string>

namespace {

// Switches LC_TIME for one test and restores it afterwards.
class TimeLocale {
 public:
  explicit TimeLocale(const char* name)
  {
    FPrevious = std::setlocale(LC_TIME, nullptr);
    FActive = std::setlocale(LC_TIME, name) != nullptr;
  }
  ~TimeLocale() { std::setlocale(LC_TIME, FPrevious.c_str()); }
  bool Active() const { return FActive; }

 private:
  std::string FPrevious;
  bool FActive = false;
};

std::string StrftimeX(const QDateTime& when)
{
  const std::time_t seconds = static_cast<std::time_t>(when.toSecsSinceEpoch());
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[128];
  const std::size_t length = std::strftime(text, sizeof text, "%X", &local);
  return std::string(text, length);
}

struct LocaleCase {
  const char* locale;
  const char* pattern;  // the whole stamp of 15:04:09 local time
  friend std::ostream& operator<<(std::ostream& out, const LocaleCase& c) { return out << c.locale; }
};

class LongTimeStampTest : public testing::TestWithParam<LocaleCase> {};

// An afternoon time with one-digit fields shows both the hour form and the padding.
TEST_P(LongTimeStampTest, IsTheLocaleLongTimeFormat)
{
  const TimeLocale locale(GetParam().locale);
  if (!locale.Active())
    GTEST_SKIP() << GetParam().locale << " is not installed";
  const QDateTime when(QDate(2024, 3, 5), QTime(15, 4, 9), Qt::LocalTime);

  const QString stamp = core::LongTimeStamp(when);

  EXPECT_EQ(stamp.toStdString(), StrftimeX(when));
  EXPECT_TRUE(QRegularExpression(QString::fromLatin1(GetParam().pattern)).match(stamp).hasMatch())
      << stamp.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Locales, LongTimeStampTest,
                         testing::Values(LocaleCase{"C", "^15:04:09$"},
                                         LocaleCase{"C.UTF-8", "^15:04:09$"},
                                         LocaleCase{"en_US.UTF-8", "^0?3:04:09 PM$"}),
                         [](const auto& info) {
                           std::string name = info.param.locale;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           return name;
                         });

TEST(LongTimeStampTest, ShowsLocalTimeOfAnUtcInstant)
{
  const TimeLocale locale("C");
  const QDateTime utc = QDateTime(QDate(2024, 7, 1), QTime(23, 59, 58), Qt::UTC);
  EXPECT_EQ(core::LongTimeStamp(utc), utc.toLocalTime().time().toString(QStringLiteral("HH:mm:ss")));
}

TEST(LogEventTest, AppendsTheCurrentStampImmediatelyFollowedByTheText)
{
  const TimeLocale locale("C");
  core::TActivityLog log;
  log.Add(QStringLiteral("earlier line"));

  const QDateTime before = QDateTime::currentDateTime();
  core::LogEvent(log, QStringLiteral(" ---> Open is clicked."));
  const QDateTime after = QDateTime::currentDateTime();

  ASSERT_EQ(log.Count(), 2);
  EXPECT_EQ(log.Lines().at(0), QStringLiteral("earlier line"));
  const QString line = log.Lines().at(1);
  // The clock may pass a second boundary between the reads.
  const QString text = QStringLiteral(" ---> Open is clicked.");
  EXPECT_TRUE(line == core::LongTimeStamp(before) + text || line == core::LongTimeStamp(after) + text)
      << line.toStdString();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d ---> Open is clicked\\.$"))
                  .match(line)
                  .hasMatch());
}

TEST(LogEventTest, KeepsLinesInOrderAndAsGiven)
{
  core::TActivityLog log;
  core::LogEvent(log, QStringLiteral(" ---> Convert is clicked."));
  log.Add(QStringLiteral("    Frame rate: 10"));
  log.Add(QString());
  core::LogEvent(log, QStringLiteral(" ---> Log is closed."));

  ASSERT_EQ(log.Count(), 4);
  EXPECT_TRUE(log.Lines().at(0).endsWith(QStringLiteral(" ---> Convert is clicked.")));
  EXPECT_EQ(log.Lines().at(1), QStringLiteral("    Frame rate: 10"));
  EXPECT_TRUE(log.Lines().at(2).isEmpty());
  EXPECT_TRUE(log.Lines().at(3).endsWith(QStringLiteral(" ---> Log is closed.")));
}

}  // namespace
