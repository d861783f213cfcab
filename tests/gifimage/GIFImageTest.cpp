// The GIF image model: adding bitmaps as frames, the logical screen, colour tables,
// transparency, pixel access and the checks at each entry point.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "GifDecode.h"
#include "TestSupport.h"
#include "gifimage.h"

using namespace gifimage;
using namespace testsupport;

namespace {

std::vector<gifdecode::Color> AsDecoded(const std::vector<TGIFColor>& colors, std::size_t paddedTo) {
  std::vector<gifdecode::Color> out;
  for (const TGIFColor& c : colors) out.push_back({c.Red, c.Green, c.Blue});
  out.resize(paddedTo);
  return out;
}

// Saves the image and checks with giflib that frame k holds exactly the model's pixels and
// table (padded with black to a power of two).
void ExpectDecodesToModel(TGIFImage& image) {
  const gifdecode::Gif gif = gifdecode::Decode(SaveBytes(image));
  ASSERT_EQ(gif.frames.size(), static_cast<std::size_t>(image.Images().Count()));
  for (int k = 0; k < image.Images().Count(); ++k) {
    SCOPED_TRACE("frame " + std::to_string(k));
    const TGIFSubImage& frame = *image.Images()[k];
    const gifdecode::Frame& f = gif.frames[static_cast<std::size_t>(k)];
    EXPECT_EQ(f.width, frame.Width());
    EXPECT_EQ(f.height, frame.Height());
    EXPECT_EQ(f.indices, Bytes(frame.Data(), frame.Data() + frame.DataSize()));
    EXPECT_EQ(f.localColors,
              AsDecoded(frame.ColorMap().ExportPalette(), std::size_t{1} << frame.ColorMap().BitsPerPixel()));
  }
}

template <class Call>
std::string ErrorOf(Call call) {
  try {
    call();
  } catch (const GIFException& e) {
    return e.what();
  }
  return "(no error)";
}

// ---- Add ----

struct NotABitmap final : TGraphic {
  int GetWidth() const override { return 1; }
  int GetHeight() const override { return 1; }
  bool GetEmpty() const override { return false; }
};

TEST(TGIFImageAdd, ReturnsTheIndexOfTheNewFrame) {
  TGIFImage image;
  EXPECT_TRUE(image.Empty());
  EXPECT_EQ(image.Add(IndexedBitmap(3, 2, DistinctPalette(2), Bytes(6, 1))), 0);
  EXPECT_EQ(image.Add(IndexedBitmap(5, 4, DistinctPalette(2), Bytes(20, 0))), 1);
  ASSERT_EQ(image.Images().Count(), 2);
  EXPECT_EQ(image.Images()[0]->Width(), 3);
  EXPECT_EQ(image.Images()[1]->Width(), 5);
  EXPECT_EQ(image.Images()[1]->Height(), 4);
  EXPECT_FALSE(image.Empty());
}

TEST(TGIFImageAdd, RefusedSourceLeavesTheFramesAsTheyWere) {
  TGIFImage image;
  image.Add(IndexedBitmap(3, 2, DistinctPalette(2), Bytes(6, 1)));
  EXPECT_EQ(ErrorOf([&] { image.Add(NotABitmap()); }), msg::ObjectTypeNotSupported);
  EXPECT_EQ(ErrorOf([&] { image.Add(std::unique_ptr<TGIFSubImage>()); }), msg::ObjectTypeNotSupported);

  TBitmap tooManyColours(257, 1, TPixelFormat::pf24bit);
  for (int x = 0; x < 257; ++x) {
    std::uint8_t* p = tooManyColours.ScanLine(0) + 3 * x;
    p[1] = static_cast<std::uint8_t>(x);
    p[0] = x == 256 ? 1 : 0;
  }
  image.SetColorReduction(rmNone);
  EXPECT_EQ(ErrorOf([&] { image.Add(tooManyColours); }), msg::ColorTableOverflow);
  EXPECT_EQ(image.Images().Count(), 1);
}

// Indexed bitmaps become frames as they are: same indices, same table, whatever colour
// reduction is chosen. Rows of 13 pixels end inside a byte for 1 and 4 bits per pixel.
TEST(TGIFImageAdd, IndexedBitmapsKeepTheirIndicesAndTable) {
  struct Case {
    TPixelFormat format;
    int paletteSize;
  };
  const Case cases[] = {{TPixelFormat::pf1bit, 2}, {TPixelFormat::pf4bit, 11}, {TPixelFormat::pf4bit, 16},
                        {TPixelFormat::pf8bit, 200}, {TPixelFormat::pf8bit, 256}};
  const int width = 13, height = 5;
  for (const Case& c : cases) {
    for (const TColorReduction reduction : {rmNone, rmMonochrome, rmGrayScale, rmQuantizeWindows}) {
      SCOPED_TRACE("bits " + std::to_string(BitsOf(c.format)) + ", palette " + std::to_string(c.paletteSize) +
                   ", reduction " + std::to_string(reduction));
      const Bytes indices = PseudoRandomIndices(width * height, c.paletteSize, static_cast<std::uint32_t>(c.paletteSize));
      TBitmap bitmap(width, height, c.format);
      bitmap.Palette = DistinctPalette(c.paletteSize);
      const int bits = BitsOf(c.format);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const int bit = x * bits;
          bitmap.ScanLine(y)[bit / 8] |= static_cast<std::uint8_t>(indices[static_cast<std::size_t>(y * width + x)]
                                                                   << (8 - bits - bit % 8));
        }
      TGIFImage image;
      image.SetColorReduction(reduction);
      const TGIFSubImage* frame = image.Images()[image.Add(bitmap)];
      EXPECT_EQ(frame->ColorMap().ExportPalette(), bitmap.Palette);
      EXPECT_EQ(Bytes(frame->Data(), frame->Data() + frame->DataSize()), indices);
      ExpectDecodesToModel(image);
    }
  }
}

