// The conversion job without a window: the GIF it streams through its workers is byte for
// byte the one the sequential assembly makes of the same captured frames; a new start or a
// close discards the work; a failure inside a worker ends in the report it belongs to.
// And the ordered worker pipeline underneath it.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ConversionJob.h"
#include "ConversionState.h"
#include "ErrorReport.h"
#include "FrameCapture.h"
#include "GifAssembly.h"
#include "GifDecode.h"
#include "GifStream.h"
#include "OrderedPipeline.h"
#include "gifimage.h"

namespace {

using convert::TAssemblyResult;
using convert::TConversionJob;
using Bytes = std::vector<std::uint8_t>;

// Hands out the pictures of a list, one per capture.
class ListedPictures : public convert::IPictureSource {
 public:
  explicit ListedPictures(std::vector<QImage> pictures) : FPictures(std::move(pictures)) {}
  const QImage* CurrentPicture() override {
    const QImage& picture = FPictures.at(FNext++ % FPictures.size());
    return picture.isNull() ? nullptr : &picture;
  }

 private:
  std::vector<QImage> FPictures;
  std::size_t FNext = 0;
};

class RecordingProgress : public convert::IAssemblyProgress {
 public:
  void Open() override { events.push_back(-1); }
  void SetGauge(int percent) override {
    events.push_back(percent);
    if (onGauge) onGauge(percent);
  }
  void Close() override { events.push_back(-2); }
  std::vector<int> events;  // -1 open, -2 close, otherwise the gauge
  std::function<void(int)> onGauge;
};

// A camera-like picture: gradients, detail that moves with k, and a little grain.
QImage CameraPicture(int width, int height, int k) {
  QImage picture(width, height, QImage::Format_RGB32);
  std::uint32_t seed = 12345u + static_cast<std::uint32_t>(k);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = static_cast<int>(seed >> 28) - 8;
      const int detail = ((x + 3 * k) / 3 + (y - k) / 2) % 5 * 9;
      const auto clamp = [](int c) { return std::clamp(c, 0, 255); };
      row[x] = qRgb(clamp(40 + 180 * x / width + detail + grain), clamp(30 + 200 * y / height - detail + grain),
                    clamp(220 - 150 * (x + y) / (width + height) + grain));
    }
  }
  return picture;
}

QImage FlatPicture(int width, int height, QRgb colour) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(colour);
  return picture;
}

Bytes SaveBytes(gifimage::TGIFImage& image) {
  gifimage::TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.TakeBytes();
}

class ConversionJob : public ::testing::Test {
 protected:
  ConversionJob() {
    core::SetReportErrorHandler([this](const QString& message, const QString& mark) {
      reports.push_back(message + " | " + mark);
    });
  }
  ~ConversionJob() override { core::SetReportErrorHandler({}); }

  static void SetUpSequential(core::ConversionState& state, const convert::TJobSettings& job) {
    state.SourceWidth = job.SourceWidth;
    state.CropLeft = job.CropLeft;
    state.CropTop = job.CropTop;
    state.CropWidth = job.CropWidth;
    state.CropHeight = job.CropHeight;
    state.GifWidth = job.GifWidth;
    state.GifHeight = job.GifHeight;
  }

  // The file the sequential assembly writes for these pictures (empty for an empty GIF).
  static Bytes Sequential(const convert::TJobSettings& job, const std::vector<QImage>& pictures) {
    core::ConversionState state;
    SetUpSequential(state, job);
    for (const QImage& picture : pictures)
      EXPECT_TRUE(convert::CaptureFrame(state, picture.isNull() ? nullptr : &picture));
    core::TActivityLog log;
    RecordingProgress progress;
    EXPECT_EQ(convert::AssembleGif(state, log, job.Output, progress), TAssemblyResult::Done);
    return state.FImage->Empty() ? Bytes{} : SaveBytes(*state.FImage);
  }

  // Captures every picture through a job and finishes it into state.
  TAssemblyResult Streamed(TConversionJob& job, int pictures) {
    for (int k = 0; k < pictures; ++k) EXPECT_TRUE(job.CaptureFrame());
    return job.Finish(state, log, progress);
  }

