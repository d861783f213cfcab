// Floyd-Steinberg error diffusion: 7/16 of a pixel's error to the next pixel of the row and
// 3/16, 5/16, 1/16 to the row below, kept in one array per channel plus running sums.
//
// The array entry at the current position is both read (the error from the row above) and
// overwritten (the finished error of the row below) by the same pixel; in a left-to-right row
// column x uses entry x, in a right-to-left row entry x + 2. A channel whose error is 0 leaves
// its entry and running sums untouched. Divisions truncate toward zero.
#pragma once

#include <cstddef>
#include <vector>

#include "DitherEngine.h"

namespace gifimage {

class TFloydSteinbergDitherer final : public TDitherEngine {
 public:
  TFloydSteinbergDitherer(int width, TColorLookup& lookup)
      : TDitherEngine(width, lookup),
        ErrorsR(static_cast<std::size_t>(width) + 2, 0),
        ErrorsG(static_cast<std::size_t>(width) + 2, 0),
        ErrorsB(static_cast<std::size_t>(width) + 2, 0) {}

  int Dither(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override {
    return DitherWith(*FLookup, red, green, blue);
  }

  template <class TLookup>
  int DitherWith(TLookup& lookup, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
    int& entryR = ErrorsR[FPosition];
    int& entryG = ErrorsG[FPosition];
    int& entryB = ErrorsB[FPosition];
    CurrentErrorR = ClampByte(red + (entryR + CurrentErrorR + 8) / 16);
    CurrentErrorG = ClampByte(green + (entryG + CurrentErrorG + 8) / 16);
    CurrentErrorB = ClampByte(blue + (entryB + CurrentErrorB + 8) / 16);
    red = static_cast<std::uint8_t>(CurrentErrorR);
    green = static_cast<std::uint8_t>(CurrentErrorG);
    blue = static_cast<std::uint8_t>(CurrentErrorB);
    const int index = lookup.Lookup(red, green, blue);
    CurrentErrorR -= red;
    CurrentErrorG -= green;
    CurrentErrorB -= blue;
    Spread(entryR, CurrentErrorR, BelowErrorR, BelowPrevErrorR);
    Spread(entryG, CurrentErrorG, BelowErrorG, BelowPrevErrorG);
    Spread(entryB, CurrentErrorB, BelowErrorB, BelowPrevErrorB);
    FPosition += FDirection;
    NextColumn();
    return index;
  }

  // A whole row, as DitherWith for each pixel in the engine's direction: in holds the row's
  // pixels (blue, green, red) pixelStep bytes apart, out gets one index per pixel. The running
  // errors stay in locals over the row, where the stores of indices cannot disturb them.
  template <class TLookup>
  QUORVANE_INLINE_INTO_CLONES void DitherRow(TLookup& lookup, const std::uint8_t* in, int pixelStep, std::uint8_t* out) {
    const int direction = FDirection;
    int x = FColumn, position = FPosition;
    int currentR = CurrentErrorR, currentG = CurrentErrorG, currentB = CurrentErrorB;
    int belowR = BelowErrorR, belowG = BelowErrorG, belowB = BelowErrorB;
    int belowPrevR = BelowPrevErrorR, belowPrevG = BelowPrevErrorG, belowPrevB = BelowPrevErrorB;
    int* errorsR = ErrorsR.data();
    int* errorsG = ErrorsG.data();
    int* errorsB = ErrorsB.data();
    for (; x >= 0 && x < Width; x += direction, position += direction) {
      const std::uint8_t* p = in + static_cast<std::ptrdiff_t>(x) * pixelStep;
      int& entryR = errorsR[position];
      int& entryG = errorsG[position];
      int& entryB = errorsB[position];
      currentR = ClampByte(p[2] + (entryR + currentR + 8) / 16);
      currentG = ClampByte(p[1] + (entryG + currentG + 8) / 16);
      currentB = ClampByte(p[0] + (entryB + currentB + 8) / 16);
      auto red = static_cast<std::uint8_t>(currentR);
      auto green = static_cast<std::uint8_t>(currentG);
      auto blue = static_cast<std::uint8_t>(currentB);
      const int index = lookup.Lookup(red, green, blue);
      currentR -= red;
      currentG -= green;
      currentB -= blue;
      Spread(entryR, currentR, belowR, belowPrevR);
      Spread(entryG, currentG, belowG, belowPrevG);
      Spread(entryB, currentB, belowB, belowPrevB);
      out[x] = static_cast<std::uint8_t>(index);
    }
    FColumn = x;
    FPosition = position;
    CurrentErrorR = currentR, CurrentErrorG = currentG, CurrentErrorB = currentB;
    BelowErrorR = belowR, BelowErrorG = belowG, BelowErrorB = belowB;
    BelowPrevErrorR = belowPrevR, BelowPrevErrorG = belowPrevG, BelowPrevErrorB = belowPrevB;
  }

  void NextLine() override {
    ErrorsR[FPosition] = BelowPrevErrorR;
    ErrorsG[FPosition] = BelowPrevErrorG;
    ErrorsB[FPosition] = BelowPrevErrorB;
    CurrentErrorR = CurrentErrorG = CurrentErrorB = 0;
    BelowErrorR = BelowErrorG = BelowErrorB = 0;
    BelowPrevErrorR = BelowPrevErrorG = BelowPrevErrorB = 0;
    TDitherEngine::NextLine();
    FPosition = FDirection > 0 ? 0 : Width + 1;
  }

 private:
  // current holds the error e of this pixel on entry. Written as selects rather than an
  // early return: whether e is 0 is hard to predict, and current is 0 = 7e either way.
  static void Spread(int& entry, int& current, int& below, int& belowPrev) {
    const int e = current;
    const bool spread = e != 0;
    entry = spread ? belowPrev + 3 * e : entry;
    belowPrev = spread ? below + 5 * e : belowPrev;
    below = spread ? e : below;
    current = 7 * e;
  }

  std::vector<int> ErrorsR, ErrorsG, ErrorsB;
  int FPosition = 0;  // the current entry of all three arrays
  int CurrentErrorR = 0, CurrentErrorG = 0, CurrentErrorB = 0;
  int BelowErrorR = 0, BelowErrorG = 0, BelowErrorB = 0;
  int BelowPrevErrorR = 0, BelowPrevErrorG = 0, BelowPrevErrorB = 0;
};

}  // namespace gifimage
