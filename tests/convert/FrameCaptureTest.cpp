// The geometry shared by capture and assembly, and the capture of one frame: exact pixels
// from synthetic pictures (lossless), black outside the picture, size and memory of a frame.
#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <vector>

#include "ConversionState.h"
#include "ErrorReport.h"
#include "FrameCapture.h"
#include "FrameGeometry.h"

namespace {

using convert::CaptureCrop;
using convert::CaptureFrame;
using convert::FrameGeometry;

struct GeometryCase {
  int cropW, cropH, gifW, gifH;
  double fitW, fitH;
  int left, top, right, bottom;
};

class FrameGeometryTable : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(FrameGeometryTable, FitsAndCentresWithTiesToEven) {
  const GeometryCase c = GetParam();
  const convert::TFrameGeometry g = FrameGeometry(c.cropW, c.cropH, c.gifW, c.gifH);
  EXPECT_DOUBLE_EQ(g.FitWidth, c.fitW);
  EXPECT_DOUBLE_EQ(g.FitHeight, c.fitH);
  EXPECT_EQ(g.Left, c.left);
  EXPECT_EQ(g.Top, c.top);
  EXPECT_EQ(g.Right, c.right);
  EXPECT_EQ(g.Bottom, c.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameGeometryTable,
    ::testing::Values(
        // Wider crop: full width, centred vertically; r(12.5) = 12, r(87.5) = 88.
        GeometryCase{320, 240, 100, 100, 100, 75, 0, 12, 100, 88},
        // Equal ratios take the full-height placement with offset 0.
        GeometryCase{640, 480, 160, 120, 160, 120, 0, 0, 160, 120},
        GeometryCase{100, 100, 200, 200, 200, 200, 0, 0, 200, 200},
        // Taller crop: full height, centred horizontally.
        GeometryCase{100, 200, 100, 100, 50, 100, 25, 0, 75, 100},
        // 1280 x 720 into 1000 x 1000: 562.5 high, top r(218.75) = 219, bottom r(781.25) = 781.
        GeometryCase{1280, 720, 1000, 1000, 1000, 562.5, 0, 219, 1000, 781}));

TEST(FrameGeometry, RefusesSizesItWouldDivideBy) {
  EXPECT_THROW(FrameGeometry(0, 10, 10, 10), std::invalid_argument);
  EXPECT_THROW(FrameGeometry(10, 0, 10, 10), std::invalid_argument);
  EXPECT_THROW(FrameGeometry(10, 10, 0, 10), std::invalid_argument);
}

// A picture whose every pixel is distinct: red = x, green = y, blue = x ^ y.
QImage Pattern(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
  return img;
}

// Pixel (x, y) of a 24-bit blue, green, red capture.
QRgb At(const QImage& bgr, int x, int y) {
  const uchar* p = bgr.constScanLine(y) + 3 * x;
  return qRgb(p[2], p[1], p[0]);
}

TEST(CaptureCrop, OneToOneCropIsCopiedExactlyAs24BitBlueGreenRed) {
  const QImage picture = Pattern(64, 48);
  const QImage frame = CaptureCrop(picture, 64, 10, 5, 20, 30, 20, 30);
  ASSERT_EQ(frame.size(), QSize(20, 30));
  EXPECT_EQ(frame.format(), QImage::Format_BGR888);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(At(frame, x, y), picture.pixel(10 + x, 5 + y)) << x << "," << y;
}

TEST(CaptureCrop, PartsOfTheCropOutsideThePictureAreBlack) {
  QImage picture(40, 40, QImage::Format_RGB32);
  picture.fill(qRgb(200, 100, 50));
  // Crop (30, -10, 20, 20): only x 30..39, y 0..9 lie inside.
  const QImage frame = CaptureCrop(picture, 40, 30, -10, 20, 20, 20, 20);
  ASSERT_EQ(frame.size(), QSize(20, 20));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool inside = x < 10 && y >= 10;
      ASSERT_EQ(At(frame, x, y), inside ? qRgb(200, 100, 50) : qRgb(0, 0, 0)) << x << "," << y;
    }
}

TEST(CaptureCrop, MapsTheCropIntoAPictureOfAnotherSize) {
  // Source 200 wide, picture grabbed at 100 wide: crop (100, 0, 100, 100) is x 50..99.
  QImage picture(100, 50, QImage::Format_RGB32);
  picture.fill(qRgb(0, 0, 255));
  for (int y = 0; y < 50; ++y)
    for (int x = 50; x < 100; ++x) picture.setPixel(x, y, qRgb(255, 0, 0));
  const QImage frame = CaptureCrop(picture, 200, 100, 0, 100, 100, 50, 50);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_EQ(At(frame, x, y), qRgb(255, 0, 0));
}

TEST(CaptureCrop, NoPictureGivesBlackAndAnEmptyDestinationGivesNull) {
  const QImage black = CaptureCrop(QImage(), 640, 0, 0, 640, 480, 8, 6);
  ASSERT_EQ(black.size(), QSize(8, 6));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(At(black, x, y), qRgb(0, 0, 0));
  EXPECT_TRUE(CaptureCrop(Pattern(8, 8), 8, 0, 0, 8, 8, 0, 5).isNull());
}

TEST(CaptureCrop, ScalesSmoothly) {
  // A 2 x 2 checker of black and white halves to mid grey with a smoothing filter.
  QImage checker(64, 64, QImage::Format_RGB32);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
  const QImage frame = CaptureCrop(checker, 64, 0, 0, 64, 64, 32, 32);
  const int grey = qRed(At(frame, 16, 16));
  EXPECT_GT(grey, 100);
  EXPECT_LT(grey, 155);
}

class CaptureFrameTest : public ::testing::Test {
 protected:
  CaptureFrameTest() {
    core::SetReportErrorHandler([this](const QString& message, const QString& mark) {
      reports.push_back({message, mark});
    });
  }
  ~CaptureFrameTest() override { core::SetReportErrorHandler({}); }

