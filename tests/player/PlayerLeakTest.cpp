// Repeated play / seek / stop cycles must leave no GStreamer objects (elements, pads, buses,
// messages, buffers, caps, ...) and no Qt children behind.
//
// GStreamer's leaks tracer records every GstObject and GstMiniObject made and destroyed, but
// it has to be chosen through GST_TRACERS before gst_init. So each case re-runs this program
// as a child with the tracer on and only that case selected; the child does the counting.
#include "TVFMediaPlayer.h"
#include "ElementLifetimes.h"
#include "LeaksTracer.h"
#include "PlayerTestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

using player::ST_FREE;
using player::ST_PLAY;
using player::TVFMediaPlayer;

using playertest::ElementLifetimes;
using playertest::kHangMs;
using playertest::LeaksTracer;
using playertest::Sample;
using playertest::WaitUntil;

constexpr const char *kChildFlag = "QUORVANE_PLAYER_LEAK_CHILD";
// Cycles measured after the warm-up cycle. A leak of one object per cycle shows as a growth
// of this many; anything that only fills a cache once is already there after the warm-up.
constexpr int kCycles = 20;
// Lines the child prints for the parent to pass on.
constexpr const char *kReportPrefix = "leak check:";

using TypeCounts = std::map<std::string, int>;

// What is left of everything made since the tracer started tracking.
struct Leftovers {
  QStringList elements;  // elements never finalised, by type and name
  TypeCounts objects;    // objects still alive, by type name
};

// Waits until every element made since the start has been finalised, or boundMs have
// passed: a GStreamer thread may let go of a pipeline a moment after it was freed, and
// what the pipeline holds goes with it. Only then are the objects counted, so nothing is
// counted that is merely on its way out.
Leftovers LeftSinceStart(LeaksTracer &tracer, int boundMs)
{
  Leftovers left;
  left.elements = ElementLifetimes::Instance().WaitUntilNoneAlive(boundMs);
  for (GType type : tracer.WaitUntilGone([](GType) { return true; }, boundMs))
    ++left.objects[g_type_name(type)];
  return left;
}

std::string Describe(const TypeCounts &counts)
{
  std::ostringstream text;
  for (const auto &[type, count] : counts)
    text << "  " << type << " " << count << "\n";
  return text.str();
}

int Total(const TypeCounts &counts)
{
  int total = 0;
  for (const auto &entry : counts)
    total += entry.second;
  return total;
}

void StartCounting(LeaksTracer &tracer)
{
  tracer.StartTracking();
  ElementLifetimes::Instance().StartWatching();
}

// How a cycle ends.
enum class CycleEnd {
  StopAfterSeek,  // first frame, seek, a moment of playing, Stop and Close
  EndOfStream,    // first frame, seek near the end, end of the stream, Close
  BusError,       // a text file: the pipeline fails with a bus error, Close
};

struct CycleCase {
  const char *name;
  const char *file;
  CycleEnd end;
};

void PrintTo(const CycleCase &c, std::ostream *os) { *os << c.name; }

// A player with recorded events.
struct CyclingPlayer {
  TVFMediaPlayer player;
  QStringList errors;
  int stops = 0;

  CyclingPlayer()
  {
    player.resize(320, 240);
    player.OnError = [this](const QString &text) { errors << text; };
    player.OnStop = [this] { ++stops; };
  }

