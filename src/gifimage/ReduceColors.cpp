#include "ReduceColors.h"

#include <algorithm>
#include <type_traits>
#include <vector>

#include "ColorQuantizer.h"
#include "DitherEngine.h"
#include "ErrorDiffusionDitherers.h"
#include "FloydSteinbergDitherer.h"
#include "GIFException.h"
#include "TargetClones.h"

namespace gifimage {

const std::uint8_t* ReadRow24(const TBitmap& source, int y, std::uint8_t* row) {
  const std::uint8_t* in = source.ScanLine(y);
  const int width = source.GetWidth();
  auto put = [&](int x, int index) {
    TGIFColor c{};
    if (index < static_cast<int>(source.Palette.size())) c = source.Palette[static_cast<std::size_t>(index)];
    row[3 * x] = c.Blue;
    row[3 * x + 1] = c.Green;
    row[3 * x + 2] = c.Red;
  };
  switch (source.PixelFormat()) {
    case TPixelFormat::pf24bit:
      return in;
    case TPixelFormat::pf32bit:
      for (int x = 0; x < width; ++x) {
        row[3 * x] = in[4 * x];
        row[3 * x + 1] = in[4 * x + 1];
        row[3 * x + 2] = in[4 * x + 2];
      }
      return row;
    case TPixelFormat::pf8bit:
      for (int x = 0; x < width; ++x) put(x, in[x]);
      return row;
    case TPixelFormat::pf4bit:
      for (int x = 0; x < width; ++x) put(x, (in[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F);
      return row;
    case TPixelFormat::pf1bit:
      for (int x = 0; x < width; ++x) put(x, (in[x / 8] >> (7 - x % 8)) & 1);
      return row;
  }
  return in;
}

const TPalette& HalftonePalette() {
  static const TPalette palette = [] {
    TPalette p;
    const auto& system = DefaultPalette();
    p.insert(p.end(), system.begin(), system.begin() + 10);
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) {
          const bool corner = (r == 0 || r == 5) && (g == 0 || g == 5) && (b == 0 || b == 5);
          if (corner) continue;  // the eight corners are system colours already
          p.push_back({static_cast<std::uint8_t>(51 * r), static_cast<std::uint8_t>(51 * g),
                       static_cast<std::uint8_t>(51 * b)});
        }
    for (int i = 0; i < 28; ++i) {
      const auto v = static_cast<std::uint8_t>(5 + 9 * i);
      p.push_back({v, v, v});
    }
    p.insert(p.end(), system.begin() + 10, system.end());
    return p;
  }();
  return palette;
}

namespace {

// Octree colours of the source, at most maxColors of them.
TPalette OctreeColors(const TBitmap& source, int maxColors) {
  TColorQuantizer quantizer(maxColors, 8);
  if (source.PixelFormat() == TPixelFormat::pf24bit || source.PixelFormat() == TPixelFormat::pf32bit) {
    quantizer.ProcessImage(source);
  } else {
    std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(source.GetWidth()));
    for (int y = 0; y < source.GetHeight(); ++y) {
      const std::uint8_t* p = ReadRow24(source, y, row.data());
      for (int x = 0; x < source.GetWidth(); ++x, p += 3) quantizer.AddPixel(p[2], p[1], p[0]);
    }
  }
  TPalette colors = quantizer.GetColorTable();
  if (static_cast<int>(colors.size()) > maxColors) colors.resize(static_cast<std::size_t>(maxColors));
  return colors;
}

// Feeds every row to the engine in the engine's direction and stores the indices.
template <class TEngine, class TLookup>
QUORVANE_INLINE_INTO_CLONES void RunEngine(TEngine& engine, TLookup& lookup, const TBitmap& source, TBitmap& result) {
  const int width = source.GetWidth();
  const bool direct = source.PixelFormat() == TPixelFormat::pf24bit ||
                      source.PixelFormat() == TPixelFormat::pf32bit;
  const int step = source.PixelFormat() == TPixelFormat::pf32bit ? 4 : 3;
  std::vector<std::uint8_t> row(direct ? 0 : 3 * static_cast<std::size_t>(width));
  for (int y = 0; y < source.GetHeight(); ++y) {
    const std::uint8_t* in = direct ? source.ScanLine(y) : ReadRow24(source, y, row.data());
    const int pixelStep = direct ? step : 3;
    std::uint8_t* out = result.ScanLine(y);
    if constexpr (std::is_same_v<TEngine, TDitherEngine>) {
      // Nearest colour: only the lookup (whose cache may depend on the order) sees the pixels.
      const int direction = engine.Direction();
      for (int x = engine.Column(); x >= 0 && x < width; x += direction) {
        const std::uint8_t* p = in + x * pixelStep;
        std::uint8_t red = p[2], green = p[1], blue = p[0];
        out[x] = static_cast<std::uint8_t>(lookup.Lookup(red, green, blue));
      }
    } else if constexpr (std::is_same_v<TEngine, TFloydSteinbergDitherer>) {
      engine.DitherRow(lookup, in, pixelStep, out);
    } else {
      for (int x = engine.Column(); x >= 0 && x < width; x = engine.Column()) {
        const std::uint8_t* p = in + x * pixelStep;
        std::uint8_t red = p[2], green = p[1], blue = p[0];
        out[x] = static_cast<std::uint8_t>(engine.DitherWith(lookup, red, green, blue));
      }
    }
    engine.NextLine();
  }
}

template <class TEngine, class TLookup>
QUORVANE_INLINE_INTO_CLONES void RunNewEngine(TLookup& lookup, const TBitmap& source, TBitmap& result) {
  TEngine engine(source.GetWidth(), lookup);
  RunEngine(engine, lookup, source, result);
}

// The program's two everyday mappings with the exact lookup, each compiled for AVX2 too: the
// lookup's distances run eight candidates at a time there.
QUORVANE_DISTANCE_CLONES void MapNearest(TSlowColorLookup& lookup, const TBitmap& source, TBitmap& result) {
  RunNewEngine<TDitherEngine>(lookup, source, result);
}
QUORVANE_DISTANCE_CLONES void MapFloydSteinberg(TSlowColorLookup& lookup, const TBitmap& source, TBitmap& result) {
  RunNewEngine<TFloydSteinbergDitherer>(lookup, source, result);
}

template <class TLookup>
void Dither(TLookup& lookup, TDitherMode mode, const TBitmap& source, TBitmap& result) {
  if constexpr (std::is_same_v<TLookup, TSlowColorLookup>) {
    if (mode == dmNearest) return MapNearest(lookup, source, result);
    if (mode == dmFloydSteinberg) return MapFloydSteinberg(lookup, source, result);
  }
  switch (mode) {
    case dmFloydSteinberg: return RunNewEngine<TFloydSteinbergDitherer>(lookup, source, result);
    case dmStucki: return RunNewEngine<TStuckiDitherer>(lookup, source, result);
    case dmSierra: return RunNewEngine<TSierraDitherer>(lookup, source, result);
    case dmJaJuNI: return RunNewEngine<TJaJuNiDitherer>(lookup, source, result);
    case dmSteveArche: return RunNewEngine<TSteveArcheDitherer>(lookup, source, result);
    case dmBurkes: return RunNewEngine<TBurkesDitherer>(lookup, source, result);
    case dmNearest:
      break;
  }
  RunNewEngine<TDitherEngine>(lookup, source, result);
}

}  // namespace

TPalette BuildReductionPalette(const TBitmap& source, TColorReduction reduction,
                               const TPalette* palette, int reductionBits) {
  const auto& system = DefaultPalette();
  switch (reduction) {
    case rmWindows20:
      return TPalette(system.begin(), system.end());
    case rmWindows256:
      return HalftonePalette();
    case rmWindowsGray:
      return {{0, 0, 0}, {128, 128, 128}, {192, 192, 192}, {255, 255, 255}};
    case rmMonochrome:
      return {{0, 0, 0}, {255, 255, 255}};
    case rmGrayScale: {
      TPalette p(256);
      for (int i = 0; i < 256; ++i) p[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i)};
      return p;
    }
    case rmNetscape: {
      TPalette p;
      for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
          for (int b = 0; b < 6; ++b)
            p.push_back({static_cast<std::uint8_t>(51 * r), static_cast<std::uint8_t>(51 * g),
                         static_cast<std::uint8_t>(51 * b)});
      return p;
    }
    case rmQuantize: {
      if (reductionBits < 3 || reductionBits > 8) throw GIFException(msg::InvalidBitsPerPixel);
      const int count = 1 << reductionBits;
      TPalette p = OctreeColors(source, count);
      p.resize(static_cast<std::size_t>(count));  // slots without a leaf stay black
      return p;
    }
    case rmQuantizeWindows: {
      TPalette p(system.begin(), system.begin() + 10);
      TPalette octree = OctreeColors(source, 236);
      octree.resize(236);
      p.insert(p.end(), octree.begin(), octree.end());
      p.insert(p.end(), system.begin() + 10, system.end());
      return p;
    }
    case rmPalette:
      return palette ? TPalette(palette->begin(), palette->begin() + std::min<std::size_t>(palette->size(), 256))
                     : TPalette();
    case rmNone:
      break;
  }
  return {};
}

