// Frame capture on the capture timer and the assembly of the captured frames into the GIF.
#include "TForm1.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <exception>

#include "ConversionJob.h"
#include "ExactCapture.h"
#include "FrameCapture.h"
#include "GifAssembly.h"
#include "TProcForm.h"

namespace {

// ProcForm as the assembly's progress display. The assembly blocks the event loop, so the
// dialog is painted here: pending paint and other non-input events run, user input waits.
class TProcFormProgress final : public convert::IAssemblyProgress {
public:
    explicit TProcFormProgress(TProcForm *form) : FForm(form) {}

    void Open() override
    {
        if (!FForm)
            return;
        FForm->show();
        FForm->repaint();
        Paint();
    }
    void SetGauge(int percent) override
    {
        if (!FForm || FForm->ui.Gauge->value() == percent)
            return;
        FForm->ui.Gauge->setValue(percent);
        FForm->ui.Gauge->repaint();
        Paint();
    }
    void Close() override
    {
        if (FForm)
            FForm->close();
    }
    void KeepPainted() override
    {
        if (FForm)
            Paint();
    }

private:
    static void Paint() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

    TProcForm *FForm;
};

// The player's own picture once it has one; before that the black picture of the open video.
class TPlayerPictures final : public convert::IPictureSource {
public:
    explicit TPlayerPictures(TForm1 &form) : FForm(form) {}
    const QImage *CurrentPicture() override
    {
        const QImage &current = FForm.MediaPlayer1->Frame_GetCurrent();
        return current.isNull() ? FForm.State.GrabBitmap : &current;
    }

private:
    TForm1 &FForm;
};

} // namespace

void TForm1::SetUpCapture()
{
    FPictureSource = std::make_unique<TPlayerPictures>(*this);
    ExactTimer.setObjectName(QStringLiteral("ExactTimer"));
    ExactTimer.setInterval(0);
    connect(&ExactTimer, &QTimer::timeout, this, &TForm1::ExactCaptureStep);
}

void TForm1::DropExactCapture()
{
    ExactTimer.stop();
    // A job still holding it (a call on the stack, a parked job) never asks it again.
    if (FJobCalls == 0 && !FJob)
        FExact.reset();
}

// One decoded frame of "Every frame (exact)" into the job; the clip end (or the video's)
// ends the capture with the stop sequence, as the clip watch does for a played capture.
void TForm1::ExactCaptureStep()
{
    if (!FExact || !FJob) {
        ExactTimer.stop();
        return;
    }
    ++FJobCalls;
    const convert::TExactCapture::TStep step = FExact->Step(*FJob, 10);
    const bool failed = step == convert::TExactCapture::TStep::Failed && !FExact->Error().isEmpty();
    const int captured = FJob ? FJob->Captured() : 0;
    EndJobCall();
    if (State.ClosingDone || !FExact)
        return;
    ui.ProgressBar1->setValue(int(FExact->PositionMs() - State.ClipStartMs));
    if (step == convert::TExactCapture::TStep::Working)
        return;
    ExactTimer.stop();
    if (failed) {
        convert::ReportCaptureFailure(captured);
        return;
    }
    if (step == convert::TExactCapture::TStep::Done)
        StopConvertButtonClick();
}

void TForm1::DropJob()
{
    if (!FJob)
        return;
    FJob->Discard();
    if (FJobCalls == 0)
        FJob.reset();
    else
        FRetiredJob = std::move(FJob);
}

void TForm1::EndJobCall()
{
    if (--FJobCalls == 0)
        FRetiredJob.reset();
}

void TForm1::Timer1Timer()
{
    if (Timer1Tag == 1)
        return;
    Timer1Tag = 1;
    if (FJob && !FExact) {
        ++FJobCalls;
        FJob->CaptureFrame();
        EndJobCall();
    } else if (!FJob) {
        // No conversion of its own (a delayed start that outlived its stop): the frame goes
        // into FrameList, for the assembly of the next stop.
        const std::size_t before = State.FrameList.size();
        if (convert::CaptureFrame(State, FPictureSource->CurrentPicture()) && FrameCaptured
            && State.FrameList.size() > before)
            FrameCaptured(State.FrameList.back());
    }
    Timer1Tag = 0;
}

void TForm1::AssembleGif()
{
    TProcFormProgress progress(ProcForm);
    if (FJob || FJobCalls > 0) {
        // A stop that comes while the GIF is being finished (the progress dialog's painting)
        // leaves it to the stop already running.
        if (FJobCalls > 0)
            return;
        convert::TAssemblyResult result = convert::TAssemblyResult::Reported;
        ++FJobCalls;
        try {
            result = FJob->Finish(State, ActivityLog, progress);
        } catch (const std::exception &error) {
            progress.Close();
            Prompts.Warning(QString::fromStdString(error.what()));
        }
        DropJob();
        EndJobCall();
        if (result == convert::TAssemblyResult::Done && !State.ClosingDone && ShowResult)
            ShowResult();
        return;
    }

    // Without a conversion started (the stop of a start whose positioning failed, ...): the
    // captured frames as the controls say now, none in practice.
    convert::TAssemblySettings settings;
    settings.FrameRate = ui.bsSkinSpinEdit1->value();
    settings.Transparent = ui.spSkinCheckRadioBox2->isChecked();
    settings.Alternate = ui.spSkinCheckRadioBox3->isChecked();
    settings.Loop = ui.bsSkinCheckRadioBox1->isChecked();
    settings.Greyscale = ui.cbGreyscale->isChecked();
    settings.DitherIndex = ui.spSkinComboBox1->currentIndex();

    convert::TAssemblyResult result = convert::TAssemblyResult::Reported;
    try {
        result = convert::AssembleGif(State, ActivityLog, settings, progress);
    } catch (const std::exception &error) {
        // Outside every guard (the canvas could not be made): the default error display,
        // and the program goes on.
        progress.Close();
        Prompts.Warning(QString::fromStdString(error.what()));
        return;
    }
    if (result == convert::TAssemblyResult::Done && !State.ClosingDone && ShowResult)
        ShowResult();
}
