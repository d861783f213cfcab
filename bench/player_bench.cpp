// Figures of the video player on this machine, printed as tables (nothing here passes or
// fails on time):
//
// 1. Playback of a 1080p30 clip to its end through TVFMediaPlayer, with the effects stage off
//    and on (five colour effects and the text overlay): frames delivered against frames in
//    the file, the effects stage and the frame hand-over per frame (from FrameStats), and
//    the share of the file's frames that reached the player in real time.
// 2. The effects stage alone on a 1080p frame (EffectsStage::Apply in a loop).
// 3. Seek-to-frame latency while paused at 640x480 and 1280x720: from Position_Set_Time to
//    the moment Frame_GetCurrent shows the frame at that position.
//
// The clips come from bench/make-player-clips; the folder is the first argument, else
// $QUORVANE_PLAYER_CLIPS, else bench/out/player in the source tree. Runs headless (the
// offscreen Qt platform unless QT_QPA_PLATFORM says otherwise).
#include "EffectsStage.h"
#include "TVFMediaPlayer.h"
#include "VideoEffects.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <QStringList>

#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#ifndef QUORVANE_PLAYER_CLIPS_DEFAULT
#define QUORVANE_PLAYER_CLIPS_DEFAULT "bench/out/player"
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFramesPerSecond = 30;  // every clip of make-player-clips
constexpr const char *kPlaybackClip = "camera_1920x1080.mp4";
constexpr const char *kSeekClips[] = {"camera_640x480.mp4", "camera_1280x720.mp4"};
constexpr int kStageIterations = 200;
constexpr int kSeekTargets = 20;
constexpr unsigned kSeekSeed = 20240611;  // the same targets on every run
// Each seek starts from a settled pipeline: 100 ms leaves ample time for the last seek's
// async-done to come through the bus.
constexpr int kSettleAfterSeekMs = 100;

double MsFromNs(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }

double MsSince(Clock::time_point from)
{
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Runs the UI event loop until done() holds (true) or timeoutMs have passed (false). Between
// rounds it sleeps 0.2 ms rather than spinning, so the poll takes no core from the decoder
// on a small machine; that is also the resolution of the seek figures.
bool Pump(const std::function<bool()> &done, int timeoutMs)
{
  const Clock::time_point start = Clock::now();
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (done())
      return true;
    if (MsSince(start) > timeoutMs)
      return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

// The frame number make-player-clips draws along the top: 16 blocks of 16x16 pixels, block k
// at x = 16k white when bit 15 - k is set. -1 for a picture too small to carry it.
int FrameIndex(const QImage &frame)
{
  if (frame.width() < 256 || frame.height() < 16)
    return -1;
  int index = 0;
  for (int k = 0; k < 16; ++k)
    index = (index << 1) | (qGray(frame.pixel(16 * k + 8, 8)) > 128 ? 1 : 0);
  return index;
}

// Frames in the file from the media information, else from its duration at 30 fps; 0 when
// neither is known.
int FramesInFile(const player::TVFMediaPlayer &player)
{
  const auto &streams = player.Info().Info().FVideoStreams;
  if (streams.empty())
    return 0;
  if (streams.front().FramesCount > 0)
    return streams.front().FramesCount;
  return static_cast<int>((streams.front().DurationMSec * kFramesPerSecond + 500) / 1000);
}

// The effects the playback and stage figures run with: all five colour effects at amounts
// that change the picture, and a bold text line drawn a quarter transparent.
void AddBenchEffects(player::VideoEffects &effects, bool colours, bool overlay)
{
  if (colours) {
    effects.Video_Effect_Ex(1, 0, 0, true, player::ef_lightness, 40, QString());
    effects.Video_Effect_Ex(2, 0, 0, true, player::ef_saturation, 180, QString());
    effects.Video_Effect_Ex(3, 0, 0, true, player::ef_contrast, 60, QString());
    effects.Video_Effect_Ex(4, 0, 0, true, player::ef_darkness, 30, QString());
    effects.Video_Effect_Ex(5, 0, 0, true, player::ef_greyscale, 255, QString());
  }
  if (overlay) {
    effects.Video_Effects_Text_Logo_Plus(6, 0, 0, true,
                                         QStringLiteral("Quorvane - holiday 2024, take 3"), 40,
                                         1000, QStringLiteral("DejaVu Sans"), 24, true, false,
                                         false, false, 0x00FFFFFF);
    effects.Video_Effects_Text_Logo_Plus_Params_Transparency(6, 64);
  }
}

// The 1-minute load average, "?" where the system does not tell: figures taken while other
// work keeps the cores busy are not comparable with figures of an idle machine.
QString LoadAverage()
{
  QFile file(QStringLiteral("/proc/loadavg"));
  if (!file.open(QIODevice::ReadOnly))
    return QStringLiteral("?");
  const QList<QByteArray> fields = file.readLine().split(' ');
  return fields.isEmpty() ? QStringLiteral("?") : QString::fromLatin1(fields.front());
}

QString ClipPath(const QString &folder, const char *name)
{
  return folder + QLatin1Char('/') + QString::fromLatin1(name);
}

// ---- 1. Playback ---------------------------------------------------------------------------

struct PlaybackRun {
  bool reachedEnd = false;
  QStringList errors;
  int framesInFile = 0;
  double wallMs = 0;  // Play to OnStop
  player::TFrameStats stats;
};

// Plays the file from start to end of stream in a shown control (so it repaints as in the
// program), with the bench effects in the list; effectsOn decides whether the stage runs.
PlaybackRun PlayToEnd(const QString &path, bool effectsOn)
{
  PlaybackRun run;
  player::TVFMediaPlayer player;
  player.resize(960, 540);
  player.Audio_Play = false;
  player.Video_Effects_Enabled = effectsOn;
  AddBenchEffects(player.Effects(), true, true);
  player.OnError = [&](const QString &text) { run.errors << text; };
  player.OnStop = [&] { run.reachedEnd = true; };
  player.FilenameOrURL = path;
  player.Info_Read();
  run.framesInFile = FramesInFile(player);
  player.show();

  const int durationMs = player.Info_Video_DurationMSec(0);
  const Clock::time_point start = Clock::now();
  if (player.Play())
    Pump([&] { return run.reachedEnd || !run.errors.isEmpty(); }, durationMs + 60000);
  run.wallMs = MsSince(start);
  run.stats = player.FrameStats();
  player.Close();
  return run;
}

void PrintPlayback(const QString &folder)
{
  const QString path = ClipPath(folder, kPlaybackClip);
  std::printf("== Playback to end of stream: %s, control shown at 960x540\n", kPlaybackClip);
  std::printf("%-8s %10s %8s %5s %10s %10s %10s %13s %14s %7s\n", "effects", "delivered",
              "playing", "late", "real-time", "stage ms", "stage max", "hand-over ms",
              "hand-over max", "wall s");
  for (const bool effectsOn : {false, true}) {
    const PlaybackRun run = PlayToEnd(path, effectsOn);
    const player::TFrameStats &s = run.stats;
    const double frames = static_cast<double>(std::max<std::int64_t>(s.Frames, 1));
    const double realTime =
        run.framesInFile > 0
            ? 100.0 * static_cast<double>(s.PlayingFrames - s.LateFrames) / run.framesInFile
            : 0.0;
    char delivered[32];
    std::snprintf(delivered, sizeof delivered, "%lld/%d", static_cast<long long>(s.Frames),
                  run.framesInFile);
    std::printf("%-8s %10s %8lld %5lld %9.1f%% %10.2f %10.2f %13.2f %14.2f %7.2f\n",
                effectsOn ? "on" : "off", delivered, static_cast<long long>(s.PlayingFrames),
                static_cast<long long>(s.LateFrames), realTime, MsFromNs(s.StageNs) / frames,
                MsFromNs(s.StageMaxNs), MsFromNs(s.HandOverNs) / frames,
                MsFromNs(s.HandOverMaxNs), run.wallMs / 1000.0);
    if (!run.reachedEnd)
      std::printf("         (did not reach the end of the stream)\n");
    for (const QString &error : run.errors)
      std::printf("         error: %s\n", qPrintable(error));
  }
  std::printf("delivered: frames handed over (the first one also as a preroll) / frames in "
              "the file; real-time: (playing - late) / frames in the file;\n"
              "stage and hand-over: mean and max ms per delivered frame.\n\n");
}

// ---- 2. The effects stage alone ------------------------------------------------------------

// A 1080p picture with gradients and fine noise, the same on every run.
QImage StageSource()
{
  QImage image(1920, 1080, QImage::Format_RGB32);
  std::minstd_rand noise(7);
  for (int y = 0; y < image.height(); ++y) {
    auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int grain = static_cast<int>(noise() % 17) - 8;
      row[x] = qRgb(std::clamp(x * 255 / 1919 + grain, 0, 255),
                    std::clamp(y * 255 / 1079 + grain, 0, 255),
                    std::clamp(((x + y) / 12) % 256 + grain, 0, 255));
    }
  }
  return image;
}

void PrintStage()
{
  const QImage source = StageSource();
  std::printf("== Effects stage alone: EffectsStage::Apply on a 1920x1080 frame, %d "
              "iterations\n",
              kStageIterations);
  std::printf("%-22s %10s %10s %10s\n", "effects", "mean ms", "max ms", "frames/s");
  const struct {
    const char *name;
    bool colours;
    bool overlay;
  } cases[] = {
      {"colours + overlay", true, true},
      {"colours only", true, false},
      {"overlay only", false, true},
  };
  for (const auto &c : cases) {
    player::EffectsStage stage;
    player::VideoEffects effects([] { return false; });
    AddBenchEffects(effects, c.colours, c.overlay);
    effects.AttachFilter(&stage);

    // A fresh copy of the source for each pass (not timed), so every pass works on the same
    // pixels instead of on the result of the last one.
    QImage frame(source.size(), source.format());
    const auto refill = [&] {
      std::memcpy(frame.bits(), source.constBits(), static_cast<size_t>(source.sizeInBytes()));
    };
    for (int i = 0; i < 5; ++i) {  // warm-up: caches, glyph cache of the overlay font
      refill();
      stage.Apply(frame);
    }
    double totalMs = 0;
    double maxMs = 0;
    for (int i = 0; i < kStageIterations; ++i) {
      refill();
      const Clock::time_point start = Clock::now();
      stage.Apply(frame, i * 1000 / kFramesPerSecond);
      const double ms = MsSince(start);
      totalMs += ms;
      maxMs = std::max(maxMs, ms);
    }
    effects.DetachFilter();
    const double meanMs = totalMs / kStageIterations;
    std::printf("%-22s %10.2f %10.2f %10.0f\n", c.name, meanMs, maxMs, 1000.0 / meanMs);
  }
  std::printf("\n");
}

// ---- 3. Seeks while paused -----------------------------------------------------------------

struct SeekRun {
  std::vector<double> latenciesMs;
  int missed = 0;  // the target frame never showed within 5 s
  QStringList errors;
};

// Plays the file briefly, pauses, then seeks to kSeekTargets frames drawn from a fixed seed,
// each by the time in the middle of the frame, and times until Frame_GetCurrent shows it.
SeekRun SeekWhilePaused(const QString &path)
{
  SeekRun run;
  player::TVFMediaPlayer player;
  player.resize(640, 360);
  player.Audio_Play = false;
  player.OnError = [&](const QString &text) { run.errors << text; };
  player.FilenameOrURL = path;
  player.show();
  if (!player.Play() ||
      !Pump([&] { return player.FrameStats().Frames > 0 || !run.errors.isEmpty(); }, 5000) ||
      !run.errors.isEmpty()) {
    run.errors << QStringLiteral("no first frame");
    return run;
  }
  Pump([] { return false; }, 300);  // play a little, as before stepping in the program
  player.Pause();
  Pump([] { return false; }, 200);

  const int frames = FramesInFile(player);
  std::mt19937 random(kSeekSeed);
  std::uniform_int_distribution<int> pick(0, std::max(frames - 1, 0));
  int shown = FrameIndex(player.Frame_GetCurrent());
  for (int i = 0; i < kSeekTargets; ++i) {
    int target = pick(random);
    while (target == shown && frames > 1)
      target = pick(random);
    const int positionMs = (target * 1000 + 500) / kFramesPerSecond;
    // Frame_GetCurrent copies the whole picture, so it is read only when a frame came in.
    std::int64_t delivered = player.FrameStats().Frames;
    const Clock::time_point start = Clock::now();
    if (!player.Position_Set_Time(positionMs)) {
      run.errors << QStringLiteral("seek to %1 ms refused").arg(positionMs);
      break;
    }
    const bool arrived = Pump(
        [&] {
          const std::int64_t now = player.FrameStats().Frames;
          if (now == delivered)
            return false;
          delivered = now;
          shown = FrameIndex(player.Frame_GetCurrent());
          return shown == target;
        },
        5000);
    if (arrived)
      run.latenciesMs.push_back(MsSince(start));
    else
      ++run.missed;
    Pump([] { return false; }, kSettleAfterSeekMs);
    shown = FrameIndex(player.Frame_GetCurrent());
  }
  player.Close();
  return run;
}

void PrintSeeks(const QString &folder)
{
  std::printf("== Seek to a frame while paused: %d targets (seed %u), from Position_Set_Time "
              "until Frame_GetCurrent shows the frame\n",
              kSeekTargets, kSeekSeed);
  std::printf("%-22s %8s %10s %10s %10s %8s\n", "clip", "seeks", "median ms", "mean ms",
              "max ms", "missed");
  for (const char *name : kSeekClips) {
    SeekRun run = SeekWhilePaused(ClipPath(folder, name));
    std::vector<double> &ms = run.latenciesMs;
    std::sort(ms.begin(), ms.end());
    const std::size_t n = ms.size();
    const double median = n == 0 ? 0 : (n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2);
    const double mean = n == 0 ? 0 : std::accumulate(ms.begin(), ms.end(), 0.0) / n;
    std::printf("%-22s %8zu %10.1f %10.1f %10.1f %8d\n", name, n, median, mean,
                n == 0 ? 0 : ms.back(), run.missed);
    for (const QString &error : run.errors)
      std::printf("         error: %s\n", qPrintable(error));
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char *argv[])
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  gst_init(&argc, &argv);
  QApplication app(argc, argv);

  const QStringList args = QCoreApplication::arguments().mid(1);
  if (!args.isEmpty() && (args.front() == QLatin1String("-h") ||
                          args.front() == QLatin1String("--help"))) {
    std::printf("Usage: player_bench [CLIPDIR]\n"
                "  CLIPDIR  the clips of bench/make-player-clips (default: "
                "$QUORVANE_PLAYER_CLIPS, else %s)\n",
                QUORVANE_PLAYER_CLIPS_DEFAULT);
    return 0;
  }
  QString folder = args.isEmpty() ? qEnvironmentVariable("QUORVANE_PLAYER_CLIPS") : args.front();
  if (folder.isEmpty())
    folder = QStringLiteral(QUORVANE_PLAYER_CLIPS_DEFAULT);

  QStringList missing;
  for (const char *name : {kPlaybackClip, kSeekClips[0], kSeekClips[1]})
    if (!QFileInfo(ClipPath(folder, name)).isFile())
      missing << QString::fromLatin1(name);
  if (!missing.isEmpty()) {
    std::fprintf(stderr,
                 "player_bench: clips missing in %s: %s\n"
                 "Make them with: bench/make-player-clips %s\n",
                 qPrintable(folder), qPrintable(missing.join(QStringLiteral(", "))),
                 qPrintable(folder));
    return 2;
  }

  guint major = 0, minor = 0, micro = 0, nano = 0;
  gst_version(&major, &minor, &micro, &nano);
  std::printf("player_bench: clips from %s; GStreamer %u.%u.%u; %u hardware threads, load "
              "average %s\n\n",
              qPrintable(folder), major, minor, micro, std::thread::hardware_concurrency(),
              qPrintable(LoadAverage()));
  PrintPlayback(folder);
  PrintStage();
  PrintSeeks(folder);
  return 0;
}