TEST(TGIFImageAdd, IndexedViewWithPaddedRowsKeepsOnlyThePixels) {
  const int width = 5, height = 3, stride = 8;
  Bytes rows(stride * height, 0xEE);  // padding bytes hold an index outside the table
  const Bytes indices = PseudoRandomIndices(width * height, 6, 4);
  for (int y = 0; y < height; ++y)
    std::copy_n(indices.begin() + y * width, width, rows.begin() + y * stride);
  TBitmap view = TBitmap::View(rows.data(), width, height, stride, TPixelFormat::pf8bit);
  view.Palette = DistinctPalette(6);
  TGIFImage image;
  const TGIFSubImage* frame = image.Images()[image.Add(view)];
  EXPECT_EQ(Bytes(frame->Data(), frame->Data() + frame->DataSize()), indices);
  ExpectDecodesToModel(image);
}

// Direct-colour pixels without reduction: the table lists the distinct colours in order of
// first appearance. Colours come back after more than eight others, and the 32-bit padding
// byte varies, so neither a cache of recent colours nor the unused byte may change a result.
class TGIFImageAddDirect : public ::testing::TestWithParam<TPixelFormat> {};

TEST_P(TGIFImageAddDirect, WithoutReductionTheTableListsColoursInOrderOfFirstAppearance) {
  const TPixelFormat format = GetParam();
  const int bytesPerPixel = format == TPixelFormat::pf32bit ? 4 : 3;
  for (const int distinct : {1, 20, 256}) {
    SCOPED_TRACE(distinct);
    const int width = 32, height = 24;
    const Bytes picks = PseudoRandomIndices(width * height, distinct, static_cast<std::uint32_t>(distinct));
    TBitmap bitmap(width, height, format);
    std::vector<TGIFColor> expectedTable;
    std::map<std::uint32_t, int> indexOf;
    Bytes expectedIndices;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        // Red and blue differ, so a mix-up of the byte order shows.
        const int k = distinct == 256 && y * width + x < 256 ? y * width + x : picks[static_cast<std::size_t>(y * width + x)];
        const TGIFColor color{static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k * 3),
                              static_cast<std::uint8_t>(255 - k)};
        std::uint8_t* p = bitmap.ScanLine(y) + bytesPerPixel * x;
        p[0] = color.Blue;
        p[1] = color.Green;
        p[2] = color.Red;
        if (bytesPerPixel == 4) p[3] = static_cast<std::uint8_t>(x * 17 + y);
        const auto [it, added] = indexOf.try_emplace(RGB2Color(color), static_cast<int>(expectedTable.size()));
        if (added) expectedTable.push_back(color);
        expectedIndices.push_back(static_cast<std::uint8_t>(it->second));
      }
    ASSERT_EQ(expectedTable.size(), static_cast<std::size_t>(distinct));
    TGIFImage image;
    image.SetColorReduction(rmNone);
    const TGIFSubImage* frame = image.Images()[image.Add(bitmap)];
    EXPECT_EQ(frame->ColorMap().ExportPalette(), expectedTable);
    EXPECT_EQ(Bytes(frame->Data(), frame->Data() + frame->DataSize()), expectedIndices);
    ExpectDecodesToModel(image);
  }

  TBitmap tooMany(17, 17, format);  // 289 distinct colours
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 17; ++x) {
      tooMany.ScanLine(y)[bytesPerPixel * x] = static_cast<std::uint8_t>(x);
      tooMany.ScanLine(y)[bytesPerPixel * x + 1] = static_cast<std::uint8_t>(y);
    }
  TGIFImage image;
  image.SetColorReduction(rmNone);
  EXPECT_EQ(ErrorOf([&] { image.Add(tooMany); }), msg::ColorTableOverflow);
  EXPECT_TRUE(image.Empty());
}

