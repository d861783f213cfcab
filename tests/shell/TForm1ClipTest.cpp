// Opening a video, the transport and trimming, and the window commands, driven at window
// level on the sample videos with scripted prompts and a recording URL opener.
#include <QAction>
#include <QApplication>
#include <QSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimeEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include "PlayerTestSupport.h"
#include "ShellTestSupport.h"
#include "TForm1.h"
#include "TTrackBarSelection.h"
#include "TestDoubles.h"

namespace {

using playertest::kHangMs;
using playertest::Sample;
using playertest::WaitUntil;
using Kind = core::ScriptedPrompts::Kind;
using shelltest::Events;
using shelltest::ShownFrame;

const QString kCannotPlay = QStringLiteral("Could not play video. Please try to open another file.");

QString Panel(const TForm1 &form, int index)
{
    return form.StatusPanel(index)->text();
}

clip::TTrackBarSelection *Selection(const TForm1 &form)
{
    return form.ui.VideoTrackBar->findChild<clip::TTrackBarSelection *>();
}

class ClipWindow : public ::testing::Test
{
protected:
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form{prompts, opener};

    // Opens a sample through the open dialog and waits until it plays.
    void Open(const char *name) { ASSERT_TRUE(shelltest::OpenSample(form, prompts, name)); }

