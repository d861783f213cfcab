// The assembly of the captured frames into the animated GIF held in ConversionState::FImage.
#pragma once

#include <cstdint>
#include <memory>

#include <QImage>

#include "ActivityLog.h"
#include "ConversionState.h"
#include "FrameGeometry.h"
#include "gifimage.h"

namespace convert {

// The progress dialog as the assembly sees it. The assembly blocks the UI thread, so an
// implementation paints synchronously in Open and SetGauge.
class IAssemblyProgress {
 public:
  virtual ~IAssemblyProgress() = default;
  // Shows the dialog (not modal) and paints it.
  virtual void Open() = 0;
  // Sets the gauge (0..100) and paints it.
  virtual void SetGauge(int percent) = 0;
  virtual void Close() = 0;
  // Lets the dialog repaint while the caller waits for other threads.
  virtual void KeepPainted() {}
};

// The GIF settings as the controls hold them when the capture stops.
struct TAssemblySettings {
  int FrameRate = 10;       // bsSkinSpinEdit1, frames per second
  bool Transparent = true;  // spSkinCheckRadioBox2: lime background that becomes transparent
  bool Alternate = false;   // spSkinCheckRadioBox3: frames forward, then backward
  bool Loop = true;         // bsSkinCheckRadioBox1: looping block on the first frame
  bool Greyscale = false;   // cbGreyscale
  int DitherIndex = 1;      // spSkinComboBox1: 0..3; any other value keeps the default mode
};

// Colours in the 0x00BBGGRR layout.
constexpr gifimage::TColor kLime = 0x00FF00;
constexpr gifimage::TColor kBlack = 0x000000;

// A canvas is blank when every pixel in the rectangle [left, right) x [top, bottom) of the
// 24-bit (blue, green, red) bitmap is exactly black, lime or white.
bool IsBlankArea(const gifimage::TBitmap& canvas, int left, int top, int right, int bottom);

// One frame's canvas: `canvas` (24-bit, the GIF's size) filled with `background`, then the
// captured frame put 1:1 into dest (a frame of another size is stretched to it first; a null
// frame leaves the background). Returns whether the result is blank in dest (IsBlankArea):
// such a frame is dropped. Any thread; throws std::bad_alloc when memory runs out.
bool ComposeFrame(gifimage::TBitmap& canvas, const QImage& frame, const TFrameGeometry& dest,
                  gifimage::TColor background);

// Appends `source` to image as a new frame: colour reduction with the image's settings, on
// frame 0 a looping block (loops 0) when loop is set, then a graphic control extension with
// delayMs div 10 hundredths and, when transparentColor is not -1 and some pixel uses a
// colour-table entry equal to it, that entry as the transparent index. Returns the frame's
// index; on a failure reports "GifAnimateAddImage function failed" with
// "CLM_GifAnimateAddImage" and returns -1.
int GifAnimateAddImage(gifimage::TGIFImage& image, const gifimage::TBitmap& source,
                       std::int64_t transparentColor, std::uint16_t delayMs, bool loop);

// A new, empty image set up for the settings: colour reduction (greyscale or the optimised
// table), the dither of DitherIndex (any other index keeps the image's default), LZW, and
// the drawing-only transparency flag. Throws std::bad_alloc.
std::unique_ptr<gifimage::TGIFImage> NewAnimation(const TAssemblySettings& settings);

// What AssembleGif left behind.
enum class TAssemblyResult {
  Done,      // FImage holds the new GIF (possibly without frames): present it
  Reported,  // a failure went to ReportError; the program is closing, present nothing
  Discarded, // the work was discarded meanwhile (the window closed): present nothing
};

// Turns state.FrameList into a fresh state.FImage, with `progress` shown meanwhile. Each
// captured frame is put 1:1 into the destination rectangle of FrameGeometry on a canvas
// of the GIF size filled with lime (transparent on) or black; a canvas of nothing but
// black, lime and white is dropped. With settings.Alternate the frames are added forward,
// then backward. Every captured bitmap is freed as soon as its last pass has used it, and
// FrameList is empty afterwards.
//
// Failures go to ReportError ("Error setup FImage" / "CLM_FImage", "Error converting
// recorded Bitmaps to GIF (number of bitmaps: N)" / "CLM_ProcessingGIF", or the report of
// GifAnimateAddImage); the passes end there and Reported is returned. The report closes the
// main window, which frees FrameList and FImage: nothing of them is touched afterwards.
// Lines without time stamp go to `log`. UI thread.
TAssemblyResult AssembleGif(core::ConversionState& state, core::TActivityLog& log,
                            const TAssemblySettings& settings, IAssemblyProgress& progress);

}  // namespace convert
