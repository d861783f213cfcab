// Handlers of a conversion's start and stop, the frame rate field and the result. The
// decisions and texts live in the convert library; these handlers read and write the
// controls, drive the player and the timers. UI thread.
#include "TForm1.h"

#include <exception>

#include "ConversionJob.h"
#include "ConversionStart.h"
#include "ExactCapture.h"
#include "FrameCapture.h"
#include "ResultPage.h"
#include "TimeConversions.h"

namespace {

// A refused start: its log line and its warning box, in the order the refusal has them.
void Refuse(core::TActivityLog &log, core::IPrompts &prompts, convert::TStartRefusal refusal)
{
    const convert::TRefusalTexts texts = convert::RefusalTexts(refusal);
    if (texts.WarningFirst)
        prompts.Warning(texts.Warning);
    core::LogEvent(log, texts.LogText);
    if (!texts.WarningFirst)
        prompts.Warning(texts.Warning);
}

} // namespace

// Also bound to File > "Convert to GIF", which stays enabled during a conversion: a second
// start discards the work so far and positions the player at the clip start again,
// while Timer1 keeps running (its ticks capture nothing until the new job exists).
void TForm1::StartConvertButtonClick()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Start is clicked."));
    if (State.StepBusy)
        return;

    const convert::TStartRefusal length = convert::CheckClipLength(State.ClipStartMs, State.ClipEndMs);
    if (length != convert::TStartRefusal::None) {
        Refuse(ActivityLog, Prompts, length);
        return;
    }
    State.FrameList.clear();
    DropJob();
    if (MediaPlayer1->FilenameOrURL.isEmpty()) {
        Refuse(ActivityLog, Prompts, convert::TStartRefusal::NoVideo);
        return;
    }
    // A crop without area would make the first capture tick fail and end the program.
    const convert::TStartRefusal crop = convert::CheckCrop(ui.edWidth->value(), ui.edHeight->value());
    if (crop != convert::TStartRefusal::None) {
        Refuse(ActivityLog, Prompts, crop);
        return;
    }

    ui.StopConvertButton->show();
    State.ClipBounded = true;
    // Lets pending events run; the snapshot below is taken afterwards.
    setcropareavisible(false);

    State.CropLeft = ui.edLeft->value();
    State.CropTop = ui.edTop->value();
    State.CropWidth = ui.edWidth->value();
    State.CropHeight = ui.edHeight->value();
    State.GifWidth = ui.GIFwidth->value();
    State.GifHeight = ui.GIFHeight->value();

    convert::TConversionSettings settings;
    settings.StartTimeText = clip::IntToTimeStr(State.ClipStartMs);
    settings.EndTimeText = clip::IntToTimeStr(State.ClipEndMs);
    settings.SourceWidth = State.SourceWidth;
    settings.SourceHeight = State.SourceHeight;
    settings.CropLeft = ui.edLeft->value();
    settings.CropTop = ui.edTop->value();
    settings.CropWidth = ui.edWidth->value();
    settings.CropHeight = ui.edHeight->value();
    settings.FrameRate = ui.bsSkinSpinEdit1->value();
    settings.GifWidth = State.GifWidth;
    settings.GifHeight = State.GifHeight;
    settings.Alternate = ui.spSkinCheckRadioBox3->isChecked();
    settings.DitherIndex = ui.spSkinComboBox1->currentIndex();
    settings.Lightness = ui.tbLightness->value();
    settings.Saturation = ui.tbSaturation->value();
    settings.Contrast = ui.tbContrast->value();
    settings.Darkness = ui.tbDarkness->value();
    settings.Greyscale = ui.cbGreyscale->isChecked();
    settings.TextOverlay = ui.cbTextLogo->isChecked();
    settings.Text = ui.edTextLogo->text();
    const QStringList block = convert::SettingsBlock(settings);
    core::LogEvent(ActivityLog, block.first());
    for (qsizetype line = 1; line < block.size(); ++line)
        ActivityLog.Add(block[line]);
    const bool exact = ui.cbCaptureMode->currentIndex() == 1;
    if (exact)
        ActivityLog.Add(QStringLiteral("       capture=exact"));

    // Everything the conversion needs is taken here, once: the capture interval and the
    // frame delay both come from this frame rate.
    convert::TJobSettings job;
    job.SourceWidth = State.SourceWidth;
    job.CropLeft = State.CropLeft;
    job.CropTop = State.CropTop;
    job.CropWidth = State.CropWidth;
    job.CropHeight = State.CropHeight;
    job.GifWidth = State.GifWidth;
    job.GifHeight = State.GifHeight;
    job.Output.FrameRate = settings.FrameRate;
    job.Output.Transparent = ui.spSkinCheckRadioBox2->isChecked();
    job.Output.Alternate = settings.Alternate;
    job.Output.Loop = ui.bsSkinCheckRadioBox1->isChecked();
    job.Output.Greyscale = settings.Greyscale;
    job.Output.DitherIndex = settings.DitherIndex;
    job.ExactTiming = ui.cbExactTiming->isChecked();
    DropExactCapture();
    if (exact) {
        // The clip decoded by a pipeline of its own, with the effects in force in the player.
        FExact = std::make_unique<convert::TExactCapture>(MediaPlayer1->FilenameOrURL, MediaPlayer1->Effects().Items(),
                                                          State.ClipStartMs, State.ClipEndMs, settings.FrameRate);
        FJob = std::make_unique<convert::TConversionJob>(job, *FExact);
    } else {
        FJob = std::make_unique<convert::TConversionJob>(job, *FPictureSource);
    }
    FJob->OnCaptured = [this](const QImage &frame) {
        if (FrameCaptured)
            FrameCaptured(frame);
    };
    // Frames a tick put there while no job ran belong to no conversion.
    State.FrameList.clear();
    if (FJob->Geometry()) {
        State.FitWidth = FJob->Geometry()->FitWidth;
        State.FitHeight = FJob->Geometry()->FitHeight;
    }
    if (const int interval = FJob->CaptureIntervalMs(); interval > 0)
        Timer1.setInterval(interval);

    EnableControls(false);

    if (exact) {
        // The player stays paused; the decoder runs a frame at a time between other events.
        if (State.PlayerState == 1) {
            MediaPlayer1->Pause();
            State.PlayerState = 2;
            ui.PlayButton->show();
        }
        SetStatusText(4, QStringLiteral("Status: Converting"));
        ui.ProgressBar1->show();
        ui.ProgressBar1->setMaximum(State.ClipEndMs - State.ClipStartMs);
        ui.ProgressBar1->setValue(0);
        if (FExact->Start()) {
            ExactTimer.start();
        } else {
            convert::ReportCaptureFailure(0);
        }
        return;
    }

    MediaPlayer1->Stop();
    MediaPlayer1->Play();
    // When positioning fails the window stays locked with "Stop Process" shown; pressing
    // it runs the stop sequence on an empty frame list.
    if (MediaPlayer1->Position_Set_Time(State.ClipStartMs)) {
        MediaPlayer1->Pause();
        SetStatusText(4, QStringLiteral("Status: Converting"));
        ui.ProgressBar1->show();
        ui.ProgressBar1->setMaximum(State.ClipEndMs - State.ClipStartMs);
        ui.ProgressBar1->setValue(0);
        DelayTimer.start();
    }
}

