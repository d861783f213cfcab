// A conversion at window level: the start's refusals and settings block, the frame rate
// field, the stop by "Stop Process", by the clip end and by the end of the file, the
// commands that end a running conversion, and one whole conversion on a sample video
// checked with an independent GIF decoder. Headless, with scripted prompts and a
// recording URL opener.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "GifDecode.h"
#include "PlayerTestSupport.h"
#include "ShellTestSupport.h"
#include "TForm1.h"
#include "TestDoubles.h"

namespace {

using playertest::kHangMs;
using playertest::Sample;
using playertest::WaitUntil;
using shelltest::Events;
using shelltest::ShownFrame;

const QString kEmpty = QStringLiteral("GIF is empty.");
const QString kStop = QStringLiteral(" ---> Stop is clicked.");

class ConvertWindow : public ::testing::Test
{
protected:
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form{prompts, opener};

    void Open(const char *name) { ASSERT_TRUE(shelltest::OpenSample(form, prompts, name)); }

    // The clip bounds as typed values would set them (ms precision, not limited to the file).
    void SetClip(int startMs, int endMs)
    {
        form.State.ClipStartMs = startMs;
        form.State.ClipEndMs = endMs;
    }

    bool Converting() const { return !form.ui.StopConvertButton->isHidden(); }
    bool OverlayVisible() const
    {
        const QWidget *line = form.ui.PanelB->findChild<QWidget *>(QStringLiteral("lnleft"));
        return line && line->isVisible();
    }
    int Count(const QString &event) const { return int(Events(form.ActivityLog).count(event)); }

