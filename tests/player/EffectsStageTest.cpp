#include "EffectsStage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace player;

namespace {

CVFEffect Colour(int id, TVFEffectType type, int amount, bool enabled = true)
{
  CVFEffect e;
  e.ID = id;
  e._type = type;
  e.Enabled = enabled;
  e.pAmountI = amount;
  e.pAmountD = amount;
  return e;
}

CVFEffect Text(int id, const QString &text, int x, int y, std::uint32_t colour = 0xFFFFFF)
{
  CVFEffect e;
  e.ID = id;
  e._type = ef_text_logo;
  e.Enabled = true;
  e.TextLogo.text = text;
  e.TextLogo.x = x;
  e.TextLogo.y = y;
  e.TextLogo.font_name = QStringLiteral("Tahoma");
  e.TextLogo.font_size = 36;
  e.TextLogo.font_bold = true;
  e.TextLogo.font_color = colour;
  e.TextLogo.transp = 0;
  return e;
}

// A frame with every kind of pixel: a grey ramp across, colour bands down, and the x byte
// set to 0xFF as the video converter writes it.
QImage ColourFrame()
{
  QImage frame(64, 32, QImage::Format_RGB32);
  for (int y = 0; y < frame.height(); ++y)
    for (int x = 0; x < frame.width(); ++x) {
      const int v = x * 4;
      const QRgb rgb = y < 8    ? qRgb(v, v, v)
                       : y < 16 ? qRgb(v, 255 - v, 40)
                       : y < 24 ? qRgb(200, v / 2, 255 - v)
                                : qRgb(30 + v / 2, 60, v);
      frame.setPixel(x, y, rgb);
    }
  return frame;
}

double Mean(const QImage &img)
{
  double sum = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      sum += qRed(p) + qGreen(p) + qBlue(p);
    }
  return sum / (3.0 * img.width() * img.height());
}

// Mean distance of the channels from the pixel's own average: 0 for a grey picture.
double ColourSpread(const QImage &img)
{
  double sum = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      const double m = (qRed(p) + qGreen(p) + qBlue(p)) / 3.0;
      sum += std::abs(qRed(p) - m) + std::abs(qGreen(p) - m) + std::abs(qBlue(p) - m);
    }
  return sum / (img.width() * img.height());
}

double StdDev(const QImage &img)
{
  const double mean = Mean(img);
  double sum = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      for (int c : {qRed(p), qGreen(p), qBlue(p)})
        sum += (c - mean) * (c - mean);
    }
  return std::sqrt(sum / (3.0 * img.width() * img.height()));
}

QImage Applied(const std::vector<CVFEffect> &effects, QImage frame = ColourFrame())
{
  EffectsStage stage;
  for (const CVFEffect &e : effects)
    stage.AddEffect(e);
  stage.Apply(frame);
  return frame;
}

bool SameBytes(const QImage &a, const QImage &b)
{
  for (int y = 0; y < a.height(); ++y)
    if (!std::equal(a.constScanLine(y), a.constScanLine(y) + a.width() * 4, b.constScanLine(y)))
      return false;
  return true;
}

// Bounding box of the pixels that differ between two images; empty when none do.
QRect ChangedBox(const QImage &before, const QImage &after)
{
  QRect box;
  for (int y = 0; y < before.height(); ++y)
    for (int x = 0; x < before.width(); ++x)
      if (before.pixel(x, y) != after.pixel(x, y))
        box |= QRect(x, y, 1, 1);
  return box;
}

}  // namespace

TEST(EffectsStage, NeutralSettingsLeaveTheFrameByteIdentical)
{
  CVFEffect invisibleText = Text(16, "X", 0, 0);
  invisibleText.TextLogo.transp = 255;  // the default of a new overlay: fully transparent
  CVFEffect disabledText = Text(17, "X", 0, 0);
  disabledText.Enabled = false;
  const QImage out = Applied({Colour(11, ef_lightness, 0), Colour(12, ef_saturation, 255),
                              Colour(13, ef_contrast, 0), Colour(14, ef_darkness, 0),
                              Colour(15, ef_greyscale, 0, false), invisibleText, disabledText,
                              Colour(18, ef_mosaic, 50)});
  EXPECT_TRUE(SameBytes(out, ColourFrame()));
}

TEST(EffectsStage, DisabledEffectHasNoEffectAndUpdateReplacesWhole)
{
  EXPECT_TRUE(SameBytes(Applied({Colour(11, ef_darkness, 200, false)}), ColourFrame()));

  EffectsStage stage;
  stage.AddEffect(Colour(11, ef_darkness, 255));
  stage.UpdateEffect(Colour(11, ef_lightness, 0));  // same ID: now neutral lightness
  QImage frame = ColourFrame();
  stage.Apply(frame);
  EXPECT_TRUE(SameBytes(frame, ColourFrame()));
  ASSERT_EQ(stage.Effects().size(), 1u);
  EXPECT_EQ(stage.Effects()[0]._type, ef_lightness);
}

