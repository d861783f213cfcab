// Palettes, colour lookups, the octree quantizer and ReduceColors.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "gifimage.h"

using namespace gifimage;

namespace {

TBitmap RandomBitmap(int width, int height, unsigned seed, int levels = 256) {
  TBitmap bmp(width, height, TPixelFormat::pf24bit);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> value(0, levels - 1);
  const int scale = levels > 1 ? 255 / (levels - 1) : 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 3 * width; ++x) bmp.ScanLine(y)[x] = static_cast<std::uint8_t>(value(rng) * scale);
  return bmp;
}

TBitmap SolidBitmap(int width, int height, TGIFColor c) {
  TBitmap bmp(width, height, TPixelFormat::pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
      p[0] = c.Blue;
      p[1] = c.Green;
      p[2] = c.Red;
    }
  return bmp;
}

void SetPixel(TBitmap& bmp, int x, int y, TGIFColor c) {
  std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
  p[0] = c.Blue;
  p[1] = c.Green;
  p[2] = c.Red;
}

int Look(TColorLookup& lookup, TGIFColor in, TGIFColor* out = nullptr) {
  std::uint8_t r = in.Red, g = in.Green, b = in.Blue;
  const int index = lookup.Lookup(r, g, b);
  if (out) *out = {r, g, b};
  return index;
}

// A plain pointer-based octree written from the rules, to check the pooled quantizer against.
struct RefNode {
  bool leaf = false;
  long long count = 0, red = 0, green = 0, blue = 0;
  std::unique_ptr<RefNode> child[8];
};

struct RefOctree {
  int maxColors = 0;
  int leaves = 0;
  std::unique_ptr<RefNode> root;
  std::vector<RefNode*> reducible[8];  // front = back of the vector (newest last)

  void Add(int r, int g, int b) {
    std::unique_ptr<RefNode>* slot = &root;
    for (int level = 0;; ++level) {
      if (!*slot) {
        *slot = std::make_unique<RefNode>();
        if (level == 8) {
          (*slot)->leaf = true;
          ++leaves;
        } else {
          reducible[level].push_back(slot->get());
        }
      }
      RefNode* n = slot->get();
      if (n->leaf) {
        ++n->count;
        n->red += r;
        n->green += g;
        n->blue += b;
        break;
      }
      const int bit = 0x80 >> level;
      const int index = ((r & bit) ? 4 : 0) + ((g & bit) ? 2 : 0) + ((b & bit) ? 1 : 0);
      slot = &n->child[index];
    }
    while (leaves > maxColors) {
      int level = 7;
      while (level > 0 && reducible[level].empty()) --level;
      RefNode* n = reducible[level].back();
      reducible[level].pop_back();
      int children = 0;
      for (auto& c : n->child) {
        if (!c) continue;
        n->red += c->red;
        n->green += c->green;
        n->blue += c->blue;
        n->count += c->count;
        ++children;
        c.reset();
      }
      n->leaf = true;
      leaves -= children - 1;
    }
  }
  void Walk(const RefNode* n, std::vector<TGIFColor>& out) const {
    if (n->leaf) {
      out.push_back({static_cast<std::uint8_t>(n->red / n->count), static_cast<std::uint8_t>(n->green / n->count),
                     static_cast<std::uint8_t>(n->blue / n->count)});
      return;
    }
    for (const auto& c : n->child)
      if (c) Walk(c.get(), out);
  }
};

std::vector<TGIFColor> RefOctreeColors(const TBitmap& bmp, int maxColors) {
  RefOctree tree;
  tree.maxColors = maxColors;
  for (int y = 0; y < bmp.GetHeight(); ++y)
    for (int x = 0; x < bmp.GetWidth(); ++x) {
      const std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
      tree.Add(p[2], p[1], p[0]);
    }
  std::vector<TGIFColor> out;
  if (tree.root) tree.Walk(tree.root.get(), out);
  return out;
}

}  // namespace

