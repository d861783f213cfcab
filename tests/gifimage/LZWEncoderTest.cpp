// The LZW compressor: code sizes, bit packing, sub-blocks, table resets, the string table's
// probe bound, interlaced row order and pixels outside the colour table.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <unordered_map>

#include "GifDecode.h"
#include "TestSupport.h"
#include "gifimage.h"

using namespace gifimage;
using namespace testsupport;

namespace {

Bytes Compress(int bitsPerPixel, int width, int height, bool interlace, const Bytes& data, int maxColor) {
  TMemoryStream stream;
  TLZWEncoder encoder;
  encoder.Compress(stream, bitsPerPixel, width, height, interlace, data.empty() ? nullptr : data.data(), maxColor);
  return stream.TakeBytes();
}

// Runs work on another thread and ends the whole test program when it does not finish in
// time: an endless probe loop then fails loudly instead of hanging the suite.
template <class Work>
auto FinishesWithin(std::chrono::seconds limit, Work work) {
  auto future = std::async(std::launch::async, std::move(work));
  if (future.wait_for(limit) != std::future_status::ready) {
    std::fprintf(stderr, "FATAL: the string table did not finish within %lld s (endless probe loop?)\n",
                 static_cast<long long>(limit.count()));
    std::fflush(stderr);
    std::_Exit(1);
  }
  return future.get();
}

// ---- exact bytes of tiny frames ----

struct ExactCase {
  const char* name;
  int bitsPerPixel;
  int width, height;
  Bytes pixels;
  Bytes expected;
};

class LZWExactBytes : public ::testing::TestWithParam<ExactCase> {};

TEST_P(LZWExactBytes, MatchTheHandPackedCodes) {
  const ExactCase& c = GetParam();
  EXPECT_EQ(Compress(c.bitsPerPixel, c.width, c.height, false, c.pixels, 1 << c.bitsPerPixel), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, LZWExactBytes,
    ::testing::Values(
        // clear 256, 0, end 257 in 9 bits each: one sub-block of four bytes.
        ExactCase{"OnePixelWithCodeSize8", 8, 1, 1, {0}, {0x08, 0x04, 0x00, 0x01, 0x04, 0x04, 0x00}},
        // A 2-entry table codes with minimum size 2: clear 4, 0, end 5 in 3 bits each.
        ExactCase{"OnePixelWithTwoColoursUsesCodeSize2", 1, 1, 1, {0}, {0x02, 0x02, 0x44, 0x01, 0x00}},
        // No pixels: the end code alone, without a clear code.
        ExactCase{"EmptyFrameIsEndCodeOnly", 8, 0, 0, {}, {0x08, 0x02, 0x01, 0x01, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- round trips through an independent decoder ----

struct RoundTripCase {
  const char* name;
  int bitsPerPixel;  // as passed to the encoder
  int colours;       // pixels are below this
  int width, height;
  bool constant;     // every pixel 0 instead of pseudo-random
};

class LZWRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(LZWRoundTrip, CodeStreamIsWellFormedAndDecodesToThePixels) {
  const RoundTripCase& c = GetParam();
  const std::size_t count = static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height);
  const Bytes pixels = c.constant ? Bytes(count, 0) : PseudoRandomIndices(count, c.colours, 7);
  const Bytes out = Compress(c.bitsPerPixel, c.width, c.height, false, pixels, c.colours);

  const int minCodeSize = std::max(2, c.bitsPerPixel);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out[0], minCodeSize);
  const TSubBlocks blocks = ReadSubBlocks(out, 1);
  ASSERT_TRUE(blocks.Terminated);
  EXPECT_EQ(blocks.End, out.size()) << "bytes after the terminator";
  for (std::size_t i = 0; i + 1 < blocks.Sizes.size(); ++i) EXPECT_EQ(blocks.Sizes[i], 255) << "sub-block " << i;

  const TLZWCodes decoded = DecodeLZW(minCodeSize, blocks.Data);
  ASSERT_EQ(decoded.Error, "");
  EXPECT_EQ(decoded.Pixels, pixels);
  ASSERT_GE(decoded.Codes.size(), 2u);
  EXPECT_EQ(decoded.Codes.front(), 1 << minCodeSize) << "a frame starts with a clear code";
  EXPECT_EQ(decoded.Codes.back(), (1 << minCodeSize) + 1);
}

INSTANTIATE_TEST_SUITE_P(Frames, LZWRoundTrip,
                         ::testing::Values(RoundTripCase{"OneEntryTable", 1, 1, 9, 4, false},
                                           RoundTripCase{"TwoColours", 1, 2, 40, 30, false},
                                           RoundTripCase{"ThreeColoursInTwoBits", 2, 3, 17, 11, false},
                                           RoundTripCase{"SixteenColours", 4, 16, 64, 64, false},
                                           RoundTripCase{"FullTable", 8, 256, 120, 100, false},
                                           RoundTripCase{"LongRun", 8, 256, 300, 200, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The compressed size decides the sub-blocks: exactly 255 bytes is one full block followed
// directly by the terminator, 510 two full blocks.
TEST(LZWSubBlocks, DataOfWholeBlocksEndsWithFullBlocksAndTerminator) {
  for (const std::size_t wanted : {std::size_t{255}, std::size_t{510}}) {
    SCOPED_TRACE(wanted);
    bool found = false;
    for (int width = 1; width < 2000 && !found; ++width) {
      const Bytes pixels = PseudoRandomIndices(static_cast<std::size_t>(width), 256, 3);
      const Bytes out = Compress(8, width, 1, false, pixels, 256);
      if (out.size() != 1 + wanted + wanted / 255 + 1) continue;
      const TSubBlocks blocks = ReadSubBlocks(out, 1);
      if (blocks.Data.size() != wanted) continue;
      found = true;
      EXPECT_EQ(blocks.Sizes, std::vector<int>(wanted / 255, 255));
      EXPECT_TRUE(blocks.Terminated);
      EXPECT_EQ(blocks.End, out.size());
      EXPECT_EQ(DecodeLZW(8, blocks.Data).Pixels, pixels);
    }
    EXPECT_TRUE(found) << "no frame width gave exactly " << wanted << " bytes of codes";
  }
}

// ---- table resets ----

struct ResetCase {
  const char* name;
  int colours;
  int width, height;
};

class LZWTableReset : public ::testing::TestWithParam<ResetCase> {};

// Codes 0..4094 are assigned; the miss after code 4094 was assigned emits its code and then a
// clear code, so each full stretch between clears holds 4096 - firstFreeCode data codes, and
// code 4095 never appears.
TEST_P(LZWTableReset, ClearCodeFollowsCode4094) {
  const ResetCase& c = GetParam();
  TGIFImage image;
  const Bytes pixels =
      PseudoRandomIndices(static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height), c.colours, 11);
  AddIndexedFrame(image, c.width, c.height, DistinctPalette(c.colours), pixels);
  const Bytes file = SaveBytes(image);

  const std::vector<TBlock> blocks = SplitBlocks(file);
  ASSERT_EQ(Kinds(blocks), "HIT");
  const int minCodeSize = file[blocks[1].ImageDataOffset];
  const TLZWCodes decoded = DecodeLZW(minCodeSize, ReadSubBlocks(file, blocks[1].ImageDataOffset + 1).Data);
  ASSERT_EQ(decoded.Error, "");
  EXPECT_EQ(decoded.Pixels, pixels);
  EXPECT_EQ(std::count(decoded.Codes.begin(), decoded.Codes.end(), 4095), 0);

  const int firstFree = (1 << minCodeSize) + 2;
  const std::vector<int> segments = SegmentLengths(decoded, minCodeSize);
  ASSERT_GE(segments.size(), 3u) << "the input should fill the table at least twice";
  for (std::size_t i = 0; i + 1 < segments.size(); ++i) EXPECT_EQ(segments[i], 4096 - firstFree) << "stretch " << i;
  EXPECT_LE(segments.back(), 4096 - firstFree);

  const gifdecode::Gif gif = gifdecode::Decode(file);
  ASSERT_EQ(gif.frames.size(), 1u);
  EXPECT_EQ(gif.frames[0].indices, pixels);
}

INSTANTIATE_TEST_SUITE_P(Frames, LZWTableReset,
                         ::testing::Values(ResetCase{"FullTable", 256, 128, 128},
                                           ResetCase{"SixteenColours", 16, 256, 256},
                                           ResetCase{"TwoColours", 2, 512, 300}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- pixels outside the table ----

class LZWColourOutsideTable : public ::testing::TestWithParam<int> {};

// A 20-entry table is written padded to 32 entries, yet index 20 is refused; whatever was
// written before the error stays in the stream, flushed up to the last whole byte of codes.
TEST_P(LZWColourOutsideTable, IndexEqualToCountRaisesAndKeepsWrittenBytes) {
  const int badPosition = GetParam();
  const int width = 100, height = 80;
  Bytes pixels = PseudoRandomIndices(width * height, 20, 5);
  pixels[static_cast<std::size_t>(badPosition)] = 19;
  {
    TGIFImage image;
    AddIndexedFrame(image, width, height, DistinctPalette(20), pixels);
    EXPECT_NO_THROW(SaveBytes(image)) << "19 is the last index of the table";
  }
  pixels[static_cast<std::size_t>(badPosition)] = 20;
  TGIFImage image;
  AddIndexedFrame(image, width, height, DistinctPalette(20), pixels);
  TMemoryStream stream;
  try {
    image.SaveToStream(stream);
    FAIL() << "index 20 of a 20-entry table was accepted";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), msg::ColorNotInTable);
  }

  const Bytes& kept = stream.Bytes();
  const std::size_t dataOffset = 6 + 7 + 10 + 32 * 3;
  ASSERT_GT(kept.size(), dataOffset);
  EXPECT_EQ(Bytes(kept.begin(), kept.begin() + 6), Bytes({'G', 'I', 'F', '8', '7', 'a'}));
  EXPECT_EQ(kept[dataOffset], 5) << "minimum code size of a 20-entry table";
  const TSubBlocks blocks = ReadSubBlocks(kept, dataOffset + 1);
  EXPECT_FALSE(blocks.Terminated);
  EXPECT_EQ(blocks.End, kept.size());
  for (std::size_t i = 0; i + 1 < blocks.Sizes.size(); ++i) EXPECT_EQ(blocks.Sizes[i], 255);
  // The codes that made it out decode to a prefix of the frame's pixels.
  const TLZWCodes decoded = DecodeLZW(5, blocks.Data);
  ASSERT_LE(decoded.Pixels.size(), static_cast<std::size_t>(badPosition));
  EXPECT_TRUE(std::equal(decoded.Pixels.begin(), decoded.Pixels.end(), pixels.begin()));
  if (badPosition > 2000) {
    EXPECT_GT(decoded.Pixels.size(), 1000u) << "codes before the error were dropped";
  }
}

INSTANTIATE_TEST_SUITE_P(Positions, LZWColourOutsideTable, ::testing::Values(0, 1, 6000));

// ---- interlacing ----

TEST(LZWInterlace, RowsAreStoredInTheFourPassOrder) {
  EXPECT_EQ(InterlacedRowOrder(3), std::vector<int>({0, 2, 1}));
  EXPECT_EQ(InterlacedRowOrder(8), std::vector<int>({0, 4, 2, 6, 1, 3, 5, 7}));
  for (const int height : {1, 2, 3, 4, 5, 7, 8, 9, 16, 17}) {
    SCOPED_TRACE(height);
    std::vector<int> order;
    for (int y = 0; y < height; y += 8) order.push_back(y);
    for (int y = 4; y < height; y += 8) order.push_back(y);
    for (int y = 2; y < height; y += 4) order.push_back(y);
    for (int y = 1; y < height; y += 2) order.push_back(y);
    EXPECT_EQ(InterlacedRowOrder(height), order);

    const int width = 5;
    const Bytes pixels = PseudoRandomIndices(static_cast<std::size_t>(width * height), 3, static_cast<std::uint32_t>(height));
    Bytes stored;
    for (const int y : order) stored.insert(stored.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
    const Bytes out = Compress(2, width, height, true, pixels, 3);
    const TLZWCodes decoded = DecodeLZW(out[0], ReadSubBlocks(out, 1).Data);
    ASSERT_EQ(decoded.Error, "");
    EXPECT_EQ(decoded.Pixels, stored);
  }
}

// ---- the string table's probe bound ----

constexpr int kSlots = 8009;

int SlotOf(std::uint32_t key) { return static_cast<int>(((key >> 4) ^ key) % kSlots); }

// The slots a probe from slot 1 runs through: 1, 2, 4, ... modulo 8009, 4004 of them.
std::vector<bool> ProbeCycleOfSlotOne() {
  std::vector<bool> inCycle(kSlots, false);
  for (int i = 0, slot = 1; i < 4004; ++i, slot = slot * 2 % kSlots) inCycle[static_cast<std::size_t>(slot)] = true;
  return inCycle;
}

TEST(THashTable, ProbeGoesFromSlotToTwiceTheSlot) {
  EXPECT_EQ(THashTable::NextSlot(0), kSlots - 1);
  for (int slot = 1; slot < kSlots; ++slot) ASSERT_EQ(THashTable::NextSlot(slot), slot * 2 % kSlots) << slot;
  for (const std::uint32_t key : {0u, 1u, 4095u, 123456u, 0xFFFFEu}) EXPECT_EQ(THashTable::Hash(key), SlotOf(key));
}

// Once every slot of one probe cycle holds a key, Insert of another key of that cycle
// reports the table full and Lookup of an absent key ends with -1 instead of probing forever.
TEST(THashTable, FullProbeCycleRefusesInsertAndLookupEnds) {
  const std::vector<bool> cycle = ProbeCycleOfSlotOne();
  std::vector<std::uint32_t> keys, slotZeroKeys, otherCycleKeys;
  for (std::uint32_t key = 0; keys.size() < 4005 || slotZeroKeys.size() < 2 || otherCycleKeys.empty(); ++key) {
    const int slot = SlotOf(key);
    if (slot == 0) {
      slotZeroKeys.push_back(key);
    } else if (cycle[static_cast<std::size_t>(slot)]) {
      keys.push_back(key);
    } else {
      otherCycleKeys.push_back(key);
    }
  }
  const std::uint32_t extra = keys.back();
  keys.pop_back();

  struct Result {
    int refusedInserts = 0, wrongLookups = 0;
    bool extraInserted = true;
    int extraLookup = 0;
    bool slotZeroFirst = false, slotZeroSecond = true, otherCycle = false;
    int slotZeroLookup = 0, slotZeroMissing = 0;
  };
  const Result r = FinishesWithin(std::chrono::seconds(60), [&] {
    Result result;
    THashTable table;
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (!table.Insert(keys[i], static_cast<int>(i & 0xFFF))) ++result.refusedInserts;
    result.extraInserted = table.Insert(extra, 1);
    result.extraLookup = table.Lookup(extra);
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (table.Lookup(keys[i]) != static_cast<int>(i & 0xFFF)) ++result.wrongLookups;
    // Slot 0 probes on into the same cycle: one key fits into slot 0 itself, a second none.
    result.slotZeroFirst = table.Insert(slotZeroKeys[0], 7);
    result.slotZeroLookup = table.Lookup(slotZeroKeys[0]);
    result.slotZeroSecond = table.Insert(slotZeroKeys[1], 8);
    result.slotZeroMissing = table.Lookup(slotZeroKeys[1]);
    result.otherCycle = table.Insert(otherCycleKeys[0], 9);
    return result;
  });
  EXPECT_EQ(keys.size(), 4004u);
  EXPECT_EQ(r.refusedInserts, 0) << "the cycle has room for 4004 keys";
  EXPECT_EQ(r.wrongLookups, 0);
  EXPECT_FALSE(r.extraInserted);
  EXPECT_EQ(r.extraLookup, -1);
  EXPECT_TRUE(r.slotZeroFirst);
  EXPECT_EQ(r.slotZeroLookup, 7);
  EXPECT_FALSE(r.slotZeroSecond);
  EXPECT_EQ(r.slotZeroMissing, -1);
  EXPECT_TRUE(r.otherCycle) << "the other cycle is still empty";
}

// Pixels of a 4-colour frame (minimum code size 2, first free code 6) chosen so that the
// strings the encoder adds to its table have keys that hash into the probe cycle of slot 1,
// until all 4004 slots of that cycle are taken; then one more such string. The choice
// mirrors the encoder: it walks existing strings (table hits) to the nearest string whose
// extension by one pixel is new and hashes into the cycle.
struct CraftedInput {
  Bytes pixels;
  int cycleStrings = 0;  // new strings hashing into the cycle, the last one finding it full
  int otherStrings = 0;  // new strings the search could not steer into the cycle
};

CraftedInput CraftFullProbeCycle() {
  const std::vector<bool> cycle = ProbeCycleOfSlotOne();
  auto intoCycle = [&](std::uint32_t key) {
    const int slot = SlotOf(key);
    return slot != 0 && cycle[static_cast<std::size_t>(slot)];
  };
  std::unordered_map<std::uint32_t, int> table;  // key -> code
  int freeCode = 6;
  CraftedInput input;
  int prefix = 0;
  input.pixels.push_back(0);
  struct Node {
    int code, parent;
    std::uint8_t pixel;
  };
  while (input.cycleStrings < 4005) {
    std::vector<Node> nodes{{prefix, -1, 0}};
    int found = -1, foundPixel = 0, fallback = -1, fallbackPixel = 0;
    for (std::size_t i = 0; i < nodes.size() && found < 0; ++i) {
      for (int c = 0; c < 4; ++c) {
        const std::uint32_t key = static_cast<std::uint32_t>(nodes[i].code) * 256 + static_cast<std::uint32_t>(c);
        const auto it = table.find(key);
        if (it != table.end()) {
          nodes.push_back({it->second, static_cast<int>(i), static_cast<std::uint8_t>(c)});
        } else if (intoCycle(key)) {
          found = static_cast<int>(i);
          foundPixel = c;
          break;
        } else if (fallback < 0) {
          fallback = static_cast<int>(i);
          fallbackPixel = c;
        }
      }
    }
    if (found < 0) {
      found = fallback;
      foundPixel = fallbackPixel;
    }
    Bytes path;
    for (int n = found; nodes[static_cast<std::size_t>(n)].parent >= 0; n = nodes[static_cast<std::size_t>(n)].parent)
      path.push_back(nodes[static_cast<std::size_t>(n)].pixel);
    input.pixels.insert(input.pixels.end(), path.rbegin(), path.rend());
    input.pixels.push_back(static_cast<std::uint8_t>(foundPixel));
    const std::uint32_t key =
        static_cast<std::uint32_t>(nodes[static_cast<std::size_t>(found)].code) * 256 + static_cast<std::uint32_t>(foundPixel);
    if (intoCycle(key)) {
      ++input.cycleStrings;
    } else {
      ++input.otherStrings;
    }
    if (input.cycleStrings < 4005) table[key] = freeCode++;
    prefix = foundPixel;
  }
  return input;
}

TEST(LZWProbeCycle, FrameThatFillsOneProbeCycleEncodesAndDecodes) {
  CraftedInput input = CraftFullProbeCycle();
  // Only 4089 codes (6..4094) exist: the cycle must fill before they run out.
  ASSERT_EQ(input.cycleStrings, 4005);
  ASSERT_LT(input.cycleStrings + input.otherStrings, 4089) << "the crafted input no longer fills the cycle";
  const int width = 256;
  const std::size_t rows = input.pixels.size() / width + 2;
  const Bytes tail = PseudoRandomIndices(rows * width - input.pixels.size(), 4, 9);
  input.pixels.insert(input.pixels.end(), tail.begin(), tail.end());
  const int height = static_cast<int>(rows);

  const Bytes file = FinishesWithin(std::chrono::seconds(60), [&] {
    TGIFImage image;
    AddIndexedFrame(image, width, height, DistinctPalette(4), input.pixels);
    return SaveBytes(image);
  });

  const gifdecode::Gif gif = gifdecode::Decode(file);
  ASSERT_EQ(gif.frames.size(), 1u);
  EXPECT_EQ(gif.frames[0].indices, input.pixels);

  const std::vector<TBlock> blocks = SplitBlocks(file);
  ASSERT_EQ(Kinds(blocks), "HIT");
  ASSERT_EQ(file[blocks[1].ImageDataOffset], 2);
  const TLZWCodes decoded = DecodeLZW(2, ReadSubBlocks(file, blocks[1].ImageDataOffset + 1).Data);
  ASSERT_EQ(decoded.Error, "");
  EXPECT_EQ(decoded.Pixels, input.pixels);
  // The full cycle counts as a full table: the table is reset before all codes are used.
  const std::vector<int> segments = SegmentLengths(decoded, 2);
  ASSERT_GE(segments.size(), 2u);
  EXPECT_LT(segments[0], 4096 - 6);
}

}  // namespace
