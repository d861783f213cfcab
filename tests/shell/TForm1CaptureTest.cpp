// The capture tick and the assembly at window level: the busy mark of Timer1, and a whole
// conversion of a sample video through the window's handlers, with the progress dialog.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <gtest/gtest.h>

#include "PlayerTestSupport.h"
#include "ShellTestSupport.h"
#include "TForm1.h"
#include "TProcForm.h"
#include "TestDoubles.h"

namespace {

using playertest::kHangMs;
using playertest::Sample;
using playertest::WaitUntil;

// Opens the members of the capture section to the tests.
class TCaptureProbe : public TForm1
{
public:
    using TForm1::TForm1;
    using TForm1::Timer1Tag;
};

class CaptureWindow : public ::testing::Test
{
protected:
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TCaptureProbe form{prompts, opener};
};

TEST_F(CaptureWindow, TickWhileTheLastIsBusyCapturesNothing)
{
    form.State.SourceWidth = 64;
    form.State.SourceHeight = 48;
    form.State.CropWidth = 64;
    form.State.CropHeight = 48;
    form.State.GifWidth = 32;
    form.State.GifHeight = 24;

    form.Timer1Tag = 1;
    form.Timer1Timer();
    EXPECT_TRUE(form.State.FrameList.empty());

    form.Timer1Tag = 0;
    form.Timer1Timer();  // no video: the frame is black, of its place's size
    ASSERT_EQ(form.State.FrameList.size(), 1u);
    EXPECT_EQ(form.State.FrameList[0].size(), QSize(32, 24));
    EXPECT_EQ(form.Timer1Tag, 0);
}

TEST_F(CaptureWindow, ConversionOfASampleEndsInAGifShownOnce)
{
    TProcForm procForm;
    form.ProcForm = &procForm;
    int shown = 0;
    int gaugeWhileShown = -1;
    form.ShowResult = [&] { ++shown; };
    QObject::connect(procForm.ui.Gauge, &QProgressBar::valueChanged, [&](int value) {
        if (procForm.isVisible())
            gaugeWhileShown = value;
    });

    ASSERT_TRUE(shelltest::OpenSample(form, prompts, "h264_640x480.mp4"));
    form.ui.GIFwidth->setValue(80);
    form.ui.GIFHeight->setValue(80);
    form.ui.spSkinCheckRadioBox3->setChecked(true);  // forward, then backward

    const shelltest::TCaptureTicks ticks(form);
    form.StartConvertButtonClick();
    ASSERT_FALSE(form.ui.StopConvertButton->isHidden());
    // The clip is the whole 3 s sample; the clip watch ends the capture and assembles.
    ASSERT_TRUE(WaitUntil([&] { return form.ui.StopConvertButton->isHidden(); }, kHangMs));

    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(form.State.FrameList.empty());
    ASSERT_TRUE(form.State.FImage);
    // About 30 ticks in 3 s at 10 fps on an idle machine; however many ran, each that took a
    // picture is one frame each way.
    const int frames = form.State.FImage->Images().Count();
    EXPECT_EQ(frames, 2 * ticks.Pictures()) << ticks.Ticks() << " ticks";
    EXPECT_GT(frames, 0);
    EXPECT_EQ(form.State.FImage->Images()[0]->Width(), 80);
    EXPECT_EQ(gaugeWhileShown, 100);
    EXPECT_FALSE(procForm.isVisible());
    const QStringList &lines = form.ActivityLog.Lines();
    const qsizetype stop = lines.indexOf(QStringLiteral("Stop recording. Convert bitmaps to GIF"));
    ASSERT_GE(stop, 0);
    EXPECT_EQ(lines.indexOf(QStringLiteral("GIF complete.")), stop + 1);
}

// Closing the window in the middle of a capture, and while the stop waits for the workers
// (the progress dialog's painting lets the close in): the work is dropped, the workers are
// joined, nothing is presented, and no GIF is left behind (a sanitizer build sees any leak).
TEST_F(CaptureWindow, ClosingDuringTheCaptureOrTheStopDropsTheWorkAndPresentsNothing)
{
    TProcForm procForm;
    form.ProcForm = &procForm;
    int shown = 0;
    form.ShowResult = [&] { ++shown; };
    ASSERT_TRUE(shelltest::OpenSample(form, prompts, "h264_640x480.mp4"));
    form.ui.GIFwidth->setValue(200);
    form.ui.GIFHeight->setValue(150);
    int captured = 0;
    form.FrameCaptured = [&](const QImage &) { ++captured; };
    form.StartConvertButtonClick();
    ASSERT_TRUE(WaitUntil([&] { return captured >= 4; }, kHangMs));
    form.close();
    EXPECT_TRUE(form.State.ClosingDone);
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_FALSE(form.State.FImage);

    // A second window, closed from the progress dialog of its stop.
    core::ScriptedPrompts prompts2;
    core::RecordingOpener opener2;
    TCaptureProbe second{prompts2, opener2};
    TProcForm procForm2;
    second.ProcForm = &procForm2;
    second.ShowResult = [&] { ++shown; };
    ASSERT_TRUE(shelltest::OpenSample(second, prompts2, "h264_640x480.mp4"));
    captured = 0;
    second.FrameCaptured = [&](const QImage &) { ++captured; };
    second.StartConvertButtonClick();
    ASSERT_TRUE(WaitUntil([&] { return captured >= 4; }, kHangMs));
    QObject::connect(procForm2.ui.Gauge, &QProgressBar::valueChanged, &second, [&] { second.close(); });
    second.StopConvertButtonClick();
    EXPECT_TRUE(second.State.ClosingDone);
    EXPECT_FALSE(second.State.FImage);
    EXPECT_FALSE(procForm2.isVisible());
    EXPECT_EQ(shown, 0);
    EXPECT_FALSE(second.ActivityLog.Lines().contains(QStringLiteral("GIF complete.")));
}

} // namespace
