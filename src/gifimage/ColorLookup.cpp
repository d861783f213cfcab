#include "ColorLookup.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace gifimage {

const std::array<TGIFColor, 20>& DefaultPalette() {
  static const std::array<TGIFColor, 20> entries = {{
      {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
      {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
      {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
      {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
  }};
  return entries;
}

// ---- TFastColorLookup ----

TFastColorLookup::TFastColorLookup(const TPalette& palette)
    : TColorLookup(static_cast<int>(std::min<std::size_t>(palette.size(), 256))),
      FPaletteEntries(palette.begin(), palette.begin() + FColors),
      FInverseLookup(32768, -1) {
  for (int i = 0; i < FColors; ++i) {
    const TGIFColor& e = FPaletteEntries[static_cast<std::size_t>(i)];
    const int cell = ((e.Blue >> 3) << 10) | ((e.Green >> 3) << 5) | (e.Red >> 3);
    if (FInverseLookup[cell] < 0) FInverseLookup[cell] = static_cast<std::int16_t>(i);
  }
}

int TFastColorLookup::Search(int red, int green, int blue) const {
  int best = 0;
  int bestSum = INT_MAX;
  for (int i = 0; i < FColors; ++i) {
    const TGIFColor& e = FPaletteEntries[static_cast<std::size_t>(i)];
    const int sum = std::abs(e.Red - red) + std::abs(e.Green - green) + std::abs(e.Blue - blue);
    if (sum < bestSum) {
      bestSum = sum;
      best = i;
    }
  }
  return best;
}

// ---- TSlowColorLookup ----

namespace {

// Squared distance from value v to the nearest and to the farthest point of [lo, hi].
inline int NearSquare(int v, int lo, int hi) {
  const int d = v < lo ? lo - v : (v > hi ? v - hi : 0);
  return d * d;
}
inline int FarSquare(int v, int lo, int hi) {
  const int d = std::max(v - lo, hi - v);
  return d * d;
}

struct TBox {
  int RedLo, GreenLo, BlueLo, Size;
  int Near(const TGIFColor& e) const {
    return NearSquare(e.Red, RedLo, RedLo + Size - 1) + NearSquare(e.Green, GreenLo, GreenLo + Size - 1) +
           NearSquare(e.Blue, BlueLo, BlueLo + Size - 1);
  }
  int Far(const TGIFColor& e) const {
    return FarSquare(e.Red, RedLo, RedLo + Size - 1) + FarSquare(e.Green, GreenLo, GreenLo + Size - 1) +
           FarSquare(e.Blue, BlueLo, BlueLo + Size - 1);
  }
};

}  // namespace

TSlowColorLookup::TSlowColorLookup(const TPalette& palette)
    : TColorLookup(static_cast<int>(std::min<std::size_t>(palette.size(), 256))),
      FPaletteEntries(palette.begin(), palette.begin() + FColors),
      FCellStart(std::size_t{1} << (3 * (8 - kCellShift)), -1),
      FCoarseStart(std::size_t{1} << (3 * (8 - kCoarseShift)), -1) {
  FCandidates.reserve(4096);
}

int TSlowColorLookup::NearestByScan(const TPalette& palette, int red, int green, int blue) {
  int best = 0;
  int bestDistance = INT_MAX;
  for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
    const int dr = palette[i].Red - red, dg = palette[i].Green - green, db = palette[i].Blue - blue;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

// An entry whose nearest distance to a box exceeds some entry's farthest distance to it is
// strictly farther than that entry at every colour of the box: it can neither win nor tie.
// Every other entry stays a candidate, in index order, so a scan with a strict comparison
// finds the lowest index among equally near entries.
std::int32_t TSlowColorLookup::BuildCoarseCell(int coarse) {
  constexpr int bits = 8 - kCoarseShift, mask = (1 << bits) - 1, side = 1 << kCoarseShift;
  const TBox box{(coarse >> (2 * bits)) * side, ((coarse >> bits) & mask) * side, (coarse & mask) * side, side};
  int limit = INT_MAX;
  for (const TGIFColor& e : FPaletteEntries) limit = std::min(limit, box.Far(e));
  const auto start = static_cast<std::int32_t>(FCoarse.size());
  FCoarse.push_back(0);
  for (int i = 0; i < FColors; ++i) {
    if (box.Near(FPaletteEntries[static_cast<std::size_t>(i)]) <= limit) {
      FCoarse.push_back(static_cast<std::uint16_t>(i));
      ++FCoarse[static_cast<std::size_t>(start)];
    }
  }
  FCoarseStart[static_cast<std::size_t>(coarse)] = start;
  return start;
}

std::int32_t TSlowColorLookup::BuildCell(int cell) {
  constexpr int bits = 8 - kCellShift, mask = (1 << bits) - 1, side = 1 << kCellShift;
  const int r = (cell >> (2 * bits)) * side, g = ((cell >> bits) & mask) * side, b = (cell & mask) * side;
  const int coarse = CellOf(r, g, b, kCoarseShift);
  std::int32_t coarseStart = FCoarseStart[static_cast<std::size_t>(coarse)];
  if (coarseStart < 0) coarseStart = BuildCoarseCell(coarse);
  const std::uint16_t* list = &FCoarse[static_cast<std::size_t>(coarseStart)];
  const int count = *list++;

  const TBox box{r, g, b, side};
  int limit = INT_MAX;
  for (int k = 0; k < count; ++k) limit = std::min(limit, box.Far(FPaletteEntries[list[k]]));
  const auto start = static_cast<std::int32_t>(FCandidates.size());
  for (int k = 0; k < count; ++k) {
    const TGIFColor& e = FPaletteEntries[list[k]];
    if (box.Near(e) <= limit) {
      FCandidates.push_back({e.Red, e.Green, e.Blue, static_cast<std::int16_t>(list[k])});
    }
  }
  FCandidates.push_back({0, 0, 0, kEndOfList});
  FCellStart[static_cast<std::size_t>(cell)] = start;
  return start;
}

}  // namespace gifimage
