// The dither engine base, which is also the nearest-colour engine (dmNearest).
//
// Every engine is fed the pixels of a row in its own direction of travel, starting at
// FColumn; Dither advances FColumn by FDirection and NextLine, called after each row, reverses
// the direction, so rows alternate left to right and right to left, starting left to right.
// Dither takes the pixel's colour and hands back the chosen palette entry's colour.
#pragma once

#include <cstdint>

#include "ColorLookup.h"

namespace gifimage {

class TDitherEngine {
 public:
  TDitherEngine(int width, TColorLookup& lookup) : FLookup(&lookup), Width(width) {}
  virtual ~TDitherEngine() = default;
  TDitherEngine(const TDitherEngine&) = delete;
  TDitherEngine& operator=(const TDitherEngine&) = delete;

  virtual int Dither(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
    return DitherWith(*FLookup, red, green, blue);
  }
  virtual void NextLine() {
    FDirection = -FDirection;
    FColumn = FDirection > 0 ? 0 : Width - 1;
  }
  void NextColumn() { FColumn += FDirection; }

  // Dither with the lookup's concrete type known, so the per-pixel call needs no indirection.
  // Every engine offers this; the virtual Dither calls it with FLookup. lookup must be FLookup.
  template <class TLookup>
  int DitherWith(TLookup& lookup, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
    const int index = lookup.Lookup(red, green, blue);
    NextColumn();
    return index;
  }

  int Column() const { return FColumn; }
  int Direction() const { return FDirection; }

 protected:
  int FDirection = 1;
  int FColumn = 0;
  TColorLookup* FLookup;
  int Width;
};

inline int ClampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

}  // namespace gifimage