TBitmap ReduceColors(const TBitmap& source, TColorReduction reduction, TDitherMode ditherMode,
                     const TPalette* palette, int reductionBits) {
  const int width = source.GetWidth(), height = source.GetHeight();
  if (reduction == rmNone) {
    TBitmap copy(width, height, TPixelFormat::pf24bit);
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = ReadRow24(source, y, copy.ScanLine(y));
      if (row != copy.ScanLine(y)) std::copy(row, row + 3 * static_cast<std::size_t>(width), copy.ScanLine(y));
    }
    return copy;
  }

  const TPalette entries = BuildReductionPalette(source, reduction, palette, reductionBits);
  if (entries.empty()) return TBitmap();

  TBitmap result(width, height, TPixelFormat::pf8bit);
  // The program's two modes get engines built for their lookup's own type; the others go
  // through the lookup's virtual call, which gives the same indices a little slower.
  switch (reduction) {
    case rmGrayScale: {
      TGrayScaleLookup lookup;
      Dither(lookup, ditherMode, source, result);
      break;
    }
    case rmMonochrome: {
      TMonochromeLookup lookup;
      Dither(static_cast<TColorLookup&>(lookup), ditherMode, source, result);
      break;
    }
    case rmNetscape: {
      TNetscapeColorLookup lookup;
      Dither(static_cast<TColorLookup&>(lookup), ditherMode, source, result);
      break;
    }
    case rmQuantize: {
      TFastColorLookup lookup(entries);
      Dither(static_cast<TColorLookup&>(lookup), ditherMode, source, result);
      break;
    }
    default: {
      TSlowColorLookup lookup(entries);
      Dither(lookup, ditherMode, source, result);
      break;
    }
  }
  result.Palette = entries;
  result.Palette.resize(256);
  return result;
}

}  // namespace gifimage