TEST(ColorLookups, FormulaLookupsGiveTheDocumentedEntries) {
  struct Case {
    const char* name;
    std::unique_ptr<TColorLookup> lookup;
    TGIFColor in;
    int index;
    TGIFColor out;
  };
  Case cases[] = {
      {"grey of grey", std::make_unique<TGrayScaleLookup>(), {100, 100, 100}, 100, {100, 100, 100}},
      {"grey of red", std::make_unique<TGrayScaleLookup>(), {255, 0, 0}, 76, {76, 76, 76}},
      {"grey of white", std::make_unique<TGrayScaleLookup>(), {255, 255, 255}, 255, {255, 255, 255}},
      {"mono below threshold", std::make_unique<TMonochromeLookup>(), {127, 127, 127}, 0, {0, 0, 0}},
      {"mono at threshold", std::make_unique<TMonochromeLookup>(), {128, 128, 128}, 1, {255, 255, 255}},
      {"netscape 47 48 255", std::make_unique<TNetscapeColorLookup>(), {47, 48, 255}, 0 * 36 + 1 * 6 + 5, {0, 51, 255}},
      {"netscape rounding", std::make_unique<TNetscapeColorLookup>(), {25, 76, 128}, 0 * 36 + 1 * 6 + 2, {0, 51, 102}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFColor out;
    EXPECT_EQ(Look(*c.lookup, c.in, &out), c.index);
    EXPECT_EQ(out, c.out);
  }
  EXPECT_EQ(TGrayScaleLookup().Colors(), 256);
  EXPECT_EQ(TMonochromeLookup().Colors(), 2);
  EXPECT_EQ(TNetscapeColorLookup().Colors(), 216);
}

// The indexed search must give exactly what a scan of every entry gives: smallest squared
// distance, lowest index among equals.
TEST(SlowColorLookup, MatchesBruteForceOnManyColours) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<TPalette> palettes;
  palettes.push_back(HalftonePalette());
  palettes.push_back(BuildReductionPalette(RandomBitmap(40, 30, 3), rmQuantizeWindows, nullptr, 8));
  TPalette clustered;  // many near and equal entries make ties and long candidate lists
  for (int i = 0; i < 256; ++i)
    clustered.push_back({static_cast<std::uint8_t>(120 + i % 5), static_cast<std::uint8_t>(120 + (i / 5) % 5),
                         static_cast<std::uint8_t>(118 + (i % 3) * 2)});
  palettes.push_back(clustered);
  palettes.push_back({{10, 10, 10}});
  palettes.push_back({{0, 0, 0}, {255, 255, 255}, {0, 0, 0}, {255, 255, 255}});
  TPalette random;
  for (int i = 0; i < 200; ++i)
    random.push_back({static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                      static_cast<std::uint8_t>(byte(rng))});
  palettes.push_back(random);

  for (std::size_t p = 0; p < palettes.size(); ++p) {
    SCOPED_TRACE("palette " + std::to_string(p));
    TSlowColorLookup lookup(palettes[p]);
    ASSERT_EQ(lookup.Colors(), static_cast<int>(palettes[p].size()));
    for (int i = 0; i < 100000; ++i) {
      const TGIFColor c{static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                        static_cast<std::uint8_t>(byte(rng))};
      const int expected = TSlowColorLookup::NearestByScan(palettes[p], c.Red, c.Green, c.Blue);
      TGIFColor out;
      ASSERT_EQ(Look(lookup, c, &out), expected) << int(c.Red) << "," << int(c.Green) << "," << int(c.Blue);
      ASSERT_EQ(out, palettes[p][static_cast<std::size_t>(expected)]);
    }
  }
}

TEST(SlowColorLookup, EqualDistancesGoToTheLowestIndex) {
  const TPalette palette = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {5, 5, 5}};
  TSlowColorLookup lookup(palette);
  EXPECT_EQ(Look(lookup, {5, 0, 0}), 0);   // 0 and 1 at distance 25
  EXPECT_EQ(Look(lookup, {5, 5, 0}), 3);   // 3 at 25 beats 0 at 50
  EXPECT_EQ(Look(lookup, {0, 5, 0}), 0);   // 0 and 2 at distance 25
}

TEST(FastColorLookup, CachesOneIndexPerFiveBitCell) {
  // Entry 1 is nearer to (7, 7, 7) but (1, 1, 1) was looked up first in the same cell.
  const TPalette palette = {{0, 0, 0}, {7, 7, 7}, {200, 0, 0}};
  TFastColorLookup lookup(palette);
  EXPECT_EQ(Look(lookup, {1, 1, 1}), 0);  // the cell already holds entry 0 (lowest index)
  EXPECT_EQ(Look(lookup, {7, 7, 7}), 0);  // same 8 x 8 x 8 cell, so the same index

  // An empty cell is filled by the smallest sum of absolute differences, lowest index on ties.
  TFastColorLookup sums({{100, 0, 0}, {0, 100, 0}, {60, 60, 0}});
  TGIFColor out;
  EXPECT_EQ(Look(sums, {50, 50, 40}, &out), 2);  // sums 140, 140, 60
  EXPECT_EQ(out, (TGIFColor{60, 60, 0}));
  TFastColorLookup ties({{100, 0, 0}, {0, 100, 0}});
  EXPECT_EQ(Look(ties, {50, 50, 0}), 0);
  EXPECT_EQ(Look(ties, {55, 52, 3}), 0);  // same cell as (50, 50, 0): cached
}

