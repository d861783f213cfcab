#include "CommandLineConversion.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <unistd.h>

#include <exception>

#include "ActivityLog.h"
#include "ConversionJob.h"
#include "ConversionStart.h"
#include "EffectsSettings.h"
#include "EffectsTarget.h"
#include "ErrorReport.h"
#include "ExactCapture.h"
#include "GIFException.h"
#include "GifStream.h"
#include "MediaInfo.h"
#include "Playability.h"
#include "Prompts.h"
#include "VideoEffects.h"

namespace shell {

namespace {

void Print(std::FILE *err, const QString &text)
{
    std::fprintf(err, "quorvane: %s\n", text.toLocal8Bit().constData());
}

// The window's warnings become lines on stderr; the font "dialog" answers with the
// command line's font.
class TCommandLinePrompts final : public core::IPrompts
{
public:
    TCommandLinePrompts(const convert::TCommandLineText &text, std::FILE *err) : FText(text), FErr(err) {}
    void Warning(const QString &text) override { Print(FErr, text); }
    ErrorAnswer ErrorDialog(const QString &message) override
    {
        Print(FErr, message);
        return ErrorAnswer::DontSend;
    }
    QString ChooseOpenFile(const QString &, const QString &) override { return {}; }
    bool ChooseFont(QFont &font, QColor &color) override
    {
        if (FText.FontFamily)
            font.setFamily(*FText.FontFamily);
        if (FText.FontPoints)
            font.setPointSize(*FText.FontPoints);
        if (FText.FontColor)
            color = *FText.FontColor;
        return true;
    }

private:
    const convert::TCommandLineText &FText;
    std::FILE *FErr;
};

class TNoProgress final : public convert::IAssemblyProgress
{
public:
    void Open() override {}
    void SetGauge(int) override {}
    void Close() override {}
};

// The effect descriptors the window's Effects tab would send for these settings: the same
// rules, driven through controls that are never shown.
std::vector<player::CVFEffect> EffectsOf(const convert::TCommandLine &command, TCommandLinePrompts &prompts)
{
    player::VideoEffects effects([] { return false; });
    editing::PlayerEffectsTarget target(effects);
    QSlider lightness, saturation, contrast, darkness;
    for (QSlider *slider : {&lightness, &saturation, &contrast, &darkness})
        slider->setRange(0, convert::kMaxEffectLevel);
    saturation.setValue(convert::kMaxEffectLevel);
    QCheckBox greyscale, textOn;
    QLineEdit text, left, top;
    QPushButton reset, font, update;
    core::TActivityLog log;
    editing::EffectsSettings settings({.tbLightness = &lightness,
                                       .tbSaturation = &saturation,
                                       .tbContrast = &contrast,
                                       .tbDarkness = &darkness,
                                       .cbGreyscale = &greyscale,
                                       .Button1 = &reset,
                                       .cbTextLogo = &textOn,
                                       .edTextLogo = &text,
                                       .btFont = &font,
                                       .edTextLogoLeft = &left,
                                       .edTextLogoTop = &top,
                                       .btTextLogoUpdateParams = &update},
                                      target, log, prompts);
    if (command.Lightness != 0) {
        lightness.setValue(command.Lightness);
        settings.tbLightnessChange();
    }
    if (command.Saturation != convert::kMaxEffectLevel) {
        saturation.setValue(command.Saturation);
        settings.tbSaturationChange();
    }
    if (command.Contrast != 0) {
        contrast.setValue(command.Contrast);
        settings.tbContrastChange();
    }
    if (command.Darkness != 0) {
        darkness.setValue(command.Darkness);
        settings.tbDarknessChange();
    }
    if (command.Animation.Greyscale) {
        greyscale.setChecked(true);
        settings.cbGreyscaleClick();
    }
    if (command.Overlay.Text) {
        text.setText(*command.Overlay.Text);
        left.setText(QString::number(command.Overlay.X));
        top.setText(QString::number(command.Overlay.Y));
        textOn.setChecked(true);
        settings.cbTextLogoClick();
        if (command.Overlay.FontFamily || command.Overlay.FontPoints || command.Overlay.FontColor)
            settings.btFontClick();
    }
    return effects.Items();
}

} // namespace

int RunCommandLineConversion(const convert::TCommandLine &command, std::FILE *err)
{
    using convert::kExitBadInput;
    using convert::kExitFailed;
    using convert::kExitOk;
    const bool progress = !command.Quiet;
    const bool terminal = isatty(fileno(err)) != 0;

    // The file: what the window's open checks, with the same remedy texts.
    player::TMediaInfoReader info;
    if (!QFileInfo(command.Input).isFile() || !info.Info_Read(command.Input)) {
        Print(err, QStringLiteral("cannot read '%1'").arg(command.Input));
        return kExitBadInput;
    }
    const clip::TPlayability verdict = clip::JudgePlayability(info.Info());
    if (!verdict.Playable) {
        Print(err, clip::CannotPlayMessage(verdict).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
        return kExitBadInput;
    }
    const int durationMs = info.Info_Video_DurationMSec(0);
    const int startMs = command.StartMs.value_or(0);
    const int endMs = command.EndMs.value_or(durationMs);

    convert::TJobSettings job;
    job.SourceWidth = info.Info_Video_Width(0);
    const int sourceHeight = info.Info_Video_Height(0);
    job.CropLeft = command.Crop ? command.Crop->Left : 0;
    job.CropTop = command.Crop ? command.Crop->Top : 0;
    job.CropWidth = command.Crop ? command.Crop->Width : job.SourceWidth;
    job.CropHeight = command.Crop ? command.Crop->Height : sourceHeight;
    job.GifWidth = command.GifWidth;
    job.GifHeight = command.GifHeight;
    job.Output = command.Animation;
    job.ExactTiming = command.ExactTiming;

    // The window's refusals, with its texts.
    for (const convert::TStartRefusal refusal :
         {convert::CheckClipLength(startMs, endMs), convert::CheckCrop(job.CropWidth, job.CropHeight)}) {
        if (refusal != convert::TStartRefusal::None) {
            Print(err, convert::RefusalTexts(refusal).Warning.replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
            return kExitBadInput;
        }
    }

    TCommandLinePrompts prompts(command.Overlay, err);
    convert::TExactCapture capture(command.Input, EffectsOf(command, prompts), startMs, endMs,
                                   command.Animation.FrameRate);
    if (!capture.Start()) {
        Print(err, QStringLiteral("cannot decode '%1': %2").arg(command.Input, capture.Error()));
        return kExitFailed;
    }

    // Failures that the window reports through its error dialog end here with their texts.
    QString reported;
    core::SetReportErrorHandler([&reported](const QString &message, const QString &) {
        if (reported.isEmpty())
            reported = message;
    });
    struct TRestore {
        ~TRestore() { core::SetReportErrorHandler({}); }
    } restore;

    convert::TConversionJob conversion(job, capture, 0, convert::TWorkerPriority::Normal);
    const int total = capture.Times().Count();
    int shown = -1;
    convert::TExactCapture::TStep step = convert::TExactCapture::TStep::Working;
    while (step == convert::TExactCapture::TStep::Working) {
        step = capture.Step(conversion, 1000);
        const int percent = total > 0 ? capture.Times().Served() * 100 / total : 100;
        if (progress && terminal && percent != shown) {
            std::fprintf(err, "\rquorvane: converting %s: %d %% (%d of %d frames)", qPrintable(QFileInfo(command.Input).fileName()),
                         percent, capture.Times().Served(), total);
            std::fflush(err);
            shown = percent;
        }
    }
    if (progress && terminal)
        std::fprintf(err, "\n");
    if (step == convert::TExactCapture::TStep::Failed) {
        Print(err, reported.isEmpty() ? QStringLiteral("decoding failed: %1").arg(capture.Error()) : reported);
        return kExitFailed;
    }

    core::ConversionState state;
    core::TActivityLog log;
    TNoProgress noDialog;
    if (conversion.Finish(state, log, noDialog) != convert::TAssemblyResult::Done || !state.FImage) {
        Print(err, reported.isEmpty() ? QStringLiteral("the conversion failed") : reported);
        return kExitFailed;
    }
    if (state.FImage->Empty()) {
        Print(err, QStringLiteral("GIF is empty."));
        return kExitFailed;
    }
    try {
        // Written beside the target and moved into place only when whole.
        state.FImage->SaveToFile(QFile::encodeName(command.Output).toStdString());
    } catch (const std::exception &e) {
        Print(err, QStringLiteral("cannot write '%1': %2").arg(command.Output, QString::fromLocal8Bit(e.what())));
        return kExitFailed;
    }
    if (progress)
        std::fprintf(err, "quorvane: %s: %d frames of %dx%d, %lld bytes\n", qPrintable(command.Output),
                     state.FImage->Images().Count(), job.GifWidth, job.GifHeight,
                     static_cast<long long>(QFileInfo(command.Output).size()));
    return kExitOk;
}

} // namespace shell
