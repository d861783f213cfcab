// One conversion from "Convert to GIF" to the finished GIF: the settings taken once at the
// start, the capture of each timer tick, and the GIF growing while the clip still plays.
//
// Each captured frame goes at once, through a bounded queue, to worker threads that compose
// it on the canvas, drop it when blank, reduce its colours, find its transparent index and
// compress it (gifenc::PrepareAnimationFrame). The UI thread puts the finished frames into a
// new image in capture order, so the file is byte for byte what AssembleGif makes of the same
// frames, and holds them compressed. The stop only waits for what is left, adds the backward
// pass of an alternating animation from the forward frames, and then replaces
// ConversionState::FImage.
//
// Threads: every member function runs on the UI thread. The workers see only what each task
// carries (the captured picture by value and the settings); results come back through
// TOrderedPipeline. The workers are joined by Discard and by the destructor.
#pragma once

#include <QImage>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ActivityLog.h"
#include "AnimationFrames.h"
#include "ConversionState.h"
#include "FrameGeometry.h"
#include "GifAssembly.h"
#include "OrderedPipeline.h"
#include "gifimage.h"

namespace convert {

// Where the capture takes its pictures.
class IPictureSource {
 public:
  virtual ~IPictureSource() = default;
  // The picture to capture now (the player's current frame, or the black picture of the open
  // video); null counts as black. Valid until the next call. UI thread.
  virtual const QImage* CurrentPicture() = 0;
};

// What a conversion takes from the window when "Convert to GIF" is accepted: the crop and
// GIF size (source and GIF pixels) and the output settings, all read at that one moment.
struct TJobSettings {
  int SourceWidth = 0;
  int CropLeft = 0;
  int CropTop = 0;
  int CropWidth = 0;
  int CropHeight = 0;
  int GifWidth = 0;
  int GifHeight = 0;
  TAssemblySettings Output;
  // Delays spread so that they add up to the clip: captured frame i shows for
  // floor((i + 1) x 100 / F) - floor(i x 100 / F) hundredths (30 fps: 3, 3, 4, ...), and the
  // backward pass repeats each frame's delay. Off: every frame gets r(1000 / F) div 10.
  bool ExactTiming = false;
};

// The delay of captured frame `index` with ExactTiming, hundredths of a second.
int ExactDelayCs(int index, int framesPerSecond);

// Idle: the workers run only when no other thread wants the processor (the window's
// conversion, where the player and the capture tick come first). Normal: as any thread (a
// conversion without a player to keep in time, such as the command line's).
enum class TWorkerPriority { Idle, Normal };

class TConversionJob {
 public:
  // threads 0: one worker per hardware thread.
  TConversionJob(const TJobSettings& settings, IPictureSource& source, int threads = 0,
                 TWorkerPriority priority = TWorkerPriority::Idle);
  ~TConversionJob();
  TConversionJob(const TConversionJob&) = delete;
  TConversionJob& operator=(const TConversionJob&) = delete;

  const TJobSettings& Settings() const { return FSettings; }
  // Where the picture lies on the GIF canvas; nullopt for a crop or GIF size without area.
  const std::optional<TFrameGeometry>& Geometry() const { return FGeometry; }
  // The capture timer's interval for the snapshot's frame rate (CaptureIntervalMs); 0 for a
  // rate that gives none.
  int CaptureIntervalMs() const;
  int Workers() const { return FPipeline ? FPipeline->Threads() : 0; }

  // One capture tick: the current picture, cropped and scaled to its place on the canvas
  // (CaptureCrop), goes to the workers; finished frames are added to the new image. Waits for
  // room while the queue is full. A failed capture reports "Error capturing Flash Player
  // Frames (Bitmap # <n - 1>)" with "CLM_Timer1Timer" (n: frames captured before the tick)
  // and returns false. Does nothing once the job is finishing, finished or discarded.
  bool CaptureFrame();

  // The stop: with `progress` shown, waits for the frames still with the workers (keeping the
  // dialog painted), adds the backward pass when alternating, then frees the old
  // state.FImage and puts the new GIF in its place. Logs "Stop recording. Convert bitmaps to
  // GIF" and "GIF complete." like AssembleGif, and reports a failure where AssembleGif would
  // have met it: "Error setup FImage" (CLM_FImage), "Error converting recorded Bitmaps to GIF
  // (number of bitmaps: N)" (CLM_ProcessingGIF) or "GifAnimateAddImage function failed"
  // (CLM_GifAnimateAddImage); nothing of state is touched after a report. A Discard while
  // the dialog is painted ends it with Discarded. Runs once; later calls return Discarded.
  TAssemblyResult Finish(core::ConversionState& state, core::TActivityLog& log, IAssemblyProgress& progress);

  // Drops the work: the frames not begun, the finished ones and the new image. Joins the
  // workers. Safe from a nested event loop of CaptureFrame or Finish (the object stays
  // valid; its later calls do nothing).
  void Discard();

  // Called on the UI thread with every frame a tick captured (cropped and scaled), before it
  // goes to the workers. For watchers such as tests; may be empty.
  std::function<void(const QImage&)> OnCaptured;

  // Frames captured so far (ticks that ran), frames added to the new image so far.
  int Captured() const { return FCaptured; }
  int FramesInImage() const { return FImage ? FImage->Images().Count() : 0; }

  // For tests: fails the worker step of frame `index` (0-based, in capture order) as if the
  // encoder had raised, or as if composing the canvas had run out of memory.
  enum class TInjectedFailure { None, Encoder, Canvas };
  void InjectFailure(int index, TInjectedFailure failure) {
    FInjectAt = index;
    FInjected = failure;
  }

 private:
  // What a worker makes of one captured frame.
  struct TFrameOutcome {
    enum class TFailure { None, Canvas, Encoder };
    TFailure Failure = TFailure::None;
    bool Blank = false;
    gifenc::PreparedFrame Frame;
  };
  enum class TStage { Capturing, Finishing, Ended };
  // Where the work stopped and the report it gets.
  enum class TFailure { None, Processing, AddImage };

  // Adds the finished frames that are next in capture order to the new image.
  void TakeFinished();
  void Fail(TFailure failure);
  void Report(TFailure failure) const;

  TJobSettings FSettings;
  IPictureSource& FSource;
  std::optional<TFrameGeometry> FGeometry;
  gifenc::AnimationSettings FFrameSettings;  // delay, looping, transparent colour
  std::optional<std::uint16_t> FDelayMs;      // nullopt: the frame rate gives no delay
  gifenc::FrameReduction FReduction;
  gifimage::TColor FBackground = kLime;

  std::unique_ptr<gifimage::TGIFImage> FImage;  // the new GIF; null when its setup failed
  std::vector<int> FTransparentIndices;         // of the frames in FImage, for the backward pass
  std::vector<std::uint16_t> FDelaysCs;         // the same
  std::unique_ptr<TOrderedPipeline<TFrameOutcome>> FPipeline;

  TStage FStage = TStage::Capturing;
  TFailure FFailure = TFailure::None;
  bool FDiscarded = false;
  int FCaptured = 0;
  int FTaken = 0;  // results taken from the workers, in capture order

  int FInjectAt = -1;
  TInjectedFailure FInjected = TInjectedFailure::None;
};

}  // namespace convert