  struct Report {
    QString message, mark;
  };
  std::vector<Report> reports;
  core::ConversionState state;
};

TEST_F(CaptureFrameTest, SmallCropIntoLargeGifKeepsOnlyWhatTheGifShows) {
  // A 100 x 100 crop of a 1920 x 1080 picture into a 1000 x 1000 GIF: the frame holds the
  // destination rectangle only (1000 x 1000), not the whole picture at scale 10.
  const QImage picture = Pattern(1920, 1080);
  state.SourceWidth = 1920;
  state.SourceHeight = 1080;
  state.CropLeft = 910;
  state.CropTop = 490;
  state.CropWidth = state.CropHeight = 100;
  state.GifWidth = state.GifHeight = 1000;
  ASSERT_TRUE(CaptureFrame(state, &picture));
  ASSERT_EQ(state.FrameList.size(), 1u);
  const QImage& frame = state.FrameList[0];
  EXPECT_EQ(frame.size(), QSize(1000, 1000));
  EXPECT_DOUBLE_EQ(state.FitWidth, 1000);
  EXPECT_DOUBLE_EQ(state.FitHeight, 1000);
  // No more than a 24-bit bitmap of that size with 4-byte rows.
  EXPECT_LE(frame.sizeInBytes(), qsizetype{1000} * ((1000 * 3 + 3) / 4 * 4));
}

TEST_F(CaptureFrameTest, FrameHasTheSizeOfTheDestinationRectangle) {
  const QImage picture = Pattern(320, 240);
  state.SourceWidth = 320;
  state.SourceHeight = 240;
  state.CropWidth = 320;
  state.CropHeight = 240;
  state.GifWidth = state.GifHeight = 100;
  ASSERT_TRUE(CaptureFrame(state, &picture));
  EXPECT_EQ(state.FrameList[0].size(), QSize(100, 76));  // (0, 12) .. (100, 88)
  // Without a picture yet (null grab) the frame is black, of the same size.
  ASSERT_TRUE(CaptureFrame(state, nullptr));
  EXPECT_EQ(state.FrameList[1].size(), QSize(100, 76));
  EXPECT_EQ(At(state.FrameList[1], 50, 38), qRgb(0, 0, 0));
}

TEST_F(CaptureFrameTest, FailureIsReportedWithThePreviousIndexAndLeavesAnEmptyBitmap) {
  const QImage picture = Pattern(32, 32);
  state.SourceWidth = state.SourceHeight = 32;
  state.CropWidth = state.CropHeight = 32;
  state.GifWidth = state.GifHeight = 16;
  ASSERT_TRUE(CaptureFrame(state, &picture));
  state.CropWidth = 0;  // nothing to fit: the sizes divide by zero
  EXPECT_FALSE(CaptureFrame(state, &picture));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].message, "Error capturing Flash Player Frames (Bitmap # 0)");
  EXPECT_EQ(reports[0].mark, "CLM_Timer1Timer");
  ASSERT_EQ(state.FrameList.size(), 2u);
  EXPECT_TRUE(state.FrameList[1].isNull());

  core::ConversionState fresh;  // no source size at all, empty list: "# -1"
  fresh.CropWidth = fresh.CropHeight = 10;
  fresh.GifWidth = fresh.GifHeight = 10;
  EXPECT_FALSE(CaptureFrame(fresh, &picture));
  EXPECT_EQ(reports.back().message, "Error capturing Flash Player Frames (Bitmap # -1)");
}

}  // namespace
