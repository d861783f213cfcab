// Colour lookups: each maps a colour to the index of a palette entry and hands back that
// entry's colour. They serve the dither engines inside ReduceColors.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "GifTypes.h"
#include "TargetClones.h"

namespace gifimage {

using TPalette = std::vector<TGIFColor>;

class TColorLookup {
 public:
  explicit TColorLookup(int colors) : FColors(colors) {}
  virtual ~TColorLookup() = default;
  // In: the colour to look up. Out: the chosen entry's colour. Returns the entry's index.
  virtual int Lookup(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) = 0;
  // How many palette entries the lookup can return.
  int Colors() const { return FColors; }

 protected:
  int FColors;
};

// 256 grey levels: the index is the luminance.
class TGrayScaleLookup final : public TColorLookup {
 public:
  TGrayScaleLookup() : TColorLookup(256) {}
  int Lookup(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override {
    const auto level = static_cast<std::uint8_t>((77 * red + 150 * green + 29 * blue) >> 8);
    red = green = blue = level;
    return level;
  }
};

// Black (0) and white (1) by the same weighted sum.
class TMonochromeLookup final : public TColorLookup {
 public:
  TMonochromeLookup() : TColorLookup(2) {}
  int Lookup(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override {
    const int sum = 77 * red + 150 * green + 29 * blue;
    const bool white = sum >= 32513;
    red = green = blue = white ? 255 : 0;
    return white ? 1 : 0;
  }
};

// The 6 x 6 x 6 cube of multiples of 51.
class TNetscapeColorLookup final : public TColorLookup {
 public:
  TNetscapeColorLookup() : TColorLookup(216) {}
  int Lookup(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override {
    const int qr = (red + 3) / 51, qg = (green + 3) / 51, qb = (blue + 3) / 51;
    red = static_cast<std::uint8_t>(51 * qr);
    green = static_cast<std::uint8_t>(51 * qg);
    blue = static_cast<std::uint8_t>(51 * qb);
    return 36 * qr + 6 * qg + qb;
  }
};

// Approximate lookup with a cache of one index per 5-bit-per-component cell: the first colour
// looked up in a cell (or a palette entry lying in it) decides the index for the whole cell.
class TFastColorLookup final : public TColorLookup {
 public:
  explicit TFastColorLookup(const TPalette& palette);
  int Lookup(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override {
    const int cell = ((blue >> 3) << 10) | ((green >> 3) << 5) | (red >> 3);
    int index = FInverseLookup[cell];
    if (index < 0) index = FInverseLookup[cell] = static_cast<std::int16_t>(Search(red, green, blue));
    const TGIFColor& entry = FPaletteEntries[index];
    red = entry.Red;
    green = entry.Green;
    blue = entry.Blue;
    return index;
  }

 private:
  int Search(int red, int green, int blue) const;
  TPalette FPaletteEntries;
  std::vector<std::int16_t> FInverseLookup;
};

// Exact nearest entry: smallest squared red-green-blue distance, lowest index on ties.
// The palette is searched through candidate lists per cube of colours (a cell), built when a cell
// is first met: an entry is left out of a cell's list only when some other entry is strictly
// nearer at every colour of the cell, so the answer is always the brute-force answer.
//
// A list is searched eight candidates at a time: each candidate's distance d becomes the key
// d * 256 + index, so the smallest key is the nearest entry with the lowest index among equally
// near ones, whatever the candidates' order. Keys stay below 2^26 (d <= 3 * 255^2).
class TSlowColorLookup final : public TColorLookup {
 public:
  explicit TSlowColorLookup(const TPalette& palette);
  QUORVANE_INLINE_INTO_CLONES int Lookup(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override {
    const auto cell = static_cast<std::size_t>(CellOf(red, green, blue, kCellShift));
    std::uint8_t state = FState[cell];
    if (state == kUnbuilt) state = BuildCell(static_cast<int>(cell));
    int best;
    if (state == kInline) {  // a fixed count, so that the groups are searched side by side
      best = NearestInGroups(&FCells[cell * kInlineGroups], kInlineGroups, red, green, blue);
    } else {  // rare: a list longer than the cell holds
      const TOverflow& list = FOverflowLists[cell];
      best = NearestInGroups(&FOverflow[list.Start], static_cast<int>(list.Groups), red, green, blue);
    }
    const TGIFColor& entry = FPaletteEntries[static_cast<std::size_t>(best)];
    red = entry.Red;
    green = entry.Green;
    blue = entry.Blue;
    return best;
  }

  // The same answer by scanning every entry; for tests and for building cells.
  static int NearestByScan(const TPalette& palette, int red, int green, int blue);
  const TPalette& Palette() const { return FPaletteEntries; }

 private:
  struct TCandidate {
    std::uint8_t Red, Green, Blue, Index;
  };
  // Eight candidates; a list whose length is not a multiple of eight repeats its first
  // candidate in the unused places, which changes no minimum.
  static constexpr int kGroupSize = 8;
  struct alignas(32) TGroup {
    TCandidate Entries[kGroupSize];
  };
  static_assert(sizeof(TCandidate) == 4 && sizeof(TGroup) == 32);
  // A cell holds this many groups in place; a shorter list repeats its first group. Always
  // searching all of them costs less than a hard-to-predict branch on the list's length.
  static constexpr int kInlineGroups = 2;
  // Where the groups of a longer list start in FOverflow, and how many there are.
  struct TOverflow {
    std::uint32_t Start, Groups;
  };
  enum : std::uint8_t { kUnbuilt, kInline, kOverflow };
  // Cells are cubes of 2^kCellShift colours a side. Their candidates are chosen among those
  // of the enclosing cube of each group size in turn, from the largest: every entry that can be
  // nearest anywhere in a cube is among the candidates of that cube.
  static constexpr int kCellShift = 4;
  static constexpr int kGroupShifts[] = {5};
  static constexpr int CellOf(int red, int green, int blue, int shift) {
    const int bits = 8 - shift;
    return ((red >> shift) << (2 * bits)) | ((green >> shift) << bits) | (blue >> shift);
  }

  // The smallest key of `count` (at least 1) groups, as an index. Written with the compiler's
  // vector extension over the candidates' 32-bit words (red in the low byte, index in the high
  // one): a caller compiled for AVX2 gets all eight distances at once, any other gets the same
  // integers a few lanes at a time.
  QUORVANE_INLINE_INTO_CLONES static int NearestInGroups(const TGroup* group, int count, int red, int green,
                                                         int blue) {
    using TLanes = std::int32_t __attribute__((vector_size(32)));
    static_assert(sizeof(TLanes) == sizeof(TGroup) && std::endian::native == std::endian::little);
    TLanes best = TLanes{} + 0x7FFFFFFF;
    for (int k = 0; k < count; ++k) {
      TLanes words;
      std::memcpy(&words, &group[k], sizeof words);
      const TLanes dr = (words & 0xFF) - red;
      const TLanes dg = ((words >> 8) & 0xFF) - green;
      const TLanes db = ((words >> 16) & 0xFF) - blue;
      const TLanes keys = ((dr * dr + dg * dg + db * db) << 8) | ((words >> 24) & 0xFF);
      best = keys < best ? keys : best;
    }
    TLanes other = __builtin_shufflevector(best, best, 4, 5, 6, 7, 0, 1, 2, 3);
    best = other < best ? other : best;
    other = __builtin_shufflevector(best, best, 2, 3, 0, 1, 6, 7, 4, 5);
    best = other < best ? other : best;
    other = __builtin_shufflevector(best, best, 1, 0, 3, 2, 5, 4, 7, 6);
    best = other < best ? other : best;
    return best[0] & 0xFF;
  }
  std::uint8_t BuildCell(int cell);
  // The block of candidates of the group cube of level `level` holding colour (r, g, b).
  std::int32_t GroupBlock(int level, int red, int green, int blue);

  TPalette FPaletteEntries;
  std::vector<std::uint8_t> FState;        // per cell: kUnbuilt, kInline or kOverflow
  std::unique_ptr<TGroup[]> FCells;        // kInlineGroups per cell, written when a kInline cell is built
  std::unique_ptr<TOverflow[]> FOverflowLists;  // per cell, written when a kOverflow cell is built
  std::vector<TGroup> FOverflow;           // the groups of longer lists
  // Candidate blocks: a count n, then n indices, n reds, n greens and n blues. The block at 0
  // is the whole palette.
  std::vector<std::int32_t> FBlocks;
  std::vector<std::int32_t> FGroupStart[std::size(kGroupShifts)];  // per cube, -1 = not built yet
  std::vector<std::int32_t> FNear;         // scratch: distances of one block's entries
};

// The 20 entries of the platform's default palette.
const std::array<TGIFColor, 20>& DefaultPalette();

}  // namespace gifimage
