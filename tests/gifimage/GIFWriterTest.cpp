// The stream writer: exact bytes of the header, descriptors, tables and extension blocks,
// whole files checked with giflib, failing sinks and the replace-only-on-success file save.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sys/resource.h>
#include <unistd.h>

#include "GifDecode.h"
#include "TestSupport.h"
#include "gifimage.h"

using namespace gifimage;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t size) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

std::vector<gifdecode::Color> AsDecoded(const std::vector<TGIFColor>& colors, std::size_t paddedTo) {
  std::vector<gifdecode::Color> out;
  for (const TGIFColor& c : colors) out.push_back({c.Red, c.Green, c.Blue});
  out.resize(paddedTo);
  return out;
}

TGIFGraphicControlExtension* AddGCE(TGIFSubImage* frame, int delay) {
  auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
  gce->SetDelay(static_cast<std::uint16_t>(delay));
  TGIFGraphicControlExtension* raw = gce.get();
  frame->Extensions().Add(std::move(gce));
  return raw;
}

TGIFAppExtNSLoop* AddLoop(TGIFSubImage* frame, int loops) {
  auto loop = std::make_unique<TGIFAppExtNSLoop>(frame);
  loop->SetLoops(static_cast<std::uint16_t>(loops));
  TGIFAppExtNSLoop* raw = loop.get();
  frame->Extensions().Add(std::move(loop));
  return raw;
}

// A deterministic 24-bit picture: smooth gradients with a few sharp edges.
TBitmap Picture(int width, int height, int phase) {
  TBitmap bitmap(width, height, TPixelFormat::pf24bit);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = static_cast<std::uint8_t>((x * 255) / std::max(1, width - 1));
      p[1] = static_cast<std::uint8_t>((y * 255) / std::max(1, height - 1));
      p[2] = static_cast<std::uint8_t>(((x + y + phase) % 16 < 8) ? 40 + 5 * phase : 220 - 3 * phase);
    }
  }
  return bitmap;
}

// Builds a file the way the conversion does: for every frame Add, then for the first frame
// the looping block, then the frame's graphic control block.
void BuildPipelineImage(TGIFImage& image, TColorReduction reduction, TDitherMode dither, int frames, int width,
                        int height) {
  image.SetColorReduction(reduction);
  image.SetDitherMode(dither);
  image.SetCompression(gcLZW);
  image.SetTransparent(false);
  for (int k = 0; k < frames; ++k) {
    const int i = image.Add(Picture(width, height, k));
    if (i == 0) AddLoop(image.Images()[0], 0);
    AddGCE(image.Images()[i], 4 + k);
  }
}

// ---- version and header ----

struct VersionCase {
  const char* name;
  std::function<void(TGIFImage&)> build;
  TGIFVersion version;
  const char* signature;
};

TEST(GIFWriterHeader, VersionFollowsExtensionsAndSortedTables) {
  const auto frame = [](TGIFImage& image) { return AddIndexedFrame(image, 3, 2, DistinctPalette(4), {0, 1, 2, 3, 0, 1}); };
  const VersionCase cases[] = {
      {"one plain frame", [&](TGIFImage& im) { frame(im); }, gv87a, "GIF87a"},
      {"two plain frames", [&](TGIFImage& im) { frame(im); frame(im); }, gv87a, "GIF87a"},
      {"graphic control on the second frame", [&](TGIFImage& im) { frame(im); AddGCE(frame(im), 0); }, gv89a, "GIF89a"},
      {"comment on the first frame",
       [&](TGIFImage& im) {
         TGIFSubImage* f = frame(im);
         auto comment = std::make_unique<TGIFCommentExtension>(f);
         comment->Text = {"made by a test"};
         f->Extensions().Add(std::move(comment));
       },
       gv89a, "GIF89a"},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    c.build(image);
    EXPECT_EQ(image.Version(), c.version);
    const Bytes file = SaveBytes(image);
    EXPECT_EQ(Slice(file, 0, 6), Text(c.signature));
    EXPECT_EQ(gifdecode::Decode(file).frames.size(), static_cast<std::size_t>(image.Images().Count()));
  }
}

