// Figures of a conversion's capture and assembly on this machine, printed as tables
// (nothing here passes or fails on time). Each row is measured in a process of its own, so
// that its peak memory is its own. "sequential" rows hold every captured frame and build the
// GIF after the stop, one frame after the other (FrameList and AssembleGif); "streamed" rows
// run the conversion job, whose workers encode while the clip plays.
//
// 1. Capture in real time: the 1080p30 clip of bench/make-player-clips played to its end
//    through TVFMediaPlayer while a 33 ms timer (30 fps) captures frames exactly as the
//    capture tick does, for a small and the largest GIF size: frames captured against clip
//    length x frame rate, the cost of a tick, and for the streamed row the time from the
//    clip end to out.gif written.
// 2. Stop to out.gif for a 10 s clip at 10 fps into 320 x 240 (100 frames, synthesised from
//    camera-like 640 x 480 pictures and captured as the tick does).
// 3. The largest conversion the program allows: 60 s at 30 fps (1800 frames) from 1280 x 720
//    pictures into 1000 x 1000: capture time per frame, stop to out.gif, peak memory.
//    `--largest-seconds S` shortens it.
// A streamed row ticks at the frame rate in real time, as the capture timer does; a
// sequential row captures as fast as it can (its capture cost is the same either way).
//
// The clip folder is the first argument, else $QUORVANE_PLAYER_CLIPS, else bench/out/player
// in the source tree. Runs headless (the offscreen Qt platform unless QT_QPA_PLATFORM says
// otherwise).
#include "ActivityLog.h"
#include "ConversionJob.h"
#include "ConversionState.h"
#include "ExactCapture.h"
#include "FrameCapture.h"
#include "GifAssembly.h"
#include "TVFMediaPlayer.h"
#include "gifimage.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gst/gst.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#ifndef QUORVANE_PLAYER_CLIPS_DEFAULT
#define QUORVANE_PLAYER_CLIPS_DEFAULT "bench/out/player"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point from)
{
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Peak resident memory of the process so far, MiB.
double PeakRssMiB()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

class NoDialog : public convert::IAssemblyProgress {
public:
  void Open() override {}
  void SetGauge(int) override {}
  void Close() override {}
};

// The pictures of a list in turn, as the player's current frame would come.
class ListedPictures : public convert::IPictureSource {
public:
  explicit ListedPictures(const std::vector<QImage> &pictures) : FPictures(pictures) {}
  const QImage *CurrentPicture() override { return &FPictures[FNext++ % FPictures.size()]; }

private:
  const std::vector<QImage> &FPictures;
  std::size_t FNext = 0;
};

class PlayerPictures : public convert::IPictureSource {
public:
  PlayerPictures(player::TVFMediaPlayer &player, const QImage &black) : FPlayer(player), FBlack(black) {}
  const QImage *CurrentPicture() override
  {
    const QImage &current = FPlayer.Frame_GetCurrent();
    return current.isNull() ? &FBlack : &current;
  }

private:
  player::TVFMediaPlayer &FPlayer;
  const QImage &FBlack;
};

// The settings of the window's defaults: Floyd-Steinberg, transparency, looping, one pass.
convert::TJobSettings WholePicture(int srcW, int gifW, int gifH, int srcH, int fps)
{
  convert::TJobSettings job;
  job.SourceWidth = srcW;
  job.CropWidth = srcW;
  job.CropHeight = srcH;
  job.GifWidth = gifW;
  job.GifHeight = gifH;
  job.Output.FrameRate = fps;
  return job;
}

void ToState(const convert::TJobSettings &job, core::ConversionState &state, int srcH)
{
  state.SourceWidth = job.SourceWidth;
  state.SourceHeight = srcH;
  state.CropWidth = job.CropWidth;
  state.CropHeight = job.CropHeight;
  state.GifWidth = job.GifWidth;
  state.GifHeight = job.GifHeight;
  state.FImage = std::make_unique<gifimage::TGIFImage>();
}

double FileMiB(const QString &path) { return static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0); }

// ---- 1. capture in real time ----

