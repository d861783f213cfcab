// The dither engines, checked against plain re-statements of their diffusion rules and
// against the properties every engine must have.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "gifimage.h"

using namespace gifimage;

namespace {

using Lookup = std::function<int(std::uint8_t&, std::uint8_t&, std::uint8_t&)>;
using Indices = std::vector<std::vector<int>>;  // [row][column]

struct Rgb {
  int c[3];
};
using Image = std::vector<std::vector<Rgb>>;

Image RandomImage(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> v(0, 255);
  Image img(static_cast<std::size_t>(height), std::vector<Rgb>(static_cast<std::size_t>(width)));
  for (auto& row : img)
    for (auto& p : row) p = {{v(rng), v(rng), v(rng)}};
  return img;
}

TBitmap ToBitmap(const Image& img) {
  const int h = static_cast<int>(img.size()), w = static_cast<int>(img[0].size());
  TBitmap bmp(w, h, TPixelFormat::pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(img[y][x].c[2]);
      p[1] = static_cast<std::uint8_t>(img[y][x].c[1]);
      p[2] = static_cast<std::uint8_t>(img[y][x].c[0]);
    }
  return bmp;
}

Indices FromBitmap(const TBitmap& bmp) {
  Indices out(static_cast<std::size_t>(bmp.GetHeight()));
  for (int y = 0; y < bmp.GetHeight(); ++y) out[y].assign(bmp.ScanLine(y), bmp.ScanLine(y) + bmp.GetWidth());
  return out;
}

int Clamp(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Floyd-Steinberg as its rules read: one array of Width + 2 entries per channel; the entry at
// the position is read, and overwritten with the finished error of the row below when the
// channel's error is not 0; left-to-right rows start at entry 0, right-to-left rows at
// entry Width + 1.
Indices ReferenceFloydSteinberg(const Image& img, const Lookup& lookup) {
  const int h = static_cast<int>(img.size()), w = static_cast<int>(img[0].size());
  std::vector<int> errors[3];
  for (auto& e : errors) e.assign(static_cast<std::size_t>(w) + 2, 0);
  Indices out(static_cast<std::size_t>(h), std::vector<int>(static_cast<std::size_t>(w)));
  int dir = 1;
  for (int y = 0; y < h; ++y) {
    int pos = dir > 0 ? 0 : w + 1;
    int current[3] = {0, 0, 0}, below[3] = {0, 0, 0}, belowPrev[3] = {0, 0, 0};
    for (int k = 0; k < w; ++k) {
      const int x = dir > 0 ? k : w - 1 - k;
      for (int c = 0; c < 3; ++c) current[c] = Clamp(img[y][x].c[c] + (errors[c][pos] + current[c] + 8) / 16);
      std::uint8_t r = static_cast<std::uint8_t>(current[0]), g = static_cast<std::uint8_t>(current[1]),
                   b = static_cast<std::uint8_t>(current[2]);
      out[y][x] = lookup(r, g, b);
      const int chosen[3] = {r, g, b};
      for (int c = 0; c < 3; ++c) {
        const int e = current[c] - chosen[c];
        if (e == 0) {
          current[c] = 0;
          continue;
        }
        errors[c][pos] = belowPrev[c] + 3 * e;
        belowPrev[c] = below[c] + 5 * e;
        below[c] = e;
        current[c] = 7 * e;
      }
      pos += dir;
    }
    for (int c = 0; c < 3; ++c) errors[c][pos] = belowPrev[c];
    dir = -dir;
  }
  return out;
}

// Row diffusion as a whole-image error buffer: weights[r][k] goes to row y + r, column
// x + (k - guard) * direction; writes outside the picture are dropped.
struct Kernel {
  const char* name;
  TDitherMode mode;
  int divisor;
  std::vector<std::vector<int>> weights;
};

Indices ReferenceDiffusion(const Image& img, const Lookup& lookup, const Kernel& k) {
  const int h = static_cast<int>(img.size()), w = static_cast<int>(img[0].size());
  const int guard = static_cast<int>(k.weights[0].size()) / 2;
  const int rows = static_cast<int>(k.weights.size());
  std::vector<std::vector<std::array<int, 3>>> err(static_cast<std::size_t>(h + rows),
                                                   std::vector<std::array<int, 3>>(static_cast<std::size_t>(w)));
  Indices out(static_cast<std::size_t>(h), std::vector<int>(static_cast<std::size_t>(w)));
  for (int y = 0; y < h; ++y) {
    const int dir = y % 2 == 0 ? 1 : -1;
    for (int n = 0; n < w; ++n) {
      const int x = dir > 0 ? n : w - 1 - n;
      int corrected[3];
      for (int c = 0; c < 3; ++c)
        corrected[c] = Clamp(img[y][x].c[c] + (err[y][x][c] + k.divisor / 2) / k.divisor);
      std::uint8_t r = static_cast<std::uint8_t>(corrected[0]), g = static_cast<std::uint8_t>(corrected[1]),
                   b = static_cast<std::uint8_t>(corrected[2]);
      out[y][x] = lookup(r, g, b);
      const int chosen[3] = {r, g, b};
      for (int c = 0; c < 3; ++c) {
        const int e = corrected[c] - chosen[c];
        for (int row = 0; row < rows; ++row)
          for (int i = 0; i < 2 * guard + 1; ++i) {
            const int tx = x + (i - guard) * dir;
            if (tx >= 0 && tx < w) err[y + row][tx][c] += k.weights[row][i] * e;
          }
      }
    }
  }
  return out;
}

const std::vector<Kernel>& Kernels() {
  static const std::vector<Kernel> kernels = {
      {"Stucki", dmStucki, 42, {{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}, {1, 2, 4, 2, 1}}},
      {"Sierra", dmSierra, 32, {{0, 0, 0, 5, 3}, {2, 4, 5, 4, 2}, {0, 2, 3, 2, 0}}},
      {"JaJuNi", dmJaJuNI, 48, {{0, 0, 0, 7, 5}, {3, 5, 7, 5, 3}, {1, 3, 5, 3, 1}}},
      {"Burkes", dmBurkes, 32, {{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}}},
      {"SteveArche",
       dmSteveArche,
       200,
       {{0, 0, 0, 0, 0, 32, 0}, {12, 0, 26, 0, 30, 0, 16}, {0, 12, 0, 26, 0, 12, 0}, {5, 0, 12, 0, 12, 0, 5}}},
  };
  return kernels;
}

// The reduction modes the engines are checked with, each with an independent lookup.
struct ModeCase {
  const char* name;
  TColorReduction mode;
};
const ModeCase kModes[] = {{"quantize windows", rmQuantizeWindows},
                           {"grey", rmGrayScale},
                           {"netscape", rmNetscape},
                           {"windows 20", rmWindows20},
                           {"monochrome", rmMonochrome}};

Lookup ScanLookup(const TPalette& palette) {
  return [palette](std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
    const int i = TSlowColorLookup::NearestByScan(palette, r, g, b);
    r = palette[static_cast<std::size_t>(i)].Red;
    g = palette[static_cast<std::size_t>(i)].Green;
    b = palette[static_cast<std::size_t>(i)].Blue;
    return i;
  };
}

Lookup ReferenceLookup(const TBitmap& source, TColorReduction mode) {
  if (mode == rmGrayScale) {
    return [](std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
      const int level = (77 * r + 150 * g + 29 * b) / 256;
      r = g = b = static_cast<std::uint8_t>(level);
      return level;
    };
  }
  if (mode == rmMonochrome) {
    return [](std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
      const int white = 77 * r + 150 * g + 29 * b > 32512 ? 1 : 0;
      r = g = b = static_cast<std::uint8_t>(white * 255);
      return white;
    };
  }
  // The cube and the system colours hold no equal-distance surprises: the exact nearest
  // entry by scanning is what their lookups must give too.
  return ScanLookup(BuildReductionPalette(source, mode, nullptr, 8));
}

}  // namespace

TEST(Dither, FloydSteinbergFollowsItsRules) {
  for (const ModeCase& m : kModes) {
    if (m.mode == rmNetscape) continue;  // its lookup rounds by formula, not by distance
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 5}, {2, 3}, {3, 1}, {37, 23}}) {
      SCOPED_TRACE(std::string(m.name) + " " + std::to_string(w) + "x" + std::to_string(h));
      const Image img = RandomImage(w, h, static_cast<unsigned>(w * 100 + h));
      const TBitmap bmp = ToBitmap(img);
      const TBitmap reduced = ReduceColors(bmp, m.mode, dmFloydSteinberg);
      EXPECT_EQ(FromBitmap(reduced), ReferenceFloydSteinberg(img, ReferenceLookup(bmp, m.mode)));
    }
  }
}