    // Waits for the stop sequence and the assembly after it to have run `stops` times.
    bool WaitForStops(int stops)
    {
        return WaitUntil([&] { return Count(kStop) >= stops && !form.Timer1.isActive(); }, kHangMs);
    }
};

// --- Start ---

TEST_F(ConvertWindow, StartBeforeAnyVideoIsRefusedAsTooShortThenAsNoVideo)
{
    form.StartConvertButtonClick();
    EXPECT_EQ(prompts.Warnings(),
              QStringList{QStringLiteral("Trimmed part of the video is less than 0.5 second.\r\nPlease set larger interval.")});

    // With a clip of an accepted length, the missing video is told first, then logged,
    // and the frame list has been emptied already.
    form.State.FrameList.push_back(QImage(4, 4, QImage::Format_RGB888));
    SetClip(0, 1000);
    qsizetype logLinesAtWarning = -1;
    prompts.WhileOpen = [&](const core::ScriptedPrompts::Call &) { logLinesAtWarning = form.ActivityLog.Count(); };
    form.StartConvertButtonClick();
    EXPECT_EQ(prompts.Warnings().last(), QStringLiteral("Open video file at first!"));
    EXPECT_EQ(Events(form.ActivityLog).mid(logLinesAtWarning - 1),
              (QStringList{QStringLiteral(" ---> Start is clicked."),
                           QStringLiteral(" ---> File is not open: Open video file at first!")}));
    EXPECT_TRUE(form.State.FrameList.empty());
    EXPECT_FALSE(Converting());
    EXPECT_FALSE(form.DelayTimer.isActive());
}

// Lengths at and beyond both limits on a 3 s file (the end typed past the file's end),
// and crops without area. A refusal logs first, warns after and changes nothing.
TEST_F(ConvertWindow, RefusesClipsOutsideHalfASecondToOneMinuteAndEmptyCrops)
{
    form.show();
    Open("h264_640x480.mp4");
    struct Case {
        int lengthMs;
        int cropWidth;
        int cropHeight;
        QString log;      // empty when accepted
        QString warning;
    };
    const Case cases[] = {
        {499, 640, 480, QStringLiteral(" ---> Trimmed part of the video is less than 0.5 second.\r\nPlease set larger interval.."),
         QStringLiteral("Trimmed part of the video is less than 0.5 second.\r\nPlease set larger interval.")},
        {500, 640, 480, {}, {}},
        {60000, 640, 480, {}, {}},
        {60001, 640, 480, QStringLiteral(" ---> Trimmed part of the video is more than 1 minute.\r\nPlease trim video before conversion."),
         QStringLiteral("You are trying to convert video that is longer than 1 min. GIF will be too big.\r\nPlease trim "
                        "video using \"Set Start\" and \"Set End\" buttons before conversion.")},
        {1000, 0, 480, QStringLiteral(" ---> Crop area is empty."),
         QStringLiteral("Crop area is empty. Please set a crop width and height above 0.")},
        {1000, 640, -1, QStringLiteral(" ---> Crop area is empty."),
         QStringLiteral("Crop area is empty. Please set a crop width and height above 0.")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lengthMs);
        SetClip(1000, 1000 + c.lengthMs);
        form.ui.edWidth->setValue(c.cropWidth);
        form.ui.edHeight->setValue(c.cropHeight);
        const qsizetype logBefore = form.ActivityLog.Count();
        const size_t promptsBefore = prompts.Calls.size();
        form.StartConvertButtonClick();
        const QStringList events = Events(form.ActivityLog).mid(logBefore);
        ASSERT_FALSE(events.isEmpty());
        EXPECT_EQ(events.first(), QStringLiteral(" ---> Start is clicked."));
        if (!c.log.isEmpty()) {
            EXPECT_EQ(events, (QStringList{QStringLiteral(" ---> Start is clicked."), c.log}));
            ASSERT_EQ(prompts.Calls.size(), promptsBefore + 1);
            EXPECT_EQ(prompts.Calls.back().text, c.warning);
            EXPECT_FALSE(Converting());
            EXPECT_FALSE(form.DelayTimer.isActive());
            EXPECT_TRUE(form.ui.OpenButton->isEnabled());
            continue;
        }
        EXPECT_EQ(prompts.Calls.size(), promptsBefore);
        EXPECT_TRUE(Converting());
        EXPECT_TRUE(form.DelayTimer.isActive());
        EXPECT_EQ(form.ui.ProgressBar1->maximum(), c.lengthMs);
        // Ends it again before the delayed start.
        form.DelayTimer.stop();
        form.StopConvertButtonClick();
        EXPECT_FALSE(Converting());
    }
}

TEST_F(ConvertWindow, StepInProgressIgnoresTheStart)
{
    Open("h264_640x480.mp4");
    form.State.StepBusy = true;
    const qsizetype logBefore = form.ActivityLog.Count();
    form.StartConvertButtonClick();
    EXPECT_EQ(Events(form.ActivityLog).mid(logBefore), QStringList{QStringLiteral(" ---> Start is clicked.")});
    EXPECT_FALSE(Converting());
    EXPECT_TRUE(prompts.Calls.size() == 1u) << "only the open dialog";
}

// Every setting read from its own control, the player paused at the clip start, then
// playing with the capture timer on after the half-second pause; "Stop Process" gives
// everything back.
TEST_F(ConvertWindow, StartSnapshotsLogsTheSettingsLocksAndPositions)
{
    form.show();
    Open("h264_640x480_8s.mp4");
    SetClip(5000, 7000);
    form.ui.edLeft->setValue(10);
    form.ui.edTop->setValue(20);
    form.ui.edWidth->setValue(320);
    form.ui.edHeight->setValue(240);
    form.ui.GIFwidth->setValue(160);
    form.ui.GIFHeight->setValue(120);
    form.ui.bsSkinSpinEdit1->setValue(15);
    form.ui.spSkinCheckRadioBox3->setChecked(true);
    form.ui.spSkinComboBox1->setCurrentIndex(2);
    form.ui.tbLightness->setValue(11);
    form.ui.tbSaturation->setValue(200);
    form.ui.tbContrast->setValue(33);
    form.ui.tbDarkness->setValue(44);
    form.ui.cbGreyscale->setChecked(true);
    form.ui.edTextLogo->setText(QStringLiteral("Hello"));
    form.ui.cbTextLogo->setChecked(true);

    const qsizetype logBefore = form.ActivityLog.Count();
    form.StartConvertButtonClick();
    EXPECT_EQ(Events(form.ActivityLog).mid(logBefore),
              (QStringList{
                  QStringLiteral(" ---> Start is clicked."),
                  QStringLiteral(" --->  Start recording: start time=00:00:05, end time=00:00:07"),
                  QStringLiteral("       source width=640, source heigh=480"),
                  QStringLiteral("       crop top=20, crop left=10, crop height=240, crop width=320"),
                  QStringLiteral("       frame rate=15"),
                  QStringLiteral("       gif size=160*120"),
                  QStringLiteral("       alternation=-1"),
                  QStringLiteral("       dithering=2"),
                  QStringLiteral("       lightness=11"),
                  QStringLiteral("       saturation=200"),
                  QStringLiteral("       contrast=33"),
                  QStringLiteral("       darkness=44"),
                  QStringLiteral("       grayscale=-1"),
                  QStringLiteral("       text overlay=-1"),
                  QStringLiteral("       Text=Hello"),
              }));
    // Only the first line of the block carries a time stamp.
    EXPECT_NE(form.ActivityLog.Lines()[logBefore + 1], Events(form.ActivityLog)[logBefore + 1]);
    EXPECT_TRUE(form.ActivityLog.Lines()[logBefore + 2].startsWith(QStringLiteral("       source")));

    const core::ConversionState &s = form.State;
    EXPECT_EQ((QList<int>{s.CropLeft, s.CropTop, s.CropWidth, s.CropHeight, s.GifWidth, s.GifHeight}),
              (QList<int>{10, 20, 320, 240, 160, 120}));
    EXPECT_TRUE(s.ClipBounded);
    EXPECT_TRUE(Converting());
    EXPECT_FALSE(OverlayVisible());
    EXPECT_FALSE(form.ui.OpenButton->isEnabled());
    EXPECT_FALSE(form.ui.PageControl1->isEnabled());
    EXPECT_FALSE(form.ui.VideoTrackBar->isEnabled());
    EXPECT_TRUE(form.ui.ConverttoGIF1->isEnabled());
    EXPECT_EQ(form.StatusPanel(4)->text(), QStringLiteral("Status: Converting"));
    EXPECT_TRUE(form.ui.ProgressBar1->isVisible());
    EXPECT_EQ(form.ui.ProgressBar1->maximum(), 2000);
    EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_PAUSE);
    EXPECT_TRUE(form.DelayTimer.isActive());
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_EQ(form.Timer1.interval(), 67);
    // The half-second pause is held until the picture is checked: on a loaded machine the
    // seek may take longer than the pause, and the playing after it would move the picture on.
    form.DelayTimer.stop();
    EXPECT_TRUE(WaitUntil([&] { return ShownFrame(form) == 150; }, kHangMs)) << "paused at the clip start";
    EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_PAUSE);
    form.DelayTimer.start();

    ASSERT_TRUE(WaitUntil([&] { return form.Timer1.isActive(); }, kHangMs));
    EXPECT_FALSE(form.DelayTimer.isActive());
    EXPECT_EQ(s.PlayerState, 1);
    EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_PLAY);

    form.ui.StopConvertButton->click();
    EXPECT_EQ(Count(kStop), 1);
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_EQ(s.PlayerState, 2);
    EXPECT_FALSE(Converting());
    EXPECT_TRUE(form.ui.StartConvertButton->isVisible());
    EXPECT_TRUE(form.ui.PlayButton->isVisible());
    EXPECT_TRUE(OverlayVisible());
    EXPECT_TRUE(form.ui.OpenButton->isEnabled());
    EXPECT_TRUE(form.ui.PageControl1->isEnabled());
    EXPECT_EQ(form.StatusPanel(4)->text(), QStringLiteral("Status: Ready"));
    EXPECT_EQ(form.ui.ProgressBar1->value(), 0);
    EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_FREE);
    EXPECT_TRUE(s.FrameList.empty()) << "the assembly consumed the frames";
}

