#include "TestDoubles.h"

#include <gtest/gtest.h>

namespace {

using core::IPrompts;
using core::ScriptedPrompts;

TEST(ScriptedPromptsTest, AnswersInOrderThenCancelsAndRecordsEveryCall)
{
  ScriptedPrompts prompts;
  prompts.ErrorAnswers = {IPrompts::ErrorAnswer::Send};
  prompts.OpenFileAnswers = {QStringLiteral("/videos/a.mp4")};
  QFont chosen(QStringLiteral("DejaVu Sans"), 20);
  prompts.FontAnswers = {std::make_pair(chosen, QColor(Qt::red))};
  IPrompts& seam = prompts;

  seam.Warning(QStringLiteral("Please open a video."));
  EXPECT_EQ(seam.ErrorDialog(QStringLiteral("first")), IPrompts::ErrorAnswer::Send);
  EXPECT_EQ(seam.ErrorDialog(QStringLiteral("second")), IPrompts::ErrorAnswer::DontSend);
  EXPECT_EQ(seam.ChooseOpenFile(QStringLiteral("/videos"), QStringLiteral("All|*.*")),
            QStringLiteral("/videos/a.mp4"));
  EXPECT_TRUE(seam.ChooseOpenFile(QStringLiteral("/videos"), QString()).isEmpty());

  QFont font(QStringLiteral("Tahoma"));
  QColor color(Qt::white);
  EXPECT_TRUE(seam.ChooseFont(font, color));
  EXPECT_EQ(font, chosen);
  EXPECT_EQ(color, QColor(Qt::red));
  EXPECT_FALSE(seam.ChooseFont(font, color));
  EXPECT_EQ(font, chosen) << "a cancelled font dialog changes nothing";

  ASSERT_EQ(prompts.Calls.size(), 7u);
  EXPECT_EQ(prompts.Warnings(), QStringList{QStringLiteral("Please open a video.")});
  EXPECT_EQ(prompts.Texts(ScriptedPrompts::Kind::ErrorDialog),
            (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
  EXPECT_EQ(prompts.Calls[3].filter, QStringLiteral("All|*.*"));
}

TEST(ScriptedPromptsTest, WhileOpenRunsInsideThePrompt)
{
  ScriptedPrompts prompts;
  std::size_t recordedWhenRun = 0;
  prompts.WhileOpen = [&](const ScriptedPrompts::Call&) { recordedWhenRun = prompts.Calls.size(); };
  prompts.Warning(QStringLiteral("x"));
  EXPECT_EQ(recordedWhenRun, 1u);
}

TEST(RecordingOpenerTest, RecordsTextsAsGivenAndAnswersAsConfigured)
{
  core::RecordingOpener opener;
  opener.Result = false;
  const QString mail = QStringLiteral("mailto:support@zentiq.example?subject=ERROR REPORT | Quorvane&body=x");
  EXPECT_FALSE(static_cast<core::IUrlOpener&>(opener).Open(mail));
  EXPECT_EQ(opener.Opened, QStringList{mail});
}

}  // namespace