void CaptureRow(const QString &clip, int gifWidth, int gifHeight, bool streamed, const QString &outPath)
{
  player::TVFMediaPlayer player;
  player.resize(960, 540);
  player.Audio_Play = false;
  bool ended = false;
  player.OnStop = [&] { ended = true; };
  player.FilenameOrURL = clip;
  player.Info_Read();
  const int clipMs = player.Info_Video_DurationMSec(0);
  const int srcW = player.Info_Video_Width(0), srcH = player.Info_Video_Height(0);
  const convert::TJobSettings settings = WholePicture(srcW, gifWidth, gifHeight, srcH, 30);

  core::ConversionState state;
  ToState(settings, state, srcH);
  QImage black(srcW, srcH, QImage::Format_RGB888);
  black.fill(Qt::black);
  state.GrabBitmap = &black;
  PlayerPictures source(player, black);
  std::unique_ptr<convert::TConversionJob> job;
  if (streamed)
    job = std::make_unique<convert::TConversionJob>(settings, source);

  std::vector<double> ticks;
  int busy = 0;
  QTimer timer;
  timer.setInterval(33); // r(1000 / 30)
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (busy == 1)
      return;
    busy = 1;
    const Clock::time_point start = Clock::now();
    if (job)
      job->CaptureFrame();
    else
      convert::CaptureFrame(state, source.CurrentPicture());
    ticks.push_back(MsSince(start));
    busy = 0;
  });

  player.show();
  if (player.Play()) {
    timer.start();
    const Clock::time_point start = Clock::now();
    // The clip is the whole file: the capture ends when the player stops at its end (the
    // clip watch polls every 50 ms; the position check is the same here).
    while (!ended && player.Status() != player::ST_FREE && MsSince(start) < clipMs + 30000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      if (player.Position_Get_Time() >= clipMs)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    timer.stop();
  }
  const Clock::time_point clipEnd = Clock::now();
  player.Close();

  const int captured = job ? job->Captured() : static_cast<int>(state.FrameList.size());
  double endToGif = -1;
  if (job) {
    core::TActivityLog log;
    NoDialog progress;
    job->Finish(state, log, progress);
    state.FImage->SaveToFile(outPath.toStdString());
    endToGif = MsSince(clipEnd) / 1000.0;
  }
  double mean = 0, p95 = 0, max = 0;
  if (!ticks.empty()) {
    for (double t : ticks)
      mean += t;
    mean /= static_cast<double>(ticks.size());
    std::sort(ticks.begin(), ticks.end());
    max = ticks.back();
    p95 = ticks[static_cast<std::size_t>(0.95 * static_cast<double>(ticks.size() - 1))];
  }
  const double expected = clipMs / 1000.0 * 30.0;
  char size[32];
  std::snprintf(size, sizeof size, "%dx%d", gifWidth, gifHeight);
  char gif[32] = "-";
  if (endToGif >= 0)
    std::snprintf(gif, sizeof gif, "%.2f", endToGif);
  std::printf("%-11s %-11s %9d %9.1f %6.1f%% %9.2f %9.2f %9.2f %12s %9.0f\n", size,
              streamed ? "streamed" : "sequential", captured, 0.95 * expected, 100.0 * captured / expected,
              mean, p95, max, gif, PeakRssMiB());
}

// ---- 2. and 3. stop to out.gif from synthesised frames ----

// Camera-like pictures: gradients, fine moving detail and grain; `count` distinct ones.
std::vector<QImage> Pictures(int w, int h, int count)
{
  std::vector<QImage> pictures;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> grain(-12, 12);
  for (int k = 0; k < count; ++k) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
      auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
      for (int x = 0; x < w; ++x) {
        const double u = static_cast<double>(x) / w, v = static_cast<double>(y) / h;
        const double detail = 40 * std::sin((x + 3 * k) * 0.21) * std::cos((y - 2 * k) * 0.17);
        const auto clamp = [](double c) { return std::clamp(static_cast<int>(c), 0, 255); };
        row[x] = qRgb(clamp(60 + 150 * u + detail + grain(rng)),
                      clamp(40 + 170 * v - detail / 2 + grain(rng)),
                      clamp(200 - 120 * u * v + detail + grain(rng)));
      }
    }
    pictures.push_back(std::move(img));
  }
  return pictures;
}