    // Pauses and moves the player to ms, waiting until the picture is there.
    void PauseAt(int ms)
    {
        if (form.State.PlayerState != 2)
            form.PauseButtonClick();
        form.MediaPlayer1->Position_Set_Time(ms);
        ASSERT_TRUE(WaitUntil([&] { return ShownFrame(form) == ms * 30 / 1000; }, kHangMs)) << ms;
    }
};

TEST_F(ClipWindow, OpenReadsTheVideoLetterboxesItAndPlays)
{
    form.show();
    Open("h264_640x480.mp4");
    const core::ConversionState &s = form.State;
    EXPECT_EQ(s.FDuration, 3000);
    EXPECT_EQ(s.SourceWidth, 640);
    EXPECT_EQ(s.SourceHeight, 480);
    EXPECT_EQ((QList<int>{s.DisplayLeft, s.DisplayTop, s.DisplayWidth, s.DisplayHeight}),
              (QList<int>{12, 0, 351, 263}));
    ASSERT_NE(s.GrabBitmap, nullptr);
    EXPECT_EQ(s.GrabBitmap->size(), QSize(640, 480));
    EXPECT_EQ(s.GrabBitmap->pixel(320, 240), qRgb(0, 0, 0));
    EXPECT_EQ(form.ui.VideoTrackBar->maximum(), 3);
    EXPECT_EQ(s.ClipStartMs, 0);
    EXPECT_EQ(s.ClipEndMs, 3000);
    EXPECT_FALSE(s.ClipBounded);
    EXPECT_EQ(form.ui.TimeEnd->time(), QTime(0, 0, 3));
    EXPECT_EQ(form.ui.GroupBox1->title(), QStringLiteral("Preview - h264_640x480.mp4"));
    EXPECT_EQ(Panel(form, 0), QStringLiteral("Start: 00:00:00"));
    EXPECT_EQ(Panel(form, 1), QStringLiteral("End: 00:00:03"));
    EXPECT_EQ(Panel(form, 4), QStringLiteral("Status: Ready"));
    EXPECT_EQ(s.PlayerState, 1);
    EXPECT_TRUE(form.ui.PlayButton->isHidden());
    EXPECT_FALSE(form.ui.PauseButton->isHidden());
    EXPECT_TRUE(s.FfdshowHintShown);
    EXPECT_EQ(form.dlgopen.Files, QStringList{Sample("h264_640x480.mp4")});
    EXPECT_EQ(Events(form.ActivityLog),
              (QStringList{QStringLiteral(" ---> Open is clicked."), QStringLiteral(" ---> Open file h264_640x480.mp4"),
                           QStringLiteral(" ---> Play clicked.")}));
    ASSERT_EQ(prompts.Calls.size(), 1u) << "only the open dialog, no warning or error";
    EXPECT_EQ(prompts.Calls[0].kind, Kind::ChooseOpenFile);
    EXPECT_EQ(prompts.Calls[0].text, form.dlgopen.InitialDir);
    EXPECT_EQ(prompts.Calls[0].filter, form.dlgopen.Filter);

    // The crop is the whole picture, its frame shown around the letterboxed picture.
    EXPECT_EQ((QList<int>{form.ui.edLeft->value(), form.ui.edTop->value(), form.ui.edWidth->value(),
                          form.ui.edHeight->value()}),
              (QList<int>{0, 0, 640, 480}));
    const auto line = [&](const char *name) {
        const QWidget *element = form.ui.PanelB->findChild<QWidget *>(QLatin1String(name));
        return element && element->isVisible() ? element->geometry() : QRect();
    };
    EXPECT_EQ(line("lnleft").x(), 12);
    EXPECT_EQ(line("lnright").x(), 362);
    EXPECT_EQ(line("lntop").y(), 0);
    EXPECT_EQ(line("lnBottom").y(), 262);
    EXPECT_EQ(QApplication::focusWidget(), form.ui.StartConvertButton);

    // The position display takes over the status text.
    EXPECT_TRUE(WaitUntil([&] { return Panel(form, 4) == QStringLiteral("Status: Playing"); }, kHangMs));
}

TEST_F(ClipWindow, SecondOpenReplacesTheFirstVideo)
{
    Open("h264_640x480_8s.mp4");
    form.MediaPlayer1->Effects().Video_Effect_Ex(1, 0, 0, true, player::ef_lightness, 40, QString());
    Open("h264_1280x720.mp4");
    EXPECT_EQ(form.State.FDuration, 3000);
    EXPECT_EQ(form.State.GrabBitmap->size(), QSize(1280, 720));
    EXPECT_EQ((QList<int>{form.State.DisplayLeft, form.State.DisplayTop, form.State.DisplayWidth,
                          form.State.DisplayHeight}),
              (QList<int>{0, 26, 375, 211}));
    EXPECT_EQ(form.ui.VideoTrackBar->maximum(), 3);
    EXPECT_TRUE(form.MediaPlayer1->Effects().Items().empty()) << "earlier effects are dropped";
}

TEST_F(ClipWindow, CancelInTheOpenDialogOnlyLogs)
{
    form.OpenButtonClick();
    EXPECT_EQ(Events(form.ActivityLog), QStringList{QStringLiteral(" ---> Open is clicked.")});
    EXPECT_TRUE(form.MediaPlayer1->FilenameOrURL.isEmpty());
    EXPECT_TRUE(form.dlgopen.Files.isEmpty());
    EXPECT_EQ(form.State.PlayerState, 0);
    EXPECT_EQ(Panel(form, 4), QStringLiteral("Status: Awaiting Video"));
}

// A file the player cannot show ends in the report that fits, runs the close path, and
// starts nothing afterwards.
TEST(ClipOpenFailure, UnplayableFilesAreReportedAndNothingPlays)
{
    for (const char *name : {"truncated.mp4", "not_media.mp4", "audio_only.m4a"}) {
        SCOPED_TRACE(name);
        core::ScriptedPrompts prompts;
        core::RecordingOpener opener;
        TForm1 form(prompts, opener);
        int installerStarts = 0;
        form.StartDecoderInstaller = [&] { ++installerStarts; };
        prompts.OpenFileAnswers.push_back(Sample(name));
        form.OpenButtonClick();
        EXPECT_EQ(prompts.Texts(Kind::ErrorDialog), QStringList{kCannotPlay});
        EXPECT_FALSE(form.State.CodecPackMissing);
        EXPECT_EQ(installerStarts, 0);
        EXPECT_TRUE(form.State.ClosingDone);
        EXPECT_EQ(Events(form.ActivityLog),
                  (QStringList{QStringLiteral(" ---> Open is clicked."), QStringLiteral(" ---> Close the program."),
                               QStringLiteral(" ---> Play clicked.")}));
        EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_FREE);
        EXPECT_EQ(form.State.PlayerState, 0);
    }
}

