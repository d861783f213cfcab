// The process-wide values of the main window that the clip, conversion and editing code
// share. One instance, owned by the main window, used on the UI thread only.
//
// Times are 32-bit signed milliseconds from the start of the video. Sizes and crop values
// are in video (source) pixels unless said otherwise.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "GIFImage.h"

namespace core {

struct ConversionState {
  // Clip bounds, ms. Set when a video is opened and by trimming.
  int ClipStartMs = 0;
  int ClipEndMs = 0;
  // Duration of the open video, ms.
  int FDuration = 0;

  // Frame size of the open video, pixels.
  int SourceWidth = 0;
  int SourceHeight = 0;

  // Rectangle of the video picture inside the player panel, player-panel pixels.
  int DisplayWidth = 0;
  int DisplayHeight = 0;
  int DisplayLeft = 0;
  int DisplayTop = 0;

  // The black bitmap of the open video's size, owned by the main window (null before the
  // first open).
  QImage* GrabBitmap = nullptr;

  // Crop rectangle, source pixels, taken when a conversion starts.
  int CropLeft = 0;
  int CropTop = 0;
  int CropWidth = 0;
  int CropHeight = 0;

  // Output size of the GIF, pixels, taken when a conversion starts.
  int GifWidth = 0;
  int GifHeight = 0;

  // Size of the cropped picture fitted inside one GIF frame, GIF pixels (fractional).
  double FitWidth = 0.0;
  double FitHeight = 0.0;

  // Captured frames in capture order, owned. Filled while capturing, consumed by assembly.
  std::vector<QImage> FrameList;

  // The current GIF, owned. Created at start-up by the main window, rebuilt by every
  // conversion; empty only before start-up or after the close sequence.
  std::unique_ptr<gifimage::TGIFImage> FImage;

  // 0 nothing played yet, 1 playing, 2 paused or stopped.
  std::uint8_t PlayerState = 0;

  // Playback is bounded by the clip (Play Clip, conversion).
  bool ClipBounded = false;
  // A transport step is running.
  bool StepBusy = false;

  // Folder of the temporary result files ("/"-separated, no trailing separator).
  QString WorkDir;
  // documents + "/Zentiq/ReportData".
  QString ReportDataDir;
  // Filter text of the open dialog.
  QString OpenFilter;

  // The close sequence has run; a second close request does nothing.
  bool ClosingDone = false;
  // The decoder hint of opening a video was handled (set on the first open; nothing shown).
  bool FfdshowHintShown = false;
  // An open failed because a decoder is missing; the error report then offers the installer.
  // Raised once, never lowered.
  bool CodecPackMissing = false;
};

}  // namespace core