// With reduction every direct-colour frame gets a 256-entry table.
TEST_P(TGIFImageAddDirect, ReducedFramesHave256Entries) {
  const TPixelFormat format = GetParam();
  const int bytesPerPixel = format == TPixelFormat::pf32bit ? 4 : 3;
  TBitmap bitmap(16, 12, format);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x)
      for (int b = 0; b < 3; ++b)
        bitmap.ScanLine(y)[bytesPerPixel * x + b] = static_cast<std::uint8_t>((x * 16 + y * 20 + b * 70) & 0xFF);
  for (const TColorReduction reduction : {rmGrayScale, rmQuantizeWindows}) {
    SCOPED_TRACE(reduction);
    TGIFImage image;
    image.SetColorReduction(reduction);
    image.SetDitherMode(dmFloydSteinberg);
    const TGIFSubImage* frame = image.Images()[image.Add(bitmap)];
    EXPECT_EQ(frame->ColorMap().Count(), 256);
    EXPECT_EQ(frame->Width(), 16);
    EXPECT_EQ(frame->Height(), 12);
    ExpectDecodesToModel(image);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, TGIFImageAddDirect,
                         ::testing::Values(TPixelFormat::pf24bit, TPixelFormat::pf32bit),
                         [](const auto& info) { return info.param == TPixelFormat::pf24bit ? "Bits24" : "Bits32"; });

// ---- logical screen ----

