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

namespace {

// The looping block (on frame 0) and the graphic control extension of a frame just added.
void AddFrameExtensions(TGIFImage& image, int index, int transparentIndex, const AnimationSettings& settings) {
  if (index == 0 && settings.Loop) {
    auto loop = std::make_unique<TGIFAppExtNSLoop>(image.Images()[0]);
    loop->SetLoops(0);
    image.Images()[0]->Extensions().Add(std::move(loop));
  }
  TGIFSubImage* added = image.Images()[index];
  auto gce = std::make_unique<TGIFGraphicControlExtension>(added);
  gce->SetDelay(settings.Delay);
  if (transparentIndex >= 0 && transparentIndex <= 255) {
    gce->SetTransparent(true);
    gce->SetTransparentColorIndex(transparentIndex);
  }
  added->Extensions().Add(std::move(gce));
}

// Only a colour that some pixel of the frame actually has becomes transparent; a frame
// without it stays opaque.
int TransparentIndexOf(const TGIFSubImage& frame, std::optional<TColor> transparent) {
  return transparent ? FindUsedColorIndex(frame, *transparent) : -1;
}

}  // namespace

int AddAnimationFrame(TGIFImage& image, const TBitmap& frame, const AnimationSettings& settings) {
  const int index = image.Add(frame);
  AddFrameExtensions(image, index, TransparentIndexOf(*image.Images()[index], settings.Transparent), settings);
  return index;
}

FrameReduction ReductionOf(const TGIFImage& image) {
  return {image.ColorReduction(), image.DitherMode(), image.ReductionBits()};
}

PreparedFrame PrepareAnimationFrame(const TBitmap& frame, const FrameReduction& reduction,
                                    std::optional<TColor> transparent) {
  PreparedFrame prepared;
  prepared.Holder = std::make_unique<TGIFImage>();
  prepared.Holder->SetColorReduction(reduction.Reduction);
  prepared.Holder->SetDitherMode(reduction.Dither);
  prepared.Holder->SetReductionBits(reduction.Bits);
  TGIFSubImage& added = *prepared.Holder->Images()[prepared.Holder->Add(frame)];
  prepared.TransparentIndex = TransparentIndexOf(added, transparent);
  added.Pack();
  return prepared;
}

int AppendAnimationFrame(TGIFImage& image, const TGIFSubImage& prepared, int transparentIndex,
                         const AnimationSettings& settings) {
  auto copy = std::make_unique<TGIFSubImage>(&image);
  copy->AssignPicture(prepared);
  const int index = image.Add(std::move(copy));
  try {
    AddFrameExtensions(image, index, transparentIndex, settings);
  } catch (...) {
    image.Images().Delete(index);
    throw;
  }
  return index;
}

}  // namespace gifenc