void StopRow(const char *name, int srcW, int srcH, int gifW, int gifH, int fps, int frames, bool streamed,
             const QString &outPath)
{
  const std::vector<QImage> pictures = Pictures(srcW, srcH, std::min(frames, 30));
  const convert::TJobSettings settings = WholePicture(srcW, gifW, gifH, srcH, fps);
  core::ConversionState state;
  ToState(settings, state, srcH);
  ListedPictures source(pictures);
  core::TActivityLog log;
  NoDialog progress;

  double captureMs = 0, captureSeconds = 0, stopToGif = 0;
  if (!streamed) {
    const Clock::time_point captureStart = Clock::now();
    for (int i = 0; i < frames; ++i)
      convert::CaptureFrame(state, source.CurrentPicture());
    captureMs = MsSince(captureStart) / frames;
    captureSeconds = static_cast<double>(frames) / fps;  // the clip's own length
    const Clock::time_point stop = Clock::now();
    convert::TAssemblySettings output = settings.Output;
    convert::AssembleGif(state, log, output, progress);
    state.FImage->SaveToFile(outPath.toStdString());
    stopToGif = MsSince(stop) / 1000.0;
  } else {
    convert::TConversionJob job(settings, source);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(job.CaptureIntervalMs());
    double tickSum = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      const Clock::time_point tick = Clock::now();
      job.CaptureFrame();
      tickSum += MsSince(tick);
      if (job.Captured() >= frames)
        timer.stop();
    });
    const Clock::time_point captureStart = Clock::now();
    timer.start();
    while (timer.isActive())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    captureMs = tickSum / frames;
    captureSeconds = MsSince(captureStart) / 1000.0;
    const Clock::time_point stop = Clock::now();
    job.Finish(state, log, progress);
    state.FImage->SaveToFile(outPath.toStdString());
    stopToGif = MsSince(stop) / 1000.0;
  }
  std::printf("%-38s %-11s %7d %11.2f %10.1f %12.3f %10.1f %9d %10.0f\n", name, streamed ? "streamed" : "sequential",
              frames, captureMs, captureSeconds, stopToGif, FileMiB(outPath), state.FImage->Images().Count(),
              PeakRssMiB());
}

// ---- 4. every frame exactly ----

// The whole clip decoded and converted as "Every frame (exact)" does, workers at normal
// priority as the command line runs them: from the start to out.gif written.
void ExactRow(const QString &clip, int gifW, int gifH, int fps, const QString &outPath)
{
  player::TMediaInfoReader info;
  info.Info_Read(clip);
  const int clipMs = info.Info_Video_DurationMSec(0);
  const int srcW = info.Info_Video_Width(0), srcH = info.Info_Video_Height(0);
  const Clock::time_point start = Clock::now();
  convert::TExactCapture capture(clip, {}, 0, clipMs, fps);
  if (!capture.Start()) {
    std::printf("(cannot decode %s: %s)\n", qPrintable(clip), qPrintable(capture.Error()));
    return;
  }
  convert::TConversionJob job(WholePicture(srcW, gifW, gifH, srcH, fps), capture, 0, convert::TWorkerPriority::Normal);
  while (capture.Step(job, 1000) == convert::TExactCapture::TStep::Working) {
  }
  core::ConversionState state;
  core::TActivityLog log;
  NoDialog progress;
  job.Finish(state, log, progress);
  state.FImage->SaveToFile(outPath.toStdString());
  const double seconds = MsSince(start) / 1000.0;
  char source[32], gif[32];
  std::snprintf(source, sizeof source, "%dx%d", srcW, srcH);
  std::snprintf(gif, sizeof gif, "%dx%d", gifW, gifH);
  std::printf("%-11s %7.1f %-11s %4d %7d %10.2f %12.2fx %10.1f %10.0f\n", source, clipMs / 1000.0, gif, fps,
              state.FImage->Images().Count(), seconds, clipMs / 1000.0 / seconds,
              job.Captured() / seconds, PeakRssMiB());
}

