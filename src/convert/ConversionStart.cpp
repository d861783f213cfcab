#include "ConversionStart.h"

#include <cstdint>

#include "Rounding.h"

namespace convert {

TStartRefusal CheckClipLength(int clipStartMs, int clipEndMs)
{
  const std::int64_t length = std::int64_t{clipEndMs} - clipStartMs;
  if (length < kMinClipMs)
    return TStartRefusal::ClipTooShort;
  if (length > kMaxClipMs)
    return TStartRefusal::ClipTooLong;
  return TStartRefusal::None;
}

TStartRefusal CheckCrop(int cropWidth, int cropHeight)
{
  return cropWidth <= 0 || cropHeight <= 0 ? TStartRefusal::EmptyCrop : TStartRefusal::None;
}

TRefusalTexts RefusalTexts(TStartRefusal refusal)
{
  switch (refusal) {
  case TStartRefusal::ClipTooShort:
    // The log line ends in two dots, the box in one.
    return {QStringLiteral(" ---> Trimmed part of the video is less than 0.5 second.\r\nPlease set larger interval.."),
            QStringLiteral("Trimmed part of the video is less than 0.5 second.\r\nPlease set larger interval."), false};
  case TStartRefusal::ClipTooLong:
    return {QStringLiteral(" ---> Trimmed part of the video is more than 1 minute.\r\nPlease trim video before conversion."),
            QStringLiteral("You are trying to convert video that is longer than 1 min. GIF will be too big.\r\n"
                           "Please trim video using \"Set Start\" and \"Set End\" buttons before conversion."),
            false};
  case TStartRefusal::NoVideo:
    return {QStringLiteral(" ---> File is not open: Open video file at first!"),
            QStringLiteral("Open video file at first!"), true};
  case TStartRefusal::EmptyCrop:
    return {QStringLiteral(" ---> Crop area is empty."),
            QStringLiteral("Crop area is empty. Please set a crop width and height above 0."), false};
  case TStartRefusal::None:
    break;
  }
  return {};
}

namespace {

QString Flag(bool on)
{
  return on ? QStringLiteral("-1") : QStringLiteral("0");
}

}  // namespace

QStringList SettingsBlock(const TConversionSettings& s)
{
  const QString indent = QStringLiteral("       ");
  QStringList lines{
      QStringLiteral(" --->  Start recording: start time=%1, end time=%2").arg(s.StartTimeText, s.EndTimeText),
      indent + QStringLiteral("source width=%1, source heigh=%2").arg(s.SourceWidth).arg(s.SourceHeight),
      indent + QStringLiteral("crop top=%1, crop left=%2, crop height=%3, crop width=%4")
                   .arg(s.CropTop)
                   .arg(s.CropLeft)
                   .arg(s.CropHeight)
                   .arg(s.CropWidth),
      indent + QStringLiteral("frame rate=%1").arg(s.FrameRate),
      indent + QStringLiteral("gif size=%1*%2").arg(s.GifWidth).arg(s.GifHeight),
      indent + QStringLiteral("alternation=") + Flag(s.Alternate),
      indent + QStringLiteral("dithering=%1").arg(s.DitherIndex),
      indent + QStringLiteral("lightness=%1").arg(s.Lightness),
      indent + QStringLiteral("saturation=%1").arg(s.Saturation),
      indent + QStringLiteral("contrast=%1").arg(s.Contrast),
      indent + QStringLiteral("darkness=%1").arg(s.Darkness),
      indent + QStringLiteral("grayscale=") + Flag(s.Greyscale),
      indent + QStringLiteral("text overlay=") + Flag(s.TextOverlay),
  };
  // Appended, not formatted: the text may hold "%1".
  if (s.TextOverlay)
    lines.append(indent + QStringLiteral("Text=") + s.Text);
  return lines;
}

int CaptureIntervalMs(int framesPerSecond)
{
  if (framesPerSecond == 0)
    throw core::NumberError("Floating point division by zero");
  return core::RoundHalfEven(1000.0 / framesPerSecond);
}

}  // namespace convert
