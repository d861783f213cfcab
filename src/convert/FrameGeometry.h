// Where the cropped picture goes inside one GIF frame. Capture and assembly both take their
// sizes from here, so a captured bitmap always fits its place on the canvas 1:1.
#pragma once

namespace convert {

struct TFrameGeometry {
  // Size of the crop fitted into the GIF with its aspect ratio kept, GIF pixels
  // (fractional): one side equals the GIF's side, the other is at most the GIF's.
  double FitWidth = 0.0;
  double FitHeight = 0.0;
  // The picture's rectangle on the canvas, GIF pixels, right and bottom exclusive. Centred
  // on the axis the fitted size does not fill.
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

// The fitted size and the destination rectangle for a crop of cropWidth x cropHeight
// source pixels in a GIF of gifWidth x gifHeight. The ratios are compared in floating
// point; a crop wider than the GIF spans the full width, any other (equal ratios included)
// the full height. Rounding is to nearest, ties to even (a 320 x 240 crop in 100 x 100
// gives top 12 and bottom 88). Throws std::invalid_argument for a size that is not
// positive: the design divides by these values.
TFrameGeometry FrameGeometry(int cropWidth, int cropHeight, int gifWidth, int gifHeight);

}  // namespace convert
