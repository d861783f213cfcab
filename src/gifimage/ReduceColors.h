// Colour reduction: a true-colour bitmap becomes 8-bit indices into a palette chosen by the
// reduction mode, with the dither engine of the dither mode.
#pragma once

#include "Bitmap.h"
#include "ColorLookup.h"
#include "GifTypes.h"

namespace gifimage {

// The palette a mode reduces to, before it is padded to 256 entries. The octree modes read
// the source's pixels; rmPalette copies *palette (empty when none is given).
TPalette BuildReductionPalette(const TBitmap& source, TColorReduction reduction,
                               const TPalette* palette, int reductionBits);

// The halftone palette of rmWindows256, 256 distinct colours: the 20 default colours at 0..9
// and 246..255, the 6 x 6 x 6 cube of multiples of 51 without its eight corners (which are
// default colours) at 10..217, and 28 greys 5, 14, .., 248 at 218..245.
const TPalette& HalftonePalette();

// Returns an 8-bit indexed bitmap of the source's size whose Palette has exactly 256 entries
// (the mode's palette, then black), or with rmNone a 24-bit copy of the source. A palette
// without entries (rmPalette with none given) gives an empty bitmap. The source may be in any
// pixel format; reductionBits (3..8) matters for rmQuantize only.
TBitmap ReduceColors(const TBitmap& source, TColorReduction reduction, TDitherMode ditherMode,
                     const TPalette* palette = nullptr, int reductionBits = 8);

// The source's pixels of row y as blue, green, red triples (indexed formats through their
// palette, 32-bit without the unused byte); row must hold 3 * width bytes. Returns a pointer to
// the triples: row itself, or the bitmap's own row when it already is 24-bit.
const std::uint8_t* ReadRow24(const TBitmap& source, int y, std::uint8_t* row);

}  // namespace gifimage
