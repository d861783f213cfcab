#include "TVFMediaPlayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>

namespace {

using player::ST_FREE;
using player::ST_PAUSE;
using player::ST_PLAY;
using player::TVFMediaPlayer;

QString Sample(const char *name)
{
  return QStringLiteral(QUORVANE_SAMPLES_DIR "/") + QString::fromLatin1(name);
}

// Runs the UI event loop until the predicate holds or ms have passed.
bool WaitUntil(const std::function<bool()> &predicate, int ms)
{
  QElapsedTimer timer;
  timer.start();
  while (!predicate()) {
    if (timer.elapsed() > ms)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// The frame index the sample videos draw as 16 black/white blocks along the top; -1 for a
// picture too small to hold them.
int FrameIndex(const QImage &frame)
{
  if (frame.width() < 256 || frame.height() < 16)
    return -1;
  int index = 0;
  for (int k = 0; k < 16; ++k) {
    const bool white = qGray(frame.pixel(16 * k + 8, 8)) > 128;
    index = (index << 1) | (white ? 1 : 0);
  }
  return index;
}

// A player with recorded events, playing nothing yet.
struct PlayerFixture : ::testing::Test {
  TVFMediaPlayer player;
  QStringList errors;
  int stops = 0;

  PlayerFixture()
  {
    player.resize(320, 240);
    player.OnError = [this](const QString &text) { errors << text; };
    player.OnStop = [this] { ++stops; };
  }

  // Starts the file and waits for its first frame.
  void PlayUntilFirstFrame(const char *name)
  {
    player.FilenameOrURL = Sample(name);
    ASSERT_TRUE(player.Play());
    ASSERT_EQ(player.Status(), ST_PLAY);
    ASSERT_TRUE(WaitUntil([&] { return !player.Frame_GetCurrent().isNull(); }, 5000))
        << errors.join("; ").toStdString();
  }
};

using MediaPlayerTest = PlayerFixture;

TEST_F(MediaPlayerTest, PlaysAndDeliversFramesAtTheVideoSize)
{
  PlayUntilFirstFrame("h264_640x480.mp4");
  const QImage &frame = player.Frame_GetCurrent();
  EXPECT_EQ(frame.size(), QSize(640, 480));
  EXPECT_EQ(frame.format(), QImage::Format_RGB32);
  // Frames keep coming while playing, and the object lent out stays the same.
  const int first = FrameIndex(frame);
  EXPECT_TRUE(WaitUntil([&] { return FrameIndex(player.Frame_GetCurrent()) > first + 3; }, 3000));
  EXPECT_EQ(&player.Frame_GetCurrent(), &frame);
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(MediaPlayerTest, AccurateSeekWhilePausedShowsThatFrame)
{
  PlayUntilFirstFrame("h264_640x480.mp4");
  player.Pause();
  EXPECT_EQ(player.Status(), ST_PAUSE);
  ASSERT_TRUE(player.Position_Set_Time(1000));
  // A seek kept for async-done already reports its target.
  EXPECT_EQ(player.Position_Get_Time(), 1000);
  EXPECT_TRUE(WaitUntil([&] { return FrameIndex(player.Frame_GetCurrent()) == 30; }, 5000))
      << "frame " << FrameIndex(player.Frame_GetCurrent());
  EXPECT_EQ(player.Position_Get_Time(), 1000);
  EXPECT_EQ(player.Status(), ST_PAUSE);

  // Play on a paused player resumes (no new start).
  EXPECT_FALSE(player.Play());
  EXPECT_EQ(player.Status(), ST_PLAY);
  EXPECT_TRUE(WaitUntil([&] { return FrameIndex(player.Frame_GetCurrent()) > 31; }, 3000));
}

// The usual stepping case: pause a pipeline that has been playing for a while, then seek.
TEST_F(MediaPlayerTest, SeekAfterSettledPauseShowsThatFrame)
{
  PlayUntilFirstFrame("h264_640x480.mp4");
  WaitUntil([] { return false; }, 300);
  player.Pause();
  WaitUntil([] { return false; }, 100);
  ASSERT_TRUE(player.Position_Set_Time(2000));
  EXPECT_TRUE(WaitUntil([&] { return FrameIndex(player.Frame_GetCurrent()) == 60; }, 3000))
      << "frame " << FrameIndex(player.Frame_GetCurrent());
  EXPECT_EQ(player.Position_Get_Time(), 2000);
}

TEST_F(MediaPlayerTest, EndOfStreamStopsOnceAndKeepsThePipeline)
{
  PlayUntilFirstFrame("h264_640x480_audio.mp4");
  ASSERT_TRUE(WaitUntil([&] { return player.Position_Set_Time(2800); }, 3000));
  ASSERT_TRUE(WaitUntil([&] { return player.Status() == ST_FREE; }, 5000));
  WaitUntil([] { return false; }, 200);  // let any late message arrive
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(player.Position_Get_Time(), 0);
  // The stopped pipeline is still there for seeking; Stop leaves it, Close frees it.
  player.Stop();
  EXPECT_TRUE(player.Position_Set_Time(500));
  player.Close();
  EXPECT_FALSE(player.Position_Set_Time(500));
  EXPECT_EQ(stops, 1);
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(MediaPlayerTest, StopFreesAndIsHarmlessTwice)
{
  PlayUntilFirstFrame("vp8_640x480.webm");
  player.Stop();
  EXPECT_EQ(player.Status(), ST_FREE);
  EXPECT_FALSE(player.Position_Set_Time(1000));
  EXPECT_EQ(player.Position_Get_Time(), 0);
  player.Stop();
  player.Pause();
  EXPECT_EQ(player.Status(), ST_FREE);
  EXPECT_EQ(stops, 0);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(MediaPlayerTest, MissingFileIsReportedAndChangesNothing)
{
  player.FilenameOrURL = Sample("no_such_file.mp4");
  EXPECT_FALSE(player.Play());
  EXPECT_EQ(errors, QStringList{QStringLiteral("Can't find input file.")});
  EXPECT_EQ(player.Status(), ST_FREE);
  EXPECT_TRUE(player.Frame_GetCurrent().isNull());
}

TEST_F(MediaPlayerTest, PlayMakesTheControlSizeEven)
{
  player.resize(375, 263);
  PlayUntilFirstFrame("h264_640x480.mp4");
  EXPECT_EQ(player.size(), QSize(374, 262));
}

// A pipeline that fails after the start (a text file) ends playback like the end of the
// stream, and a grab before its first frame never returns the previous file's picture.
TEST_F(MediaPlayerTest, BusErrorEndsPlaybackAndNewPipelineLendsBlackFrame)
{
  PlayUntilFirstFrame("h264_640x480.mp4");
  const QImage *lent = &player.Frame_GetCurrent();
  player.FilenameOrURL = Sample("not_media.mp4");
  EXPECT_TRUE(player.Play());
  const QImage &frame = player.Frame_GetCurrent();
  EXPECT_EQ(&frame, lent);
  EXPECT_EQ(frame.size(), QSize(640, 480));
  EXPECT_EQ(frame.pixel(320, 240), qRgb(0, 0, 0));
  EXPECT_EQ(frame.pixel(24, 8), qRgb(0, 0, 0));

  ASSERT_TRUE(WaitUntil([&] { return player.Status() == ST_FREE; }, 5000));
  EXPECT_EQ(errors.size(), 1);
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(player.Position_Get_Time(), 0);
}

// The effects stage runs on every delivered frame: with greyscale on, the bars come out grey.
TEST_F(MediaPlayerTest, DeliveredFramesCarryTheEffects)
{
  player.Effects().Video_Effect_Ex(1, 0, 0, true, player::ef_greyscale, 0, QString());
  PlayUntilFirstFrame("h264_640x480.mp4");
  const QImage &frame = player.Frame_GetCurrent();
  for (int x = 20; x < 640; x += 80) {
    const QRgb pixel = frame.pixel(x, 300);
    EXPECT_TRUE(qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel)) << "x " << x;
  }
  EXPECT_EQ(player.Effects().Items().size(), 1u);  // the list outlives the pipeline
}

// The control letterboxes the latest frame on its background colour.
TEST_F(MediaPlayerTest, PaintsTheFrameLetterboxedOnTheBackground)
{
  player.resize(400, 240);
  player.Background_Color = Qt::red;
  PlayUntilFirstFrame("h264_640x480.mp4");
  player.Pause();
  const QImage shot = player.grab().toImage();
  ASSERT_EQ(shot.size(), QSize(400, 240));
  EXPECT_EQ(shot.pixel(10, 120), qRgb(255, 0, 0));   // left band
  EXPECT_EQ(shot.pixel(390, 120), qRgb(255, 0, 0));  // right band
  EXPECT_NE(shot.pixel(200, 200), qRgb(255, 0, 0));  // the picture (320 x 240, centred)

  player.Stop();
  const QImage stopped = player.grab().toImage();
  EXPECT_EQ(stopped.pixel(200, 200), qRgb(255, 0, 0));
}

}  // namespace
