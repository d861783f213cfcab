#include "ConversionJob.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>
#include <stdexcept>

#include "ConversionStart.h"
#include "ErrorReport.h"
#include "FrameCapture.h"
#include "GIFException.h"
#include "Rounding.h"

namespace convert {

using namespace gifimage;

namespace {

// Pixels of captured frames that may wait for a worker. The capture of the largest GIF
// (1000 x 1000) holds about 150 frames, 5 s of a 30 fps clip, before it waits for room.
constexpr std::int64_t kQueuedPixelBytes = std::int64_t{256} << 20;
constexpr std::int64_t kMaxQueuedFrames = 512;

// How long the stop sleeps between repaints of the dialog while the workers finish.
constexpr std::chrono::milliseconds kPaintInterval{30};

}  // namespace

int ExactDelayCs(int index, int framesPerSecond) {
  const std::int64_t fps = std::max(framesPerSecond, 1);
  return static_cast<int>((std::int64_t{index} + 1) * 100 / fps - std::int64_t{index} * 100 / fps);
}

TConversionJob::TConversionJob(const TJobSettings& settings, IPictureSource& source, int threads,
                               TWorkerPriority priority)
    : FSettings(settings), FSource(source) {
  const TAssemblySettings& output = settings.Output;
  try {
    FGeometry = FrameGeometry(settings.CropWidth, settings.CropHeight, settings.GifWidth, settings.GifHeight);
  } catch (const std::invalid_argument&) {
    // Every capture fails and is reported, as a capture of such a crop always has.
  }
  try {
    const int delayMs = core::RoundHalfEven(1000.0 / output.FrameRate);
    if (delayMs >= 0 && delayMs <= 0xFFFF) FDelayMs = static_cast<std::uint16_t>(delayMs);
  } catch (const core::NumberError&) {
    // A rate of 0: the first frame to be added fails, as in the assembly.
  }
  FFrameSettings.Delay = static_cast<std::uint16_t>(FDelayMs.value_or(0) / 10);
  FFrameSettings.Loop = output.Loop;
  if (output.Transparent) FFrameSettings.Transparent = kLime;
  FBackground = output.Transparent ? kLime : kBlack;

  try {
    FImage = NewAnimation(output);
    FReduction = gifenc::ReductionOf(*FImage);
    const int workers = threads > 0 ? threads : HardwareThreads();
    const std::int64_t frameBytes =
        FGeometry ? std::max<std::int64_t>(std::int64_t{3} * FGeometry->Width() * FGeometry->Height(), 1) : 1;
    const std::int64_t queued =
        std::clamp<std::int64_t>(kQueuedPixelBytes / frameBytes, 2 * std::int64_t{workers}, kMaxQueuedFrames);
    FPipeline = std::make_unique<TOrderedPipeline<TFrameOutcome>>(workers, static_cast<std::size_t>(queued),
                                                                   priority == TWorkerPriority::Idle);
  } catch (const std::exception&) {
    // Reported at the stop, where the assembly sets its image up.
    FImage.reset();
    FPipeline.reset();
  }
}

TConversionJob::~TConversionJob() { Discard(); }

int TConversionJob::CaptureIntervalMs() const {
  try {
    return convert::CaptureIntervalMs(FSettings.Output.FrameRate);
  } catch (const core::NumberError&) {
    return 0;
  }
}

bool TConversionJob::CaptureFrame() {
  if (FStage != TStage::Capturing || FDiscarded) return true;
  const int n = FCaptured++;
  QImage crop;
  try {
    if (!FGeometry) throw std::invalid_argument("crop and GIF sizes must be positive");
    static const QImage kNoPicture;
    const QImage* picture = FSource.CurrentPicture();
    crop = CaptureCrop(picture ? *picture : kNoPicture, FSettings.SourceWidth, FSettings.CropLeft,
                       FSettings.CropTop, FSettings.CropWidth, FSettings.CropHeight, FGeometry->Width(),
                       FGeometry->Height());
  } catch (const std::exception&) {
    ReportCaptureFailure(n);
    return false;
  }
  if (OnCaptured) OnCaptured(crop);
  if (FDiscarded) return true;  // discarded while the picture was taken or watched

  // After a failure the GIF ends there: later frames are only counted.
  if (FPipeline && FFailure == TFailure::None) {
    const TFrameGeometry dest = *FGeometry;
    const int width = FSettings.GifWidth, height = FSettings.GifHeight;
    const TColor background = FBackground;
    const gifenc::FrameReduction reduction = FReduction;
    const std::optional<TColor> transparent = FFrameSettings.Transparent;
    const TInjectedFailure injected = n == FInjectAt ? FInjected : TInjectedFailure::None;
    try {
      // Runs on a worker with its own copies of the settings. The picture moves into the task,
      // so the worker holds its only reference and frees it there.
      FPipeline->Push([crop = std::move(crop), width, height, dest, background, reduction, transparent, injected]() {
        TFrameOutcome outcome;
        TBitmap canvas;
        try {
          if (injected == TInjectedFailure::Canvas) throw std::bad_alloc();
          canvas = TBitmap(width, height, TPixelFormat::pf24bit);
          outcome.Blank = ComposeFrame(canvas, crop, dest, background);
        } catch (const std::exception&) {
          outcome.Failure = TFrameOutcome::TFailure::Canvas;
          return outcome;
        }
        if (outcome.Blank) return outcome;
        try {
          if (injected == TInjectedFailure::Encoder) throw GIFException(msg::NoPalette);
          outcome.Frame = gifenc::PrepareAnimationFrame(canvas, reduction, transparent);
        } catch (const std::exception&) {
          outcome.Failure = TFrameOutcome::TFailure::Encoder;
        }
        return outcome;
      });
    } catch (const std::exception&) {
      Fail(TFailure::Processing);  // no memory for the task itself
    }
  }
  TakeFinished();
  return true;
}

void TConversionJob::Fail(TFailure failure) {
  if (FFailure != TFailure::None) return;
  FFailure = failure;
  // Nothing after this frame goes into the GIF: the frames not begun are dropped.
  if (FPipeline) FPipeline->DropWaiting();
}

void TConversionJob::TakeFinished() {
  if (!FPipeline) return;
  while (FFailure == TFailure::None && !FDiscarded) {
    std::optional<TOrderedPipeline<TFrameOutcome>::TDone> done = FPipeline->TakeNext();
    if (!done) return;
    ++FTaken;
    if (done->Error) {
      Fail(TFailure::Processing);
      return;
    }
    TFrameOutcome& outcome = done->Value;
    switch (outcome.Failure) {
      case TFrameOutcome::TFailure::Canvas:
        Fail(TFailure::Processing);
        return;
      case TFrameOutcome::TFailure::Encoder:
        Fail(TFailure::AddImage);
        return;
      case TFrameOutcome::TFailure::None:
        break;
    }
    if (outcome.Blank) continue;
    if (!FDelayMs) {
      Fail(TFailure::Processing);
      return;
    }
    try {
      gifenc::AnimationSettings frame = FFrameSettings;
      if (FSettings.ExactTiming)
        frame.Delay = static_cast<std::uint16_t>(ExactDelayCs(FTaken - 1, FSettings.Output.FrameRate));
      gifenc::AppendAnimationFrame(*FImage, outcome.Frame.Frame(), outcome.Frame.TransparentIndex, frame);
      FDelaysCs.push_back(frame.Delay);
      FTransparentIndices.push_back(outcome.Frame.TransparentIndex);
    } catch (const std::exception&) {
      Fail(TFailure::AddImage);
      return;
    }
  }
}

void TConversionJob::Report(TFailure failure) const {
  if (failure == TFailure::AddImage)
    core::ReportError(QStringLiteral("GifAnimateAddImage function failed"), QStringLiteral("CLM_GifAnimateAddImage"));
  else
    core::ReportError(
        QStringLiteral("Error converting recorded Bitmaps to GIF (number of bitmaps: %1)").arg(FCaptured),
        QStringLiteral("CLM_ProcessingGIF"));
}

TAssemblyResult TConversionJob::Finish(core::ConversionState& state, core::TActivityLog& log,
                                       IAssemblyProgress& progress) {
  if (FStage != TStage::Capturing || FDiscarded) return TAssemblyResult::Discarded;
  FStage = TStage::Finishing;

  progress.Open();
  log.Add(QStringLiteral("Stop recording. Convert bitmaps to GIF"));
  progress.SetGauge(0);
  // After a report the main window has closed and freed the image; only the dialog is left.
  const auto endAfterReport = [&] {
    FStage = TStage::Ended;
    progress.Close();
    return TAssemblyResult::Reported;
  };
  const auto endDiscarded = [&] {
    FStage = TStage::Ended;
    progress.Close();
    return TAssemblyResult::Discarded;
  };
  if (FDiscarded) return endDiscarded();

  if (state.FImage) {
    state.FImage->Clear();
    state.FImage.reset();
  }
  if (!FImage) {
    core::ReportError(QStringLiteral("Error setup FImage"), QStringLiteral("CLM_FImage"));
    return endAfterReport();
  }
  progress.SetGauge(10);

  // What is left: the frames still with the workers, then the backward pass. The gauge runs
  // over it as the assembly's runs over all frames, each pass taking its half.
  const int passes = FSettings.Output.Alternate ? 2 : 1;
  // A capture that failed was reported and queued nothing.
  const auto queued = [&] { return static_cast<int>(FPipeline->Pushed()); };
  const int leftAtStop = queued() - FTaken;
  const auto gauge = [&](int done, int of, int pass) {
    if (of > 0) progress.SetGauge(core::RoundHalfEven(done * 100.0 / (of * passes)) + (pass - 1) * 50);
  };
  TakeFinished();
  while (FFailure == TFailure::None && !FDiscarded && FTaken < queued()) {
    if (!FPipeline->WaitForNext(kPaintInterval)) progress.KeepPainted();
    TakeFinished();
    gauge(leftAtStop - (queued() - FTaken), leftAtStop, 1);
  }
  if (FDiscarded) return endDiscarded();
  if (FFailure != TFailure::None) {
    Report(FFailure);
    return endAfterReport();
  }

  if (passes == 2) {
    const int forward = FImage->Images().Count();
    for (int k = forward - 1; k >= 0; --k) {
      try {
        gifenc::AnimationSettings frame = FFrameSettings;
        frame.Delay = FDelaysCs[static_cast<std::size_t>(k)];
        gifenc::AppendAnimationFrame(*FImage, *FImage->Images()[k], FTransparentIndices[static_cast<std::size_t>(k)],
                                     frame);
      } catch (const std::exception&) {
        Report(TFailure::AddImage);
        return endAfterReport();
      }
      gauge(forward - k, forward, 2);
      if (FDiscarded) return endDiscarded();
    }
  }

  state.FImage = std::move(FImage);
  FPipeline->Stop();
  FStage = TStage::Ended;
  log.Add(QStringLiteral("GIF complete."));
  progress.Close();
  return TAssemblyResult::Done;
}

void TConversionJob::Discard() {
  FDiscarded = true;
  if (FPipeline) FPipeline->Stop();
  // The pipeline object stays: a Finish further up the stack may still be waiting on it.
  FImage.reset();
  FTransparentIndices.clear();
  FDelaysCs.clear();
}

}  // namespace convert