TEST(Dither, RowDiffusionEnginesFollowTheirWeights) {
  for (const Kernel& k : Kernels()) {
    for (const ModeCase& m : kModes) {
      if (m.mode == rmNetscape) continue;
      for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 6}, {2, 4}, {4, 1}, {29, 17}}) {
        SCOPED_TRACE(std::string(k.name) + " " + m.name + " " + std::to_string(w) + "x" + std::to_string(h));
        const Image img = RandomImage(w, h, static_cast<unsigned>(w * 31 + h));
        const TBitmap bmp = ToBitmap(img);
        const TBitmap reduced = ReduceColors(bmp, m.mode, k.mode);
        EXPECT_EQ(FromBitmap(reduced), ReferenceDiffusion(img, ReferenceLookup(bmp, m.mode), k));
      }
    }
  }
}

// Colours that are all palette entries leave no error: every engine gives the nearest
// colour's indices; a uniform grey under the grey ramp stays exactly that grey.
TEST(Dither, ExactColoursLeaveNoError) {
  TBitmap system(20, 6, TPixelFormat::pf24bit);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 20; ++x) {
      const TGIFColor c = DefaultPalette()[static_cast<std::size_t>((x * 7 + y * 3) % 20)];
      std::uint8_t* p = system.ScanLine(y) + 3 * x;
      p[0] = c.Blue;
      p[1] = c.Green;
      p[2] = c.Red;
    }
  TBitmap grey(9, 7, TPixelFormat::pf24bit);
  for (int y = 0; y < 7; ++y) std::fill(grey.ScanLine(y), grey.ScanLine(y) + 27, 93);
  const TBitmap nearest = ReduceColors(system, rmWindows20, dmNearest);
  for (TDitherMode mode : {dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNI, dmSteveArche, dmBurkes}) {
    SCOPED_TRACE(static_cast<int>(mode));
    EXPECT_EQ(FromBitmap(ReduceColors(system, rmWindows20, mode)), FromBitmap(nearest));
    const TBitmap g = ReduceColors(grey, rmGrayScale, mode);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 9; ++x) ASSERT_EQ(g.ScanLine(y)[x], 93);
  }
}

