#include "ErrorReport.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

class ErrorReportTest : public testing::Test {
 protected:
  void TearDown() override { core::SetReportErrorHandler(nullptr); }
};

TEST_F(ErrorReportTest, ReachesTheInstalledHandlerWithMessageAndMark)
{
  std::vector<std::pair<QString, QString>> reports;
  core::SetReportErrorHandler([&](const QString& message, const QString& mark) {
    reports.emplace_back(message, mark);
  });

  core::ReportError(QStringLiteral("Error player step"), QStringLiteral("CLM_PlayerStep"));
  core::ReportError(QString(), QStringLiteral("CLM_open"));

  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].first, QStringLiteral("Error player step"));
  EXPECT_EQ(reports[0].second, QStringLiteral("CLM_PlayerStep"));
  EXPECT_TRUE(reports[1].first.isEmpty());
  EXPECT_EQ(reports[1].second, QStringLiteral("CLM_open"));
}

// The shell's handler runs a modal dialog; whatever it does to the handler meanwhile must
// not pull the running one from under it.
TEST_F(ErrorReportTest, HandlerMayReplaceItselfWhileRunning)
{
  int calls = 0;
  core::SetReportErrorHandler([&](const QString&, const QString&) {
    core::SetReportErrorHandler(nullptr);
    ++calls;
  });
  core::ReportError(QStringLiteral("Error pause player"), QStringLiteral("CLM_PausePlayer"));
  EXPECT_EQ(calls, 1);
}

TEST_F(ErrorReportTest, WithoutHandlerWritesMessageAndMarkToStderr)
{
  std::vector<QString> seen;
  core::SetReportErrorHandler([&](const QString& message, const QString&) { seen.push_back(message); });
  core::SetReportErrorHandler(nullptr);

  testing::internal::CaptureStderr();
  core::ReportError(QStringLiteral("Could not create images"), QStringLiteral("CLM_Img"));
  const std::string printed = testing::internal::GetCapturedStderr();

  EXPECT_TRUE(seen.empty());
  EXPECT_NE(printed.find("Could not create images"), std::string::npos) << printed;
  EXPECT_NE(printed.find("CLM_Img"), std::string::npos) << printed;
}

}  // namespace