  // One play cycle ending as the case says; the player is closed afterwards.
  void RunCycle(const CycleCase &c)
  {
    const int stopsBefore = stops;
    player.FilenameOrURL = Sample(c.file);
    ASSERT_TRUE(player.Play());
    if (c.end == CycleEnd::BusError) {
      ASSERT_TRUE(WaitUntil([&] { return player.Status() == ST_FREE; }, kHangMs));
      EXPECT_EQ(stops, stopsBefore + 1);
      player.Close();
      return;
    }
    // The counters are reset at every build, so a frame counted is one of this pipeline.
    ASSERT_TRUE(WaitUntil([&] { return player.FrameStats().Frames > 0; }, kHangMs))
        << errors.join("; ").toStdString();
    if (c.end == CycleEnd::StopAfterSeek) {
      const std::int64_t framesBefore = player.FrameStats().Frames;
      ASSERT_TRUE(player.Position_Set_Time(1000));
      // A frame after the seek: the seek has been carried out, 2 s before the end.
      ASSERT_TRUE(WaitUntil([&] { return player.FrameStats().Frames > framesBefore + 1; }, kHangMs));
      EXPECT_EQ(player.Status(), ST_PLAY);
      player.Stop();
      player.Close();
    } else {
      ASSERT_TRUE(WaitUntil([&] { return player.Position_Set_Time(2800); }, kHangMs));
      ASSERT_TRUE(WaitUntil([&] { return stops == stopsBefore + 1; }, kHangMs));
      player.Close();
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
  }
};

class PlayerLeakTest : public testing::TestWithParam<CycleCase> {};

TEST_P(PlayerLeakTest, RepeatedCyclesLeaveNoObjectsBehind)
{
  const CycleCase &c = GetParam();
  if (!playertest::IsChild(kChildFlag)) {
    // Started here rather than through ExpectChildPasses so that the child's figures are
    // passed on also when it passes.
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildFlag), QStringLiteral("1"));
    env.insert(QStringLiteral("GST_TRACERS"), QStringLiteral("leaks"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=%1.%2")
                     .arg(QString::fromUtf8(test->test_suite_name()),
                          QString::fromUtf8(test->name()))});
    ASSERT_TRUE(child.waitForFinished(4 * kHangMs)) << "the child did not finish";
    const QString output = QString::fromLocal8Bit(child.readAll());
    for (const QString &line : output.split(QLatin1Char('\n')))
      if (line.startsWith(QLatin1String(kReportPrefix)))
        std::cout << line.toStdString() << "\n";
    const bool passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                        output.contains(QLatin1String("[  PASSED  ] 1 test"));
    EXPECT_TRUE(passed) << "The child run failed:\n" << output.toStdString();
    return;
  }

  LeaksTracer tracer;
  ASSERT_TRUE(tracer) << "GST_TRACERS=leaks did not start GStreamer's leaks tracer";
  CyclingPlayer cycling;
  TVFMediaPlayer &player = cycling.player;

  // The warm-up cycle loads the plugins and fills GStreamer's caches; what it made is not
  // counted.
  ASSERT_NO_FATAL_FAILURE(cycling.RunCycle(c));
  StartCounting(tracer);
  const qsizetype childrenBefore = player.findChildren<QObject *>().size();
  const qsizetype widgetsBefore = QApplication::allWidgets().size();

  for (int cycle = 0; cycle < kCycles; ++cycle) {
    SCOPED_TRACE(testing::Message() << "cycle " << cycle + 1);
    ASSERT_NO_FATAL_FAILURE(cycling.RunCycle(c));
  }
  const Leftovers left = LeftSinceStart(tracer, kHangMs);
  const qsizetype childrenAfter = player.findChildren<QObject *>().size();
  const qsizetype widgetsAfter = QApplication::allWidgets().size();

  std::cout << kReportPrefix << " " << c.name << ": " << Total(left.objects)
            << " GStreamer objects made in " << kCycles << " cycles still alive, "
            << left.elements.size() << " elements; player children " << childrenBefore
            << " -> " << childrenAfter << ", widgets " << widgetsBefore << " -> "
            << widgetsAfter << std::endl;

  EXPECT_TRUE(left.elements.isEmpty())
      << "Elements never finalised: " << left.elements.join(QStringLiteral(", ")).toStdString();
  EXPECT_TRUE(left.objects.empty()) << "GStreamer objects made in " << kCycles
                                    << " cycles and still alive (type, count):\n"
                                    << Describe(left.objects);
  EXPECT_EQ(childrenAfter, childrenBefore) << "QObject children of the player grew";
  EXPECT_EQ(widgetsAfter, widgetsBefore) << "widgets grew";
}

INSTANTIATE_TEST_SUITE_P(
    Cycles, PlayerLeakTest,
    testing::Values(CycleCase{"StopAfterSeek", "h264_640x480_audio.mp4", CycleEnd::StopAfterSeek},
                    CycleCase{"EndOfStream", "h264_640x480_audio.mp4", CycleEnd::EndOfStream},
                    CycleCase{"BusError", "not_media.mp4", CycleEnd::BusError}),
    [](const testing::TestParamInfo<CycleCase> &info) { return std::string(info.param.name); });

// The check itself: a pipeline kept alive by a reference too many, and a buffer nobody
// frees, are both found; once they are released, nothing is left.
TEST(PlayerLeakCheckTest, FindsALeakedPipelineAndBuffer)
{
  if (!playertest::IsChild(kChildFlag)) {
    playertest::ExpectChildPasses(kChildFlag, "PlayerLeakCheckTest.FindsALeakedPipelineAndBuffer",
                                  {QStringLiteral("GST_TRACERS=leaks")});
    return;
  }
  LeaksTracer tracer;
  ASSERT_TRUE(tracer) << "GST_TRACERS=leaks did not start GStreamer's leaks tracer";
  // Runs a small pipeline to its end and leaves it in NULL.
  const auto runPipeline = [] {
    GstElement *pipeline = gst_parse_launch("videotestsrc num-buffers=3 ! fakesink", nullptr);
    EXPECT_NE(pipeline, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *end = gst_bus_timed_pop_filtered(
        bus, static_cast<GstClockTime>(kHangMs) * GST_MSECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    EXPECT_TRUE(end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS);
    if (end)
      gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    return pipeline;
  };
  // The first run loads the plugins and fills GStreamer's caches.
  gst_object_unref(runPipeline());
  StartCounting(tracer);

  GstElement *pipeline = runPipeline();
  GstBuffer *buffer = gst_buffer_new();

  // The pipeline is never released, so the bound only decides how long the wait is.
  const Leftovers leaked = LeftSinceStart(tracer, 100);
  EXPECT_EQ(leaked.elements.filter(QStringLiteral("GstPipeline")).size(), 1) << Describe(leaked.objects);
  EXPECT_EQ(leaked.elements.filter(QStringLiteral("GstVideoTestSrc")).size(), 1);
  EXPECT_EQ(leaked.elements.filter(QStringLiteral("GstFakeSink")).size(), 1);
  const auto count = [&leaked](const char *type) {
    const auto found = leaked.objects.find(type);
    return found == leaked.objects.end() ? 0 : found->second;
  };
  EXPECT_EQ(count("GstPipeline"), 1);
  EXPECT_GE(count("GstBus"), 1);
  EXPECT_GE(count("GstPad"), 2);
  EXPECT_EQ(count("GstBuffer"), 1);

  gst_object_unref(pipeline);
  gst_buffer_unref(buffer);
  const Leftovers released = LeftSinceStart(tracer, kHangMs);
  EXPECT_TRUE(released.elements.isEmpty())
      << released.elements.join(QStringLiteral(", ")).toStdString();
  EXPECT_TRUE(released.objects.empty()) << Describe(released.objects);
}

}  // namespace