// A decoder looks missing only when ranked down before GStreamer starts: a child copy of
// this program runs the check.
TEST(ClipOpenMissingDecoder, IsReportedWithTheRemedyAndTheInstaller)
{
    constexpr const char *kChildFlag = "QUORVANE_CLIP_OPEN_CHILD";
    if (!playertest::IsChild(kChildFlag)) {
        playertest::ExpectChildPasses(kChildFlag, "ClipOpenMissingDecoder.*",
                                      {QStringLiteral("GST_PLUGIN_FEATURE_RANK=avdec_h264:NONE,openh264dec:NONE")});
        return;
    }
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    int installerStarts = 0;
    form.StartDecoderInstaller = [&] { ++installerStarts; };
    prompts.OpenFileAnswers.push_back(Sample("h264_640x480.mp4"));
    form.OpenButtonClick();
    EXPECT_EQ(prompts.Texts(Kind::ErrorDialog),
              QStringList{QStringLiteral("Could not play video. Please install GStreamer libav plugins "
                                         "(gstreamer1.0-libav). After that, run the program again.")});
    EXPECT_TRUE(form.State.CodecPackMissing);
    EXPECT_EQ(installerStarts, 1);
    EXPECT_TRUE(form.State.ClosingDone);
    EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_FREE);
}

struct TStepCase {
    int fromMs;
    int toMs;
    int tick;
};

// A 0.1 s step that moves the rounded second ends on the whole second (the trackbar's
// change seeks there); one that does not stays where the step put it.
TEST_F(ClipWindow, StepForwardEndsOnTheWholeSecondWhenTheTickMoves)
{
    Open("h264_640x480_8s.mp4");
    for (const TStepCase c : {TStepCase{5450, 6000, 6}, TStepCase{5100, 5200, 5}}) {
        SCOPED_TRACE(c.fromMs);
        PauseAt(c.fromMs);
        {
            // The bar as the position display left it, without seeking.
            const QSignalBlocker quiet(form.ui.VideoTrackBar);
            form.ui.VideoTrackBar->setValue(5);
        }
        form.ui.Button3->click();
        EXPECT_EQ(form.MediaPlayer1->Position_Get_Time(), c.toMs);
        EXPECT_EQ(form.ui.VideoTrackBar->value(), c.tick);
        EXPECT_EQ(Panel(form, 2), QStringLiteral("Current: 00:00:0") + QString::number(c.tick));
        ASSERT_TRUE(WaitUntil([&] { return ShownFrame(form) == c.toMs * 30 / 1000; }, kHangMs));
        EXPECT_EQ(form.MediaPlayer1->Position_Get_Time(), c.toMs) << "no extra seek";
    }
    EXPECT_EQ(Events(form.ActivityLog).last(), QStringLiteral(" ---> 0.1 sec. right clicked."));
}

TEST_F(ClipWindow, StepPausesAPlayingVideo)
{
    Open("h264_640x480_8s.mp4");
    ASSERT_TRUE(WaitUntil([&] { return form.MediaPlayer1->Position_Get_Time() >= 1000; }, kHangMs));
    form.ui.Button5->click();
    EXPECT_EQ(form.State.PlayerState, 2);
    EXPECT_FALSE(form.State.StepBusy);
    EXPECT_FALSE(form.ui.PlayButton->isHidden());
    EXPECT_TRUE(form.ui.PauseButton->isHidden());
    EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_PAUSE);
}

TEST_F(ClipWindow, SetStartAndSetEndMarkTheClipAndCollapseItAcrossTheOtherBound)
{
    Open("h264_640x480_8s.mp4");
    ASSERT_EQ(form.State.ClipEndMs, 8000);
    PauseAt(2000);
    form.ui.TrimLeftButton->click();
    EXPECT_EQ(form.State.ClipStartMs, 2000);
    EXPECT_EQ(form.State.ClipEndMs, 8000);
    EXPECT_EQ(form.ui.TimeStart->time(), QTime(0, 0, 2));
    EXPECT_EQ(Panel(form, 0), QStringLiteral("Start: 00:00:02"));
    ASSERT_NE(Selection(form), nullptr);
    EXPECT_EQ(Selection(form)->SelStart(), 2);
    EXPECT_EQ(Selection(form)->SelEnd(), 8);
    // Bar at 8, 391 wide, maximum 8: 375 / 8 pixels per second past the 8-pixel margin.
    EXPECT_EQ(form.ui.imgTrimStart->x(), 8 + 8 - 15 + 94);
    EXPECT_EQ(form.ui.imgTrimEnd->x(), 8 + 8 + 375);

    // Set Start at or after the end: both bounds become the position.
    PauseAt(5000);
    form.ui.TrimRightButton->click();
    PauseAt(6000);
    form.ui.TrimLeftButton->click();
    EXPECT_EQ(form.State.ClipStartMs, 6000);
    EXPECT_EQ(form.State.ClipEndMs, 6000);
    EXPECT_EQ(Panel(form, 0), QStringLiteral("Start: 00:00:06"));
    EXPECT_EQ(Panel(form, 1), QStringLiteral("End: 00:00:06"));
    EXPECT_EQ(form.ui.TimeEnd->time(), QTime(0, 0, 6));
    EXPECT_FALSE(Selection(form)->BandShown());
    EXPECT_EQ(form.ui.imgTrimStart->x() + form.ui.imgTrimStart->width(), form.ui.imgTrimEnd->x());

    // Set End at or before the start: the same.
    PauseAt(1000);
    form.ui.TrimRightButton->click();
    EXPECT_EQ(form.State.ClipStartMs, 1000);
    EXPECT_EQ(form.State.ClipEndMs, 1000);
    EXPECT_EQ(Panel(form, 0), QStringLiteral("Start: 00:00:01"));

    // Reset: the whole video again, the shown selection cleared, the markers kept.
    const int startMarker = form.ui.imgTrimStart->x();
    form.ui.resetbutton->click();
    EXPECT_EQ(form.State.ClipStartMs, 0);
    EXPECT_EQ(form.State.ClipEndMs, 8000);
    EXPECT_EQ(Panel(form, 0), QStringLiteral("Start: 00:00:00"));
    EXPECT_EQ(Panel(form, 1), QStringLiteral("End: 00:00:08"));
    EXPECT_EQ(Selection(form)->SelEnd(), 0);
    EXPECT_FALSE(Selection(form)->BandShown());
    EXPECT_NE(form.ui.imgTrimStart->x(), startMarker);
}