TEST_F(ConvertWindow, FrameRateSetsTheCaptureIntervalTiesToEven)
{
    EXPECT_EQ(form.Timer1.interval(), 100) << "until the field first changes";
    const std::pair<int, int> cases[] = {{16, 62}, {30, 33}, {1, 1000}, {15, 67}, {10, 100}};
    for (const auto &[fps, ms] : cases) {
        const qsizetype logBefore = form.ActivityLog.Count();
        form.ui.bsSkinSpinEdit1->setValue(fps);
        EXPECT_EQ(form.Timer1.interval(), ms) << fps;
        EXPECT_EQ(Events(form.ActivityLog).mid(logBefore),
                  QStringList{QStringLiteral(" ---> Frame Rate is changed (Output Settings).")});
    }
}

// --- Stop ---

// Within the half-second pause nothing has been captured yet; the pending start still
// plays and captures, and the clip watch ends that capture at the clip end.
TEST_F(ConvertWindow, StopDuringThePauseGivesAnEmptyGifAndTheDelayedCaptureRunsToTheClipEnd)
{
    Open("h264_640x480_8s.mp4");
    SetClip(1000, 2000);
    form.StartConvertButtonClick();
    ASSERT_TRUE(form.DelayTimer.isActive());
    form.StopConvertButtonClick();
    EXPECT_EQ(prompts.Warnings(), QStringList{kEmpty});
    EXPECT_TRUE(opener.Opened.isEmpty());
    EXPECT_TRUE(form.DelayTimer.isActive()) << "the stop leaves the pending start alone";

    ASSERT_TRUE(WaitUntil([&] { return form.Timer1.isActive(); }, kHangMs));
    ASSERT_TRUE(WaitForStops(2));
    EXPECT_EQ(opener.Opened.size(), 1) << "the delayed capture became a GIF";
}