TEST(EffectsStage, GreyscaleGivesEqualChannelsAndKeepsXByte)
{
  const QImage out = Applied({Colour(15, ef_greyscale, 0)});
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x) {
      const QRgb p = out.pixel(x, y);
      ASSERT_EQ(qRed(p), qGreen(p));
      ASSERT_EQ(qGreen(p), qBlue(p));
      ASSERT_EQ(qAlpha(p), 255);
    }
  // A grey input stays as it was.
  EXPECT_EQ(out.pixel(10, 2), ColourFrame().pixel(10, 2));
}

TEST(EffectsStage, SaturationMovesTowardGreyAndZeroIsGrey)
{
  double previous = ColourSpread(ColourFrame());
  for (int amount : {200, 128, 64, 1}) {
    const double spread = ColourSpread(Applied({Colour(12, ef_saturation, amount)}));
    EXPECT_LT(spread, previous) << amount;
    previous = spread;
  }
  const QImage grey = Applied({Colour(12, ef_saturation, 0)});
  EXPECT_TRUE(SameBytes(grey, Applied({Colour(15, ef_greyscale, 0)})));
}

TEST(EffectsStage, LightnessAndDarknessMoveTheMeanMonotonically)
{
  const int amounts[] = {1, 16, 64, 128, 200, 254};
  double brighter = Mean(ColourFrame());
  double darker = brighter;
  for (int amount : amounts) {
    const double lit = Mean(Applied({Colour(11, ef_lightness, amount)}));
    const double dark = Mean(Applied({Colour(14, ef_darkness, amount)}));
    EXPECT_GT(lit, brighter) << amount;
    EXPECT_LT(dark, darker) << amount;
    brighter = lit;
    darker = dark;
  }
  EXPECT_EQ(Mean(Applied({Colour(11, ef_lightness, 255)})), 255.0);
  EXPECT_EQ(Mean(Applied({Colour(14, ef_darkness, 255)})), 0.0);
}

TEST(EffectsStage, ContrastSpreadsAroundMidGrey)
{
  // Dark pixels get darker, bright ones brighter, the spread grows with the amount.
  QImage frame(2, 1, QImage::Format_RGB32);
  frame.setPixel(0, 0, qRgb(110, 110, 110));
  frame.setPixel(1, 0, qRgb(150, 150, 150));
  double previousSpread = StdDev(ColourFrame());
  int previousDark = 110;
  int previousBright = 150;
  for (int amount : {8, 32, 64, 128, 255}) {
    const QImage out = Applied({Colour(13, ef_contrast, amount)}, frame);
    EXPECT_LT(qRed(out.pixel(0, 0)), previousDark) << amount;
    EXPECT_GT(qRed(out.pixel(1, 0)), previousBright) << amount;
    previousDark = qRed(out.pixel(0, 0));
    previousBright = qRed(out.pixel(1, 0));
    const double spread = StdDev(Applied({Colour(13, ef_contrast, amount)}));
    EXPECT_GT(spread, previousSpread) << amount;
    previousSpread = spread;
  }
}

TEST(EffectsStage, SeveralEffectsActTogether)
{
  const QImage out = Applied({Colour(14, ef_darkness, 100), Colour(15, ef_greyscale, 0)});
  const QRgb p = out.pixel(40, 12);
  EXPECT_EQ(qRed(p), qBlue(p));
  EXPECT_LT(Mean(out), Mean(Applied({Colour(15, ef_greyscale, 0)})));
}

TEST(EffectsStage, TextIsDrawnAtItsPositionAt96Dpi)
{
  // Draw into memory the stage does not own, as with a mapped video buffer: the change must
  // land in that memory.
  std::vector<std::uint32_t> pixels(400 * 200, 0xFF000000u);
  QImage frame(reinterpret_cast<uchar *>(pixels.data()), 400, 200, 400 * 4,
               QImage::Format_RGB32);
  // A new QImage takes the screen's dpi; the stage must not depend on it.
  frame.setDotsPerMeterX(2835);  // 72 dpi
  frame.setDotsPerMeterY(2835);
  const QImage before = frame.copy();
  EffectsStage stage;
  stage.AddEffect(Text(16, "H", 100, 50));
  stage.Apply(frame);

  const QImage after(reinterpret_cast<const uchar *>(pixels.data()), 400, 200, 400 * 4,
                     QImage::Format_RGB32);
  const QRect box = ChangedBox(before, after);
  ASSERT_FALSE(box.isEmpty());
  // Inside the text's box, top-left at (100, 50); nothing far outside it.
  EXPECT_GE(box.left(), 100);
  EXPECT_GE(box.top(), 50);
  EXPECT_LT(box.right(), 100 + 48);
  EXPECT_LT(box.bottom(), 50 + 60);
  // 36 pt at 96 dpi is a 48-pixel font: a capital H is about 35 pixels tall (it would be
  // about 26 at 72 dpi).
  EXPECT_GE(box.height(), 31);
  EXPECT_LE(box.height(), 40);
  // Opaque white text reaches full white.
  int whitest = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x)
      whitest = std::max(whitest, qRed(after.pixel(x, y)));
  EXPECT_EQ(whitest, 255);
}

