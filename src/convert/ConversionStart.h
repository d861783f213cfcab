// The decisions of "Convert to GIF" that need no window: whether a start is refused and
// with which texts, the settings block it logs, and the capture timer's interval.
// Times are milliseconds from the start of the video; crop values are video pixels.
#pragma once

#include <QString>
#include <QStringList>

namespace convert {

// Clip lengths a conversion accepts, ms, both ends included.
constexpr int kMinClipMs = 500;
constexpr int kMaxClipMs = 60000;

// Why a start is refused, in the order the start tests them.
enum class TStartRefusal { None, ClipTooShort, ClipTooLong, NoVideo, EmptyCrop };

// None when 500 <= end - start <= 60000 (computed without overflow).
TStartRefusal CheckClipLength(int clipStartMs, int clipEndMs);

// EmptyCrop when the crop has no area (the crop fields take any integer).
TStartRefusal CheckCrop(int cropWidth, int cropHeight);

// What a refusal logs and shows. LogText is the event text (LogEvent adds the time);
// Warning is the text of the modal box, "\r\n" marking its line breaks. The missing-video
// refusal shows its box before it logs; the others log first.
struct TRefusalTexts {
  QString LogText;
  QString Warning;
  bool WarningFirst = false;
};
TRefusalTexts RefusalTexts(TStartRefusal refusal);

// What the settings block reports: the clip, the video, the crop as the fields hold it,
// and the output settings as the controls hold them when the capture is set up.
struct TConversionSettings {
  QString StartTimeText;  // the clip bounds as IntToTimeStr gives them
  QString EndTimeText;
  int SourceWidth = 0;
  int SourceHeight = 0;
  int CropLeft = 0;
  int CropTop = 0;
  int CropWidth = 0;
  int CropHeight = 0;
  int FrameRate = 0;
  int GifWidth = 0;
  int GifHeight = 0;
  bool Alternate = false;
  int DitherIndex = 0;
  int Lightness = 0;
  int Saturation = 0;
  int Contrast = 0;
  int Darkness = 0;
  bool Greyscale = false;
  bool TextOverlay = false;
  QString Text;  // written only with the text overlay on
};

// The 13 lines of the block, 14 with the text overlay on. The first is an event text for
// LogEvent; the others go into the log as they are (seven leading blanks, no time).
// Flags read "-1" for on and "0" for off.
QStringList SettingsBlock(const TConversionSettings& settings);

// Timer1's interval for a frame rate: 1000 / framesPerSecond ms, ties to even (16 fps gives
// 62). Throws core::NumberError for 0 frames per second, the division having no value.
int CaptureIntervalMs(int framesPerSecond);

}  // namespace convert