// Enter in a time picker sets the bound and the selection only; other keys do nothing.
TEST_F(ClipWindow, TypedBoundsMoveOnlyTheSelection)
{
    Open("h264_640x480_8s.mp4");
    const int startMarker = form.ui.imgTrimStart->x();
    const int lines = form.ActivityLog.Count();
    form.ui.TimeStart->setTime(QTime(0, 0, 3));
    form.TimeStartKeyPress(Qt::Key_3);
    EXPECT_EQ(form.ActivityLog.Count(), lines);
    EXPECT_EQ(form.State.ClipStartMs, 0);
    form.TimeStartKeyPress(Qt::Key_Return);
    EXPECT_EQ(form.State.ClipStartMs, 3000);
    EXPECT_EQ(Selection(form)->SelStart(), 3);
    EXPECT_EQ(Selection(form)->SelEnd(), 8);
    EXPECT_EQ(Panel(form, 0), QStringLiteral("Start: 00:00:00"));
    EXPECT_EQ(form.ui.imgTrimStart->x(), startMarker);
    EXPECT_EQ(Events(form.ActivityLog).last(),
              QStringLiteral(" ---> Pressed Enter on Movie Start Time (Input Settings)."));

    // An end before the start pulls the start onto it; an end past the file is kept.
    form.ui.TimeEnd->setTime(QTime(0, 0, 2));
    form.TimeEndKeyPress(Qt::Key_Enter);
    EXPECT_EQ(form.State.ClipStartMs, 2000);
    EXPECT_EQ(form.State.ClipEndMs, 2000);
    form.ui.TimeEnd->setTime(QTime(0, 0, 12));
    form.TimeEndKeyPress(Qt::Key_Return);
    EXPECT_EQ(form.State.ClipEndMs, 12000);
    EXPECT_EQ(Panel(form, 1), QStringLiteral("End: 00:00:08")) << "the status keeps the last Set End";
}

// "Play Clip" with its end past the end of the file: the player stops at the end and the
// clip watch keeps it at the clip start.
TEST_F(ClipWindow, PlayClipPastTheEndOfTheFileHoldsThePlayerAtTheClipStart)
{
    Open("h264_640x480_8s.mp4");
    PauseAt(7000);
    form.ui.TrimLeftButton->click();
    form.ui.TimeEnd->setTime(QTime(0, 0, 12));
    form.TimeEndKeyPress(Qt::Key_Return);
    form.ui.playtrimmedbutton->click();
    EXPECT_TRUE(form.State.ClipBounded);
    EXPECT_EQ(form.State.PlayerState, 1);
    ASSERT_TRUE(WaitUntil([&] { return form.MediaPlayer1->Status() == player::ST_FREE; }, kHangMs));
    ASSERT_TRUE(WaitUntil([&] { return ShownFrame(form) == 210; }, kHangMs));
    // The clip watch (Timer3) looks again on every tick; over ten more of them nothing moves.
    int watchTicks = 0;
    {
        const QObject counting;
        QObject::connect(&form.Timer3, &QTimer::timeout, &counting, [&] { ++watchTicks; });
        ASSERT_TRUE(WaitUntil([&] { return watchTicks >= 10; }, kHangMs));
    }
    EXPECT_EQ(ShownFrame(form), 210);
    EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_FREE);
    EXPECT_TRUE(form.State.ClipBounded);
}

