#include "ExactCapture.h"

#include <algorithm>

namespace convert {

namespace {

constexpr std::int64_t kNsPerSecond = 1000000000;

}  // namespace

TFrameTimes::TFrameTimes(int startMs, int endMs, int fps)
    : FStartNs(std::int64_t{startMs} * 1000000), FFps(std::max(fps, 1)) {
  // i < (end - start) x fps / 1000, counted without rounding.
  const std::int64_t spanMs = std::max<std::int64_t>(std::int64_t{endMs} - startMs, 0);
  FCount = static_cast<int>((spanMs * FFps + 999) / 1000);
}

int TFrameTimes::Before(std::int64_t timeNs) {
  // t_i < timeNs  <=>  i x 10^9 < (timeNs - start) x fps.
  const std::int64_t limit = (timeNs - FStartNs) * FFps;
  int served = 0;
  while (FNext < FCount && std::int64_t{FNext} * kNsPerSecond < limit) {
    ++FNext;
    ++served;
  }
  return served;
}

TExactCapture::TExactCapture(const QString& fileName, const std::vector<player::CVFEffect>& effects,
                             int clipStartMs, int clipEndMs, int fps)
    : FReader(fileName, effects), FTimes(clipStartMs, clipEndMs, fps), FClipStartMs(clipStartMs),
      FPositionMs(clipStartMs) {}

bool TExactCapture::Start() { return FReader.Start(FClipStartMs); }

bool TExactCapture::Capture(TConversionJob& job, int times) {
  for (int k = 0; k < times; ++k)
    if (!job.CaptureFrame()) return false;
  return true;
}

TExactCapture::TStep TExactCapture::Step(TConversionJob& job, int timeoutMs) {
  if (FTimes.Done()) return TStep::Done;
  player::TExactFrameReader::TFrame frame;
  switch (FReader.Next(frame, timeoutMs)) {
    case player::TExactFrameReader::TNext::Waiting:
      return TStep::Working;
    case player::TExactFrameReader::TNext::Error:
      return TStep::Failed;
    case player::TExactFrameReader::TNext::End: {
      // The last frame stays shown to its end; without a known duration, for no more time.
      if (!FHeld.isNull() && !Capture(job, FTimes.Until(FHeldEndNs))) return TStep::Failed;
      return TStep::Done;
    }
    case player::TExactFrameReader::TNext::Frame:
      break;
  }
  FPositionMs = std::max<std::int64_t>(frame.TimeNs / 1000000, FClipStartMs);
  // Times before the first decoded frame show that frame: nothing was shown earlier.
  if (FHeld.isNull()) FHeld = frame.Picture;
  if (!Capture(job, FTimes.Before(frame.TimeNs))) return TStep::Failed;
  FHeld = std::move(frame.Picture);
  FHeldEndNs = frame.EndNs;
  return FTimes.Done() ? TStep::Done : TStep::Working;
}

}  // namespace convert
