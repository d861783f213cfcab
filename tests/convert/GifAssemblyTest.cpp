// The assembly of captured frames into the GIF, checked on what the encoder writes, decoded
// with giflib: frame order, colour tables, delays, the looping block, transparency, the
// blank test, the progress dialog and the reports.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <vector>

#include "ConversionState.h"
#include "ErrorReport.h"
#include "FrameCapture.h"
#include "GifAssembly.h"
#include "GifDecode.h"
#include "GifStream.h"
#include "gifimage.h"

namespace {

using convert::AssembleGif;
using convert::TAssemblyResult;
using convert::TAssemblySettings;

class RecordingProgress : public convert::IAssemblyProgress {
 public:
  void Open() override { events.push_back(-1); }
  void SetGauge(int percent) override { events.push_back(percent); }
  void Close() override { events.push_back(-2); }
  std::vector<int> events;  // -1 open, -2 close, otherwise the gauge
};

// Crop 40 x 40 of a 60 x 40 video into a 60 x 40 GIF: the picture at x 10..49, borders of
// 10 pixels on the left and right.
constexpr int kGifW = 60, kGifH = 40, kLeft = 10, kRight = 50;

class GifAssembly : public ::testing::Test {
 protected:
  GifAssembly() {
    core::SetReportErrorHandler([this](const QString& message, const QString& mark) {
      reports.push_back({message, mark});
    });
    state.SourceWidth = kGifW;
    state.SourceHeight = kGifH;
    state.CropLeft = 10;
    state.CropWidth = state.CropHeight = 40;
    state.GifWidth = kGifW;
    state.GifHeight = kGifH;
    state.FImage = std::make_unique<gifimage::TGIFImage>();
    settings.DitherIndex = 0;  // nearest colour: flat areas stay flat
  }
  ~GifAssembly() override { core::SetReportErrorHandler({}); }

  // Captures a picture whose crop is a flat colour with a small marker block of another.
  void CaptureFlat(QRgb colour, QRgb marker = qRgb(30, 60, 90)) {
    QImage picture(kGifW, kGifH, QImage::Format_RGB32);
    picture.fill(colour);
    for (int y = 0; y < 4; ++y)
      for (int x = 20; x < 24; ++x) picture.setPixel(x, y, marker);
    ASSERT_TRUE(convert::CaptureFrame(state, &picture));
  }

  gifdecode::Gif Assemble() {
    EXPECT_EQ(AssembleGif(state, log, settings, progress), TAssemblyResult::Done);
    gifimage::TMemoryStream stream;
    if (state.FImage->Empty()) return {};
    state.FImage->SaveToStream(stream);
    return gifdecode::Decode(stream.Bytes());
  }

  static gifdecode::Color ColourAt(const gifdecode::Frame& f, int x, int y) {
    return f.localColors.at(f.indices.at(static_cast<std::size_t>(y * f.width + x)));
  }

