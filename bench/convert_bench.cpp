// Figures of a conversion's capture and assembly on this machine, printed as tables
// (nothing here passes or fails on time):
//
// 1. Capture in real time: the 1080p30 clip of bench/make-player-clips played to its end
//    through TVFMediaPlayer while a 33 ms timer (30 fps) captures frames exactly as the
//    capture tick does, for a small and the largest GIF size: frames captured against clip
//    length x frame rate, the cost of a tick, the bytes of a captured frame against its
//    fitted size in 24-bit.
// 2. Stop to out.gif for a 10 s clip at 10 fps into 320 x 240 (100 frames, synthesised from
//    camera-like 640 x 480 pictures and captured as the tick does): assembly plus writing.
// 3. The largest conversion the program allows: 60 s at 30 fps (1800 frames) from 1280 x 720
//    pictures into 1000 x 1000: capture time per frame, memory held by the frames, peak
//    memory, and stop to out.gif. `--largest-seconds S` shortens it.
//
// The clip folder is the first argument, else $QUORVANE_PLAYER_CLIPS, else bench/out/player
// in the source tree. Runs headless (the offscreen Qt platform unless QT_QPA_PLATFORM says
// otherwise).
#include "ActivityLog.h"
#include "ConversionState.h"
#include "FrameCapture.h"
#include "GifAssembly.h"
#include "TVFMediaPlayer.h"
#include "gifimage.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
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

// Bytes a 24-bit bitmap of w x h with 4-byte rows takes.
qsizetype Fitted24(int w, int h) { return static_cast<qsizetype>(h) * ((w * 3 + 3) / 4 * 4); }

qsizetype FrameBytes(const core::ConversionState &state)
{
  qsizetype bytes = 0;
  for (const QImage &frame : state.FrameList)
    bytes += frame.sizeInBytes();
  return bytes;
}

class NoDialog : public convert::IAssemblyProgress {
public:
  void Open() override {}
  void SetGauge(int) override {}
  void Close() override {}
};

// ---- 1. capture in real time ----

struct CaptureRun {
  int captured = 0;
  int black = 0;  // captured before the player had a picture
  int clipMs = 0;
  double meanTickMs = 0, p95TickMs = 0, maxTickMs = 0;
  qsizetype frameBytes = 0, fittedBytes = 0;
  QSize frameSize;
};

CaptureRun CaptureClip(const QString &path, int gifWidth, int gifHeight)
{
  CaptureRun run;
  player::TVFMediaPlayer player;
  player.resize(960, 540);
  player.Audio_Play = false;
  bool ended = false;
  player.OnStop = [&] { ended = true; };
  player.FilenameOrURL = path;
  player.Info_Read();
  run.clipMs = player.Info_Video_DurationMSec(0);

  core::ConversionState state;
  state.SourceWidth = player.Info_Video_Width(0);
  state.SourceHeight = player.Info_Video_Height(0);
  state.CropWidth = state.SourceWidth;
  state.CropHeight = state.SourceHeight;
  state.GifWidth = gifWidth;
  state.GifHeight = gifHeight;
  QImage black(state.SourceWidth, state.SourceHeight, QImage::Format_RGB888);
  black.fill(Qt::black);
  state.GrabBitmap = &black;

  std::vector<double> ticks;
  int busy = 0;
  QTimer timer;
  timer.setInterval(33);  // r(1000 / 30)
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (busy == 1)
      return;
    busy = 1;
    const Clock::time_point start = Clock::now();
    const QImage &current = player.Frame_GetCurrent();
    convert::CaptureFrame(state, current.isNull() ? state.GrabBitmap : &current);
    ticks.push_back(MsSince(start));
    busy = 0;
  });

  player.show();
  if (player.Play()) {
    timer.start();
    const Clock::time_point start = Clock::now();
    // The clip is the whole file: the capture ends when the player stops at its end (the
    // clip watch polls every 50 ms; the position check is the same here).
    while (!ended && player.Status() != player::ST_FREE && MsSince(start) < run.clipMs + 30000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      if (player.Position_Get_Time() >= run.clipMs)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    timer.stop();
  }
  player.Close();

  run.captured = static_cast<int>(state.FrameList.size());
  if (!ticks.empty()) {
    double sum = 0;
    for (double t : ticks)
      sum += t;
    run.meanTickMs = sum / static_cast<double>(ticks.size());
    std::sort(ticks.begin(), ticks.end());
    run.maxTickMs = ticks.back();
    run.p95TickMs = ticks[static_cast<std::size_t>(0.95 * static_cast<double>(ticks.size() - 1))];
  }
  for (const QImage &frame : state.FrameList) {
    bool allBlack = true;
    for (int y = 0; y < frame.height() && allBlack; ++y) {
      const uchar *row = frame.constScanLine(y);
      allBlack = std::all_of(row, row + frame.width() * 3, [](uchar b) { return b == 0; });
    }
    run.black += allBlack ? 1 : 0;
  }
  if (!state.FrameList.empty()) {
    const QImage &last = state.FrameList.back();
    run.frameSize = last.size();
    run.frameBytes = last.sizeInBytes();
    run.fittedBytes = Fitted24(last.width(), last.height());
  }
  return run;
}

