// Freeing a pipeline returns only once GStreamer has finalised every element of it, also
// the ones a GStreamer thread lets go of after the pipeline reached NULL (a bin finishing
// an asynchronous state change on GStreamer's thread pool) and the ones the player's own
// queued bus messages held: a Close followed at once by an open never runs beside the
// previous pipeline, and nothing of it is taken apart on another thread afterwards.
#include "TVFMediaPlayer.h"
#include "ElementLifetimes.h"
#include "PlayerTestSupport.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace {

using player::ST_FREE;
using player::TVFMediaPlayer;
using playertest::ElementLifetimes;
using playertest::kHangMs;
using playertest::Sample;
using playertest::WaitUntil;

// The moment the pipeline is freed.
enum class FreedAt {
  CloseRightAfterPlay,       // still on its way to playing
  CloseRightAfterSelection,  // prerolling paused, the selection seek not sent yet
  CloseWhilePlaying,         // after the first frame
  CloseAfterEndOfStream,     // the ended pipeline is kept paused until Close
  BusError,                  // playback ends on the error and frees the pipeline itself
  PlayerDestroyed,           // the destructor while playing
};

struct ReleaseCase {
  const char *name;
  const char *file;
  FreedAt at;
};

void PrintTo(const ReleaseCase &c, std::ostream *os) { *os << c.name; }

class PipelineReleaseTest : public testing::TestWithParam<ReleaseCase> {};

TEST_P(PipelineReleaseTest, NoElementOfTheFreedPipelineIsLeftAlive)
{
  const ReleaseCase &c = GetParam();
  ElementLifetimes &elements = ElementLifetimes::Instance();
  // A few rounds: what a GStreamer thread releases late depends on timing.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round + 1);
    elements.StartWatching();
    auto player = std::make_unique<TVFMediaPlayer>();
    player->resize(320, 240);
    QStringList errors;
    player->OnError = [&errors](const QString &text) { errors << text; };
    player->FilenameOrURL = Sample(c.file);
    if (c.at == FreedAt::CloseRightAfterSelection) {
      player->Selection_Active = true;
      player->Selection_Start = 1000;
      player->Selection_Stop = 2000;
    }
    ASSERT_TRUE(player->Play());
    ASSERT_FALSE(elements.Alive().isEmpty()) << "the hook saw no element of the pipeline";

    switch (c.at) {
      case FreedAt::CloseRightAfterPlay:
      case FreedAt::CloseRightAfterSelection:
        player->Close();
        break;
      case FreedAt::CloseWhilePlaying:
      case FreedAt::PlayerDestroyed:
        ASSERT_TRUE(WaitUntil([&] { return player->FrameStats().Frames > 0; }, kHangMs))
            << errors.join("; ").toStdString();
        if (c.at == FreedAt::CloseWhilePlaying)
          player->Close();
        else
          player.reset();
        break;
      case FreedAt::CloseAfterEndOfStream:
        ASSERT_TRUE(WaitUntil([&] { return player->FrameStats().Frames > 0; }, kHangMs));
        ASSERT_TRUE(WaitUntil([&] { return player->Position_Set_Time(2800); }, kHangMs));
        ASSERT_TRUE(WaitUntil([&] { return player->Status() == ST_FREE; }, kHangMs));
        ASSERT_FALSE(elements.Alive().isEmpty()) << "the ended pipeline is kept until Close";
        player->Close();
        break;
      case FreedAt::BusError:
        ASSERT_TRUE(WaitUntil([&] { return player->Status() == ST_FREE; }, kHangMs));
        EXPECT_EQ(errors.size(), 1);
        break;
    }
    // Asked at once: no event loop pass, no waiting.
    const QStringList alive = elements.Alive();
    EXPECT_TRUE(alive.isEmpty()) << alive.join(QStringLiteral(", ")).toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, PipelineReleaseTest,
    testing::Values(
        ReleaseCase{"CloseRightAfterPlay", "h264_640x480_audio.mp4", FreedAt::CloseRightAfterPlay},
        ReleaseCase{"CloseRightAfterSelection", "h264_640x480_audio.mp4",
                    FreedAt::CloseRightAfterSelection},
        ReleaseCase{"CloseWhilePlaying", "vp8_640x480_audio.webm", FreedAt::CloseWhilePlaying},
        ReleaseCase{"CloseAfterEndOfStream", "h264_640x480.mp4", FreedAt::CloseAfterEndOfStream},
        ReleaseCase{"BusError", "not_media.mp4", FreedAt::BusError},
        ReleaseCase{"PlayerDestroyed", "h264_640x480_audio.mp4", FreedAt::PlayerDestroyed}),
    [](const testing::TestParamInfo<ReleaseCase> &info) { return std::string(info.param.name); });

}  // namespace
