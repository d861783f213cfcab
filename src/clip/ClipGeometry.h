// The arithmetic of opening a video and marking its clip: where the picture lies inside
// the player panel, and where the position bar shows the clip. Every float-to-integer
// step rounds to nearest, ties to even (core::RoundHalfEven); a value without an integer
// (a division by zero) throws core::NumberError to the guard of the calling step.
#pragma once

namespace clip {

// Rectangle in player-panel pixels.
struct TPictureRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TPictureRect &, const TPictureRect &) = default;
};

// The picture of a sourceWidth x sourceHeight video letterboxed, true to its aspect
// ratio, into a panelWidth x panelHeight panel. A video wider (in ratio) than the panel
// fills its width and is centred vertically; any other fills its height and is centred
// horizontally. The products are integer products, the divisions in floating point.
// Source sizes must be positive (a 0 x 0 source throws core::NumberError).
TPictureRect PictureRect(int panelWidth, int panelHeight, int sourceWidth, int sourceHeight);

// The position bar counts whole seconds: the tick of a time in ms.
int SecondsTick(int ms);

// Thumb margin at either end of the position bar, pixels: tick 0 and the last tick lie
// this far inside the bar.
inline constexpr int kTrackThumbMargin = 8;

// Left edge, in the bar's parent's pixels, of the clip markers above a bar whose left edge
// is trackLeft, width trackWidth and maximum `maximum` (ticks). The start marker
// (startMarkerWidth wide) ends at the start tick, the end marker begins at the end tick.
// A bar whose maximum is 0 has no scale: both markers sit at its start.
struct TMarkerLefts {
  int Start = 0;
  int End = 0;
  friend bool operator==(const TMarkerLefts &, const TMarkerLefts &) = default;
};
TMarkerLefts MarkerLefts(int trackLeft, int trackWidth, int maximum, int startMarkerWidth,
                         int selectionStart, int selectionEnd);

// Horizontal pixel of a tick inside a bar trackWidth wide with the given maximum; the
// bar's start margin when the maximum is 0.
int TickPixel(int trackWidth, int maximum, int tick);

}  // namespace clip