TEST(EffectsStage, TextColourTransparencyAndBackground)
{
  auto render = [](const CVFEffect &text) {
    QImage frame(300, 120, QImage::Format_RGB32);
    frame.fill(qRgb(0, 0, 0));
    return Applied({text}, frame);
  };
  auto maxChannel = [](const QImage &img, int (*channel)(QRgb)) {
    int best = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        best = std::max(best, channel(img.pixel(x, y)));
    return best;
  };

  // 0x00BBGGRR: 0x0000FF is red.
  const QImage red = render(Text(16, "H", 10, 10, 0x0000FF));
  EXPECT_EQ(maxChannel(red, qRed), 255);
  EXPECT_EQ(maxChannel(red, qBlue), 0);

  CVFEffect half = Text(16, "H", 10, 10);
  half.TextLogo.transp = 128;
  const int halfMax = maxChannel(render(half), qRed);
  EXPECT_GT(halfMax, 100);
  EXPECT_LT(halfMax, 160);

  CVFEffect boxed = Text(16, "H", 10, 10, 0x000000);
  boxed.TextLogo.transparent_bg = false;
  boxed.TextLogo.bg_color = 0xFF0000;  // blue
  const QImage onBlue = render(boxed);
  EXPECT_EQ(qBlue(onBlue.pixel(11, 11)), 255);  // the box behind the text, top-left corner
  EXPECT_EQ(onBlue.pixel(250, 100), qRgb(0, 0, 0));  // far outside
}

TEST(EffectsStage, TimeWindowLimitsAnEffectToItsStretch)
{
  CVFEffect e = Colour(14, ef_darkness, 255);
  e.StartTime = 1000;
  e.StopTime = 2000;
  EffectsStage stage;
  stage.AddEffect(e);
  for (const auto &[ms, dark] : {std::pair{500, false}, {1000, true}, {1999, true}, {2000, false}}) {
    QImage frame = ColourFrame();
    stage.Apply(frame, ms);
    EXPECT_EQ(Mean(frame) == 0.0, dark) << ms;
  }
}

TEST(EffectsStage, PlayerChangesReachTheStageOnlyAtHandOver)
{
  bool playing = false;
  VideoEffects effects{[&playing] { return playing; }};
  EffectsStage stage;
  effects.AttachFilter(&stage);  // pipeline built, paused

  effects.Video_Effect_Ex(14, 0, 0, true, ef_darkness, 255, {});
  QImage frame = ColourFrame();
  stage.Apply(frame);
  EXPECT_TRUE(stage.Effects().empty());
  EXPECT_TRUE(SameBytes(frame, ColourFrame()));

  // Playing: a change goes through at once.
  playing = true;
  effects.Video_Effect_Ex(15, 0, 0, true, ef_greyscale, 0, {});
  ASSERT_EQ(stage.Effects().size(), 1u);
  EXPECT_EQ(stage.Effects()[0].ID, 15);

  // A new pipeline gets the whole list in order.
  effects.DetachFilter();
  EffectsStage rebuilt;
  effects.AttachFilter(&rebuilt);
  ASSERT_EQ(rebuilt.Effects().size(), 2u);
  EXPECT_EQ(rebuilt.Effects()[0].ID, 14);
  QImage dark = ColourFrame();
  rebuilt.Apply(dark);
  EXPECT_EQ(Mean(dark), 0.0);
}

TEST(EffectsStage, FrameIsProcessedWithOneSnapshotWhileTheListChanges)
{
  // The UI thread flips darkness between two amounts while the streaming thread applies:
  // a uniform frame must come out uniform, with one of the two results.
  EffectsStage stage;
  stage.AddEffect(Colour(14, ef_darkness, 0));
  std::atomic<bool> done{false};
  std::atomic<int> mixed{0};
  std::thread streaming([&] {
    while (!done) {
      QImage frame(256, 64, QImage::Format_RGB32);
      frame.fill(qRgb(200, 200, 200));
      stage.Apply(frame);
      const QRgb first = frame.pixel(0, 0);
      for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
          if (frame.pixel(x, y) != first)
            ++mixed;
    }
  });
  for (int i = 0; i < 500; ++i)
    stage.UpdateEffect(Colour(14, ef_darkness, i % 2 ? 200 : 0));
  done = true;
  streaming.join();
  EXPECT_EQ(mixed, 0);
}
