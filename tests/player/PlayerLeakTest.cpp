// Repeated play / seek / stop cycles must leave no GStreamer objects (elements, pads, buses,
// messages, buffers, caps, ...) and no Qt children behind.
//
// GStreamer's leaks tracer counts every live GstObject and GstMiniObject, but it has to be
// chosen through GST_TRACERS before gst_init. So each case re-runs this program as a child
// with the tracer on and only that case selected; the child does the counting.
#include "TVFMediaPlayer.h"
#include "LeaksTracer.h"
#include "PlayerTestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

using player::ST_FREE;
using player::ST_PLAY;
using player::TVFMediaPlayer;

using playertest::LeaksTracer;
using playertest::Sample;
using playertest::WaitUntil;

constexpr const char *kChildFlag = "QUORVANE_PLAYER_LEAK_CHILD";
// Cycles measured after the warm-up cycle. A leak of one object per cycle shows as a growth
// of this many; anything that only fills a cache once is already there after the warm-up.
constexpr int kCycles = 20;
// Lines the child prints for the parent to pass on.
constexpr const char *kReportPrefix = "leak check:";

void RunEventsFor(int ms)
{
  WaitUntil([] { return false; }, ms);
}

using TypeCounts = std::map<std::string, int>;

// Live GstObjects and GstMiniObjects by type name.
TypeCounts LiveObjectsByType(const LeaksTracer &tracer)
{
  TypeCounts counts;
  for (GType type : tracer.LiveObjectTypes())
    ++counts[g_type_name(type)];
  return counts;
}

// One line "Type before -> after (+n)" for every type with more live objects after.
std::string Growth(const TypeCounts &before, const TypeCounts &after)
{
  std::ostringstream text;
  for (const auto &[type, count] : after) {
    const auto found = before.find(type);
    const int was = found == before.end() ? 0 : found->second;
    if (count > was)
      text << "  " << type << " " << was << " -> " << count << " (+" << count - was << ")\n";
  }
  return text.str();
}

int Total(const TypeCounts &counts)
{
  int total = 0;
  for (const auto &entry : counts)
    total += entry.second;
  return total;
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
      ASSERT_TRUE(WaitUntil([&] { return player.Status() == ST_FREE; }, 5000));
      EXPECT_EQ(stops, stopsBefore + 1);
      player.Close();
      return;
    }
    // The counters are reset at every build, so a frame counted is one of this pipeline.
    ASSERT_TRUE(WaitUntil([&] { return player.FrameStats().Frames > 0; }, 5000))
        << errors.join("; ").toStdString();
    if (c.end == CycleEnd::StopAfterSeek) {
      ASSERT_TRUE(player.Position_Set_Time(1000));
      RunEventsFor(100);
      EXPECT_EQ(player.Status(), ST_PLAY);
      player.Stop();
      player.Close();
    } else {
      ASSERT_TRUE(WaitUntil([&] { return player.Position_Set_Time(2800); }, 3000));
      ASSERT_TRUE(WaitUntil([&] { return stops == stopsBefore + 1; }, 5000));
      player.Close();
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
  }
};

// Counts after every queued bus message and repaint has run. Objects that GStreamer's own
// threads release a moment after Close get up to 2 s to go beyond `reference`; a real leak
// stays.
TypeCounts SettledCounts(const LeaksTracer &tracer, const TypeCounts &reference)
{
  TypeCounts counts;
  QElapsedTimer timer;
  timer.start();
  do {
    RunEventsFor(50);
    counts = LiveObjectsByType(tracer);
  } while (!Growth(reference, counts).empty() && timer.elapsed() < 2000);
  return counts;
}

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
    ASSERT_TRUE(child.waitForFinished(60000)) << "the child did not finish in 60 s";
    const QString output = QString::fromLocal8Bit(child.readAll());
    for (const QString &line : output.split(QLatin1Char('\n')))
      if (line.startsWith(QLatin1String(kReportPrefix)))
        std::cout << line.toStdString() << "\n";
    const bool passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                        output.contains(QLatin1String("[  PASSED  ] 1 test"));
    EXPECT_TRUE(passed) << "The child run failed:\n" << output.toStdString();
    return;
  }

  const LeaksTracer tracer;
  ASSERT_TRUE(tracer) << "GST_TRACERS=leaks did not start GStreamer's leaks tracer";
  CyclingPlayer cycling;
  TVFMediaPlayer &player = cycling.player;

  // The warm-up cycle loads the plugins and fills GStreamer's caches.
  ASSERT_NO_FATAL_FAILURE(cycling.RunCycle(c));
  RunEventsFor(100);
  const TypeCounts before = LiveObjectsByType(tracer);
  const qsizetype childrenBefore = player.findChildren<QObject *>().size();
  const qsizetype widgetsBefore = QApplication::allWidgets().size();

  for (int cycle = 0; cycle < kCycles; ++cycle) {
    SCOPED_TRACE(testing::Message() << "cycle " << cycle + 1);
    ASSERT_NO_FATAL_FAILURE(cycling.RunCycle(c));
  }
  const TypeCounts after = SettledCounts(tracer, before);
  const qsizetype childrenAfter = player.findChildren<QObject *>().size();
  const qsizetype widgetsAfter = QApplication::allWidgets().size();

  std::cout << kReportPrefix << " " << c.name << ": " << Total(before)
            << " live GStreamer objects after the warm-up cycle, " << Total(after) << " after "
            << kCycles << " more; player children " << childrenBefore << " -> "
            << childrenAfter << ", widgets " << widgetsBefore << " -> " << widgetsAfter
            << std::endl;

  const std::string growth = Growth(before, after);
  EXPECT_TRUE(growth.empty()) << "Live GStreamer objects that grew over " << kCycles
                              << " cycles (type, after warm-up -> after the cycles):\n"
                              << growth;
  EXPECT_EQ(childrenAfter, childrenBefore) << "QObject children of the player grew";
  EXPECT_EQ(widgetsAfter, widgetsBefore) << "widgets grew";
}

INSTANTIATE_TEST_SUITE_P(
    Cycles, PlayerLeakTest,
    testing::Values(CycleCase{"StopAfterSeek", "h264_640x480_audio.mp4", CycleEnd::StopAfterSeek},
                    CycleCase{"EndOfStream", "h264_640x480_audio.mp4", CycleEnd::EndOfStream},
                    CycleCase{"BusError", "not_media.mp4", CycleEnd::BusError}),
    [](const testing::TestParamInfo<CycleCase> &info) { return std::string(info.param.name); });

}  // namespace