// A colour halfway between two entries comes out as a mix of both whose average approaches
// the input; the nearest-colour engine picks one entry everywhere.
TEST(Dither, HalfwayColourBecomesAMixOfBothEntries) {
  TBitmap mid(40, 40, TPixelFormat::pf24bit);
  for (int y = 0; y < 40; ++y) std::fill(mid.ScanLine(y), mid.ScanLine(y) + 120, 128);  // grey 128
  const TPalette bw = {{0, 0, 0}, {255, 255, 255}};
  for (TDitherMode mode : {dmNearest, dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNI, dmSteveArche, dmBurkes}) {
    SCOPED_TRACE(static_cast<int>(mode));
    const TBitmap r = ReduceColors(mid, rmPalette, mode, &bw);
    int white = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) white += r.ScanLine(y)[x];
    const double mean = 255.0 * white / 1600;
    if (mode == dmNearest) {
      EXPECT_TRUE(white == 0 || white == 1600);
    } else {
      EXPECT_NEAR(mean, 128, 8);
    }
  }
}

// Rows alternate direction, starting left to right; each engine is fed exactly the columns
// of its row in its own direction.
TEST(Dither, RowsAlternateDirectionStartingLeftToRight) {
  struct Recorder final : TColorLookup {
    Recorder() : TColorLookup(256) {}
    std::vector<int> reds;
    int Lookup(std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) override {
      reds.push_back(r);
      g = b = r;
      return r;
    }
  };
  Recorder lookup;
  std::vector<std::unique_ptr<TDitherEngine>> engines;
  engines.push_back(std::make_unique<TDitherEngine>(3, lookup));
  engines.push_back(std::make_unique<TFloydSteinbergDitherer>(3, lookup));
  engines.push_back(std::make_unique<TStuckiDitherer>(3, lookup));
  engines.push_back(std::make_unique<TSteveArcheDitherer>(3, lookup));
  for (auto& engine : engines) {
    lookup.reds.clear();
    std::vector<int> columns;
    for (int row = 0; row < 3; ++row) {
      for (int x = engine->Column(); x >= 0 && x < 3; x = engine->Column()) {
        columns.push_back(x);
        std::uint8_t r = static_cast<std::uint8_t>(10 * row + x), g = r, b = r;
        engine->Dither(r, g, b);  // the lookup returns the colour itself: no error
      }
      engine->NextLine();
    }
    EXPECT_EQ(columns, (std::vector<int>{0, 1, 2, 2, 1, 0, 0, 1, 2}));
    EXPECT_EQ(lookup.reds, (std::vector<int>{0, 1, 2, 12, 11, 10, 20, 21, 22}));
  }
}