// The capture ends by itself: a clip that ends before the first tick gives an empty GIF; a
// clip ending past the end of the file ends when the player stops there.
TEST_F(ConvertWindow, CaptureEndsAtTheClipEndOrAtTheEndOfTheFile)
{
    Open("h264_640x480.mp4");
    form.ui.bsSkinSpinEdit1->setValue(1);
    // At one frame per second the first tick would come 200 ms after this clip's end, a
    // margin a loaded machine can eat (the clip's time only starts once the pipeline plays):
    // the tick is moved beyond any wait.
    form.Timer1.setInterval(10 * kHangMs);
    SetClip(1000, 1800);
    form.StartConvertButtonClick();
    ASSERT_TRUE(WaitForStops(1));
    EXPECT_EQ(prompts.Warnings(), QStringList{kEmpty});
    EXPECT_TRUE(opener.Opened.isEmpty());

    // The position never reaches 4 s in a 3 s file: only the player's stop at the end ends it.
    form.ui.bsSkinSpinEdit1->setValue(10);
    SetClip(2000, 4000);
    form.StartConvertButtonClick();
    ASSERT_TRUE(WaitUntil([&] { return form.Timer1.isActive(); }, kHangMs));
    ASSERT_TRUE(WaitForStops(2));
    EXPECT_FALSE(Converting());
    EXPECT_EQ(opener.Opened.size(), 1);
}

// "Convert to GIF" stays in the menu during a capture: it starts over from the clip start
// with the frames so far discarded, while the capture timer keeps running.
TEST_F(ConvertWindow, ConvertFromTheMenuDuringACaptureStartsOver)
{
    Open("h264_640x480_8s.mp4");
    SetClip(1000, 4000);
    form.StartConvertButtonClick();
    ASSERT_TRUE(WaitUntil([&] { return form.MediaPlayer1->Position_Get_Time() >= 2000; }, kHangMs));
    ASSERT_TRUE(form.Timer1.isActive());
    form.ui.ConverttoGIF1->trigger();
    EXPECT_TRUE(form.DelayTimer.isActive());
    EXPECT_TRUE(form.Timer1.isActive());
    EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_PAUSE);
    EXPECT_LT(form.MediaPlayer1->Position_Get_Time(), 1500);
    EXPECT_EQ(Count(QStringLiteral(" --->  Start recording: start time=00:00:01, end time=00:00:04")), 2);
    EXPECT_EQ(Count(kStop), 0);
    ASSERT_TRUE(WaitForStops(1));
    EXPECT_EQ(Count(kStop), 1);
}

// Open Video and Reset move the clip end away; during a conversion they first end it (and
// its pending start), so that no capture runs on without an end.
TEST_F(ConvertWindow, OpenAndResetDuringAConversionEndItFirst)
{
    Open("h264_640x480_8s.mp4");
    SetClip(1000, 4000);
    form.StartConvertButtonClick();
    ASSERT_TRUE(WaitUntil([&] { return form.Timer1.isActive(); }, kHangMs));
    prompts.OpenFileAnswers.push_back(Sample("h264_640x480.mp4"));
    form.ui.OpenVideo1->trigger();
    const QStringList events = Events(form.ActivityLog);
    EXPECT_EQ(events.mid(events.indexOf(kStop)),
              (QStringList{kStop, QStringLiteral("Stop recording. Convert bitmaps to GIF"), QStringLiteral("GIF complete."),
                           QStringLiteral(" ---> Open is clicked."), QStringLiteral(" ---> Open file h264_640x480.mp4"),
                           QStringLiteral(" ---> Play clicked.")}));
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_FALSE(Converting());
    EXPECT_EQ(form.State.FDuration, 3000);

    // Reset within the half-second pause: the pending start is dropped too.
    SetClip(1000, 2000);
    form.StartConvertButtonClick();
    ASSERT_TRUE(form.DelayTimer.isActive());
    form.ui.Reset1->trigger();
    EXPECT_FALSE(form.DelayTimer.isActive());
    EXPECT_FALSE(Converting());
    EXPECT_EQ(Count(kStop), 2);
    // A timer of twice the pause, started after it: when it fires, a pending start that
    // survived would have fired before it.
    bool pauseOver = false;
    QTimer::singleShot(2 * form.DelayTimer.interval(), form.DelayTimer.timerType(), &form, [&] { pauseOver = true; });
    ASSERT_TRUE(WaitUntil([&] { return pauseOver; }, kHangMs));
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_EQ(form.State.ClipEndMs, 3000);

    // Without a conversion both commands only do their own work.
    form.ui.Reset1->trigger();
    EXPECT_EQ(Count(kStop), 2);
}

