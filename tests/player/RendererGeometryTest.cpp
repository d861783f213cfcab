#include "RendererGeometry.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using player::TDisplaySettings;
using player::TRendererGeometry;

// The player panel of the main window.
const QSize kPanel(374, 262);

struct TGeometryCase {
  std::string name;
  QSize widget;
  QSize frame;
  TDisplaySettings settings;
  QRect destination;
  QRect source;
  std::vector<QRect> background;
  bool zoomFailed = false;
};

void PrintTo(const TGeometryCase& c, std::ostream* out) { *out << c.name; }

std::string Describe(const QRect& r)
{
  return "(" + std::to_string(r.x()) + "," + std::to_string(r.y()) + " " +
         std::to_string(r.width()) + "x" + std::to_string(r.height()) + ")";
}

std::string Describe(const std::vector<QRect>& rects)
{
  std::string text;
  for (const QRect& r : rects)
    text += Describe(r);
  return text;
}

class RendererGeometryTable : public testing::TestWithParam<TGeometryCase> {};

TEST_P(RendererGeometryTable, GivesDestinationSourceAndBackground)
{
  const TGeometryCase& c = GetParam();
  const TRendererGeometry g = player::ComputeRendererGeometry(c.widget, c.frame, c.settings);
  EXPECT_EQ(Describe(g.Destination), Describe(c.destination));
  EXPECT_EQ(Describe(g.Source), Describe(c.source));
  EXPECT_EQ(Describe(g.Background), Describe(c.background));
  EXPECT_EQ(g.ZoomFailed, c.zoomFailed);
  EXPECT_EQ(g.FlipHorizontal, c.settings.Screen_Flip_Horizontal);
  EXPECT_EQ(g.FlipVertical, c.settings.Screen_Flip_Vertical);
}

const QRect k640x480(0, 0, 640, 480);
// 640x480 letterboxed in the panel: width 4/3 x 262 = 349.33 -> 349, left 25/2 = 12.5 -> 12.
const QRect kLetterbox4x3(12, 0, 349, 262);
const std::vector<QRect> kPillars4x3{{0, 0, 12, 262}, {361, 0, 13, 262}};

INSTANTIATE_TEST_SUITE_P(
    Cases, RendererGeometryTable,
    testing::Values(
        TGeometryCase{"LetterboxWideFrameLeavesSidePillars", kPanel, {640, 480}, {},
                      kLetterbox4x3, k640x480, kPillars4x3},
        // 3/4 x 262 = 196.5 -> 196 (to even), left 178/2 = 89.
        TGeometryCase{"LetterboxTallFrameRoundsWidthHalfToEven", kPanel, {480, 640}, {},
                      {89, 0, 196, 262}, {0, 0, 480, 640},
                      {{0, 0, 89, 262}, {285, 0, 89, 262}}},
        // 800/1920 x 374 = 155.83 -> 156, top 106/2 = 53.
        TGeometryCase{"LetterboxCinemaFrameLeavesBandsAboveAndBelow", kPanel, {1920, 800}, {},
                      {0, 53, 374, 156}, {0, 0, 1920, 800},
                      {{0, 0, 374, 53}, {0, 209, 374, 53}}},
        TGeometryCase{"FrameOfPanelAspectFillsPanel", kPanel, {748, 524}, {},
                      {0, 0, 374, 262}, {0, 0, 748, 524}, {}},
        TGeometryCase{"StretchFillsPanel", kPanel, {480, 640}, {.Screen_Stretch = true},
                      {0, 0, 374, 262}, {0, 0, 480, 640}, {}},
        TGeometryCase{"Forced4x3IgnoresFrameAspect", kPanel, {1920, 800},
                      {.Screen_Aspect_Ratio_Override = true, .Screen_Aspect_Ratio_X = 4,
                       .Screen_Aspect_Ratio_Y = 3},
                      kLetterbox4x3, {0, 0, 1920, 800}, kPillars4x3},
        // 9/16 x 374 = 210.375 -> 210, top 26; wins over stretch.
        TGeometryCase{"Forced16x9WinsOverStretch", kPanel, {640, 480},
                      {.Screen_Stretch = true, .Screen_Aspect_Ratio_Override = true},
                      {0, 26, 374, 210}, k640x480, {{0, 0, 374, 26}, {0, 236, 374, 26}}},
        TGeometryCase{"ForcedRatioWithZeroTermIsIgnored", kPanel, {640, 480},
                      {.Screen_Aspect_Ratio_Override = true, .Screen_Aspect_Ratio_Y = 0},
                      kLetterbox4x3, k640x480, kPillars4x3},
        TGeometryCase{"ZoomFiftyShowsCentreQuarter", kPanel, {640, 480},
                      {.Screen_Zoom_Ratio = 50}, kLetterbox4x3, {160, 120, 320, 240},
                      kPillars4x3},
        TGeometryCase{"ZoomShiftsMoveSource", kPanel, {640, 480},
                      {.Screen_Zoom_Ratio = 50, .Screen_Zoom_ShiftX = 10,
                       .Screen_Zoom_ShiftY = -20},
                      kLetterbox4x3, {170, 100, 320, 240}, kPillars4x3},
        // V = 640 - 633.6 = 6.4, U = 4.8: left 316 + 0, right 6 + 316, top 237, bottom 4 + 237.
        TGeometryCase{"ZoomTruncatesFractionalParts", kPanel, {640, 480},
                      {.Screen_Zoom_Ratio = 99}, kLetterbox4x3, {316, 237, 6, 4}, kPillars4x3},
        TGeometryCase{"ZoomBelowOneShowsWholePictureIgnoringShifts", kPanel, {640, 480},
                      {.Screen_Zoom_ShiftX = 30, .Screen_Zoom_ShiftY = 30}, kLetterbox4x3,
                      k640x480, kPillars4x3},
        TGeometryCase{"ZoomShiftedPastEdgeFails", kPanel, {640, 480},
                      {.Screen_Zoom_Ratio = 50, .Screen_Zoom_ShiftX = 161}, kLetterbox4x3,
                      k640x480, kPillars4x3, true},
        TGeometryCase{"ZoomOfHundredFails", kPanel, {640, 480}, {.Screen_Zoom_Ratio = 100},
                      kLetterbox4x3, k640x480, kPillars4x3, true},
        TGeometryCase{"FlipsKeepDestination", kPanel, {640, 480},
                      {.Screen_Flip_Horizontal = true, .Screen_Flip_Vertical = true},
                      kLetterbox4x3, k640x480, kPillars4x3},
        TGeometryCase{"UnknownFrameSizeIsAllBackground", kPanel, {0, 0}, {}, {}, {},
                      {{0, 0, 374, 262}}},
        TGeometryCase{"EmptyWidgetHasNothingToPaint", {0, 262}, {640, 480}, {}, {}, {}, {}}),
    [](const testing::TestParamInfo<TGeometryCase>& info) { return info.param.name; });

