// How the program turns a sequence of true-colour frames into an animated GIF: the image's
// reduction settings, and for each frame the looping block (first frame only), the delay and
// the optional transparent colour. quorvane-gifenc uses exactly these steps, so for the same
// frames and settings it writes the same bytes as a conversion in the program (the program
// adds its frames through these functions too).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "gifimage.h"

namespace gifenc {

struct AnimationSettings {
  bool Greyscale = false;     // rmGrayScale instead of rmQuantizeWindows
  int Dither = 1;             // 0 nearest colour, 1 Floyd-Steinberg, 2 Stucki, 3 Sierra
  std::uint16_t Delay = 10;   // hundredths of a second, written as given
  bool Loop = false;          // a NETSCAPE2.0 block on the first frame, repeating without end
  std::optional<gifimage::TColor> Transparent;  // 0x00BBGGRR; a frame that uses it gets it as its transparent index
};

// The dither mode of a Dither value 0..3; other values throw std::invalid_argument.
gifimage::TDitherMode DitherModeOf(int dither);

// Sets reduction, dither mode and compression on a new, empty image.
void ConfigureAnimation(gifimage::TGIFImage& image, const AnimationSettings& settings);

// Appends one frame (any direct-colour bitmap; 24-bit is blue, green, red) with its
// extensions and returns its index. Raises what TGIFImage::Add raises.
int AddAnimationFrame(gifimage::TGIFImage& image, const gifimage::TBitmap& frame,
                      const AnimationSettings& settings);

// The same in two steps, so that the costly first one can run on any thread, frames side by
// side, and the second one put the results into the image in order.
//
// The reduction an image applies to a frame it is given (read once, on the image's thread).
struct FrameReduction {
  gifimage::TColorReduction Reduction = gifimage::rmQuantizeWindows;
  gifimage::TDitherMode Dither = gifimage::dmFloydSteinberg;
  int Bits = 8;
};
FrameReduction ReductionOf(const gifimage::TGIFImage& image);

// One frame built apart from the animation: reduced as `reduction` says, its transparent
// index found, its pixels LZW-compressed (TGIFSubImage::Pack). It lives in a small image of
// its own and touches nothing shared, so any thread may build one.
struct PreparedFrame {
  std::unique_ptr<gifimage::TGIFImage> Holder;  // holds exactly one frame
  int TransparentIndex = -1;                    // -1: the frame stays opaque
  const gifimage::TGIFSubImage& Frame() const { return *Holder->Images()[0]; }
};
// Raises what TGIFImage::Add raises.
PreparedFrame PrepareAnimationFrame(const gifimage::TBitmap& frame, const FrameReduction& reduction,
                                    std::optional<gifimage::TColor> transparent);

// Appends a copy of a prepared frame (from PrepareAnimationFrame, or a frame of the image
// itself) with the extensions AddAnimationFrame gives: the looping block at index 0, the
// delay and the transparent index. Returns the new frame's index; the image's list stays as
// it was on a failure.
int AppendAnimationFrame(gifimage::TGIFImage& image, const gifimage::TGIFSubImage& prepared,
                         int transparentIndex, const AnimationSettings& settings);

}  // namespace gifenc
