// Where the player control paints the latest video frame, and with what.
//
// The control draws the frame itself: the picture is fitted into the control with its
// aspect kept (letterbox) on the background colour, unless stretch or a forced aspect
// ratio is asked for; zoom picks a part of the picture and flips mirror it inside its
// destination. Everything here except PaintFrame and DisplayElementsAvailable is a pure
// function of sizes and settings, so the control calls it on every paint and resize.
//
// Units: "widget pixels" are the control's own pixels, origin at its top-left corner;
// "frame pixels" are the decoded picture's pixels (the native video size).
// UI thread for PaintFrame (it paints with the caller's QPainter); the rest is
// thread-agnostic.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include <vector>

class QPainter;

namespace player {

// The player's display properties, named as the control's properties. The control
// resets the zoom to 0 before each open; the defaults are those of a new control.
struct TDisplaySettings {
  // Percentage of the picture's width cut away (half on each side), and the shift of the
  // visible part in frame pixels. Below 1 the whole picture is shown and the shifts do not
  // apply.
  int Screen_Zoom_Ratio = 0;
  int Screen_Zoom_ShiftX = 0;
  int Screen_Zoom_ShiftY = 0;
  // Fill the whole control, ignoring the picture's aspect.
  bool Screen_Stretch = false;
  bool Screen_Flip_Horizontal = false;
  bool Screen_Flip_Vertical = false;
  // Show the picture in the largest X:Y rectangle centred in the control, stretched to
  // fill it. Takes precedence over Screen_Stretch. A ratio with a term of 0 or below
  // cannot be formed and is ignored (the picture is letterboxed as without it).
  bool Screen_Aspect_Ratio_Override = false;
  int Screen_Aspect_Ratio_X = 16;
  int Screen_Aspect_Ratio_Y = 9;
};

struct TRendererGeometry {
  // Where the picture goes, in widget pixels. Empty when nothing is drawn: an empty
  // control, or a frame of unknown (empty) size.
  QRect Destination;
  // The part of the frame drawn into Destination, in frame pixels.
  QRect Source;
  // Mirror the picture inside Destination (Destination itself does not move).
  bool FlipHorizontal = false;
  bool FlipVertical = false;
  // The zoom rectangle fell outside the picture or was empty. Source is then the whole
  // picture; a control that keeps its last good source may use that instead, and reports
  // "Can't zoom".
  bool ZoomFailed = false;
  // The parts of the control outside Destination, to fill with the background colour.
  // At most four bands (above, below, left, right of Destination), none of them empty.
  std::vector<QRect> Background;
};

// The zoomed part of a W x H picture, in frame pixels, for ratio Z and shifts SX, SY.
// With V = W - Z*W/100 and U = V*H/W (floating point), T() truncating toward zero:
// left = SX + T((W-V)/2), top = SY + T((H-U)/2), right = SX + T(V) + T((W-V)/2),
// bottom = SY + T(U) + T((H-U)/2); the result spans [left, right) x [top, bottom).
// Returns an empty rectangle when that span is empty or not inside the picture (a zoom
// of 100 or more, a negative zoom, a shift past the edge, or an empty picture).
QRect ZoomRectangle(QSize frameSize, int ratio, int shiftX, int shiftY);

// The largest rectangle of aspect aspectWidth:aspectHeight centred in area: when
// area width / area height >= aspectWidth / aspectHeight the height is kept and the width
// is aspectWidth/aspectHeight x area height, otherwise the width is kept and the height is
// aspectHeight/aspectWidth x area width; the offset is half the difference. Sizes and
// offsets are rounded half to even. Empty when the area or the aspect is empty.
QRect FitRectangle(QSize area, int aspectWidth, int aspectHeight);

// The full painting plan for a frame of frameSize in a control of widgetSize.
TRendererGeometry ComputeRendererGeometry(QSize widgetSize, QSize frameSize,
                                          const TDisplaySettings& settings);

// Paints the control's whole area (0, 0, widgetSize): the background bands in
// `background`, then the frame by ComputeRendererGeometry with smooth scaling. A null
// frame paints only the background. Leaves the painter's state as it found it.
void PaintFrame(QPainter& painter, const QImage& frame, QSize widgetSize,
                const TDisplaySettings& settings, QColor background);

// Whether every GStreamer element the display path needs (videoconvert, appsink,
// videoflip) can be made on this system. Initialises GStreamer if nobody has yet. Never
// fails; any problem answers false. This is what the player's Filter_Supported_VMR9 reports.
bool DisplayElementsAvailable();

// Whether an element factory exists for each of the given names. False when GStreamer
// cannot be initialised.
bool ElementFactoriesExist(const std::vector<const char*>& factoryNames);

}  // namespace player
