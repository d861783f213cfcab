#include "GifAssembly.h"

#include <QString>

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>

#include "AnimationFrames.h"
#include "ErrorReport.h"
#include "FrameGeometry.h"
#include "Rounding.h"

namespace convert {

using namespace gifimage;

namespace {

// Fills every pixel of a 24-bit bitmap with `color` (0x00BBGGRR).
void FillCanvas(TBitmap& canvas, TColor color) {
  const int w = canvas.GetWidth(), h = canvas.GetHeight();
  if (w == 0 || h == 0) return;
  std::uint8_t* first = canvas.ScanLine(0);
  for (int x = 0; x < w; ++x) {
    first[3 * x] = static_cast<std::uint8_t>(color >> 16);     // blue
    first[3 * x + 1] = static_cast<std::uint8_t>(color >> 8);  // green
    first[3 * x + 2] = static_cast<std::uint8_t>(color);       // red
  }
  for (int y = 1; y < h; ++y) std::memcpy(canvas.ScanLine(y), first, static_cast<std::size_t>(w) * 3);
}

// Puts a captured frame into dest on the canvas. A frame of the destination's size (every
// frame this program captures) is copied row by row; any other is stretched to it first.
// A null frame (a failed grab) leaves the background.
void PlaceFrame(TBitmap& canvas, const QImage& frame, const TFrameGeometry& dest) {
  if (frame.isNull() || dest.Width() <= 0 || dest.Height() <= 0) return;
  QImage fitted = frame;
  if (fitted.size() != QSize(dest.Width(), dest.Height()))
    fitted = fitted.scaled(dest.Width(), dest.Height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  if (fitted.format() != QImage::Format_BGR888) fitted = fitted.convertToFormat(QImage::Format_BGR888);
  if (fitted.isNull()) throw std::bad_alloc();

  const int left = std::max(dest.Left, 0), top = std::max(dest.Top, 0);
  const int right = std::min(dest.Right, canvas.GetWidth());
  const int bottom = std::min(dest.Bottom, canvas.GetHeight());
  if (right <= left || bottom <= top) return;
  const std::size_t rowBytes = static_cast<std::size_t>(right - left) * 3;
  for (int y = top; y < bottom; ++y)
    std::memcpy(canvas.ScanLine(y) + static_cast<std::ptrdiff_t>(left) * 3,
                fitted.constScanLine(y - dest.Top) + static_cast<std::ptrdiff_t>(left - dest.Left) * 3,
                rowBytes);
}

}  // namespace

bool IsBlankArea(const TBitmap& canvas, int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, canvas.GetWidth());
  bottom = std::min(bottom, canvas.GetHeight());
  for (int y = top; y < bottom; ++y) {
    const std::uint8_t* p = canvas.ScanLine(y) + static_cast<std::ptrdiff_t>(left) * 3;
    for (int x = left; x < right; ++x, p += 3) {
      const std::uint8_t b = p[0], g = p[1], r = p[2];
      const bool blackOrLime = r == 0 && b == 0 && (g == 0 || g == 255);
      const bool white = r == 255 && g == 255 && b == 255;
      if (!blackOrLime && !white) return false;
    }
  }
  return true;
}

bool ComposeFrame(TBitmap& canvas, const QImage& frame, const TFrameGeometry& dest, TColor background) {
  FillCanvas(canvas, background);
  PlaceFrame(canvas, frame, dest);
  return IsBlankArea(canvas, dest.Left, dest.Top, dest.Right, dest.Bottom);
}

int GifAnimateAddImage(TGIFImage& image, const TBitmap& source, std::int64_t transparentColor,
                       std::uint16_t delayMs, bool loop) {
  try {
    gifenc::AnimationSettings frame;
    frame.Delay = static_cast<std::uint16_t>(delayMs / 10);
    frame.Loop = loop;
    if (transparentColor != -1) frame.Transparent = static_cast<TColor>(transparentColor);
    return gifenc::AddAnimationFrame(image, source, frame);
  } catch (const std::exception&) {
    core::ReportError(QStringLiteral("GifAnimateAddImage function failed"),
                      QStringLiteral("CLM_GifAnimateAddImage"));
    return -1;
  }
}

std::unique_ptr<TGIFImage> NewAnimation(const TAssemblySettings& settings) {
  auto image = std::make_unique<TGIFImage>();
  if (settings.DitherIndex >= 0 && settings.DitherIndex <= 3) {
    gifenc::AnimationSettings configure;
    configure.Greyscale = settings.Greyscale;
    configure.Dither = settings.DitherIndex;
    gifenc::ConfigureAnimation(*image, configure);
  } else {
    image->SetColorReduction(settings.Greyscale ? rmGrayScale : rmQuantizeWindows);  // the dither mode keeps its default
    image->SetCompression(gcLZW);
  }
  // Only drawing uses the flag; the file is the same either way.
  if (!settings.Transparent) image->SetTransparent(false);
  return image;
}

TAssemblyResult AssembleGif(core::ConversionState& state, core::TActivityLog& log,
                            const TAssemblySettings& settings, IAssemblyProgress& progress) {
  progress.Open();
  log.Add(QStringLiteral("Stop recording. Convert bitmaps to GIF"));
  progress.SetGauge(0);

  // Canvas of the GIF size, reused for every frame: Add copies its pixels.
  TBitmap canvas(state.GifWidth, state.GifHeight, TPixelFormat::pf24bit);

  // After a report the main window has closed and freed the frames and the image; only the
  // dialog is left to close.
  const auto endAfterReport = [&] {
    state.FrameList.clear();
    progress.Close();
    return TAssemblyResult::Reported;
  };

  if (state.FImage) {
    state.FImage->Clear();
    state.FImage.reset();
  }
  try {
    state.FImage = NewAnimation(settings);
  } catch (const std::exception&) {
    core::ReportError(QStringLiteral("Error setup FImage"), QStringLiteral("CLM_FImage"));
    return endAfterReport();
  }
  progress.SetGauge(10);

  const int count = static_cast<int>(state.FrameList.size());
  const int passes = settings.Alternate ? 2 : 1;
  const TColor background = settings.Transparent ? kLime : kBlack;
  const std::int64_t transparent = settings.Transparent ? std::int64_t{kLime} : -1;
  try {
    std::optional<TFrameGeometry> dest;
    for (int pass = 1; pass <= passes; ++pass) {
      for (int j = 1; j <= count; ++j) {
        const int i = pass == 1 ? j : count - j + 1;
        QImage& frame = state.FrameList[static_cast<std::size_t>(i - 1)];
        if (!dest) dest = FrameGeometry(state.CropWidth, state.CropHeight, state.GifWidth, state.GifHeight);

        if (ComposeFrame(canvas, frame, *dest, background)) {
          // Its later passes would come out blank again, as a freed frame does.
          frame = QImage();
        } else {
          const int delayMs = core::RoundHalfEven(1000.0 / settings.FrameRate);
          if (delayMs < 0 || delayMs > 0xFFFF) throw core::NumberError("delay out of range");
          if (GifAnimateAddImage(*state.FImage, canvas, transparent,
                                 static_cast<std::uint16_t>(delayMs), settings.Loop) < 0)
            return endAfterReport();
        }
        if (pass == passes) frame = QImage();  // its last use

        progress.SetGauge(core::RoundHalfEven(j * 100.0 / (count * passes)) + (pass - 1) * 50);
      }
    }
  } catch (const std::exception&) {
    core::ReportError(
        QStringLiteral("Error converting recorded Bitmaps to GIF (number of bitmaps: %1)").arg(count),
        QStringLiteral("CLM_ProcessingGIF"));
    return endAfterReport();
  }

  state.FrameList.clear();
  log.Add(QStringLiteral("GIF complete."));
  progress.Close();
  return TAssemblyResult::Done;
}

}  // namespace convert