  Bytes Result() { return state.FImage && !state.FImage->Empty() ? SaveBytes(*state.FImage) : Bytes{}; }

  std::vector<QString> reports;
  core::ConversionState state;
  core::TActivityLog log;
  RecordingProgress progress;
};

// --- The same bytes as the sequential assembly ---

struct IdentityCase {
  const char* name;
  int dither;
  bool greyscale, transparent, loop, alternate;
  // Pictures: c camera-like, b black, w white, n none (a failed grab); all of sourceW x sourceH.
  const char* pictures;
  int sourceW, sourceH, cropLeft, cropTop, cropW, cropH, gifW, gifH;
  int frameRate;
};

class StreamedIdentity : public ConversionJob, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(StreamedIdentity, WritesTheBytesOfTheSequentialAssembly) {
  const IdentityCase& c = GetParam();
  convert::TJobSettings job;
  job.SourceWidth = c.sourceW;
  job.CropLeft = c.cropLeft;
  job.CropTop = c.cropTop;
  job.CropWidth = c.cropW;
  job.CropHeight = c.cropH;
  job.GifWidth = c.gifW;
  job.GifHeight = c.gifH;
  job.Output.FrameRate = c.frameRate;
  job.Output.DitherIndex = c.dither;
  job.Output.Greyscale = c.greyscale;
  job.Output.Transparent = c.transparent;
  job.Output.Loop = c.loop;
  job.Output.Alternate = c.alternate;

  std::vector<QImage> pictures;
  for (const char* p = c.pictures; *p; ++p) {
    const int k = static_cast<int>(p - c.pictures);
    switch (*p) {
      case 'c': pictures.push_back(CameraPicture(c.sourceW, c.sourceH, k)); break;
      case 'b': pictures.push_back(FlatPicture(c.sourceW, c.sourceH, qRgb(0, 0, 0))); break;
      case 'w': pictures.push_back(FlatPicture(c.sourceW, c.sourceH, qRgb(255, 255, 255))); break;
      default: pictures.emplace_back(); break;
    }
  }
  const Bytes expected = Sequential(job, pictures);