TEST(TGIFImageScreen, GrowsToTheLargestFrameWithWarnings) {
  struct Frame {
    int left, top, width, height;
  };
  struct Case {
    const char* name;
    std::vector<Frame> frames;
    int screenWidth, screenHeight;
    int widthWarnings, heightWarnings, exceedWarnings;
  };
  const Case cases[] = {
      {"equal frames", {{0, 0, 320, 240}, {0, 0, 320, 240}}, 320, 240, 0, 0, 0},
      {"smaller second frame", {{0, 0, 100, 50}, {0, 0, 80, 40}}, 100, 50, 0, 0, 0},
      {"wider second frame", {{0, 0, 320, 240}, {0, 0, 400, 240}}, 400, 240, 1, 0, 1},
      {"taller second frame", {{0, 0, 320, 240}, {0, 0, 320, 300}}, 320, 300, 0, 1, 1},
      // Adding sets the width and then the height, two bounds changes that each warn.
      {"larger both ways", {{0, 0, 320, 240}, {0, 0, 400, 300}}, 400, 300, 1, 1, 2},
      // One bounds change past both edges warns once that the screen was exceeded.
      {"moved frame", {{0, 0, 10, 10}, {5, 3, 10, 10}}, 15, 13, 1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    TWarningLog log;
    log.Attach(image);
    for (const Frame& f : c.frames) {
      TGIFSubImage* frame = AddIndexedFrame(image, f.width, f.height, DistinctPalette(2),
                                            Bytes(static_cast<std::size_t>(f.width * f.height), 0));
      frame->SetBounds(f.left, f.top, f.width, f.height);
    }
    EXPECT_EQ(image.GetWidth(), c.screenWidth);
    EXPECT_EQ(image.GetHeight(), c.screenHeight);
    EXPECT_EQ(log.CountOf(msg::ImageWidthTooSmall), c.widthWarnings);
    EXPECT_EQ(log.CountOf(msg::ImageHeightTooSmall), c.heightWarnings);
    EXPECT_EQ(log.CountOf(msg::ImageExceedsScreen), c.exceedWarnings);
    EXPECT_EQ(log.Messages.size(), static_cast<std::size_t>(c.widthWarnings + c.heightWarnings + c.exceedWarnings));
  }
}

TEST(TGIFImageScreen, CannotShrinkBelowAFrameEdge) {
  TGIFImage image;
  TGIFSubImage* frame = AddIndexedFrame(image, 30, 20, DistinctPalette(2), Bytes(600, 0));
  frame->SetLeft(5);
  frame->SetTop(2);
  EXPECT_EQ(ErrorOf([&] { image.SetWidth(34); }), msg::ImageWidthTooSmall);
  EXPECT_EQ(ErrorOf([&] { image.SetHeight(21); }), msg::ImageHeightTooSmall);
  EXPECT_EQ(image.GetWidth(), 35);
  EXPECT_EQ(image.GetHeight(), 22);
  image.SetWidth(50);
  image.SetHeight(22);
  EXPECT_EQ(image.GetWidth(), 50);
  EXPECT_EQ(image.GetHeight(), 22);
  const Bytes file = SaveBytes(image);
  EXPECT_EQ(Le16(file, 6), 50);
  EXPECT_EQ(Le16(file, 8), 22);
  EXPECT_EQ(ErrorOf([&] { frame->SetBounds(0, 0, 65536, 1); }), msg::FrameOutOfRange);
  EXPECT_EQ(ErrorOf([&] { frame->SetLeft(-1); }), msg::FrameOutOfRange);

  image.Clear();
  EXPECT_EQ(image.GetWidth(), 0);
  EXPECT_EQ(image.GetHeight(), 0);
  EXPECT_EQ(image.Version(), gvUnknown);
}

// ---- colour tables ----

TEST(TGIFColorMap, IndexOfSearchesFromTheEndUnlessOptimized) {
  TGIFImage image;
  TGIFColorMap& map = image.GlobalColorMap();
  const TColor twice = 0x00336699;
  for (int i = 0; i < 10; ++i) map.Add(i == 3 || i == 7 ? twice : static_cast<TColor>(0x010101 * i));
  EXPECT_EQ(map.IndexOf(twice), 7);
  EXPECT_EQ(map.AddUnique(twice), 7);
  EXPECT_EQ(map.Count(), 10);
  map.SetOptimized(true);
  EXPECT_EQ(map.IndexOf(twice), 3);
  EXPECT_EQ(map.IndexOf(0x00ABCDEF), -1);
  map.Add(0x00ABCDEF);
  EXPECT_FALSE(map.Optimized()) << "adding an entry makes the table unsorted";
  EXPECT_EQ(map.IndexOf(twice), 7);
}

TEST(TGIFColorMap, OutOfRangeIndexWarnsAndFallsBackToEntryZero) {
  TGIFImage image;
  TWarningLog log;
  log.Attach(image);
  TGIFSubImage* frame = AddIndexedFrame(image, 1, 1, DistinctPalette(3), {0});
  const TGIFColorMap& map = frame->ColorMap();
  EXPECT_EQ(map.Colors(2), RGB2Color(DistinctPalette(3)[2]));
  EXPECT_TRUE(log.Messages.empty());
  EXPECT_EQ(map.Colors(3), RGB2Color(DistinctPalette(3)[0]));
  EXPECT_EQ(map.Colors(-1), RGB2Color(DistinctPalette(3)[0]));
  EXPECT_EQ(log.CountOf(msg::InvalidColorIndex), 2);

  log.Messages.clear();
  EXPECT_EQ(ErrorOf([&] { image.GlobalColorMap().Colors(0); }), msg::ColorTableEmpty);
  EXPECT_EQ(log.Messages, std::vector<std::string>({msg::InvalidColorIndex})) << "the warning comes first";

  for (int i = 3; i < 256; ++i) frame->ColorMap().Add(0);
  EXPECT_EQ(ErrorOf([&] { frame->ColorMap().Add(0); }), msg::ColorTableOverflow);
  EXPECT_EQ(frame->ColorMap().Count(), 256);
}

// ---- transparency ----

TEST(TGIFGraphicControlExtension, IndexOutsideTheActiveTableWarnsAndStoresZero) {
  TGIFImage image;
  TWarningLog log;
  log.Attach(image);
  TGIFSubImage* frame = AddIndexedFrame(image, 2, 1, DistinctPalette(100), {0, 99});
  auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
  for (const int index : {99, 0, 100, 200, -1}) {
    SCOPED_TRACE(index);
    log.Messages.clear();
    gce->SetTransparentColorIndex(55);
    gce->SetTransparentColorIndex(index);
    const bool valid = index >= 0 && index < 100;
    EXPECT_EQ(gce->TransparentColorIndex(), valid ? index : 0);
    EXPECT_EQ(log.Messages, valid ? std::vector<std::string>() : std::vector<std::string>({msg::InvalidColorIndex}));
  }

  // Without any table there is nothing to check against.
  log.Messages.clear();
  TGIFSubImage* empty = image.Images()[image.Add(TBitmap())];
  auto other = std::make_unique<TGIFGraphicControlExtension>(empty);
  other->SetTransparentColorIndex(200);
  EXPECT_EQ(other->TransparentColorIndex(), 200);
  EXPECT_TRUE(log.Messages.empty());
}

TEST(TGIFGraphicControlExtension, FrameLinksToItsFirstControlBlockWhileItExists) {
  TGIFImage image;
  TGIFSubImage* frame = AddIndexedFrame(image, 2, 1, DistinctPalette(2), {0, 1});
  EXPECT_EQ(frame->GraphicControlExtension(), nullptr);
  auto first = std::make_unique<TGIFGraphicControlExtension>(frame);
  TGIFGraphicControlExtension* firstRaw = first.get();
  frame->Extensions().Add(std::move(first));
  frame->Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(frame));
  EXPECT_EQ(frame->GraphicControlExtension(), firstRaw);

  firstRaw->SetTransparent(true);
  EXPECT_TRUE(frame->Transparent());
  EXPECT_TRUE(image.IsTransparent());
  firstRaw->SetTransparent(false);
  EXPECT_FALSE(frame->Transparent());
  EXPECT_FALSE(image.IsTransparent());

  frame->Extensions().Delete(0);
  EXPECT_EQ(frame->GraphicControlExtension(), nullptr) << "a freed block must not stay linked";
  EXPECT_EQ(frame->Extensions().Count(), 1);
}