// --- Every frame (exact) ---

// The clip is decoded instead of played: every output time gets its frame, the player stays
// paused, the settings block says so, and Stop Process ends it early with what was decoded.
TEST_F(ConvertWindow, EveryFrameExactCapturesEachTimeOfTheClipWhileThePlayerWaits)
{
    Open("h264_640x480_8s.mp4");
    form.PauseButtonClick();
    form.ui.cbCaptureMode->setCurrentIndex(1);
    form.ui.cbExactTiming->setChecked(true);
    form.ui.bsSkinSpinEdit1->setValue(10);
    form.ui.GIFwidth->setValue(80);
    form.ui.GIFHeight->setValue(60);
    SetClip(1000, 2500);
    form.StartConvertButtonClick();
    EXPECT_TRUE(Converting());
    EXPECT_FALSE(form.DelayTimer.isActive());
    EXPECT_TRUE(Events(form.ActivityLog).contains(QStringLiteral("       capture=exact")));
    ASSERT_TRUE(WaitUntil([&] { return !opener.Opened.isEmpty(); }, kHangMs)) << prompts.Warnings().join('|').toStdString();
    EXPECT_NE(form.MediaPlayer1->Status(), player::ST_PLAY);
    EXPECT_FALSE(Converting());
    ASSERT_TRUE(form.State.FImage);
    ASSERT_EQ(form.State.FImage->Images().Count(), 15);
    const QString workDir = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Zentiq/Quorvane");
    const gifdecode::Gif gif = gifdecode::DecodeFile((workDir + QStringLiteral("/out.gif")).toStdString());
    int hundredths = 0;
    for (const gifdecode::Frame &frame : gif.frames)
        hundredths += frame.delay;
    EXPECT_EQ(hundredths, 150) << "exact timing adds up to the clip";

    // Stopped right after the start: what was decoded by then, and the usual stop sequence.
    SetClip(0, 8000);
    form.StartConvertButtonClick();
    ASSERT_TRUE(form.ExactTimer.isActive());
    form.StopConvertButtonClick();
    EXPECT_FALSE(form.ExactTimer.isActive());
    EXPECT_FALSE(Converting());
    EXPECT_LT(form.State.FImage ? form.State.FImage->Images().Count() : 0, 80);
}

// --- One whole conversion ---