TEST(OctreeQuantizer, FewColoursComeOutExactlyInTreeOrder) {
  TBitmap bmp = SolidBitmap(4, 2, {200, 10, 10});
  SetPixel(bmp, 1, 0, {10, 200, 10});
  SetPixel(bmp, 3, 1, {10, 10, 200});
  const TPalette palette = BuildReductionPalette(bmp, rmQuantizeWindows, nullptr, 8);
  ASSERT_EQ(palette.size(), 256u);
  // Tree order: the top bit of red, then green, then blue picks the child, so blue-ish
  // (child 1) comes before green-ish (child 2) before red-ish (child 4).
  EXPECT_EQ(palette[10], (TGIFColor{10, 10, 200}));
  EXPECT_EQ(palette[11], (TGIFColor{10, 200, 10}));
  EXPECT_EQ(palette[12], (TGIFColor{200, 10, 10}));
  for (int i = 13; i < 246; ++i) EXPECT_EQ(palette[static_cast<std::size_t>(i)], (TGIFColor{0, 0, 0}));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(palette[static_cast<std::size_t>(i)], DefaultPalette()[static_cast<std::size_t>(i)]);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(palette[static_cast<std::size_t>(246 + i)], DefaultPalette()[static_cast<std::size_t>(10 + i)]);
  EXPECT_EQ(palette[250], (TGIFColor{0, 255, 0}));  // the lime transparency key
}

// Many colours force merges; the pooled tree must merge exactly like the plain one: the
// deepest level with a reducible node, the newest node of that level first.
TEST(OctreeQuantizer, MergesLikeThePlainTree) {
  struct Case {
    const char* name;
    TBitmap bitmap;
    int maxColors;
  };
  TBitmap gradient(300, 40, TPixelFormat::pf24bit);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 300; ++x)
      SetPixel(gradient, x, y, {static_cast<std::uint8_t>(x * 255 / 299), static_cast<std::uint8_t>(y * 6),
                                static_cast<std::uint8_t>((x * 7 + y * 13) & 0xFF)});
  Case cases[] = {
      {"random 236", RandomBitmap(120, 90, 11), 236},
      {"random 8", RandomBitmap(64, 64, 12), 8},
      {"coarse levels 236", RandomBitmap(200, 50, 13, 7), 236},
      {"gradient 236", std::move(gradient), 236},
      {"gradient-ish 16", RandomBitmap(33, 77, 14, 40), 16},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    TColorQuantizer quantizer(c.maxColors, 8);
    quantizer.ProcessImage(c.bitmap);
    const std::vector<TGIFColor> colors = quantizer.GetColorTable();
    EXPECT_LE(colors.size(), static_cast<std::size_t>(c.maxColors));
    EXPECT_EQ(colors, RefOctreeColors(c.bitmap, c.maxColors));
  }
}

TEST(OctreeQuantizer, RefusesMoreThanEightColourBits) {
  try {
    TColorQuantizer q(10, 9);
    FAIL() << "no error";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "ColorBits must be 8 or less");
  }
}

TEST(ReduceColors, PalettesOfEveryMode) {
  const TBitmap source = RandomBitmap(30, 20, 5);
  struct Case {
    TColorReduction mode;
    std::size_t size;
    TGIFColor entry;  // a telling entry
    std::size_t at;
  };
  const Case cases[] = {
      {rmWindows20, 20, {166, 202, 240}, 9},
      {rmWindows256, 256, {0, 255, 0}, 250},
      {rmWindowsGray, 4, {192, 192, 192}, 2},
      {rmMonochrome, 2, {255, 255, 255}, 1},
      {rmGrayScale, 256, {77, 77, 77}, 77},
      {rmNetscape, 216, {51, 102, 153}, 36 * 1 + 6 * 2 + 3},
      {rmQuantizeWindows, 256, {0, 255, 0}, 250},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    const TPalette palette = BuildReductionPalette(source, c.mode, nullptr, 8);
    ASSERT_EQ(palette.size(), c.size);
    EXPECT_EQ(palette[c.at], c.entry);
    const TBitmap reduced = ReduceColors(source, c.mode, dmNearest);
    ASSERT_EQ(reduced.PixelFormat(), TPixelFormat::pf8bit);
    ASSERT_EQ(reduced.Palette.size(), 256u);
    for (std::size_t i = 0; i < 256; ++i)
      EXPECT_EQ(reduced.Palette[i], i < palette.size() ? palette[i] : TGIFColor{}) << i;
    for (int y = 0; y < reduced.GetHeight(); ++y)
      for (int x = 0; x < reduced.GetWidth(); ++x) ASSERT_LT(reduced.ScanLine(y)[x], c.size);
  }
  const std::set<TColor> halftone = [] {
    std::set<TColor> s;
    for (const TGIFColor& c : HalftonePalette()) s.insert(RGB2Color(c));
    return s;
  }();
  EXPECT_EQ(halftone.size(), 256u) << "the halftone palette has no duplicate entries";
}