  for (const int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    core::ConversionState fresh;
    std::swap(state, fresh);
    log = {};
    ListedPictures source(pictures);
    TConversionJob streamed(job, source, threads);
    ASSERT_EQ(Streamed(streamed, static_cast<int>(pictures.size())), TAssemblyResult::Done);
    EXPECT_TRUE(Result() == expected) << "streamed file differs, " << Result().size() << " bytes against "
                                      << expected.size();
    EXPECT_EQ(log.Lines(), (QStringList{QStringLiteral("Stop recording. Convert bitmaps to GIF"),
                                        QStringLiteral("GIF complete.")}));
    EXPECT_EQ(progress.events.front(), -1);
    EXPECT_EQ(progress.events.back(), -2);
  }
  EXPECT_TRUE(reports.empty());
  if (!expected.empty()) {
    // And what was written is a GIF another decoder reads.
    EXPECT_GT(gifdecode::Decode(expected).frames.size(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StreamedIdentity,
    ::testing::Values(
        IdentityCase{"FloydSteinbergLoopingTransparent", 1, false, true, true, false, "cccccc", 80, 60, 0, 0, 80, 60, 80, 60, 10},
        IdentityCase{"NearestOpaque", 0, false, false, false, false, "ccccc", 80, 60, 10, 5, 40, 40, 60, 40, 16},
        IdentityCase{"StuckiGreyscale", 2, true, true, false, false, "cccc", 80, 60, 0, 0, 80, 60, 50, 50, 30},
        IdentityCase{"SierraAlternatingWithBlankFramesBetween", 3, false, true, true, true, "ccbcwcnc", 64, 48, 8, 4, 48, 40, 64, 48, 12},
        IdentityCase{"OneFrame", 1, false, true, true, true, "c", 64, 48, 0, 0, 64, 48, 32, 24, 10},
        IdentityCase{"BlankFirstFrameLoopsOnTheNext", 1, false, false, true, false, "bccc", 64, 48, 0, 0, 64, 48, 40, 30, 10},
        IdentityCase{"OddSizesAlternating", 1, false, true, false, true, "ccccc", 97, 61, 13, 7, 51, 33, 37, 23, 7},
        IdentityCase{"CropPartlyOutsideThePicture", 0, false, true, true, false, "ccc", 64, 48, 40, 30, 50, 40, 45, 31, 25},
        IdentityCase{"NothingButBlankFrames", 1, false, true, true, true, "bwnb", 64, 48, 0, 0, 64, 48, 32, 24, 10},
        IdentityCase{"NoFrames", 1, false, true, true, true, "", 64, 48, 0, 0, 64, 48, 32, 24, 10}),
    [](const ::testing::TestParamInfo<IdentityCase>& info) { return std::string(info.param.name); });

// --- Settings, start over, discard ---

convert::TJobSettings SmallJob() {
  convert::TJobSettings job;
  job.SourceWidth = 64;
  job.CropWidth = 64;
  job.CropHeight = 48;
  job.GifWidth = 32;
  job.GifHeight = 24;
  job.Output.FrameRate = 16;
  return job;
}

std::vector<QImage> CameraPictures(int count) {
  std::vector<QImage> pictures;
  for (int k = 0; k < count; ++k) pictures.push_back(CameraPicture(64, 48, k));
  return pictures;
}

TEST_F(ConversionJob, IntervalAndDelayBothComeFromTheFrameRateTakenAtTheStart) {
  convert::TJobSettings settings = SmallJob();
  ListedPictures source(CameraPictures(3));
  TConversionJob job(settings, source, 2);
  settings.Output.FrameRate = 25;  // the window's field may change afterwards: the job kept its own
  EXPECT_EQ(job.CaptureIntervalMs(), 62);
  ASSERT_EQ(Streamed(job, 3), TAssemblyResult::Done);
  const gifdecode::Gif gif = gifdecode::Decode(Result());
  ASSERT_EQ(gif.frames.size(), 3u);
  for (const gifdecode::Frame& frame : gif.frames) EXPECT_EQ(frame.delay, 6);
}

// Exact timing: the delays add up to the captured time to the hundredth, and the backward
// pass repeats them backward.
TEST_F(ConversionJob, ExactTimingSpreadsTheDelaysOverTheClip) {
  EXPECT_EQ(convert::ExactDelayCs(0, 30), 3);
  EXPECT_EQ(convert::ExactDelayCs(2, 30), 4);
  EXPECT_EQ(convert::ExactDelayCs(5, 7), 14);  // floor(600 / 7) - floor(500 / 7) = 85 - 71
  convert::TJobSettings settings = SmallJob();
  settings.Output.FrameRate = 30;
  settings.Output.Alternate = true;
  settings.ExactTiming = true;
  ListedPictures source(CameraPictures(10));
  TConversionJob job(settings, source, 2);
  ASSERT_EQ(Streamed(job, 10), TAssemblyResult::Done);
  const gifdecode::Gif gif = gifdecode::Decode(Result());
  ASSERT_EQ(gif.frames.size(), 20u);
  std::vector<int> delays;
  for (const gifdecode::Frame& frame : gif.frames) delays.push_back(frame.delay);
  const std::vector<int> forward{3, 3, 4, 3, 3, 4, 3, 3, 4, 3};
  std::vector<int> expected = forward;
  expected.insert(expected.end(), forward.rbegin(), forward.rend());
  EXPECT_EQ(delays, expected);
  EXPECT_EQ(std::accumulate(forward.begin(), forward.end(), 0), 33);  // 10 frames of 1 / 30 s
}

TEST_F(ConversionJob, ThePreviousGifStaysUntilTheStopReplacesIt) {
  state.FImage = std::make_unique<gifimage::TGIFImage>();
  gifimage::TGIFImage* previous = state.FImage.get();
  ListedPictures source(CameraPictures(4));
  TConversionJob job(SmallJob(), source, 2);
  for (int k = 0; k < 4; ++k) job.CaptureFrame();
  EXPECT_EQ(state.FImage.get(), previous);
  ASSERT_EQ(job.Finish(state, log, progress), TAssemblyResult::Done);
  EXPECT_NE(state.FImage.get(), previous);
  EXPECT_EQ(state.FImage->Images().Count(), 4);
  EXPECT_EQ(job.Finish(state, log, progress), TAssemblyResult::Discarded) << "a job finishes once";
}

// A new start discards the running job; the new one has only its own frames, and the work in
// flight of the old one never reaches FImage.
TEST_F(ConversionJob, StartingOverDiscardsTheWorkInFlight) {
  ListedPictures source(CameraPictures(5));
  auto first = std::make_unique<TConversionJob>(SmallJob(), source, 3);
  for (int k = 0; k < 5; ++k) first->CaptureFrame();
  first->Discard();
  EXPECT_TRUE(first->CaptureFrame()) << "a discarded job ignores later ticks";
  EXPECT_EQ(first->Captured(), 5);
  EXPECT_EQ(first->Finish(state, log, progress), TAssemblyResult::Discarded);
  EXPECT_FALSE(state.FImage);
  EXPECT_TRUE(log.Lines().isEmpty());
  first.reset();

  TConversionJob second(SmallJob(), source, 3);
  ASSERT_EQ(Streamed(second, 2), TAssemblyResult::Done);
  EXPECT_EQ(state.FImage->Images().Count(), 2);
}

// The window closing while the stop waits for the workers: the stop ends at once and
// presents nothing, and FImage is left to the close.
TEST_F(ConversionJob, ADiscardWhileTheStopPaintsEndsTheStop) {
  ListedPictures source(CameraPictures(6));
  TConversionJob job(SmallJob(), source, 2);
  for (int k = 0; k < 6; ++k) job.CaptureFrame();
  progress.onGauge = [&](int percent) {
    if (percent == 10) job.Discard();
  };
  EXPECT_EQ(job.Finish(state, log, progress), TAssemblyResult::Discarded);
  EXPECT_FALSE(state.FImage);
  EXPECT_EQ(progress.events.back(), -2);
  EXPECT_FALSE(log.Lines().contains(QStringLiteral("GIF complete.")));
}

// --- Failures ---

struct FailureCase {
  const char* name;
  TConversionJob::TInjectedFailure failure;
  const char* report;
};

class WorkerFailure : public ConversionJob, public ::testing::WithParamInterface<FailureCase> {};

// Frame 3 of 7 fails on its worker: the frames before it are in the GIF that was being made,
// the report is the one the sequential assembly gives for that step, and nothing is presented.
TEST_P(WorkerFailure, EndsInTheReportOfItsStep) {
  state.FImage = std::make_unique<gifimage::TGIFImage>();
  ListedPictures source(CameraPictures(7));
  TConversionJob job(SmallJob(), source, 3);
  job.InjectFailure(3, GetParam().failure);
  EXPECT_EQ(Streamed(job, 7), TAssemblyResult::Reported);
  EXPECT_EQ(reports, std::vector<QString>{QString::fromUtf8(GetParam().report)});
  EXPECT_FALSE(state.FImage) << "the old GIF is freed as the assembly frees it";
  EXPECT_LE(job.FramesInImage(), 3);
  EXPECT_EQ(log.Lines(), QStringList{QStringLiteral("Stop recording. Convert bitmaps to GIF")});
  EXPECT_EQ(progress.events.back(), -2);
  job.Discard();
  EXPECT_EQ(job.FramesInImage(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WorkerFailure,
    ::testing::Values(FailureCase{"Encoder", TConversionJob::TInjectedFailure::Encoder,
                                  "GifAnimateAddImage function failed | CLM_GifAnimateAddImage"},
                      FailureCase{"Canvas", TConversionJob::TInjectedFailure::Canvas,
                                  "Error converting recorded Bitmaps to GIF (number of bitmaps: 7) | CLM_ProcessingGIF"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(ConversionJob, ACropWithoutAreaFailsEveryCaptureWithItsReport) {
  convert::TJobSettings settings = SmallJob();
  settings.GifHeight = 0;
  ListedPictures source(CameraPictures(1));
  TConversionJob job(settings, source, 1);
  job.CaptureFrame();
  EXPECT_FALSE(job.CaptureFrame());
  EXPECT_EQ(reports, (std::vector<QString>{
                         QStringLiteral("Error capturing Flash Player Frames (Bitmap # -1) | CLM_Timer1Timer"),
                         QStringLiteral("Error capturing Flash Player Frames (Bitmap # 0) | CLM_Timer1Timer")}));
}

// --- The ordered pipeline ---

// Task k only finishes after task k + 1 has: the results still come in the order queued.
TEST(OrderedPipeline, ResultsComeInTheOrderTheTasksWereQueued) {
  constexpr int kTasks = 6;
  std::vector<std::promise<void>> finished(kTasks);
  std::vector<std::shared_future<void>> after;
  for (auto& promise : finished) after.push_back(promise.get_future().share());
  convert::TOrderedPipeline<int> pipeline(kTasks, kTasks, false);
  for (int k = 0; k < kTasks; ++k)
    pipeline.Push([&, k] {
      if (k + 1 < kTasks) after[static_cast<std::size_t>(k + 1)].wait();
      finished[static_cast<std::size_t>(k)].set_value();
      return k * 10;
    });
  for (int k = 0; k < kTasks; ++k) {
    while (!pipeline.WaitForNext(std::chrono::milliseconds(100))) {
    }
    auto done = pipeline.TakeNext();
    ASSERT_TRUE(done);
    EXPECT_FALSE(done->Error);
    EXPECT_EQ(done->Value, k * 10);
  }
  EXPECT_EQ(pipeline.Taken(), kTasks);
}

TEST(OrderedPipeline, AnExceptionTravelsAsTheResultOfItsTask) {
  convert::TOrderedPipeline<int> pipeline(2, 4, false);
  pipeline.Push([] { return 1; });
  pipeline.Push([]() -> int { throw std::runtime_error("broken"); });
  pipeline.Push([] { return 3; });
  std::vector<std::string> seen;
  for (int k = 0; k < 3; ++k) {
    while (!pipeline.WaitForNext(std::chrono::milliseconds(100))) {
    }
    auto done = pipeline.TakeNext();
    ASSERT_TRUE(done);
    if (done->Error) {
      try {
        std::rethrow_exception(done->Error);
      } catch (const std::runtime_error& e) {
        seen.push_back(e.what());
      }
    } else {
      seen.push_back(std::to_string(done->Value));
    }
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "broken", "3"}));
}

// With one worker held and two tasks waiting, a third push waits for room: it cannot return
// before the held task was let go.
TEST(OrderedPipeline, AFullQueueHoldsTheProducerBack) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::mutex mutex;
  std::vector<std::string> events;
  const auto note = [&](std::string event) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(event));
  };
  convert::TOrderedPipeline<int> pipeline(1, 2, false);
  std::promise<void> firstRunning;
  pipeline.Push([&] {
    firstRunning.set_value();
    released.wait();
    return 0;
  });
  firstRunning.get_future().wait();
  for (int k = 1; k <= 2; ++k) pipeline.Push([k] { return k; });
  std::thread producer([&] {
    pipeline.Push([] { return 3; });
    note("pushed 3");
  });
  note("release");
  release.set_value();
  producer.join();
  pipeline.Stop();
  EXPECT_EQ(events, (std::vector<std::string>{"release", "pushed 3"}));
  EXPECT_EQ(pipeline.Pushed(), 4);
}

TEST(OrderedPipeline, DroppedTasksNeverRun) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> ran{0};
  convert::TOrderedPipeline<int> pipeline(1, 8, false);
  std::promise<void> firstRunning;
  pipeline.Push([&] {
    firstRunning.set_value();
    released.wait();
    return ++ran;
  });
  firstRunning.get_future().wait();
  for (int k = 0; k < 4; ++k) pipeline.Push([&] { return ++ran; });
  pipeline.DropWaiting();
  pipeline.Push([&] { return ++ran; });  // refused after the drop
  release.set_value();
  pipeline.Stop();
  EXPECT_EQ(ran.load(), 1);
  EXPECT_EQ(pipeline.Pushed(), 5);
}

}  // namespace
