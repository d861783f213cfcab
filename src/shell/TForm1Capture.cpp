// Frame capture on the capture timer and the assembly of the captured frames into the GIF.
#include "TForm1.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <exception>

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

private:
    static void Paint() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

    TProcForm *FForm;
};

} // namespace

void TForm1::Timer1Timer()
{
    if (Timer1Tag == 1)
        return;
    Timer1Tag = 1;
    // The player's own picture once it has one; before that the black picture of the
    // open video.
    const QImage &current = MediaPlayer1->Frame_GetCurrent();
    convert::CaptureFrame(State, current.isNull() ? State.GrabBitmap : &current);
    Timer1Tag = 0;
}

void TForm1::AssembleGif()
{
    convert::TAssemblySettings settings;
    settings.FrameRate = ui.bsSkinSpinEdit1->value();
    settings.Transparent = ui.spSkinCheckRadioBox2->isChecked();
    settings.Alternate = ui.spSkinCheckRadioBox3->isChecked();
    settings.Loop = ui.bsSkinCheckRadioBox1->isChecked();
    settings.Greyscale = ui.cbGreyscale->isChecked();
    settings.DitherIndex = ui.spSkinComboBox1->currentIndex();

    TProcFormProgress progress(ProcForm);
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