// Runs one row in a child process of this program and passes its output on.
void RunRow(const QStringList &rowArguments)
{
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QCoreApplication::applicationFilePath(), rowArguments);
  child.waitForFinished(-1);
  const QByteArray out = child.readAllStandardOutput();
  std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
  if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
    std::printf("(row %s failed: exit %d)\n", qPrintable(rowArguments.join(QLatin1Char(' '))), child.exitCode());
  std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  gst_init(&argc, &argv);
  QApplication app(argc, argv);

  QStringList args = QCoreApplication::arguments().mid(1);
  int largestSeconds = 60;
  bool skipCapture = false;
  QString row;
  for (int i = 0; i < args.size();) {
    if (args[i] == QLatin1String("-h") || args[i] == QLatin1String("--help")) {
      std::printf("Usage: convert_bench [--largest-seconds S] [--no-capture] [CLIPDIR]\n"
                  "  CLIPDIR  the clips of bench/make-player-clips (default: "
                  "$QUORVANE_PLAYER_CLIPS, else %s)\n",
                  QUORVANE_PLAYER_CLIPS_DEFAULT);
      return 0;
    }
    if (args[i] == QLatin1String("--largest-seconds") && i + 1 < args.size()) {
      largestSeconds = std::clamp(args[i + 1].toInt(), 1, 60);
      args.remove(i, 2);
    } else if (args[i] == QLatin1String("--row") && i + 1 < args.size()) {
      row = args[i + 1];
      args.remove(i, 2);
    } else if (args[i] == QLatin1String("--no-capture")) {
      skipCapture = true;
      args.remove(i);
    } else {
      ++i;
    }
  }
  QString folder = args.isEmpty() ? qEnvironmentVariable("QUORVANE_PLAYER_CLIPS") : args.front();
  if (folder.isEmpty())
    folder = QStringLiteral(QUORVANE_PLAYER_CLIPS_DEFAULT);
  const QString clip = QDir(folder).filePath(QStringLiteral("camera_1920x1080.mp4"));

  if (!row.isEmpty()) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.gif"));
    const bool streamed = row.endsWith(QLatin1String("-streamed"));
    if (row.startsWith(QLatin1String("capture-small")))
      CaptureRow(clip, 320, 240, streamed, out);
    else if (row.startsWith(QLatin1String("capture-large")))
      CaptureRow(clip, 1000, 1000, streamed, out);
    else if (row.startsWith(QLatin1String("ten-seconds")))
      StopRow("10 s at 10 fps, 640x480 -> 320x240", 640, 480, 320, 240, 10, 100, streamed, out);
    else if (row == QLatin1String("exact-720p"))
      ExactRow(QDir(folder).filePath(QStringLiteral("camera_1280x720_60s.mp4")), 320, 240, 10, out);
    else if (row == QLatin1String("exact-1080p"))
      ExactRow(clip, 1000, 1000, 30, out);
    else if (row.startsWith(QLatin1String("largest")))
      StopRow("largest: 30 fps, 1280x720 -> 1000^2", 1280, 720, 1000, 1000, 30, largestSeconds * 30, streamed, out);
    else
      return 2;
    return 0;
  }

  const QStringList common{QStringLiteral("--largest-seconds"), QString::number(largestSeconds), folder};
  std::printf("convert_bench: %u hardware threads\n\n", std::thread::hardware_concurrency());
  if (!skipCapture) {
    if (!QFileInfo(clip).isFile()) {
      std::fprintf(stderr, "convert_bench: camera_1920x1080.mp4 missing in %s\n"
                           "Make it with: bench/make-player-clips %s\n",
                   qPrintable(folder), qPrintable(folder));
      return 2;
    }
    std::printf("== Capture in real time at 30 fps (33 ms ticks): camera_1920x1080.mp4, whole picture\n");
    std::printf("%-11s %-11s %9s %9s %7s %9s %9s %9s %12s %9s\n", "GIF", "engine", "captured", "needed", "share",
                "tick ms", "tick p95", "tick max", "end->gif s", "peak MiB");
    for (const char *name : {"capture-small-sequential", "capture-large-sequential", "capture-large-streamed"})
      RunRow(QStringList{QStringLiteral("--row"), QString::fromLatin1(name)} + common);
    std::printf("(needed: 95 %% of clip length x frame rate; end->gif: from the clip end to out.gif written, for the\n"
                " streamed row, whose workers encode while the clip plays)\n\n");
  }
  std::printf("== Stop to out.gif (Floyd-Steinberg, transparency, looping; frames synthesised and captured as the tick does)\n");
  std::printf("%-38s %-11s %7s %11s %10s %12s %10s %9s %10s\n", "conversion", "engine", "frames", "capture ms",
              "capture s", "stop->gif s", "GIF MiB", "gif frms", "peak MiB");
  for (const char *name : {"ten-seconds-sequential", "ten-seconds-streamed", "largest-sequential", "largest-streamed"})
    RunRow(QStringList{QStringLiteral("--row"), QString::fromLatin1(name)} + common);
  std::printf("(capture ms: one tick's cost; capture s: how long the capture took, the clip's length for a sequential\n"
              " row and the ticks in real time for a streamed one; peak MiB: the row's process; the largest rows last\n"
              " %d s of clip)\n",
              largestSeconds);
  if (!skipCapture) {
    std::printf("\n== Every frame (exact): the whole clip decoded and converted (Floyd-Steinberg, transparency, looping)\n");
    std::printf("%-11s %7s %-11s %4s %7s %10s %13s %10s %10s\n", "video", "clip s", "GIF", "fps", "frames",
                "start->gif", "x real time", "frames/s", "peak MiB");
    for (const char *name : {"exact-720p", "exact-1080p"})
      RunRow(QStringList{QStringLiteral("--row"), QString::fromLatin1(name)} + common);
  }
  return 0;
}
