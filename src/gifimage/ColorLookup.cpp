#include "ColorLookup.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "TargetClones.h"

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

struct TBox {
  int RedLo, GreenLo, BlueLo, Size;
};

// For n entries given as columns, stores each entry's squared distance to the nearest colour
// of the box in nearOut and returns the smallest squared distance of an entry to the farthest
// colour of the box. A plain loop over columns, so that it runs several entries at a time.
QUORVANE_DISTANCE_CLONES int BoxDistances(const std::int32_t* red, const std::int32_t* green,
                                          const std::int32_t* blue, int n, TBox box,
                                          std::int32_t* nearOut) {
  const int rLo = box.RedLo, gLo = box.GreenLo, bLo = box.BlueLo;
  const int rHi = rLo + box.Size - 1, gHi = gLo + box.Size - 1, bHi = bLo + box.Size - 1;
  int limit = INT_MAX;
  for (int i = 0; i < n; ++i) {
    const int r = red[i], g = green[i], b = blue[i];
    const int nr = std::max(rLo - r, 0) + std::max(r - rHi, 0);
    const int ng = std::max(gLo - g, 0) + std::max(g - gHi, 0);
    const int nb = std::max(bLo - b, 0) + std::max(b - bHi, 0);
    const int fr = std::max(r - rLo, rHi - r), fg = std::max(g - gLo, gHi - g), fb = std::max(b - bLo, bHi - b);
    nearOut[i] = nr * nr + ng * ng + nb * nb;
    limit = std::min(limit, fr * fr + fg * fg + fb * fb);
  }
  return limit;
}

}  // namespace

TSlowColorLookup::TSlowColorLookup(const TPalette& palette)
    : TColorLookup(static_cast<int>(std::min<std::size_t>(palette.size(), 256))),
      FPaletteEntries(palette.begin(), palette.begin() + FColors),
      FState(std::size_t{1} << (3 * (8 - kCellShift)), kUnbuilt),
      FCells(new TGroup[FState.size() * kInlineGroups]),
      FOverflowLists(new TOverflow[FState.size()]),
      FNear(static_cast<std::size_t>(FColors) + 1) {
  FOverflow.reserve(1024);
  for (std::size_t level = 0; level < std::size(kGroupShifts); ++level)
    FGroupStart[level].assign(std::size_t{1} << (3 * (8 - kGroupShifts[level])), -1);
  FBlocks.reserve(32768);
  FBlocks.resize(1 + 4 * static_cast<std::size_t>(FColors));
  FBlocks[0] = FColors;
  for (int i = 0; i < FColors; ++i) {
    const TGIFColor& e = FPaletteEntries[static_cast<std::size_t>(i)];
    FBlocks[static_cast<std::size_t>(1 + i)] = i;
    FBlocks[static_cast<std::size_t>(1 + FColors + i)] = e.Red;
    FBlocks[static_cast<std::size_t>(1 + 2 * FColors + i)] = e.Green;
    FBlocks[static_cast<std::size_t>(1 + 3 * FColors + i)] = e.Blue;
  }
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
std::int32_t TSlowColorLookup::GroupBlock(int level, int red, int green, int blue) {
  const int shift = kGroupShifts[level];
  const auto cube = static_cast<std::size_t>(CellOf(red, green, blue, shift));
  std::int32_t& known = FGroupStart[level][cube];
  if (known >= 0) return known;

  const std::int32_t parent = level == 0 ? 0 : GroupBlock(level - 1, red, green, blue);
  const int side = 1 << shift, mask = ~(side - 1);
  const TBox box{red & mask, green & mask, blue & mask, side};
  const int n = FBlocks[static_cast<std::size_t>(parent)];
  const std::int32_t* from = FBlocks.data() + parent + 1;
  const int limit = BoxDistances(from + n, from + 2 * n, from + 3 * n, n, box, FNear.data());
  int count = 0;
  for (int i = 0; i < n; ++i) count += FNear[static_cast<std::size_t>(i)] <= limit;

  const auto start = static_cast<std::int32_t>(FBlocks.size());
  FBlocks.resize(FBlocks.size() + 1 + 4 * static_cast<std::size_t>(count));
  from = FBlocks.data() + parent + 1;  // the resize may have moved the blocks
  std::int32_t* to = FBlocks.data() + start;
  *to++ = count;
  for (int i = 0, k = 0; i < n; ++i) {
    if (FNear[static_cast<std::size_t>(i)] > limit) continue;
    for (int column = 0; column < 4; ++column) to[column * count + k] = from[column * n + i];
    ++k;
  }
  known = start;  // FGroupStart's tables never change size, so the reference still holds
  return start;
}

std::uint8_t TSlowColorLookup::BuildCell(int cell) {
  constexpr int bits = 8 - kCellShift, mask = (1 << bits) - 1, side = 1 << kCellShift;
  const int r = (cell >> (2 * bits)) * side, g = ((cell >> bits) & mask) * side, b = (cell & mask) * side;
  const std::int32_t group = GroupBlock(static_cast<int>(std::size(kGroupShifts)) - 1, r, g, b);
  const std::int32_t* block = FBlocks.data() + group;
  const int n = *block++;

  const int limit = BoxDistances(block + n, block + 2 * n, block + 3 * n, n, TBox{r, g, b, side}, FNear.data());
  TGroup found[256 / kGroupSize + 1] = {};  // at least one entry always qualifies; one spare for the last write
  int count = 0;
  for (int k = 0; k < n; ++k) {  // written without a branch: whether an entry qualifies is hard to predict
    found[count / kGroupSize].Entries[count % kGroupSize] = {
        static_cast<std::uint8_t>(block[n + k]), static_cast<std::uint8_t>(block[2 * n + k]),
        static_cast<std::uint8_t>(block[3 * n + k]), static_cast<std::uint8_t>(block[k])};
    count += FNear[static_cast<std::size_t>(k)] <= limit;
  }
  const int groups = (count + kGroupSize - 1) / kGroupSize;
  for (int k = count; k < groups * kGroupSize; ++k) found[k / kGroupSize].Entries[k % kGroupSize] = found[0].Entries[0];
  std::uint8_t& state = FState[static_cast<std::size_t>(cell)];
  if (groups <= kInlineGroups) {
    for (int k = 0; k < kInlineGroups; ++k)
      FCells[static_cast<std::size_t>(cell) * kInlineGroups + static_cast<std::size_t>(k)] = found[k < groups ? k : 0];
    state = kInline;
  } else {
    FOverflowLists[static_cast<std::size_t>(cell)] = {static_cast<std::uint32_t>(FOverflow.size()),
                                                      static_cast<std::uint32_t>(groups)};
    FOverflow.insert(FOverflow.end(), found, found + groups);
    state = kOverflow;
  }
  return state;
}

}  // namespace gifimage
