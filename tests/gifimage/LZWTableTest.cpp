// The encoder uses a faster string table for 7- and 8-bit tables; it must give exactly the
// codes of the reference table.
#include <gtest/gtest.h>

#include <random>

#include "gifimage.h"

using namespace gifimage;

namespace {

std::vector<std::uint8_t> Encode(bool referenceTable, const std::vector<std::uint8_t>& pixels, int width,
                                 int bitsPerPixel, bool interlace) {
  TMemoryStream out;
  TLZWEncoder encoder(referenceTable);
  encoder.Compress(out, bitsPerPixel, width, static_cast<int>(pixels.size()) / width, interlace, pixels.data(),
                   1 << bitsPerPixel);
  return out.TakeBytes();
}

}  // namespace

TEST(LZWStringTable, FastTableWritesTheReferenceBytes) {
  struct Case {
    const char* name;
    int bitsPerPixel;
    int width;
    int height;
    int runLength;  // pixels repeat in runs of up to this many
  };
  const Case cases[] = {
      {"noise 8 bits", 8, 400, 300, 1},   {"short runs 8 bits", 8, 640, 200, 6},
      {"long runs 8 bits", 8, 997, 101, 300}, {"noise 7 bits", 7, 300, 300, 1},
      {"runs 7 bits", 7, 123, 457, 4},
  };
  std::mt19937 rng(99);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(c.width) * c.height);
    std::uniform_int_distribution<int> colour(0, (1 << c.bitsPerPixel) - 1), run(1, c.runLength);
    for (std::size_t i = 0; i < pixels.size();) {
      const auto value = static_cast<std::uint8_t>(colour(rng));
      for (int n = run(rng); n > 0 && i < pixels.size(); --n) pixels[i++] = value;
    }
    for (bool interlace : {false, true}) {
      EXPECT_EQ(Encode(false, pixels, c.width, c.bitsPerPixel, interlace),
                Encode(true, pixels, c.width, c.bitsPerPixel, interlace));
    }
  }
}