// The lowest entry of the colour that some pixel uses; an equal entry no pixel uses is
// skipped. Checked on a fixed table and against a plain scan, entry by entry and pixel by
// pixel, on frames with many repeated colours.
TEST(FindUsedColorIndex, FindsTheLowestUsedEntryOfTheColour) {
  const TGIFColor red{255, 0, 0}, lime{0, 255, 0}, blue{0, 0, 255}, yellow{255, 255, 0};
  TGIFImage image;
  TGIFSubImage* frame = AddIndexedFrame(image, 3, 2, {red, lime, blue, lime, red, lime, yellow}, {0, 2, 3, 5, 3, 0});
  EXPECT_EQ(FindUsedColorIndex(*frame, RGB2Color(lime)), 3) << "entry 1 is lime but unused";
  EXPECT_EQ(FindUsedColorIndex(*frame, RGB2Color(red)), 0);
  EXPECT_EQ(FindUsedColorIndex(*frame, RGB2Color(blue)), 2);
  EXPECT_EQ(FindUsedColorIndex(*frame, RGB2Color(yellow)), -1) << "in the table but unused";
  EXPECT_EQ(FindUsedColorIndex(*frame, 0x00123456), -1) << "not in the table";
  EXPECT_EQ(FindUsedColorIndex(*image.Images()[image.Add(TBitmap())], RGB2Color(red)), -1);

  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    std::vector<TGIFColor> palette;
    for (const std::uint8_t v : PseudoRandomIndices(40, 4, seed)) palette.push_back({v, 0, 0});
    const Bytes pixels = PseudoRandomIndices(12, 40, seed + 100);
    TGIFImage other;
    const TGIFSubImage* f = AddIndexedFrame(other, 4, 3, palette, pixels);
    for (std::uint8_t v = 0; v < 5; ++v) {
      const TColor key = RGB2Color({v, 0, 0});
      int expected = -1;
      for (int c = 0; c < f->ActiveColorMap().Count() && expected < 0; ++c) {
        if (f->ActiveColorMap().Colors(c) != key) continue;
        for (int y = 0; y < f->Height() && expected < 0; ++y)
          for (int x = 0; x < f->Width() && expected < 0; ++x)
            if (f->Pixels(x, y) == c) expected = c;
      }
      EXPECT_EQ(FindUsedColorIndex(*f, key), expected) << "red " << int(v);
    }
  }
}