// The optimised-colour mode maps whole rows through the exact lookup's wide search (eight
// candidates a time, per-cell lists, longer lists kept apart). On pictures made for ties and
// long lists, nearest colour and Floyd-Steinberg must give what a scan of every entry gives.
TEST(Dither, ExactLookupRowsMatchAScanOfThePalette) {
  std::mt19937 rng(21);
  std::uniform_int_distribution<int> any(0, 255), near(118, 130);
  auto make = [&](int w, int h, const std::function<Rgb(int, int)>& pixel) {
    Image img(static_cast<std::size_t>(h), std::vector<Rgb>(static_cast<std::size_t>(w)));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) img[y][x] = pixel(x, y);
    return img;
  };
  const struct {
    const char* name;
    Image image;
  } cases[] = {
      // Three colours and their midpoints: the palette pads with black, equal to entry 0.
      {"few colours and midpoints", make(23, 9, [](int x, int y) {
         const Rgb c[] = {{{200, 10, 10}}, {{10, 200, 10}}, {{105, 105, 10}}, {{0, 0, 0}}, {{100, 5, 5}}};
         return c[(x + 2 * y) % 5];
       })},
      // A tight cluster beside colours far from it: cells far away keep many candidates.
      {"cluster and far colours", make(64, 24, [&](int x, int) {
         return x < 40 ? Rgb{{near(rng), near(rng), near(rng)}} : Rgb{{any(rng), any(rng), any(rng)}};
       })},
      {"grey ramp", make(256, 3, [](int x, int y) { return Rgb{{x, x, (x + y) & 255}}; })},
      {"extremes", make(16, 16, [](int x, int y) {
         const int v[] = {0, 1, 127, 128, 254, 255};
         return Rgb{{v[x % 6], v[y % 6], v[(x + y) % 6]}};
       })},
      {"noise", RandomImage(61, 19, 8)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TBitmap bmp = ToBitmap(c.image);
    const TPalette palette = BuildReductionPalette(bmp, rmQuantizeWindows, nullptr, 8);
    const Lookup scan = ScanLookup(palette);
    Indices nearest(c.image.size());
    for (std::size_t y = 0; y < c.image.size(); ++y)
      for (const Rgb& p : c.image[y]) {
        std::uint8_t r = static_cast<std::uint8_t>(p.c[0]), g = static_cast<std::uint8_t>(p.c[1]),
                     b = static_cast<std::uint8_t>(p.c[2]);
        nearest[y].push_back(scan(r, g, b));
      }
    EXPECT_EQ(FromBitmap(ReduceColors(bmp, rmQuantizeWindows, dmNearest)), nearest);
    EXPECT_EQ(FromBitmap(ReduceColors(bmp, rmQuantizeWindows, dmFloydSteinberg)), ReferenceFloydSteinberg(c.image, scan));
  }
}