TEST(RendererGeometry, ZoomShiftToTheVeryEdgeIsStillInside)
{
  EXPECT_EQ(player::ZoomRectangle({640, 480}, 50, 160, 120), QRect(320, 240, 320, 240));
  EXPECT_EQ(player::ZoomRectangle({640, 480}, 50, -160, -120), QRect(0, 0, 320, 240));
  EXPECT_TRUE(player::ZoomRectangle({640, 480}, 50, 0, 121).isEmpty());
  EXPECT_TRUE(player::ZoomRectangle({640, 480}, -10, 0, 0).isEmpty());
}

// A 40x20 frame with one colour per quadrant, painted 1:1 into a 40x40 control: the
// picture sits in rows 10..29 with background bands above and below.
struct TPaintCase {
  bool flipHorizontal;
  bool flipVertical;
  QRgb topLeft;      // the control pixel just inside the picture's top-left corner
  QRgb bottomRight;  // and its bottom-right corner
};

class RendererGeometryPaint : public testing::TestWithParam<TPaintCase> {};

const QRgb kRed = qRgb(255, 0, 0), kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255),
           kYellow = qRgb(255, 255, 0), kBackground = qRgb(10, 20, 30);

QImage QuadrantFrame()
{
  QImage frame(40, 20, QImage::Format_RGB32);
  QPainter painter(&frame);
  painter.fillRect(0, 0, 20, 10, QColor(kRed));
  painter.fillRect(20, 0, 20, 10, QColor(kGreen));
  painter.fillRect(0, 10, 20, 10, QColor(kBlue));
  painter.fillRect(20, 10, 20, 10, QColor(kYellow));
  return frame;
}

TEST_P(RendererGeometryPaint, FillsBandsAndMirrorsPictureInPlace)
{
  const TPaintCase& c = GetParam();
  QImage target(40, 40, QImage::Format_RGB32);
  target.fill(Qt::white);
  {
    QPainter painter(&target);
    TDisplaySettings settings;
    settings.Screen_Flip_Horizontal = c.flipHorizontal;
    settings.Screen_Flip_Vertical = c.flipVertical;
    player::PaintFrame(painter, QuadrantFrame(), target.size(), settings, QColor(kBackground));
  }
  EXPECT_EQ(target.pixel(0, 0), kBackground);
  EXPECT_EQ(target.pixel(39, 9), kBackground);
  EXPECT_EQ(target.pixel(0, 30), kBackground);
  EXPECT_EQ(target.pixel(39, 39), kBackground);
  EXPECT_EQ(target.pixel(1, 11), c.topLeft);
  EXPECT_EQ(target.pixel(38, 28), c.bottomRight);
}

INSTANTIATE_TEST_SUITE_P(Flips, RendererGeometryPaint,
                         testing::Values(TPaintCase{false, false, kRed, kYellow},
                                         TPaintCase{true, false, kGreen, kBlue},
                                         TPaintCase{false, true, kBlue, kGreen},
                                         TPaintCase{true, true, kYellow, kRed}));

TEST(RendererGeometry, PaintWithNullFrameFillsWholeControl)
{
  QImage target(8, 6, QImage::Format_RGB32);
  target.fill(Qt::white);
  {
    QPainter painter(&target);
    player::PaintFrame(painter, QImage(), target.size(), {}, QColor(kBackground));
  }
  EXPECT_EQ(target.pixel(0, 0), kBackground);
  EXPECT_EQ(target.pixel(7, 5), kBackground);
}

TEST(RendererGeometry, DisplayElementsAreFoundAndMissingOnesAreNot)
{
  EXPECT_TRUE(player::DisplayElementsAvailable());
  EXPECT_FALSE(player::ElementFactoriesExist({"videoconvert", "quorvane-no-such-element"}));
}

}  // namespace
