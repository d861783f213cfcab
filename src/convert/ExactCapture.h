// The capture that takes every frame exactly: instead of sampling the playing player on a
// timer, the clip is decoded as fast as the machine allows and output frame i is the video
// frame shown at t_i = clip start + i x 1000 / F ms, for every t_i before the clip end. The
// result depends on the file and the settings only, never on the machine's load.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "ConversionJob.h"
#include "ExactFrameReader.h"

namespace convert {

// The times of an exact capture, compared exactly in nanoseconds.
class TFrameTimes {
 public:
  // fps >= 1; endMs may lie before startMs (no times then).
  TFrameTimes(int startMs, int endMs, int fps);
  // How many times there are: ceil((end - start) x fps / 1000).
  int Count() const { return FCount; }
  // Times served so far.
  int Served() const { return FNext; }
  bool Done() const { return FNext >= FCount; }
  // A frame starts being shown at timeNs: serves and returns the times before it, which
  // show the frame before it.
  int Before(std::int64_t timeNs);
  // The video ends at endNs: serves and returns the times left before it, which show the
  // last frame. The times from endNs on are never served.
  int Until(std::int64_t endNs) { return Before(endNs); }

 private:
  std::int64_t FStartNs;
  int FFps;
  int FCount;
  int FNext = 0;
};

// Decodes the clip and hands each output frame to a conversion job. It is the job's picture
// source: the job's CaptureFrame takes the frame Step holds at that moment.
// Threads: the thread that made it (the UI thread, or the command line's).
class TExactCapture final : public IPictureSource {
 public:
  TExactCapture(const QString& fileName, const std::vector<player::CVFEffect>& effects, int clipStartMs,
                int clipEndMs, int fps);

  // Opens and positions the video; false with Error() set.
  bool Start();

  enum class TStep { Working, Done, Failed };
  // Takes the next decoded frame (waiting at most timeoutMs for it) and captures it into the
  // job once for every time it is shown at. Done when every time was served or the video
  // ended; Failed with Error() set when decoding failed, or with Error() empty when the job
  // reported a failed capture.
  TStep Step(TConversionJob& job, int timeoutMs);

  // The stream time of the last decoded frame, ms (the clip start before the first).
  std::int64_t PositionMs() const { return FPositionMs; }
  const TFrameTimes& Times() const { return FTimes; }
  QString Error() const { return FReader.Error(); }

  const QImage* CurrentPicture() override { return FHeld.isNull() ? nullptr : &FHeld; }

 private:
  // Captures the held frame `times` times; false when the job reported a failure.
  bool Capture(TConversionJob& job, int times);

  player::TExactFrameReader FReader;
  TFrameTimes FTimes;
  int FClipStartMs;
  QImage FHeld;             // the frame shown at the times being served
  std::int64_t FHeldEndNs = -1;
  std::int64_t FPositionMs;
};

}  // namespace convert