TEST(GIFWriterHeader, SortedLocalTableSetsTheSortFlagOfItsDescriptor) {
  TGIFImage image;
  AddIndexedFrame(image, 2, 2, DistinctPalette(5), {0, 1, 2, 4})->ColorMap().SetOptimized(true);
  const Bytes file = SaveBytes(image);
  EXPECT_EQ(Slice(file, 0, 6), Text("GIF89a"));
  EXPECT_EQ(file[13 + 9], 0x80 | 0x20 | 2);
  EXPECT_EQ(gifdecode::Decode(file).frames.at(0).indices, Bytes({0, 1, 2, 4}));
}

TEST(GIFWriterHeader, ImageWithoutFramesIsRefusedBeforeAnythingIsWritten) {
  TGIFImage image;
  EXPECT_EQ(image.Version(), gvUnknown);
  TMemoryStream stream;
  try {
    image.SaveToStream(stream);
    FAIL() << "an image without frames was written";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), msg::UnsupportedVersion);
  }
  EXPECT_TRUE(stream.Bytes().empty());
}

// Without a global table the screen descriptor's packed byte still carries the colour
// resolution and size of the largest local table.
TEST(GIFWriterHeader, ScreenDescriptorDescribesTheLargestLocalTable) {
  struct Case {
    std::vector<int> tableSizes;
    std::uint8_t packed;
  };
  const Case cases[] = {{{2}, 0x00}, {{3}, 0x11}, {{20}, 0x44}, {{3, 20, 2}, 0x44}, {{256}, 0x77}, {{2, 256}, 0x77}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.tableSizes));
    TGIFImage image;
    for (const int size : c.tableSizes) AddIndexedFrame(image, 5, 3, DistinctPalette(size), Bytes(15, 0));
    image.Header().SetAspectRatio(49);
    const Bytes file = SaveBytes(image);
    EXPECT_EQ(Slice(file, 6, 7), Bytes({5, 0, 3, 0, c.packed, 0, 49}));
    EXPECT_EQ(file[13], 0x2C) << "no global table follows";
  }
}

// ---- one frame: descriptor, padded table, code size ----

struct TableCase {
  int entries;
  std::uint8_t packed;  // image descriptor, not interlaced
  int written;          // table entries written
  int minCodeSize;
};

class GIFWriterTable : public ::testing::TestWithParam<std::tuple<TableCase, bool>> {};

TEST_P(GIFWriterTable, DescriptorTableAndDataMatchTheFrame) {
  const auto& [c, interlaced] = GetParam();
  const int width = 13, height = 11;
  const std::vector<TGIFColor> palette = DistinctPalette(c.entries);
  const Bytes pixels = PseudoRandomIndices(width * height, c.entries, static_cast<std::uint32_t>(c.entries));
  TGIFImage image;
  TGIFSubImage* frame = AddIndexedFrame(image, width, height, palette, pixels);
  frame->SetLeft(2);
  frame->SetTop(1);
  frame->SetInterlaced(interlaced);
  const Bytes file = SaveBytes(image);

  const std::uint8_t packed = static_cast<std::uint8_t>(c.packed | (interlaced ? 0x40 : 0));
  EXPECT_EQ(Slice(file, 13, 10), Bytes({0x2C, 2, 0, 1, 0, width, 0, height, 0, packed}));
  Bytes table;
  for (const TGIFColor& e : palette) table.insert(table.end(), {e.Red, e.Green, e.Blue});
  table.resize(static_cast<std::size_t>(c.written) * 3, 0);  // black padding
  EXPECT_EQ(Slice(file, 23, table.size()), table);
  EXPECT_EQ(file[23 + table.size()], c.minCodeSize);
  EXPECT_EQ(file.back(), 0x3B);

  const gifdecode::Gif gif = gifdecode::Decode(file);
  EXPECT_EQ(gif.version, "87a");
  EXPECT_TRUE(gif.globalColors.empty());
  ASSERT_EQ(gif.frames.size(), 1u);
  const gifdecode::Frame& f = gif.frames[0];
  EXPECT_EQ(f.left, 2);
  EXPECT_EQ(f.top, 1);
  EXPECT_EQ(f.width, width);
  EXPECT_EQ(f.height, height);
  EXPECT_EQ(f.interlaced, interlaced);
  EXPECT_EQ(f.localColors, AsDecoded(palette, static_cast<std::size_t>(c.written)));
  EXPECT_EQ(f.indices, pixels);
  EXPECT_FALSE(f.hasGraphicControl);
}

