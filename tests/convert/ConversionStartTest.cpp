// The start decisions of a conversion: clip length bounds, the empty crop, the refusal
// texts, the settings block and the capture interval.
#include <gtest/gtest.h>

#include "ConversionStart.h"
#include "Rounding.h"

namespace {

using convert::TStartRefusal;

struct ClipCase {
  int startMs;
  int endMs;
  TStartRefusal expected;
};

class ClipLength : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipLength, AcceptsHalfASecondToOneMinute)
{
  const ClipCase c = GetParam();
  EXPECT_EQ(convert::CheckClipLength(c.startMs, c.endMs), c.expected) << c.startMs << ".." << c.endMs;
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, ClipLength,
    ::testing::Values(ClipCase{0, 0, TStartRefusal::ClipTooShort},  // nothing opened yet
                      ClipCase{1000, 1499, TStartRefusal::ClipTooShort},
                      ClipCase{1000, 1500, TStartRefusal::None},
                      ClipCase{1000, 61000, TStartRefusal::None},
                      ClipCase{1000, 61001, TStartRefusal::ClipTooLong},
                      ClipCase{3000, 1000, TStartRefusal::ClipTooShort},  // end before start
                      // A difference beyond the int range must not wrap into the accepted band.
                      ClipCase{-2147483647, 2147483647, TStartRefusal::ClipTooLong},
                      ClipCase{2147483647, -2147483647, TStartRefusal::ClipTooShort}));

TEST(CropCheck, RefusesACropWithoutArea)
{
  EXPECT_EQ(convert::CheckCrop(1, 1), TStartRefusal::None);
  EXPECT_EQ(convert::CheckCrop(0, 480), TStartRefusal::EmptyCrop);
  EXPECT_EQ(convert::CheckCrop(640, 0), TStartRefusal::EmptyCrop);
  EXPECT_EQ(convert::CheckCrop(-5, 480), TStartRefusal::EmptyCrop);
  EXPECT_EQ(convert::CheckCrop(640, -1), TStartRefusal::EmptyCrop);
}

TEST(RefusalTexts, KeepTheirExactWordingAndOrder)
{
  const auto tooShort = convert::RefusalTexts(TStartRefusal::ClipTooShort);
  EXPECT_EQ(tooShort.LogText,
            QStringLiteral(" ---> Trimmed part of the video is less than 0.5 second.\r\nPlease set larger interval.."));
  EXPECT_EQ(tooShort.Warning,
            QStringLiteral("Trimmed part of the video is less than 0.5 second.\r\nPlease set larger interval."));
  EXPECT_FALSE(tooShort.WarningFirst);

  const auto tooLong = convert::RefusalTexts(TStartRefusal::ClipTooLong);
  EXPECT_EQ(tooLong.LogText,
            QStringLiteral(" ---> Trimmed part of the video is more than 1 minute.\r\nPlease trim video before conversion."));
  EXPECT_EQ(tooLong.Warning,
            QStringLiteral("You are trying to convert video that is longer than 1 min. GIF will be too big.\r\nPlease "
                           "trim video using \"Set Start\" and \"Set End\" buttons before conversion."));
  EXPECT_FALSE(tooLong.WarningFirst);

  const auto noVideo = convert::RefusalTexts(TStartRefusal::NoVideo);
  EXPECT_EQ(noVideo.LogText, QStringLiteral(" ---> File is not open: Open video file at first!"));
  EXPECT_EQ(noVideo.Warning, QStringLiteral("Open video file at first!"));
  EXPECT_TRUE(noVideo.WarningFirst);

  const auto emptyCrop = convert::RefusalTexts(TStartRefusal::EmptyCrop);
  EXPECT_EQ(emptyCrop.LogText, QStringLiteral(" ---> Crop area is empty."));
  EXPECT_EQ(emptyCrop.Warning, QStringLiteral("Crop area is empty. Please set a crop width and height above 0."));
  EXPECT_FALSE(emptyCrop.WarningFirst);
}

convert::TConversionSettings ExampleSettings()
{
  convert::TConversionSettings s;
  s.StartTimeText = QStringLiteral("00:00:05");
  s.EndTimeText = QStringLiteral("00:00:12");
  s.SourceWidth = 640;
  s.SourceHeight = 480;
  s.CropLeft = 10;
  s.CropTop = 20;
  s.CropWidth = 320;
  s.CropHeight = 240;
  s.FrameRate = 10;
  s.GifWidth = 160;
  s.GifHeight = 120;
  s.DitherIndex = 1;
  s.Saturation = 255;
  return s;
}

TEST(SettingsBlock, HasThirteenLinesWithTheTextOverlayOff)
{
  EXPECT_EQ(convert::SettingsBlock(ExampleSettings()),
            (QStringList{
                QStringLiteral(" --->  Start recording: start time=00:00:05, end time=00:00:12"),
                QStringLiteral("       source width=640, source heigh=480"),
                QStringLiteral("       crop top=20, crop left=10, crop height=240, crop width=320"),
                QStringLiteral("       frame rate=10"),
                QStringLiteral("       gif size=160*120"),
                QStringLiteral("       alternation=0"),
                QStringLiteral("       dithering=1"),
                QStringLiteral("       lightness=0"),
                QStringLiteral("       saturation=255"),
                QStringLiteral("       contrast=0"),
                QStringLiteral("       darkness=0"),
                QStringLiteral("       grayscale=0"),
                QStringLiteral("       text overlay=0"),
            }));
}

TEST(SettingsBlock, WritesFlagsAsMinusOneAndAddsTheTextLineWithTheOverlayOn)
{
  convert::TConversionSettings s = ExampleSettings();
  s.Alternate = true;
  s.Greyscale = true;
  s.TextOverlay = true;
  s.Text = QStringLiteral("50% off %1");  // kept as typed
  s.Lightness = 7;
  s.Contrast = 8;
  s.Darkness = 9;
  s.CropLeft = -3;
  const QStringList block = convert::SettingsBlock(s);
  ASSERT_EQ(block.size(), 14);
  EXPECT_EQ(block[2], QStringLiteral("       crop top=20, crop left=-3, crop height=240, crop width=320"));
  EXPECT_EQ(block[5], QStringLiteral("       alternation=-1"));
  EXPECT_EQ(block[7], QStringLiteral("       lightness=7"));
  EXPECT_EQ(block[9], QStringLiteral("       contrast=8"));
  EXPECT_EQ(block[10], QStringLiteral("       darkness=9"));
  EXPECT_EQ(block[11], QStringLiteral("       grayscale=-1"));
  EXPECT_EQ(block[12], QStringLiteral("       text overlay=-1"));
  EXPECT_EQ(block[13], QStringLiteral("       Text=50% off %1"));
}

TEST(CaptureInterval, RoundsTiesToEven)
{
  const std::pair<int, int> cases[] = {{1, 1000}, {2, 500}, {3, 333}, {6, 167}, {8, 125},  {10, 100},
                                       {12, 83},  {15, 67}, {16, 62}, {24, 42}, {25, 40}, {30, 33}};
  for (const auto& [fps, ms] : cases)
    EXPECT_EQ(convert::CaptureIntervalMs(fps), ms) << fps << " fps";
}

TEST(CaptureInterval, ZeroFramesPerSecondHasNoInterval)
{
  EXPECT_THROW(convert::CaptureIntervalMs(0), core::NumberError);
}

}  // namespace