void PrintCapture(const QString &folder)
{
  const QString path = QDir(folder).filePath(QStringLiteral("camera_1920x1080.mp4"));
  std::printf("== Capture in real time at 30 fps (33 ms ticks): camera_1920x1080.mp4, whole "
              "picture\n");
  std::printf("%-11s %9s %6s %9s %7s %9s %9s %9s %11s %13s %13s\n", "GIF", "captured", "black",
              "needed", "share", "tick ms", "tick p95", "tick max", "frame", "frame bytes",
              "fitted 24-bit");
  for (const QSize gif : {QSize(320, 240), QSize(1000, 1000)}) {
    const CaptureRun run = CaptureClip(path, gif.width(), gif.height());
    const double expected = run.clipMs / 1000.0 * 30.0;
    char size[32], frame[32];
    std::snprintf(size, sizeof size, "%dx%d", gif.width(), gif.height());
    std::snprintf(frame, sizeof frame, "%dx%d", run.frameSize.width(), run.frameSize.height());
    std::printf("%-11s %9d %6d %9.1f %6.1f%% %9.2f %9.2f %9.2f %11s %13lld %13lld\n", size,
                run.captured, run.black, 0.95 * expected, 100.0 * run.captured / expected,
                run.meanTickMs, run.p95TickMs, run.maxTickMs,
                frame, static_cast<long long>(run.frameBytes),
                static_cast<long long>(run.fittedBytes));
  }
  std::printf("(needed: 95 %% of clip length x frame rate; black: ticks before the player's first "
              "picture, which the assembly drops; a tick's interval is 33 ms)\n\n");
}

// ---- 2. and 3. assembly from synthesised frames ----

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

struct AssemblyRun {
  int frames = 0;
  double captureMsPerFrame = 0;
  double heldMiB = 0;
  double stopToGifMs = 0;
  int gifFrames = 0;
  double gifMiB = 0;
  double peakMiB = 0;
};

AssemblyRun Convert(int srcW, int srcH, int gifW, int gifH, int frames, const QString &outPath)
{
  AssemblyRun run;
  run.frames = frames;
  const std::vector<QImage> pictures = Pictures(srcW, srcH, std::min(frames, 30));

  core::ConversionState state;
  state.SourceWidth = srcW;
  state.SourceHeight = srcH;
  state.CropWidth = srcW;
  state.CropHeight = srcH;
  state.GifWidth = gifW;
  state.GifHeight = gifH;
  state.FImage = std::make_unique<gifimage::TGIFImage>();

  const Clock::time_point captureStart = Clock::now();
  for (int i = 0; i < frames; ++i)
    convert::CaptureFrame(state, &pictures[static_cast<std::size_t>(i) % pictures.size()]);
  run.captureMsPerFrame = MsSince(captureStart) / frames;
  run.heldMiB = static_cast<double>(FrameBytes(state)) / (1024.0 * 1024.0);

  // Defaults of the window: Floyd-Steinberg, transparency, looping, one pass, 10 fps.
  convert::TAssemblySettings settings;
  settings.FrameRate = frames == 100 ? 10 : 30;
  core::TActivityLog log;
  NoDialog progress;
  const Clock::time_point stop = Clock::now();
  convert::AssembleGif(state, log, settings, progress);
  state.FImage->SaveToFile(outPath.toStdString());
  run.stopToGifMs = MsSince(stop);
  run.gifFrames = state.FImage->Images().Count();
  run.gifMiB = static_cast<double>(QFileInfo(outPath).size()) / (1024.0 * 1024.0);
  run.peakMiB = PeakRssMiB();
  return run;
}

void PrintAssembly(int largestSeconds)
{
  QTemporaryDir dir;
  std::printf("== Stop to out.gif (assembly, Floyd-Steinberg, transparency, looping, then "
              "writing the file); frames synthesised and captured as the tick does\n");
  std::printf("%-34s %7s %11s %10s %12s %10s %9s %10s\n", "conversion", "frames",
              "capture ms", "held MiB", "stop->gif s", "GIF MiB", "gif frms", "peak MiB");
  struct Case {
    const char *name;
    int srcW, srcH, gifW, gifH, frames;
  };
  const Case cases[] = {
      {"10 s at 10 fps, 640x480 -> 320x240", 640, 480, 320, 240, 100},
      {"largest: 30 fps, 1280x720 -> 1000^2", 1280, 720, 1000, 1000, largestSeconds * 30},
  };
  for (const Case &c : cases) {
    const AssemblyRun run =
        Convert(c.srcW, c.srcH, c.gifW, c.gifH, c.frames, dir.filePath(QStringLiteral("out.gif")));
    std::printf("%-34s %7d %11.2f %10.1f %12.2f %10.1f %9d %10.0f\n", c.name, run.frames,
                run.captureMsPerFrame, run.heldMiB, run.stopToGifMs / 1000.0, run.gifMiB,
                run.gifFrames, run.peakMiB);
  }
  std::printf("(peak MiB: the process's peak resident memory after that row; the largest row "
              "lasts %d s of clip)\n",
              largestSeconds);
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

  std::printf("convert_bench: %u hardware threads\n\n", std::thread::hardware_concurrency());
  if (!skipCapture) {
    if (!QFileInfo(QDir(folder).filePath(QStringLiteral("camera_1920x1080.mp4"))).isFile()) {
      std::fprintf(stderr, "convert_bench: camera_1920x1080.mp4 missing in %s\n"
                           "Make it with: bench/make-player-clips %s\n",
                   qPrintable(folder), qPrintable(folder));
      return 2;
    }
    PrintCapture(folder);
  }
  PrintAssembly(largestSeconds);
  return 0;
}