TEST_F(ConvertWindow, ConvertsAClipIntoAnAnimatedGifAndOpensItsPage)
{
    form.show();
    Open("h264_640x480_8s.mp4");
    SetClip(1000, 3000);
    // A crop twice as wide as high in a 4:3 GIF leaves lime bands above and below.
    form.ui.edLeft->setValue(80);
    form.ui.edTop->setValue(120);
    form.ui.edWidth->setValue(480);
    form.ui.edHeight->setValue(240);
    form.ui.GIFwidth->setValue(160);
    form.ui.GIFHeight->setValue(120);
    form.ui.bsSkinSpinEdit1->setValue(10);
    const qsizetype logBefore = form.ActivityLog.Count();
    const shelltest::TCaptureTicks ticks(form);
    form.StartConvertButtonClick();
    {
        // The field as a user could set it in the moment the stop gives the controls back:
        // the delays still follow the rate the capture ran at.
        const QSignalBlocker quiet(form.ui.bsSkinSpinEdit1);
        form.ui.bsSkinSpinEdit1->setValue(25);
    }
    ASSERT_TRUE(WaitUntil([&] { return !opener.Opened.isEmpty(); }, kHangMs)) << prompts.Warnings().join('|').toStdString();

    const QString workDir = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Zentiq/Quorvane");
    EXPECT_EQ(form.State.WorkDir, workDir);
    EXPECT_EQ(opener.Opened, QStringList{QStringLiteral("file://") + workDir + QStringLiteral("/out.html")});
    QFile page(workDir + QStringLiteral("/out.html"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(),
              QByteArray("<html><head><title>Result of Conversion</title></head>\r\n"
                         "<body>\r\n"
                         "<div align=\"center\">The video was successfully converted to animated GIF!<br>\r\n"
                         "You can right click on this image and choose \"Save image...\"  from the popup menu.<br><br>\r\n"
                         "<img src=\"out.gif\"><br><br>\r\n"
                         "</body></html>\r\n"));

    const gifdecode::Gif gif = gifdecode::DecodeFile((workDir + QStringLiteral("/out.gif")).toStdString());
    const int frames = int(gif.frames.size());
    // About 20 ticks in 2 s at 10 fps on an idle machine; however many ran, each that took a
    // picture is one frame.
    EXPECT_EQ(frames, ticks.Pictures()) << ticks.Ticks() << " ticks";
    EXPECT_GT(frames, 0);
    EXPECT_EQ(gif.screenWidth, 160);
    EXPECT_EQ(gif.screenHeight, 120);
    int transparentFrames = 0;
    for (int i = 0; i < frames; ++i) {
        SCOPED_TRACE(i);
        const gifdecode::Frame &f = gif.frames[size_t(i)];
        EXPECT_EQ(f.width, 160);
        EXPECT_EQ(f.height, 120);
        ASSERT_EQ(f.localColors.size(), 256u);
        EXPECT_TRUE(f.hasGraphicControl);
        EXPECT_EQ(f.delay, 10);
        if (i == 0)
            EXPECT_EQ(f.loops, std::optional<int>(0));
        else
            EXPECT_FALSE(f.loops.has_value());
        // Transparent exactly when a lime entry is used by a pixel: the lowest such entry.
        int lowestUsedLime = -1;
        for (int c = 0; c < 256 && lowestUsedLime < 0; ++c)
            if (f.localColors[size_t(c)] == gifdecode::Color{0, 255, 0}
                && std::find(f.indices.begin(), f.indices.end(), std::uint8_t(c)) != f.indices.end())
                lowestUsedLime = c;
        EXPECT_EQ(f.transparentIndex, lowestUsedLime);
        transparentFrames += f.transparentIndex >= 0;
    }
    EXPECT_GT(transparentFrames, 0);

    const QStringList events = Events(form.ActivityLog).mid(logBefore);
    EXPECT_EQ(events.mid(0, 14),
              (QStringList{
                  QStringLiteral(" ---> Start is clicked."),
                  QStringLiteral(" --->  Start recording: start time=00:00:01, end time=00:00:03"),
                  QStringLiteral("       source width=640, source heigh=480"),
                  QStringLiteral("       crop top=120, crop left=80, crop height=240, crop width=480"),
                  QStringLiteral("       frame rate=10"),
                  QStringLiteral("       gif size=160*120"),
                  QStringLiteral("       alternation=0"),
                  QStringLiteral("       dithering=1"),
                  QStringLiteral("       lightness=0"),
                  QStringLiteral("       saturation=255"),
                  QStringLiteral("       contrast=0"),
                  QStringLiteral("       darkness=0"),
                  QStringLiteral("       grayscale=0"),
                  QStringLiteral("       text overlay=0"),
              }));
    const qsizetype stopAt = events.indexOf(kStop);
    ASSERT_GE(stopAt, 14);
    EXPECT_EQ(events.mid(stopAt),
              (QStringList{kStop, QStringLiteral("Stop recording. Convert bitmaps to GIF"), QStringLiteral("GIF complete.")}));
    EXPECT_TRUE(prompts.Warnings().isEmpty());

    // GIF Viewer writes the same result again and reopens the page.
    form.GIFViewer1Click();
    EXPECT_EQ(opener.Opened.size(), 2);
    EXPECT_EQ(gifdecode::DecodeFile((workDir + QStringLiteral("/out.gif")).toStdString()).frames.size(), size_t(frames));
}

} // namespace