// Run by "Stop Process" and by the clip watch of Timer3. Every call runs the whole
// sequence, capture or not. DelayTimer is left alone: stopped within the half-second
// pause, the conversion's delayed tick still starts a capture that the clip watch ends.
void TForm1::StopConvertButtonClick()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Stop is clicked."));
    ExactTimer.stop();
    MediaPlayer1->Stop();
    State.PlayerState = 2;
    // Play lies over Pause, so the pair shows Play.
    ui.PlayButton->show();
    // Both before the pending events of setcropareavisible run, so that no tick captures
    // or stops again while the frames are assembled.
    Timer1.stop();
    SetStatusText(4, QStringLiteral("Status: Ready"));
    ui.ProgressBar1->setValue(0);
    ui.StopConvertButton->hide();
    EnableControls(true);
    setcropareavisible(true);
    AssembleGif();
    DropExactCapture();
}

void TForm1::StopRunningConversion()
{
    if (ui.StopConvertButton->isHidden())
        return;
    // The delayed start would otherwise play and capture with the clip end moved away.
    DelayTimer.stop();
    StopConvertButtonClick();
}

// The field only holds 1..30, so a change is always a valid rate; a rate without an
// interval (0) goes to the default error display and Timer1 keeps its interval.
void TForm1::SpinEdit1Change()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Frame Rate is changed (Output Settings)."));
    try {
        Timer1.setInterval(convert::CaptureIntervalMs(ui.bsSkinSpinEdit1->value()));
    } catch (const std::exception &error) {
        Prompts.Warning(QString::fromStdString(error.what()));
    }
}

// 500 ms after the player was positioned paused at the clip start: the capture begins.
void TForm1::DelayTimerTimer()
{
    DelayTimer.stop();
    MediaPlayer1->Play();
    // An enabled timer stays as it runs (a start during a capture keeps Timer1 going).
    if (!Timer1.isActive())
        Timer1.start();
    State.PlayerState = 1;
}

void TForm1::ShowResultPage()
{
    convert::ShowResult(State.FImage.get(), State.WorkDir, Prompts, Opener);
}
