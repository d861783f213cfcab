#include "AnimationFrames.h"

#include <memory>
#include <stdexcept>

namespace gifenc {

using namespace gifimage;

TDitherMode DitherModeOf(int dither) {
  switch (dither) {
    case 0: return dmNearest;
    case 1: return dmFloydSteinberg;
    case 2: return dmStucki;
    case 3: return dmSierra;
    default: throw std::invalid_argument("dither must be 0..3");
  }
}

void ConfigureAnimation(TGIFImage& image, const AnimationSettings& settings) {
  image.SetColorReduction(settings.Greyscale ? rmGrayScale : rmQuantizeWindows);
  image.SetDitherMode(DitherModeOf(settings.Dither));
  image.SetCompression(gcLZW);
}

int AddAnimationFrame(TGIFImage& image, const TBitmap& frame, const AnimationSettings& settings) {
  const int index = image.Add(frame);
  if (index == 0 && settings.Loop) {
    auto loop = std::make_unique<TGIFAppExtNSLoop>(image.Images()[0]);
    loop->SetLoops(0);
    image.Images()[0]->Extensions().Add(std::move(loop));
  }
  TGIFSubImage* added = image.Images()[index];
  auto gce = std::make_unique<TGIFGraphicControlExtension>(added);
  gce->SetDelay(settings.Delay);
  if (settings.Transparent) {
    // Only a colour that some pixel of this frame actually has becomes transparent; a frame
    // without it stays opaque.
    const int transparent = FindUsedColorIndex(*added, *settings.Transparent);
    if (transparent >= 0 && transparent <= 255) {
      gce->SetTransparent(true);
      gce->SetTransparentColorIndex(transparent);
    }
  }
  added->Extensions().Add(std::move(gce));
  return index;
}

}  // namespace gifenc