TEST(ReduceColors, QuantizeUsesReductionBitsAndRefusesOthers) {
  const TBitmap source = RandomBitmap(50, 50, 6);
  for (int bits = 3; bits <= 8; ++bits) {
    const TPalette palette = BuildReductionPalette(source, rmQuantize, nullptr, bits);
    EXPECT_EQ(palette.size(), static_cast<std::size_t>(1 << bits));
  }
  EXPECT_THROW(ReduceColors(source, rmQuantize, dmNearest, nullptr, 2), GIFException);
  EXPECT_THROW(ReduceColors(source, rmQuantize, dmNearest, nullptr, 9), GIFException);
}

TEST(ReduceColors, NoneCopiesAndPaletteModeWithoutPaletteIsEmpty) {
  TBitmap source(3, 2, TPixelFormat::pf32bit);
  for (int y = 0; y < 2; ++y)
    for (int i = 0; i < 12; ++i) source.ScanLine(y)[i] = static_cast<std::uint8_t>(y * 12 + i);
  const TBitmap copy = ReduceColors(source, rmNone, dmFloydSteinberg);
  ASSERT_EQ(copy.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(copy.ScanLine(1)[3], 16);  // pixel 1 of row 1: blue byte 12 + 4
  EXPECT_TRUE(ReduceColors(source, rmPalette, dmNearest).GetEmpty());
  const TPalette given = {{1, 2, 3}, {250, 250, 250}};
  const TBitmap withPalette = ReduceColors(source, rmPalette, dmNearest, &given);
  EXPECT_EQ(withPalette.Palette[1], (TGIFColor{250, 250, 250}));

  TGIFImage image;
  image.SetColorReduction(rmPalette);
  EXPECT_THROW(image.Add(source), GIFException);
  EXPECT_EQ(image.Images().Count(), 0);
}

// 32-bit rows (blue, green, red, unused) and indexed rows reduce exactly like the same
// pixels in 24 bits.
TEST(ReduceColors, EveryPixelFormatReadsTheSameColours) {
  const TBitmap rgb = RandomBitmap(17, 9, 8, 4);
  TBitmap rgbx(17, 9, TPixelFormat::pf32bit);
  TBitmap indexed(17, 9, TPixelFormat::pf8bit);
  std::map<TColor, int> seen;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 17; ++x) {
      const std::uint8_t* p = rgb.ScanLine(y) + 3 * x;
      std::uint8_t* q = rgbx.ScanLine(y) + 4 * x;
      q[0] = p[0];
      q[1] = p[1];
      q[2] = p[2];
      q[3] = 0xAB;
      const TColor color = RGB2Color({p[2], p[1], p[0]});
      auto [it, added] = seen.emplace(color, static_cast<int>(seen.size()));
      if (added) indexed.Palette.push_back({p[2], p[1], p[0]});
      indexed.ScanLine(y)[x] = static_cast<std::uint8_t>(it->second);
    }
  for (TDitherMode mode : {dmNearest, dmFloydSteinberg, dmSierra}) {
    const TBitmap a = ReduceColors(rgb, rmQuantizeWindows, mode);
    for (const TBitmap* other : {&rgbx, &indexed}) {
      const TBitmap b = ReduceColors(*other, rmQuantizeWindows, mode);
      EXPECT_EQ(a.Palette, b.Palette);
      for (int y = 0; y < 9; ++y) EXPECT_EQ(0, std::memcmp(a.ScanLine(y), b.ScanLine(y), 17));
    }
  }
}

TEST(ReduceColors, AddingTrueColourAlwaysGivesA256EntryTable) {
  for (TColorReduction mode : {rmGrayScale, rmQuantizeWindows}) {
    TGIFImage image;
    image.SetColorReduction(mode);
    image.SetDitherMode(dmFloydSteinberg);
    image.Add(SolidBitmap(5, 5, {1, 2, 3}));
    image.Add(RandomBitmap(7, 3, 9));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(image.Images()[i]->ColorMap().Count(), 256);
  }
  TGIFImage grey;
  grey.SetColorReduction(rmGrayScale);
  grey.Add(SolidBitmap(2, 2, {100, 100, 100}));
  EXPECT_EQ(grey.Images()[0]->Pixels(1, 1), 100);
}
