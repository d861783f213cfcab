// Fuzz target: colour reduction and dithering alone (ReduceColors) on arbitrary pixels, every
// pixel format, widths 1..1000, every reduction and dither mode. Checks:
//  - rmNone copies every colour exactly; rmPalette without a palette gives an empty bitmap;
//  - otherwise an 8-bit bitmap of the source's size whose table is the mode's palette padded
//    with black to 256 entries, and no index beyond the mode's palette;
//  - without dithering, the exact-search modes pick the nearest entry (lowest on ties) and the
//    grey modes pick the level of the documented weighted sum;
//  - the same colours given as a packed 24-bit bitmap reduce to the same indices, so neither the
//    pixel format nor the row stride changes a result.
//
// Input layout (fields past the end read as zero):
//   reduction, dither mode, reduction bits, pixel format, width (16-bit, 1..1000),
//   height (1..64), stride padding, source table size n and n red-green-blue entries
//   (indexed formats), palette flag and, when its bit 0 is set, a count-1 byte and that many
//   red-green-blue entries for rmPalette, then the rest of the input, repeated, as the rows.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "gifimage.h"

using namespace gifimage;
using fuzzsupport::Check;

namespace {

constexpr int kMaxWidth = 1000;
// Rows only repeat what one row exercises (the dither engines carry errors to at most the
// next two rows); fewer of them keep the exhaustive nearest-entry check cheap.
constexpr int kMaxHeight = 64;

std::vector<TGIFColor> ReadColors(fuzzsupport::TFuzzInput& in, int count) {
  std::vector<TGIFColor> colors(static_cast<std::size_t>(count));
  for (TGIFColor& c : colors) {
    c.Red = in.Byte();
    c.Green = in.Byte();
    c.Blue = in.Byte();
  }
  return colors;
}

// The colour of pixel x of a row, decoded here independently of the encoder's ReadRow24.
TGIFColor PixelAt(const std::uint8_t* row, int x, TPixelFormat format, const std::vector<TGIFColor>& palette) {
  auto entry = [&](int index) {
    return index < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(index)] : TGIFColor{};
  };
  switch (format) {
    case TPixelFormat::pf1bit: return entry((row[x / 8] >> (7 - x % 8)) & 1);
    case TPixelFormat::pf4bit: return entry((row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F);
    case TPixelFormat::pf8bit: return entry(row[x]);
    case TPixelFormat::pf24bit: return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    case TPixelFormat::pf32bit: return {row[4 * x + 2], row[4 * x + 1], row[4 * x]};
  }
  return {};
}

bool SearchesExactly(TColorReduction reduction) {
  return reduction == rmWindows20 || reduction == rmWindows256 || reduction == rmWindowsGray ||
         reduction == rmQuantizeWindows || reduction == rmPalette;
}

void CheckNearest(TColorReduction reduction, const TPalette& entries, const TGIFColor& c, int index) {
  const int sum = 77 * c.Red + 150 * c.Green + 29 * c.Blue;
  if (SearchesExactly(reduction)) {
    Check(index == TSlowColorLookup::NearestByScan(entries, c.Red, c.Green, c.Blue), "not the nearest entry");
  } else if (reduction == rmGrayScale) {
    Check(index == sum >> 8, "grey level");
  } else if (reduction == rmMonochrome) {
    Check(index == (sum >= 32513 ? 1 : 0), "black or white");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzsupport::TFuzzInput in(data, size);
  const auto reduction = static_cast<TColorReduction>(in.Byte() % (rmPalette + 1));
  const auto ditherMode = static_cast<TDitherMode>(in.Byte() % (dmBurkes + 1));
  const int reductionBits = 3 + in.Byte() % 6;
  const auto format = static_cast<TPixelFormat>(in.Byte() % 5);
  const int width = in.Word();
  const int height = in.Byte();
  if (width < 1 || width > kMaxWidth || height < 1 || height > kMaxHeight) return 0;
  const std::ptrdiff_t stride = TBitmap::PackedStride(width, format) + in.Byte() % 4;
  const std::vector<TGIFColor> sourcePalette = ReadColors(in, in.Byte());
  const bool paletteGiven = in.Flag(in.Byte(), 0);
  const TPalette givenPalette = paletteGiven ? ReadColors(in, in.Byte() + 1) : TPalette();
  const std::vector<std::uint8_t> bits = in.Tiled(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));

  TBitmap source = TBitmap::View(bits.data(), width, height, stride, format);
  if (format == TPixelFormat::pf1bit || format == TPixelFormat::pf4bit || format == TPixelFormat::pf8bit)
    source.Palette = sourcePalette;
  // The same colours as a packed 24-bit bitmap.
  TBitmap packed(width, height, TPixelFormat::pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const TGIFColor c = PixelAt(bits.data() + y * stride, x, format, sourcePalette);
      std::uint8_t* p = packed.ScanLine(y) + 3 * x;
      p[0] = c.Blue;
      p[1] = c.Green;
      p[2] = c.Red;
    }

  const TPalette* palette = paletteGiven ? &givenPalette : nullptr;
  const TBitmap result = ReduceColors(source, reduction, ditherMode, palette, reductionBits);

  if (reduction == rmNone) {
    Check(result.PixelFormat() == TPixelFormat::pf24bit && result.GetWidth() == width &&
          result.GetHeight() == height, "rmNone copy format or size");
    for (int y = 0; y < height; ++y)
      Check(std::memcmp(result.ScanLine(y), packed.ScanLine(y), 3 * static_cast<std::size_t>(width)) == 0,
            "rmNone changed a colour");
    return 0;
  }
  if (reduction == rmPalette && !paletteGiven) {
    Check(result.GetEmpty(), "rmPalette without a palette gave pixels");
    return 0;
  }

  const TPalette entries = BuildReductionPalette(packed, reduction, palette, reductionBits);
  Check(!entries.empty() && entries.size() <= 256, "mode palette size");
  Check(result.PixelFormat() == TPixelFormat::pf8bit && result.GetWidth() == width &&
        result.GetHeight() == height, "reduced format or size");
  Check(result.Palette.size() == 256, "reduced table not 256 entries");
  for (std::size_t i = 0; i < 256; ++i)
    Check(result.Palette[i] == (i < entries.size() ? entries[i] : TGIFColor{}), "reduced table differs from the mode's palette");

  const TBitmap fromPacked = ReduceColors(packed, reduction, ditherMode, palette, reductionBits);
  Check(fromPacked.Palette == result.Palette, "table depends on the pixel format");
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = result.ScanLine(y);
    Check(std::memcmp(row, fromPacked.ScanLine(y), static_cast<std::size_t>(width)) == 0,
          "indices depend on the pixel format or stride");
    for (int x = 0; x < width; ++x) {
      Check(row[x] < entries.size(), "index beyond the mode's palette");
      if (ditherMode == dmNearest) {
        const std::uint8_t* p = packed.ScanLine(y) + 3 * x;
        CheckNearest(reduction, entries, {p[2], p[1], p[0]}, row[x]);
      }
    }
  }
  return 0;
}