// Within the file, "Play Clip" loops: the watch sends the player back to the clip start.
TEST_F(ClipWindow, PlayClipLoopsWithinTheClip)
{
    Open("h264_640x480_8s.mp4");
    PauseAt(1000);
    form.ui.TrimLeftButton->click();
    PauseAt(1500);
    form.ui.TrimRightButton->click();
    form.ui.playtrimmedbutton->click();
    int wrapped = 0;
    int previous = 0;
    WaitUntil([&] {
        const int now = form.MediaPlayer1->Position_Get_Time();
        wrapped += now < previous;
        previous = now;
        return wrapped >= 2;
    }, kHangMs);
    EXPECT_GE(wrapped, 2);
    EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_PLAY);
    // Play ends the loop.
    form.ui.PlayButton->click();
    EXPECT_FALSE(form.State.ClipBounded);
}

struct THandlerCase {
    void (TForm1::*handler)();
    const char *log;
};

// Without a video the transport and trimming handlers only log.
TEST(ClipWithoutVideo, TransportAndTrimmingOnlyLog)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    const THandlerCase cases[] = {
        {&TForm1::Button2Click, " ---> 0.1 sec. left clicked."},
        {&TForm1::Button3Click, " ---> 0.1 sec. right clicked."},
        {&TForm1::Button4Click, " ---> 1 sec. right clicked."},
        {&TForm1::Button5Click, " ---> 1 sec. left clicked."},
        {&TForm1::trimleftbuttonClick, " ---> Set Start clicked."},
        {&TForm1::trimrightbuttonClick, " ---> Set End is clicked."},
        {&TForm1::PlayButtonClick, " ---> Play clicked."},
        {&TForm1::PauseButtonClick, " ---> Pause clicked."},
        {&TForm1::playtrimmedbuttonClick, " ---> Play Clip is clicked."},
    };
    QStringList expected;
    for (const THandlerCase &c : cases) {
        (form.*c.handler)();
        expected << QString::fromLatin1(c.log);
    }
    form.TimeStartKeyPress(Qt::Key_Return);
    form.TimeEndKeyPress(Qt::Key_Return);
    expected << QStringLiteral(" ---> Pressed Enter on Movie Start Time (Input Settings).")
             << QStringLiteral(" ---> Pressed Enter on Movie End Time (Input Settings).");
    EXPECT_EQ(Events(form.ActivityLog), expected);
    EXPECT_EQ(form.State.PlayerState, 0);
    EXPECT_FALSE(form.State.StepBusy);
    EXPECT_FALSE(form.State.ClipBounded);
    EXPECT_EQ(form.State.ClipStartMs, 0);
    EXPECT_EQ(form.State.ClipEndMs, 0);
    EXPECT_EQ(Panel(form, 0), QStringLiteral("Start: 00:00:00"));
    EXPECT_EQ(Panel(form, 4), QStringLiteral("Status: Awaiting Video"));
    EXPECT_FALSE(form.ui.PlayButton->isHidden());
    EXPECT_TRUE(prompts.Calls.empty());
}

TEST(ClipCommands, MenuEntriesOpenTheMakersPagesAndTheViewerWantsAGif)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    int shown = 0;
    form.ShowResult = [&] { ++shown; };
    form.ui.GIFViewer1->trigger();
    EXPECT_EQ(prompts.Warnings(), QStringList{QStringLiteral("Please convert video to GIF before to view.")});
    EXPECT_EQ(shown, 0);
    form.ui.OnlineGuide1->trigger();
    form.ui.Support1->trigger();
    form.ui.HomePage1->trigger();
    EXPECT_EQ(opener.Opened, (QStringList{QStringLiteral("https://www.zentiq.example/quorvane/guide/"),
                                          QStringLiteral("https://www.zentiq.example/quorvane/support/"),
                                          QStringLiteral("https://www.zentiq.example/quorvane/")}));
    EXPECT_EQ(form.ActivityLog.Count(), 0) << "none of these logs";
}

} // namespace
