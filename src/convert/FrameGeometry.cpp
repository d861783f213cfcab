#include "FrameGeometry.h"

#include <stdexcept>

#include "Rounding.h"

namespace convert {

using core::RoundHalfEven;

TFrameGeometry FrameGeometry(int cropWidth, int cropHeight, int gifWidth, int gifHeight) {
  if (cropWidth <= 0 || cropHeight <= 0 || gifWidth <= 0 || gifHeight <= 0)
    throw std::invalid_argument("crop and GIF sizes must be positive");

  TFrameGeometry g;
  const double W = gifWidth, H = gifHeight;
  // The order of the operations is part of the result: the same expressions, in the same
  // order, give the same rounding at the ties.
  const bool cropIsWider = static_cast<double>(cropWidth) / cropHeight > W / H;
  if (cropIsWider) {
    g.FitWidth = W;
    g.FitHeight = g.FitWidth / cropWidth * cropHeight;
    g.Left = 0;
    g.Top = RoundHalfEven(H / 2 - g.FitHeight / 2);
    g.Right = RoundHalfEven(g.FitWidth);
    g.Bottom = RoundHalfEven(H / 2 - g.FitHeight / 2 + g.FitHeight);
  } else {
    g.FitHeight = H;
    g.FitWidth = g.FitHeight / cropHeight * cropWidth;
    g.Left = RoundHalfEven(W / 2 - g.FitWidth / 2);
    g.Top = 0;
    g.Right = RoundHalfEven(W / 2 - g.FitWidth / 2 + g.FitWidth);
    g.Bottom = RoundHalfEven(g.FitHeight);
  }
  return g;
}

}  // namespace convert
