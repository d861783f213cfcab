#include <gtest/gtest.h>

#include "GifDecode.h"
#include "gifimage.h"

using namespace gifimage;

TEST(Smoke, PipelineStyleImageDecodes) {
  TBitmap bmp(64, 48, TPixelFormat::pf24bit);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(x * 4);
      p[1] = static_cast<std::uint8_t>(y * 5);
      p[2] = static_cast<std::uint8_t>((x * y) & 0xFF);
    }
  TGIFImage image;
  image.SetColorReduction(rmQuantizeWindows);
  image.SetDitherMode(dmFloydSteinberg);
  const int i = image.Add(bmp);
  auto loop = std::make_unique<TGIFAppExtNSLoop>(image.Images()[0]);
  image.Images()[0]->Extensions().Add(std::move(loop));
  auto gce = std::make_unique<TGIFGraphicControlExtension>(image.Images()[i]);
  gce->SetDelay(10);
  image.Images()[i]->Extensions().Add(std::move(gce));
  TMemoryStream out;
  image.SaveToStream(out);
  const gifdecode::Gif gif = gifdecode::Decode(out.Bytes());
  ASSERT_EQ(gif.frames.size(), 1u);
  EXPECT_EQ(gif.version, "89a");
  EXPECT_EQ(gif.frames[0].delay, 10);
  EXPECT_EQ(gif.frames[0].loops, 0);
  EXPECT_EQ(gif.frames[0].localColors.size(), 256u);
  EXPECT_EQ(0, std::memcmp(gif.frames[0].indices.data(), image.Images()[0]->Data(), 64 * 48));
}
