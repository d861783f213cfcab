// The capture of every frame exactly: which video frame each output frame takes, on samples
// that draw their frame number, and that the GIF does not depend on the machine's load.
#include <gtest/gtest.h>

#include <QImage>

#include <atomic>
#include <thread>
#include <vector>

#include "ConversionJob.h"
#include "ErrorReport.h"
#include "ExactCapture.h"
#include "GifStream.h"
#include "PlayerTestSupport.h"

namespace {

using convert::TExactCapture;
using convert::TFrameTimes;

TEST(FrameTimes, CountAndServeTheTimesBeforeEachFrame) {
  EXPECT_EQ(TFrameTimes(0, 1000, 30).Count(), 30);
  EXPECT_EQ(TFrameTimes(0, 1001, 30).Count(), 31);
  EXPECT_EQ(TFrameTimes(1010, 1500, 30).Count(), 15);  // ceil(14.7)
  EXPECT_EQ(TFrameTimes(500, 500, 10).Count(), 0);
  EXPECT_EQ(TFrameTimes(0, 60000, 7).Count(), 420);

  // Times 0, 100, 200 ms; a frame starting exactly at a time is shown at it.
  TFrameTimes times(0, 300, 10);
  EXPECT_EQ(times.Before(0), 0);
  EXPECT_EQ(times.Before(100'000'000), 1);  // time 0 shows the frame before
  EXPECT_EQ(times.Before(100'000'001), 1);  // time 100 shows the frame that started at it
  EXPECT_EQ(times.Until(200'000'000), 0);
  EXPECT_EQ(times.Until(200'000'001), 1);
  EXPECT_TRUE(times.Done());

  // Times of 1000 / 30 ms are compared exactly: 33.333... ms lies before 33'333'334 ns and
  // not before 33'333'333 ns.
  TFrameTimes thirds(0, 100, 30);
  EXPECT_EQ(thirds.Before(1), 1);
  EXPECT_EQ(thirds.Before(33'333'333), 0);
  EXPECT_EQ(thirds.Before(33'333'334), 1);
  EXPECT_EQ(thirds.Before(66'666'667), 1);
  EXPECT_TRUE(thirds.Done());
}

class ExactCapture : public ::testing::Test {
 protected:
  ExactCapture() {
    core::SetReportErrorHandler([this](const QString& message, const QString&) { reports.push_back(message); });
  }
  ~ExactCapture() override { core::SetReportErrorHandler({}); }

  // The frame numbers of an exact capture of the sample's whole picture, 640 x 480 into
  // 640 x 480, and the GIF it gives.
  std::vector<int> Capture(const char* sample, int startMs, int endMs, int fps,
                           std::vector<std::uint8_t>* gif = nullptr) {
    TExactCapture capture(playertest::Sample(sample), {}, startMs, endMs, fps);
    EXPECT_TRUE(capture.Start()) << capture.Error().toStdString();
    convert::TJobSettings settings;
    settings.SourceWidth = settings.CropWidth = settings.GifWidth = 640;
    settings.CropHeight = settings.GifHeight = 480;
    settings.Output.FrameRate = fps;
    // Workers at normal priority: at idle priority they would wait for the busy threads.
    convert::TConversionJob job(settings, capture, 2, convert::TWorkerPriority::Normal);
    std::vector<int> frames;
    job.OnCaptured = [&](const QImage& frame) { frames.push_back(playertest::FrameIndex(frame)); };
    TExactCapture::TStep step = TExactCapture::TStep::Working;
    for (int k = 0; k < 100000 && step == TExactCapture::TStep::Working; ++k) step = capture.Step(job, 1000);
    EXPECT_EQ(step, TExactCapture::TStep::Done) << capture.Error().toStdString();
    core::ConversionState state;
    core::TActivityLog log;
    NoProgress progress;
    EXPECT_EQ(job.Finish(state, log, progress), convert::TAssemblyResult::Done);
    if (gif) {
      gifimage::TMemoryStream stream;
      state.FImage->SaveToStream(stream);
      *gif = stream.TakeBytes();
    }
    return frames;
  }

  struct NoProgress : convert::IAssemblyProgress {
    void Open() override {}
    void SetGauge(int) override {}
    void Close() override {}
  };
  std::vector<QString> reports;
};

std::vector<int> Every(int first, int step, int count) {
  std::vector<int> frames;
  for (int k = 0; k < count; ++k) frames.push_back(first + k * step);
  return frames;
}

TEST_F(ExactCapture, TakesTheFrameShownAtEachTime) {
  struct Case {
    const char* what;
    const char* sample;
    int startMs, endMs, fps;
    std::vector<int> frames;
  };
  const Case cases[] = {
      {"every source frame once at its own rate", "h264_640x480.mp4", 0, 1000, 30, Every(0, 1, 30)},
      {"every third at 10 fps", "h264_640x480.mp4", 0, 3000, 10, Every(0, 3, 30)},
      {"a start between two frames takes the one shown then", "h264_640x480.mp4", 1010, 1500, 30, Every(30, 1, 15)},
      {"from a start in the middle of a group of pictures", "h264_640x480.mp4", 2000, 2500, 6, Every(60, 5, 3)},
      {"a clip end past the file's end stops with the last frame", "h264_640x480.mp4", 2500, 5000, 10, Every(75, 3, 5)},
      {"a file with sound: the picture alone", "vp8_640x480_audio.webm", 1010, 1610, 5, Every(30, 6, 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Capture(c.sample, c.startMs, c.endMs, c.fps), c.frames);
  }
  EXPECT_TRUE(reports.empty());
}

// Both cores kept busy by other threads: the same frames, the same bytes.
TEST_F(ExactCapture, GivesTheSameGifOnABusyMachine) {
  std::vector<std::uint8_t> idle, busy;
  const std::vector<int> idleFrames = Capture("h264_640x480.mp4", 500, 2500, 15, &idle);
  std::atomic<bool> stop{false};
  std::vector<std::thread> burners;
  for (int k = 0; k < 2; ++k)
    burners.emplace_back([&] {
      volatile std::uint64_t x = 0;
      while (!stop.load(std::memory_order_relaxed)) x = x + 1;
    });
  const std::vector<int> busyFrames = Capture("h264_640x480.mp4", 500, 2500, 15, &busy);
  stop = true;
  for (std::thread& t : burners) t.join();
  EXPECT_EQ(busyFrames, idleFrames);
  EXPECT_EQ(idleFrames.size(), 30u);
  EXPECT_TRUE(busy == idle);
}

TEST_F(ExactCapture, AFileThatCannotBeDecodedFailsToStartWithAReason) {
  TExactCapture capture(playertest::Sample("not_media.mp4"), {}, 0, 1000, 10);
  EXPECT_FALSE(capture.Start());
  EXPECT_FALSE(capture.Error().isEmpty());
}

}  // namespace
