// Colour lookups: each maps a colour to the index of a palette entry and hands back that
// entry's colour. They serve the dither engines inside ReduceColors.
#pragma once

#include <array>
#include <iterator>
#include <memory>
#include <cstdint>
#include <vector>

#include "GifTypes.h"

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
class TSlowColorLookup final : public TColorLookup {
 public:
  explicit TSlowColorLookup(const TPalette& palette);
  int Lookup(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override {
    const auto cell = static_cast<std::size_t>(CellOf(red, green, blue, kCellShift));
    std::uint8_t state = FState[cell];
    if (state == kUnbuilt) state = BuildCell(static_cast<int>(cell));
    int best;
    if (state == kInline) {
      // Always four candidates: unused places repeat the first one, which changes nothing.
      const TCandidate* c = FCells[cell].Entries;
      best = c[0].Index;
      int bestDistance = Distance(c[0], red, green, blue);
      for (int k = 1; k < kInlineCandidates; ++k) {
        const int d = Distance(c[k], red, green, blue);
        best = d < bestDistance ? c[k].Index : best;
        bestDistance = d < bestDistance ? d : bestDistance;
      }
    } else {
      best = Scan(cell, red, green, blue);
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
  // A cell's candidates: up to four in place, more in FOverflow (then Entries[0] holds the
  // start of the list there as a 32-bit number).
  static constexpr int kInlineCandidates = 4;
  struct TCell {
    TCandidate Entries[kInlineCandidates];
  };
  enum : std::uint8_t { kUnbuilt, kInline, kOverflow };
  // Cells are cubes of 2^kCellShift colours a side. Their candidates are chosen among those
  // of the enclosing cube of each group size in turn, from the largest: every entry that can be
  // nearest anywhere in a cube is among the candidates of that cube.
  static constexpr int kCellShift = 3;
  static constexpr int kGroupShifts[] = {5};
  static constexpr int CellOf(int red, int green, int blue, int shift) {
    const int bits = 8 - shift;
    return ((red >> shift) << (2 * bits)) | ((green >> shift) << bits) | (blue >> shift);
  }
  static int Distance(const TCandidate& c, int red, int green, int blue) {
    const int dr = c.Red - red, dg = c.Green - green, db = c.Blue - blue;
    return dr * dr + dg * dg + db * db;
  }
  std::uint8_t BuildCell(int cell);
  // The block of candidates of the group cube of level `level` holding colour (r, g, b).
  std::int32_t GroupBlock(int level, int red, int green, int blue);
  int Scan(std::size_t cell, int red, int green, int blue) const;

  TPalette FPaletteEntries;
  std::vector<std::uint8_t> FState;        // per cell: kUnbuilt, kInline or kOverflow
  std::unique_ptr<TCell[]> FCells;         // written when a cell is built, not before
  std::vector<TCandidate> FOverflow;       // longer lists: a count (in Red, Green), then the entries
  // Candidate blocks: a count n, then n indices, n reds, n greens and n blues. The block at 0
  // is the whole palette.
  std::vector<std::int32_t> FBlocks;
  std::vector<std::int32_t> FGroupStart[std::size(kGroupShifts)];  // per cube, -1 = not built yet
  std::vector<std::int32_t> FNear;         // scratch: distances of one block's entries
};

// The 20 entries of the platform's default palette.
const std::array<TGIFColor, 20>& DefaultPalette();

}  // namespace gifimage