// ---- pixels ----

TEST(TGIFSubImagePixels, AccessOutsideTheFrameOrOnAnEmptyFrameRaises) {
  TGIFImage image;
  TGIFSubImage* frame = AddIndexedFrame(image, 4, 3, DistinctPalette(8), {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3});
  EXPECT_EQ(frame->Pixels(3, 2), 3);
  EXPECT_EQ(frame->Scanline(1)[0], 4);
  frame->SetPixels(1, 2, 6);
  EXPECT_EQ(frame->Data()[9], 6);
  for (const auto& point : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 3}, {4, 3}}) {
    const int x = point.first, y = point.second;  // clang 14 lambdas cannot capture bindings
    SCOPED_TRACE(::testing::Message() << x << "," << y);
    EXPECT_EQ(ErrorOf([&] { frame->Pixels(x, y); }), msg::InvalidPixelCoordinates);
    EXPECT_EQ(ErrorOf([&] { frame->SetPixels(x, y, 0); }), msg::InvalidPixelCoordinates);
  }
  EXPECT_EQ(ErrorOf([&] { frame->Scanline(3); }), msg::InvalidPixelCoordinates);
  EXPECT_EQ(ErrorOf([&] { frame->Scanline(-1); }), msg::InvalidPixelCoordinates);

  TGIFSubImage* empty = image.Images()[image.Add(TBitmap())];
  EXPECT_TRUE(empty->Empty());
  EXPECT_EQ(ErrorOf([&] { empty->Pixels(0, 0); }), msg::ImageEmpty);
  EXPECT_EQ(ErrorOf([&] { empty->Scanline(0); }), msg::ImageEmpty);
}

// ---- packed frames ----

