#include "ClipGeometry.h"

#include "Rounding.h"

namespace clip {

TPictureRect PictureRect(int panelWidth, int panelHeight, int sourceWidth, int sourceHeight)
{
  const double panelRatio = static_cast<double>(panelWidth) / panelHeight;
  const double sourceRatio = static_cast<double>(sourceWidth) / sourceHeight;
  TPictureRect rect;
  if (panelRatio < sourceRatio) {
    rect.Width = panelWidth;
    rect.Height = core::RoundHalfEven(static_cast<double>(static_cast<long long>(rect.Width) * sourceHeight)
                                      / sourceWidth);
    rect.Left = 0;
    rect.Top = core::RoundHalfEven((panelHeight - rect.Height) / 2.0);
  } else {
    rect.Height = panelHeight;
    rect.Width = core::RoundHalfEven(static_cast<double>(static_cast<long long>(rect.Height) * sourceWidth)
                                     / sourceHeight);
    rect.Left = core::RoundHalfEven((panelWidth - rect.Width) / 2.0);
    rect.Top = 0;
  }
  return rect;
}

int SecondsTick(int ms)
{
  return core::RoundHalfEven(ms / 1000.0);
}

int TickPixel(int trackWidth, int maximum, int tick)
{
  if (maximum == 0)
    return kTrackThumbMargin;
  return kTrackThumbMargin
         + core::RoundHalfEven(static_cast<double>(trackWidth - 2 * kTrackThumbMargin) / maximum * tick);
}

TMarkerLefts MarkerLefts(int trackLeft, int trackWidth, int maximum, int startMarkerWidth,
                         int selectionStart, int selectionEnd)
{
  return {trackLeft + TickPixel(trackWidth, maximum, selectionStart) - startMarkerWidth,
          trackLeft + TickPixel(trackWidth, maximum, selectionEnd)};
}

}  // namespace clip
