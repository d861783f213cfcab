// One tick of the frame capture: the part of the player's picture that the GIF shows,
// scaled once, here, to exactly the size it takes on the GIF canvas.
#pragma once

#include <QImage>

#include "ConversionState.h"

namespace convert {

// The crop rectangle (source-video pixels: left, top, width, height) of `grabbed`, scaled
// with a smooth filter to exactly width x height pixels. `grabbed` may be at any size: the
// crop is mapped into it with s = grabbed width / sourceWidth, the rectangle's edges
// rounded to nearest, ties to even. Parts of the crop outside the picture come out black,
// and so does everything when `grabbed` is null or empty.
//
// The result is 24-bit, bytes blue, green, red (QImage::Format_BGR888), the layout the GIF
// encoder reads; null when width or height is 0. Throws std::invalid_argument for a
// non-positive source width, core::NumberError when a mapped edge has no integer value,
// std::bad_alloc when memory runs out.
QImage CaptureCrop(const QImage& grabbed, int sourceWidth, int cropLeft, int cropTop,
                   int cropWidth, int cropHeight, int width, int height);

// The capture tick's work once its busy mark is set: appends one bitmap to
// state.FrameList, made from `grabbed` (the player's current picture, or the black picture
// of the open video; null counts as black) for the crop and GIF size of state, and writes
// state.FitWidth and state.FitHeight. On a failure the appended bitmap stays (null) and
// ReportError gets "Error capturing Flash Player Frames (Bitmap # <n - 1>)" with
// "CLM_Timer1Timer", n being the list's length before the tick; false is returned then.
// UI thread.
bool CaptureFrame(core::ConversionState& state, const QImage* grabbed);

// The report of a failed capture: "Error capturing Flash Player Frames (Bitmap # <n - 1>)"
// with "CLM_Timer1Timer", n being the frames captured before the failing one.
void ReportCaptureFailure(long long framesBefore);

}  // namespace convert