// A packed frame (and a copy of one) is written byte for byte as it would have been from its
// pixels, whatever its table size, shape or interlacing.
TEST(TGIFSubImagePack, WritesTheSameBytesAsTheUnpackedFrame) {
  struct Case {
    int width, height, colours;
    bool interlaced;
  };
  for (const Case c : {Case{1, 1, 1, false}, Case{7, 5, 2, false}, Case{33, 17, 16, true}, Case{64, 48, 200, false},
                       Case{250, 3, 256, true}}) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " " << c.colours);
    const Bytes pixels = PseudoRandomIndices(static_cast<std::size_t>(c.width) * c.height, c.colours, 7);
    TGIFImage plain, packed, copied;
    for (TGIFImage* image : {&plain, &packed}) {
      AddIndexedFrame(*image, c.width, c.height, DistinctPalette(c.colours), pixels)->SetInterlaced(c.interlaced);
      AddIndexedFrame(*image, 3, 2, DistinctPalette(4), {0, 1, 2, 3, 2, 1});
    }
    for (int k = 0; k < 2; ++k) {
      packed.Images()[k]->Pack();
      EXPECT_TRUE(packed.Images()[k]->Packed());
      auto copy = std::make_unique<TGIFSubImage>(&copied);
      copy->Assign(*packed.Images()[k]);
      copied.Add(std::move(copy));
    }
    EXPECT_EQ(packed.Images()[0]->DataSize(), 0);
    EXPECT_FALSE(packed.Images()[0]->Empty());
    const Bytes expected = SaveBytes(plain);
    EXPECT_EQ(SaveBytes(packed), expected);
    EXPECT_EQ(SaveBytes(copied), expected);
  }
}

TEST(TGIFSubImagePack, APackedFrameHasNoPixelsToReadAndAFrameWithoutATableStaysUnpacked) {
  TGIFImage image;
  TGIFSubImage* frame = AddIndexedFrame(image, 2, 2, DistinctPalette(2), {0, 1, 1, 0});
  frame->Pack();
  EXPECT_EQ(ErrorOf([&] { frame->Pixels(0, 0); }), msg::ImageEmpty);
  EXPECT_EQ(ErrorOf([&] { frame->Scanline(0); }), msg::ImageEmpty);
  EXPECT_EQ(FindUsedColorIndex(*frame, RGB2Color(DistinctPalette(2)[1])), -1);

  // Without a table of its own the code size depends on the image when it is saved.
  TGIFImage global;
  global.GlobalColorMap().ImportPalette(DistinctPalette(4));
  TGIFSubImage* bare = global.Images()[global.Add(std::make_unique<TGIFSubImage>(&global))];
  bare->SetBounds(0, 0, 2, 1);
  bare->Pack();
  EXPECT_FALSE(bare->Packed());
  EXPECT_EQ(bare->Pixels(1, 0), 0);
}

// ---- settings ----

TEST(TGIFImageSettings, ReductionBitsOutside3To8AreRefused) {
  TGIFImage image;
  EXPECT_EQ(image.ReductionBits(), 8);
  image.SetReductionBits(3);
  EXPECT_EQ(image.ReductionBits(), 3);
  for (const int bits : {-1, 0, 2, 9, 256}) {
    SCOPED_TRACE(bits);
    EXPECT_EQ(ErrorOf([&] { image.SetReductionBits(bits); }), msg::InvalidBitsPerPixel);
    EXPECT_EQ(image.ReductionBits(), 3);
  }
  image.SetReductionBits(8);
  EXPECT_EQ(image.ReductionBits(), 8);
}

TEST(TGIFImageSettings, DefaultsAndTheGraphicTransparentFlagDoNotChangeTheFile) {
  TGIFImage image;
  EXPECT_EQ(image.ColorReduction(), rmNetscape);
  EXPECT_EQ(image.DitherMode(), dmNearest);
  EXPECT_EQ(image.Compression(), gcLZW);
  AddIndexedFrame(image, 3, 3, DistinctPalette(5), PseudoRandomIndices(9, 5));
  const Bytes before = SaveBytes(image);
  image.SetTransparent(!image.Transparent());
  EXPECT_EQ(SaveBytes(image), before);
}

}  // namespace
