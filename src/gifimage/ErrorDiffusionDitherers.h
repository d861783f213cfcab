// Error diffusion over the current row and one to three rows below (Stucki, Sierra,
// Jarvis-Judice-Ninke, Burkes, Stevenson-Arce).
//
// Each channel keeps one error array per row, Width + 2 * Guard entries, so writes up to Guard
// columns beyond either edge need no test; column x uses entry x + Guard in both directions.
// A pixel's corrected value is its input plus the current row's entry, divided (rounded half
// up, truncating toward zero) by the engine's divisor, clamped to 0..255; its error is spread
// with integer weights that sum to the divisor. Offsets are in the direction of travel.
#pragma once

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "DitherEngine.h"

namespace gifimage {

template <int Rows, int Guard>
class TRowDiffusionDitherer : public TDitherEngine {
 public:
  // Weights[row][offset + Guard] for offsets -Guard..+Guard; row 0 is the current row.
  using TWeights = std::array<std::array<int, 2 * Guard + 1>, Rows>;

  TRowDiffusionDitherer(int width, TColorLookup& lookup) : TDitherEngine(width, lookup) {
    for (auto& row : FErrors) {
      for (auto& channel : row) channel.assign(static_cast<std::size_t>(width) + 2 * Guard, 0);
    }
  }

  // Clears the used current row, moves every row up by one and reverses the direction.
  void NextLine() override {
    for (auto& channel : FErrors[0]) std::fill(channel.begin(), channel.end(), 0);
    for (int r = 0; r + 1 < Rows; ++r) std::swap(FErrors[r], FErrors[r + 1]);
    TDitherEngine::NextLine();
    FPosition = FDirection > 0 ? Guard : Width + Guard - 1;
  }

 protected:
  template <TWeights W, int Divisor, class TLookup>
  int DitherRow(TLookup& lookup, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
    const int corrected[3] = {Correct<Divisor>(red, 0), Correct<Divisor>(green, 1),
                              Correct<Divisor>(blue, 2)};
    red = static_cast<std::uint8_t>(corrected[0]);
    green = static_cast<std::uint8_t>(corrected[1]);
    blue = static_cast<std::uint8_t>(corrected[2]);
    const int index = lookup.Lookup(red, green, blue);
    const int chosen[3] = {red, green, blue};
    for (int c = 0; c < 3; ++c) {
      const int e = corrected[c] - chosen[c];
      if (e == 0) continue;
      for (int r = 0; r < Rows; ++r) {
        int* entry = FErrors[r][c].data() + FPosition;
        for (int k = 0; k < 2 * Guard + 1; ++k) {
          if (W[r][k] != 0) entry[(k - Guard) * FDirection] += W[r][k] * e;
        }
      }
    }
    FPosition += FDirection;
    NextColumn();
    return index;
  }

 private:
  template <int Divisor>
  int Correct(int value, int channel) const {
    return ClampByte(value + (FErrors[0][channel][FPosition] + Divisor / 2) / Divisor);
  }

  std::array<std::array<std::vector<int>, 3>, Rows> FErrors;  // [row][channel]
  int FPosition = Guard;
};

// Current row and two rows below.
using T5by3Ditherer = TRowDiffusionDitherer<3, 2>;

#define QUORVANE_DITHER_OVERRIDES(Weights, Divisor)                                          \
  int Dither(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override {          \
    return DitherWith(*FLookup, red, green, blue);                                           \
  }                                                                                          \
  template <class TLookup>                                                                   \
  int DitherWith(TLookup& lookup, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) { \
    return this->template DitherRow<Weights, Divisor>(lookup, red, green, blue);             \
  }

class TStuckiDitherer final : public T5by3Ditherer {
 public:
  static constexpr int kDivisor = 42;
  static constexpr TWeights kWeights = {{{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}, {1, 2, 4, 2, 1}}};
  using T5by3Ditherer::T5by3Ditherer;
  QUORVANE_DITHER_OVERRIDES(kWeights, kDivisor)
};

class TSierraDitherer final : public T5by3Ditherer {
 public:
  static constexpr int kDivisor = 32;
  static constexpr TWeights kWeights = {{{0, 0, 0, 5, 3}, {2, 4, 5, 4, 2}, {0, 2, 3, 2, 0}}};
  using T5by3Ditherer::T5by3Ditherer;
  QUORVANE_DITHER_OVERRIDES(kWeights, kDivisor)
};

class TJaJuNiDitherer final : public T5by3Ditherer {
 public:
  static constexpr int kDivisor = 48;
  static constexpr TWeights kWeights = {{{0, 0, 0, 7, 5}, {3, 5, 7, 5, 3}, {1, 3, 5, 3, 1}}};
  using T5by3Ditherer::T5by3Ditherer;
  QUORVANE_DITHER_OVERRIDES(kWeights, kDivisor)
};

// Current row and one row below.
class TBurkesDitherer final : public TRowDiffusionDitherer<2, 2> {
 public:
  static constexpr int kDivisor = 32;
  static constexpr TWeights kWeights = {{{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}}};
  using TRowDiffusionDitherer::TRowDiffusionDitherer;
  QUORVANE_DITHER_OVERRIDES(kWeights, kDivisor)
};

// Stevenson-Arce: current row and three rows below, offsets up to three columns.
class TSteveArcheDitherer final : public TRowDiffusionDitherer<4, 3> {
 public:
  static constexpr int kDivisor = 200;
  static constexpr TWeights kWeights = {{{0, 0, 0, 0, 0, 32, 0},
                                         {12, 0, 26, 0, 30, 0, 16},
                                         {0, 12, 0, 26, 0, 12, 0},
                                         {5, 0, 12, 0, 12, 0, 5}}};
  using TRowDiffusionDitherer::TRowDiffusionDitherer;
  QUORVANE_DITHER_OVERRIDES(kWeights, kDivisor)
};

#undef QUORVANE_DITHER_OVERRIDES

}  // namespace gifimage