INSTANTIATE_TEST_SUITE_P(TableSizes, GIFWriterTable,
                         ::testing::Combine(::testing::Values(TableCase{1, 0x80, 2, 2}, TableCase{2, 0x80, 2, 2},
                                                              TableCase{3, 0x81, 4, 2}, TableCase{20, 0x84, 32, 5},
                                                              TableCase{256, 0x87, 256, 8}),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::to_string(std::get<0>(info.param).entries) + "Entries" +
                                  (std::get<1>(info.param) ? "Interlaced" : "");
                         });

// ---- extension blocks ----

TEST(GIFWriterExtensions, BlocksAreWrittenByteForByte) {
  TGIFImage image;
  TGIFSubImage* frame = AddIndexedFrame(image, 2, 2, DistinctPalette(4), {0, 1, 2, 3});
  const std::string line300(300, 'q');
  const Bytes netscape = Text("NETSCAPE2.0");
  struct Case {
    const char* name;
    std::function<std::unique_ptr<TGIFExtension>()> make;
    Bytes expected;
  };
  const Case cases[] = {
      {"default graphic control", [&] { return std::make_unique<TGIFGraphicControlExtension>(frame); },
       {0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {"graphic control with every field",
       [&] {
         auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
         gce->SetDelay(0x1234);
         gce->SetDisposal(dmBackground);
         gce->SetUserInput(true);
         gce->SetTransparent(true);
         gce->SetTransparentColorIndex(3);
         return gce;
       },
       {0x21, 0xF9, 0x04, 0x0B, 0x34, 0x12, 0x03, 0x00}},
      {"graphic control, restore previous",
       [&] {
         auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
         gce->SetDisposal(dmPrevious);
         gce->SetDelay(300);
         return gce;
       },
       {0x21, 0xF9, 0x04, 0x0C, 0x2C, 0x01, 0x00, 0x00}},
      {"looping block of the pipeline (19 bytes)", [&] { return std::make_unique<TGIFAppExtNSLoop>(frame); },
       Concat({{0x21, 0xFF, 0x0B}, netscape, {0x03, 0x01, 0x00, 0x00, 0x00}})},
      {"looping block with count and buffer size",
       [&] {
         auto loop = std::make_unique<TGIFAppExtNSLoop>(frame);
         loop->SetLoops(0x0102);
         loop->SetBufferSize(0x0A0B0C0D);
         return loop;
       },
       Concat({{0x21, 0xFF, 0x0B}, netscape, {0x03, 0x01, 0x02, 0x01, 0x05, 0x02, 0x0D, 0x0C, 0x0B, 0x0A, 0x00}})},
      {"comment line of 300 characters",
       [&] {
         auto comment = std::make_unique<TGIFCommentExtension>(frame);
         comment->Text = {line300};
         return comment;
       },
       Concat({{0x21, 0xFE, 255}, Text(line300.substr(0, 255)), {45}, Text(line300.substr(255)), {0x00}})},
      {"comment lines start new sub-blocks, empty lines write nothing",
       [&] {
         auto comment = std::make_unique<TGIFCommentExtension>(frame);
         comment->Text = {"ab", "", "c"};
         return comment;
       },
       {0x21, 0xFE, 2, 'a', 'b', 1, 'c', 0x00}},
      {"empty comment", [&] { return std::make_unique<TGIFCommentExtension>(frame); }, {0x21, 0xFE, 0x00}},
      {"plain text",
       [&] {
         auto text = std::make_unique<TGIFTextExtension>(frame);
         text->FPlainTextExtension.Left = 0x0102;
         text->FPlainTextExtension.Top = 3;
         text->FPlainTextExtension.Width = 0x0405;
         text->FPlainTextExtension.Height = 6;
         text->FPlainTextExtension.CellWidth = 7;
         text->FPlainTextExtension.CellHeight = 8;
         text->FPlainTextExtension.TextFGColorIndex = 9;
         text->FPlainTextExtension.TextBGColorIndex = 10;
         text->Text = {"hi"};
         return text;
       },
       {0x21, 0x01, 12, 0x02, 0x01, 3, 0, 0x05, 0x04, 6, 0, 7, 8, 9, 10, 2, 'h', 'i', 0x00}},
      {"unknown application extension",
       [&] {
         auto app = std::make_unique<TGIFUnknownAppExtension>(frame);
         app->SetIdentifier("AB");
         app->SetAuthentication("XYZW");
         app->Blocks = {{1, 2, 3}, {}, Bytes(300, 9)};
         return app;
       },
       Concat({{0x21, 0xFF, 0x0B, 'A', 'B', 0, 0, 0, 0, 0, 0, 'X', 'Y', 'Z', 3, 1, 2, 3, 255},
               Bytes(255, 9),
               {45},
               Bytes(45, 9),
               {0x00}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::unique_ptr<TGIFExtension> extension = c.make();
    EXPECT_EQ(SaveBytes(*extension), c.expected);
  }
}

// ---- whole files ----

TEST(GIFWriterFile, PipelineFileHasTheFixedLayout) {
  const int width = 12, height = 9;
  TGIFImage image;
  BuildPipelineImage(image, rmGrayScale, dmNearest, 2, width, height);
  TGIFGraphicControlExtension* second = image.Images()[1]->GraphicControlExtension();
  const int transparent = FindUsedColorIndex(*image.Images()[1], image.Images()[1]->ColorMap().Colors(image.Images()[1]->Pixels(0, 0)));
  ASSERT_GE(transparent, 0);
  second->SetTransparent(true);
  second->SetTransparentColorIndex(transparent);
  const Bytes file = SaveBytes(image);

  EXPECT_EQ(Slice(file, 0, 13), Bytes({'G', 'I', 'F', '8', '9', 'a', width, 0, height, 0, 0x77, 0, 0}));
  const std::vector<TBlock> blocks = SplitBlocks(file);
  ASSERT_EQ(Kinds(blocks), "HAGIGIT") << "loop block, then per frame graphic control and image";
  EXPECT_EQ(Slice(file, blocks[1].Offset, blocks[1].Size),
            Concat({{0x21, 0xFF, 0x0B}, Text("NETSCAPE2.0"), {0x03, 0x01, 0x00, 0x00, 0x00}}));
  EXPECT_EQ(Slice(file, blocks[2].Offset, blocks[2].Size), Bytes({0x21, 0xF9, 0x04, 0x00, 4, 0, 0, 0}));
  EXPECT_EQ(Slice(file, blocks[4].Offset, blocks[4].Size),
            Bytes({0x21, 0xF9, 0x04, 0x01, 5, 0, static_cast<std::uint8_t>(transparent), 0}));
  for (const int k : {3, 5}) {
    SCOPED_TRACE(k);
    const TGIFSubImage* frame = image.Images()[k == 3 ? 0 : 1];
    ASSERT_EQ(frame->ColorMap().Count(), 256);
    EXPECT_EQ(Slice(file, blocks[k].Offset, 10), Bytes({0x2C, 0, 0, 0, 0, width, 0, height, 0, 0x87}));
    EXPECT_EQ(0, std::memcmp(&file[blocks[k].Offset + 10], frame->ColorMap().Data(), 768));
    EXPECT_EQ(blocks[k].ImageDataOffset, blocks[k].Offset + 10 + 768);
    EXPECT_EQ(file[blocks[k].ImageDataOffset], 8);
  }

  const gifdecode::Gif gif = gifdecode::Decode(file);
  ASSERT_EQ(gif.frames.size(), 2u);
  EXPECT_EQ(gif.frames[0].loops, 0);
  EXPECT_FALSE(gif.frames[1].loops.has_value());
  EXPECT_EQ(gif.frames[0].transparentIndex, -1);
  EXPECT_EQ(gif.frames[1].transparentIndex, transparent);
  EXPECT_EQ(SaveBytes(image), file) << "saving twice writes the same bytes";
}

// Several frames of different tables, sizes, positions and control blocks in one file: giflib
// reads back what the model holds.
TEST(GIFWriterFile, MultiFrameFileDecodesToTheModel) {
  struct FrameCase {
    int entries, left, top, width, height;
    bool interlaced;
    int delay;
    TDisposalMethod disposal;
    bool userInput;
    int transparent;  // -1 for none
  };
  const FrameCase frames[] = {
      {256, 0, 0, 30, 20, false, 10, dmNone, false, -1},   {1, 3, 2, 7, 5, true, 0, dmNoDisposal, false, 0},
      {2, 10, 4, 9, 9, false, 65535, dmBackground, true, 1}, {3, 0, 0, 30, 20, true, 7, dmPrevious, false, 2},
      {20, 5, 5, 17, 12, false, 1, dmNoDisposal, false, 19},
  };
  TGIFImage image;
  std::vector<Bytes> pixels;
  for (std::size_t k = 0; k < std::size(frames); ++k) {
    const FrameCase& c = frames[k];
    pixels.push_back(PseudoRandomIndices(static_cast<std::size_t>(c.width * c.height), c.entries, static_cast<std::uint32_t>(k)));
    TGIFSubImage* frame = AddIndexedFrame(image, c.width, c.height, DistinctPalette(c.entries), pixels.back());
    frame->SetBounds(c.left, c.top, c.width, c.height);
    frame->SetInterlaced(c.interlaced);
    if (k == 0) AddLoop(frame, 5);
    TGIFGraphicControlExtension* gce = AddGCE(frame, c.delay);
    gce->SetDisposal(c.disposal);
    gce->SetUserInput(c.userInput);
    if (c.transparent >= 0) {
      gce->SetTransparent(true);
      gce->SetTransparentColorIndex(c.transparent);
    }
  }
  EXPECT_TRUE(image.IsTransparent());
  const Bytes file = SaveBytes(image);
  const gifdecode::Gif gif = gifdecode::Decode(file);
  EXPECT_EQ(gif.version, "89a");
  EXPECT_EQ(gif.screenWidth, 30);
  EXPECT_EQ(gif.screenHeight, 20);
  EXPECT_TRUE(gif.globalColors.empty());
  ASSERT_EQ(gif.frames.size(), std::size(frames));
  for (std::size_t k = 0; k < std::size(frames); ++k) {
    SCOPED_TRACE(k);
    const FrameCase& c = frames[k];
    const gifdecode::Frame& f = gif.frames[k];
    const TGIFSubImage* model = image.Images()[static_cast<int>(k)];
    EXPECT_EQ(f.left, c.left);
    EXPECT_EQ(f.top, c.top);
    EXPECT_EQ(f.width, c.width);
    EXPECT_EQ(f.height, c.height);
    EXPECT_EQ(f.interlaced, c.interlaced);
    const std::size_t padded = std::size_t{1} << model->ColorMap().BitsPerPixel();
    EXPECT_EQ(f.localColors, AsDecoded(model->ColorMap().ExportPalette(), padded));
    EXPECT_EQ(f.indices, pixels[k]);
    ASSERT_TRUE(f.hasGraphicControl);
    EXPECT_EQ(f.delay, c.delay);
    EXPECT_EQ(f.disposal, c.disposal);
    EXPECT_EQ(f.userInput, c.userInput);
    EXPECT_EQ(f.transparentIndex, c.transparent);
    EXPECT_EQ(f.loops, k == 0 ? std::optional<int>(5) : std::nullopt);
  }
}

TEST(GIFWriterFile, EmptyFrameContributesOnlyItsExtensions) {
  TGIFImage image;
  AddIndexedFrame(image, 4, 4, DistinctPalette(2), Bytes(16, 1));
  const int i = image.Add(TBitmap());
  TGIFSubImage* empty = image.Images()[i];
  ASSERT_TRUE(empty->Empty());
  AddGCE(empty, 9);
  auto comment = std::make_unique<TGIFCommentExtension>(empty);
  comment->Text = {"x"};
  empty->Extensions().Add(std::move(comment));

  const Bytes file = SaveBytes(image);
  const std::vector<TBlock> blocks = SplitBlocks(file);
  ASSERT_EQ(Kinds(blocks), "HIGCT");
  EXPECT_EQ(Slice(file, blocks[2].Offset, file.size() - blocks[2].Offset),
            Bytes({0x21, 0xF9, 0x04, 0x00, 9, 0, 0, 0, 0x21, 0xFE, 1, 'x', 0x00, 0x3B}));
  EXPECT_EQ(gifdecode::Decode(file).frames.size(), 1u);
}

TEST(GIFWriterFile, RunLengthCompressionIsRefusedBeforeAnythingIsWritten) {
  TGIFImage image;
  AddIndexedFrame(image, 2, 2, DistinctPalette(2), {0, 1, 1, 0});
  image.SetCompression(gcRLE);
  TMemoryStream stream;
  EXPECT_THROW(image.SaveToStream(stream), GIFException);
  EXPECT_TRUE(stream.Bytes().empty());
}

// Regression guards: FNV-1a checksums of whole files as the library wrote them when these
// tests were made. A change here means the written bytes changed; check with giflib and the
// other tests whether that was intended before updating the numbers.
TEST(GIFWriterFile, GoldenChecksumsOfPipelineFiles) {
  struct Case {
    const char* name;
    TColorReduction reduction;
    TDitherMode dither;
    std::uint64_t checksum;
    std::size_t size;
  };
  const Case cases[] = {
      {"quantize with Floyd-Steinberg", rmQuantizeWindows, dmFloydSteinberg, 0x3cc7d93f130345feULL, 5481},
      {"grey scale, nearest colour", rmGrayScale, dmNearest, 0xb8d639827b12a169ULL, 5336},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    BuildPipelineImage(image, c.reduction, c.dither, 3, 40, 30);
    const Bytes file = SaveBytes(image);
    EXPECT_EQ(file.size(), c.size);
    EXPECT_EQ(Fnv1a64(file), c.checksum) << std::hex << "0x" << Fnv1a64(file);
    const gifdecode::Gif gif = gifdecode::Decode(file);
    ASSERT_EQ(gif.frames.size(), 3u);
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(0, std::memcmp(gif.frames[static_cast<std::size_t>(k)].indices.data(), image.Images()[k]->Data(), 40 * 30));
  }
}

// ---- failing sinks ----

void BuildFailureImage(TGIFImage& image) {
  TGIFSubImage* first = AddIndexedFrame(image, 40, 30, DistinctPalette(20), PseudoRandomIndices(1200, 20, 1));
  AddLoop(first, 0);
  AddGCE(first, 3);
  TGIFSubImage* second = AddIndexedFrame(image, 40, 30, DistinctPalette(256), PseudoRandomIndices(1200, 256, 2));
  auto comment = std::make_unique<TGIFCommentExtension>(second);
  comment->Text = {"note"};
  second->Extensions().Add(std::move(comment));
}

// Whichever write fails (header, descriptor, table, padding, code sub-blocks, terminator,
// trailer), the stream's error reaches the caller unchanged, the stream keeps exactly the
// bytes written before it, and progress ends with 0 %.
TEST(GIFWriterFailure, EveryFailingWriteSurfacesTheStreamError) {
  TGIFImage image;
  BuildFailureImage(image);
  TFailingStream counting(0);
  image.SaveToStream(counting);
  const Bytes full = counting.Kept;
  const int writes = counting.Writes;
  ASSERT_GT(writes, 20);

  for (int failAt = 1; failAt <= writes; ++failAt) {
    SCOPED_TRACE(failAt);
    std::vector<std::pair<TProgressStage, int>> progress;
    image.OnProgress = [&](TProgressStage stage, int percent, const std::string&) { progress.emplace_back(stage, percent); };
    TFailingStream stream(failAt);
    try {
      image.SaveToStream(stream);
      ADD_FAILURE() << "the failing write went unnoticed";
    } catch (const EStreamError& e) {
      EXPECT_STREQ(e.what(), "disk full (injected)");
    } catch (const std::exception& e) {
      ADD_FAILURE() << "unexpected error: " << e.what();
    }
    EXPECT_EQ(stream.Writes, failAt) << "writing went on after the failure";
    ASSERT_LT(stream.Kept.size(), full.size());
    EXPECT_TRUE(std::equal(stream.Kept.begin(), stream.Kept.end(), full.begin()));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(psEnding, 0));
  }
  image.OnProgress = nullptr;
  EXPECT_EQ(SaveBytes(image), full) << "a failed save leaves the model as it was";
}

// ---- files ----

class GIFWriterSaveToFile : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::path(::testing::TempDir()) /
          ("gifwriter_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir)) names.insert(e.path().filename().string());
    return names;
  }
  static Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  fs::path Dir;
};

TEST_F(GIFWriterSaveToFile, WritesExactlyTheStreamBytesAndReplacesAnOldFile) {
  TGIFImage image;
  BuildFailureImage(image);
  const fs::path target = Dir / "out.gif";
  WriteFile(target, Bytes(100000, 0xAA));  // longer than the new file: nothing of it may remain
  image.SaveToFile(target.string());
  EXPECT_EQ(ReadFile(target), SaveBytes(image));
  EXPECT_EQ(Entries(), std::set<std::string>({"out.gif"}));
}

// A failure at any stage (the image refused, creating the file, writing it, putting it in
// place) leaves the old file as it was and no temporary file behind.
TEST_F(GIFWriterSaveToFile, FailedSaveKeepsTheOldFileAndLeavesNoTemporaryFile) {
  const Bytes old = Text("the previous file");
  const fs::path target = Dir / "out.gif";
  {
    SCOPED_TRACE("pixel outside the colour table");
    WriteFile(target, old);
    TGIFImage image;
    AddIndexedFrame(image, 2, 1, DistinctPalette(2), {0, 2});
    EXPECT_THROW(image.SaveToFile(target.string()), GIFException);
    EXPECT_EQ(ReadFile(target), old);
    EXPECT_EQ(Entries(), std::set<std::string>({"out.gif"}));
  }
  {
    SCOPED_TRACE("no frames");
    TGIFImage image;
    EXPECT_THROW(image.SaveToFile(target.string()), GIFException);
    EXPECT_EQ(ReadFile(target), old);
    EXPECT_EQ(Entries(), std::set<std::string>({"out.gif"}));
  }
  {
    SCOPED_TRACE("folder does not exist");
    TGIFImage image;
    BuildFailureImage(image);
    EXPECT_THROW(image.SaveToFile((Dir / "missing" / "out.gif").string()), EStreamError);
    EXPECT_EQ(Entries(), std::set<std::string>({"out.gif"}));
  }
  {
    SCOPED_TRACE("target is a directory");
    fs::create_directory(Dir / "folder.gif");
    TGIFImage image;
    BuildFailureImage(image);
    EXPECT_THROW(image.SaveToFile((Dir / "folder.gif").string()), EStreamError);
    EXPECT_TRUE(fs::is_directory(Dir / "folder.gif"));
    EXPECT_EQ(Entries(), std::set<std::string>({"out.gif", "folder.gif"}));
    fs::remove(Dir / "folder.gif");
  }
  {
    // The file size limit makes write() fail with EFBIG part way through the file, the way a
    // full disk would; it also holds for root, unlike file permissions.
    SCOPED_TRACE("write fails part way");
    TGIFImage image;
    BuildFailureImage(image);
    ASSERT_GT(SaveBytes(image).size(), 1000u);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool streamError = false;
    std::string other;
    try {
      image.SaveToFile(target.string());
    } catch (const EStreamError&) {
      streamError = true;
    } catch (const std::exception& e) {
      other = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(streamError) << other;
    EXPECT_EQ(ReadFile(target), old);
    EXPECT_EQ(Entries(), std::set<std::string>({"out.gif"}));
  }
}

}  // namespace