  struct Report {
    QString message, mark;
  };
  std::vector<Report> reports;
  core::ConversionState state;
  core::TActivityLog log;
  RecordingProgress progress;
  TAssemblySettings settings;
};

constexpr gifdecode::Color kLimeRgb{0, 255, 0}, kBlackRgb{0, 0, 0};

TEST_F(GifAssembly, FramesCarryTableDelayLoopingBlockAndTransparencyWhereLimeSurvived) {
  settings.FrameRate = 16;  // 62.5 ms: 62 by ties to even, 6 hundredths
  CaptureFlat(qRgb(200, 40, 40));
  CaptureFlat(qRgb(40, 200, 40));
  CaptureFlat(qRgb(40, 40, 200));
  const gifdecode::Gif gif = Assemble();

  ASSERT_EQ(gif.frames.size(), 3u);
  for (std::size_t k = 0; k < gif.frames.size(); ++k) {
    const gifdecode::Frame& f = gif.frames[k];
    SCOPED_TRACE(k);
    EXPECT_EQ(f.width, kGifW);
    EXPECT_EQ(f.height, kGifH);
    EXPECT_EQ(f.localColors.size(), 256u);
    ASSERT_TRUE(f.hasGraphicControl);
    EXPECT_EQ(f.delay, 6);
    EXPECT_EQ(f.disposal, 0);
    EXPECT_FALSE(f.userInput);
    EXPECT_EQ(f.loops.has_value(), k == 0);
    if (k == 0) {
      EXPECT_EQ(*f.loops, 0);
      // The looping block comes before the graphic control extension.
      ASSERT_EQ(f.extensions.size(), 2u);
      EXPECT_EQ(f.extensions[0].function, 0xFF);
      EXPECT_EQ(f.extensions[1].function, 0xF9);
    }
    // The transparent index is the lowest lime entry that a pixel uses, and it is used
    // exactly on the borders.
    ASSERT_GE(f.transparentIndex, 0);
    EXPECT_EQ(f.localColors[static_cast<std::size_t>(f.transparentIndex)], kLimeRgb);
    for (int c = 0; c < f.transparentIndex; ++c) {
      const bool used = std::find(f.indices.begin(), f.indices.end(), c) != f.indices.end();
      EXPECT_FALSE(f.localColors[static_cast<std::size_t>(c)] == kLimeRgb && used);
    }
    for (int y = 0; y < kGifH; ++y)
      for (int x = 0; x < kGifW; ++x) {
        const bool border = x < kLeft || x >= kRight;
        ASSERT_EQ(f.indices[static_cast<std::size_t>(y * kGifW + x)] == f.transparentIndex, border)
            << x << "," << y;
      }
  }
  EXPECT_EQ(ColourAt(gif.frames[0], 30, 20), (gifdecode::Color{200, 40, 40}));
  EXPECT_EQ(ColourAt(gif.frames[2], 30, 20), (gifdecode::Color{40, 40, 200}));

  EXPECT_TRUE(state.FrameList.empty());
  EXPECT_EQ(log.Lines(), (QStringList{"Stop recording. Convert bitmaps to GIF", "GIF complete."}));
  EXPECT_EQ(progress.events, (std::vector<int>{-1, 0, 10, 33, 67, 100, -2}));
  EXPECT_TRUE(reports.empty());
}

TEST_F(GifAssembly, AlternateAddsFramesForwardThenBackward) {
  settings.Alternate = true;
  const QRgb colours[] = {qRgb(200, 40, 40), qRgb(40, 200, 40), qRgb(40, 40, 200)};
  for (QRgb c : colours) CaptureFlat(c);
  const gifdecode::Gif gif = Assemble();

  const int order[] = {0, 1, 2, 2, 1, 0};
  ASSERT_EQ(gif.frames.size(), 6u);
  for (int k = 0; k < 6; ++k) {
    const QRgb c = colours[order[k]];
    EXPECT_EQ(ColourAt(gif.frames[static_cast<std::size_t>(k)], 30, 20),
              (gifdecode::Color{static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                                static_cast<std::uint8_t>(qBlue(c))}))
        << k;
    EXPECT_EQ(gif.frames[static_cast<std::size_t>(k)].loops.has_value(), k == 0);
  }
  // The first pass fills the gauge to 50, the second to 100.
  EXPECT_EQ(progress.events, (std::vector<int>{-1, 0, 10, 17, 33, 50, 67, 83, 100, -2}));
}

TEST_F(GifAssembly, BlackAndWhiteFramesAreDroppedAPartlyBlackFrameIsKept) {
  CaptureFlat(qRgb(0, 0, 0), qRgb(255, 255, 255));      // black and white only: dropped
  CaptureFlat(qRgb(0, 0, 0), qRgb(180, 20, 20));        // black with a red block: kept
  ASSERT_TRUE(convert::CaptureFrame(state, nullptr));   // no picture yet: black, dropped
  state.FrameList.emplace_back();                       // a failed grab: dropped
  CaptureFlat(qRgb(0, 255, 0), qRgb(255, 255, 255));   // lime and white only: dropped
  const gifdecode::Gif gif = Assemble();
  ASSERT_EQ(gif.frames.size(), 1u);
  EXPECT_EQ(ColourAt(gif.frames[0], 21, 1), (gifdecode::Color{180, 20, 20}));
  EXPECT_EQ(ColourAt(gif.frames[0], 30, 20), kBlackRgb);
}

TEST_F(GifAssembly, NoFramesOrOnlyBlankOnesLeaveAnEmptyImage) {
  AssembleGif(state, log, settings, progress);
  ASSERT_TRUE(state.FImage);
  EXPECT_TRUE(state.FImage->Empty());
  ASSERT_TRUE(convert::CaptureFrame(state, nullptr));
  settings.Alternate = true;
  AssembleGif(state, log, settings, progress);
  EXPECT_TRUE(state.FImage->Empty());
  EXPECT_TRUE(state.FrameList.empty());
}

TEST_F(GifAssembly, GreyscaleGivesGreyTablesAndNoTransparentIndex) {
  settings.Greyscale = true;
  CaptureFlat(qRgb(200, 40, 40));
  CaptureFlat(qRgb(40, 90, 200));
  const gifdecode::Gif gif = Assemble();
  ASSERT_EQ(gif.frames.size(), 2u);
  for (const gifdecode::Frame& f : gif.frames) {
    EXPECT_EQ(f.transparentIndex, -1);
    for (const gifdecode::Color& c : f.localColors) {
      EXPECT_EQ(c.r, c.g);
      EXPECT_EQ(c.g, c.b);
    }
  }
}

TEST_F(GifAssembly, TransparencyOffGivesBlackBordersAndNoTransparentIndex) {
  settings.Transparent = false;
  CaptureFlat(qRgb(200, 40, 40));
  const gifdecode::Gif gif = Assemble();
  ASSERT_EQ(gif.frames.size(), 1u);
  EXPECT_FALSE(state.FImage->Transparent());
  EXPECT_EQ(gif.frames[0].transparentIndex, -1);
  EXPECT_EQ(ColourAt(gif.frames[0], 0, 0), kBlackRgb);
  EXPECT_EQ(ColourAt(gif.frames[0], kGifW - 1, kGifH - 1), kBlackRgb);
}

TEST_F(GifAssembly, LoopingOffWritesNoLoopingBlock) {
  settings.Loop = false;
  CaptureFlat(qRgb(200, 40, 40));
  CaptureFlat(qRgb(40, 200, 40));
  const gifdecode::Gif gif = Assemble();
  ASSERT_EQ(gif.frames.size(), 2u);
  for (const gifdecode::Frame& f : gif.frames) {
    EXPECT_FALSE(f.loops.has_value());
    EXPECT_EQ(f.extensions.size(), 1u);
  }
}

struct DelayCase {
  int fps, hundredths;
};
class FrameDelay : public GifAssembly, public ::testing::WithParamInterface<DelayCase> {};

TEST_P(FrameDelay, IsTheRoundedIntervalInWholeHundredths) {
  settings.FrameRate = GetParam().fps;
  CaptureFlat(qRgb(200, 40, 40));
  const gifdecode::Gif gif = Assemble();
  ASSERT_EQ(gif.frames.size(), 1u);
  EXPECT_EQ(gif.frames[0].delay, GetParam().hundredths);
}

INSTANTIATE_TEST_SUITE_P(Rates, FrameDelay,
                         ::testing::Values(DelayCase{1, 100}, DelayCase{3, 33}, DelayCase{6, 16},
                                           DelayCase{16, 6}, DelayCase{24, 4}, DelayCase{30, 3}));

TEST_F(GifAssembly, FailureInThePassesIsReportedAndEndsThem) {
  struct Case {
    const char* what;
    void (*spoil)(core::ConversionState&, TAssemblySettings&);
  };
  const Case cases[] = {
      {"no crop to fit", [](core::ConversionState& s, TAssemblySettings&) { s.CropWidth = 0; }},
      {"frame rate 0", [](core::ConversionState&, TAssemblySettings& t) { t.FrameRate = 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reports.clear();
    log = core::TActivityLog();
    progress.events.clear();
    state.CropWidth = 40;
    TAssemblySettings spoiled = settings;
    CaptureFlat(qRgb(200, 40, 40));
    CaptureFlat(qRgb(40, 200, 40));
    c.spoil(state, spoiled);
    EXPECT_EQ(AssembleGif(state, log, spoiled, progress), TAssemblyResult::Reported);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "Error converting recorded Bitmaps to GIF (number of bitmaps: 2)");
    EXPECT_EQ(reports[0].mark, "CLM_ProcessingGIF");
    EXPECT_TRUE(state.FrameList.empty());
    EXPECT_EQ(progress.events.back(), -2);
    EXPECT_FALSE(log.Lines().contains("GIF complete."));
  }
}

TEST(GifAnimateAddImage, FailureIsReported) {
  std::vector<QString> marks;
  core::SetReportErrorHandler([&](const QString& message, const QString& mark) {
    EXPECT_EQ(message, "GifAnimateAddImage function failed");
    marks.push_back(mark);
  });
  gifimage::TGIFImage image;
  // Wider than a GIF frame can be (65535).
  const gifimage::TBitmap unusable(0x10000, 1, gifimage::TPixelFormat::pf24bit);
  EXPECT_EQ(convert::GifAnimateAddImage(image, unusable, -1, 100, true), -1);
  EXPECT_EQ(marks, (std::vector<QString>{"CLM_GifAnimateAddImage"}));
  core::SetReportErrorHandler({});
}

}  // namespace
