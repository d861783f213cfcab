// The Effects tab inside the main window: its controls reach the player's effect list and
// the log.
#include "PlayerTestSupport.h"
#include "TForm1.h"
#include "TestDoubles.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

void PointerClick(QWidget *widget)
{
    const QPointF centre(widget->rect().center());
    const QPointF global(widget->mapToGlobal(widget->rect().center()));
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

// The log's texts after their time stamps, from line `from` on.
QStringList LogTexts(const core::TActivityLog &log, int from)
{
    QStringList texts;
    for (int i = from; i < log.Count(); ++i)
        texts << log.Lines()[i].mid(log.Lines()[i].indexOf(QStringLiteral(" ---> ")));
    return texts;
}

using playertest::Bars;
using playertest::BarsOf;

} // namespace

TEST(TForm1Effects, ControlsChangeThePlayerEffectsAndResetLogsItsReleaseLast)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    const player::VideoEffects &effects = form.MediaPlayer1->Effects();
    const int linesBefore = form.ActivityLog.Count();

    form.ui.tbDarkness->setValue(100);
    form.ui.cbGreyscale->click();
    ASSERT_NE(effects.Find(14), nullptr);
    EXPECT_EQ(effects.Find(14)->_type, player::ef_darkness);
    EXPECT_EQ(effects.Find(14)->pAmountI, 100);
    ASSERT_NE(effects.Find(15), nullptr);
    EXPECT_TRUE(effects.Find(15)->Enabled);

    PointerClick(form.ui.Button1);
    EXPECT_EQ(form.ui.tbDarkness->value(), 0);
    EXPECT_EQ(effects.Find(14)->pAmountI, 0);
    EXPECT_FALSE(effects.Find(15)->Enabled);
    EXPECT_EQ(LogTexts(form.ActivityLog, linesBefore),
              (QStringList{QStringLiteral(" ---> Checking Greyscale box"),
                           QStringLiteral(" ---> Checking Greyscale box"),
                           QStringLiteral(" ---> Reset Effects button clicked")}));
}

TEST(TForm1Effects, FontChosenInTheDialogGoesToTheOverlay)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPointSize(12);
    prompts.FontAnswers.push_back(std::make_pair(font, QColor(Qt::red)));
    form.ui.cbTextLogo->click();
    form.ui.btFont->click();

    const player::CVFEffect *overlay = form.MediaPlayer1->Effects().Find(16);
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->Enabled);
    EXPECT_EQ(overlay->TextLogo.text, QStringLiteral("My Text"));
    EXPECT_EQ(overlay->TextLogo.font_name, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(overlay->TextLogo.font_size, 12);
    EXPECT_EQ(overlay->TextLogo.font_color, 0x0000FFu);
    EXPECT_EQ(LogTexts(form.ActivityLog, form.ActivityLog.Count() - 2),
              (QStringList{QStringLiteral(" ---> Text Overlay checkbox clicked"),
                           QStringLiteral(" ---> Font button clicked")}));
}

// Opening clears the player's effects: the controls keep their positions, but nothing is in
// force until one of them changes again.
TEST(TForm1Effects, OpeningAnotherVideoDropsTheEffectsUntilAControlChanges)
{
    using playertest::kHangMs;
    using playertest::WaitUntil;
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    const auto open = [&] {
        prompts.OpenFileAnswers.push_back(playertest::Sample("h264_640x480.mp4"));
        form.OpenButtonClick();
        return WaitUntil([&] { return form.MediaPlayer1->Status() == player::ST_PLAY; }, kHangMs);
    };
    ASSERT_TRUE(open());
    form.ui.tbLightness->setValue(100);
    form.ui.cbGreyscale->click();
    const auto shows = [&](Bars bars) {
        return WaitUntil([&] { return BarsOf(form.MediaPlayer1->Frame_GetCurrent()) == bars; }, kHangMs);
    };
    ASSERT_TRUE(shows(Bars::Grey));

    ASSERT_TRUE(open());
    EXPECT_TRUE(form.MediaPlayer1->Effects().Items().empty());
    EXPECT_EQ(form.ui.tbLightness->value(), 100);
    EXPECT_TRUE(form.ui.cbGreyscale->isChecked());
    EXPECT_TRUE(shows(Bars::Colour));

    form.ui.tbLightness->setValue(101);
    ASSERT_EQ(form.MediaPlayer1->Effects().Items().size(), 1u);
    EXPECT_EQ(form.MediaPlayer1->Effects().Items()[0].ID, 11);
    EXPECT_EQ(form.MediaPlayer1->Effects().Items()[0].pAmountI, 101);
}
