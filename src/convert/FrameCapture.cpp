#include "FrameCapture.h"

#include <QString>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "ErrorReport.h"
#include "FrameGeometry.h"
#include "Rounding.h"

namespace convert {

namespace {

// 32-bit xRGB rows to 24-bit blue, green, red rows of the same size.
QImage ToBgr24(const QImage& rgb32) {
  QImage out(rgb32.size(), QImage::Format_BGR888);
  if (out.isNull()) throw std::bad_alloc();
  const int w = rgb32.width();
  for (int y = 0; y < rgb32.height(); ++y) {
    const auto* src = reinterpret_cast<const std::uint32_t*>(rgb32.constScanLine(y));
    std::uint8_t* dst = out.scanLine(y);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = src[x];
      dst[3 * x] = static_cast<std::uint8_t>(p);
      dst[3 * x + 1] = static_cast<std::uint8_t>(p >> 8);
      dst[3 * x + 2] = static_cast<std::uint8_t>(p >> 16);
    }
  }
  return out;
}

QImage BlackBgr24(int width, int height) {
  QImage out(width, height, QImage::Format_BGR888);
  if (out.isNull()) throw std::bad_alloc();
  out.fill(0);
  return out;
}

}  // namespace

QImage CaptureCrop(const QImage& grabbed, int sourceWidth, int cropLeft, int cropTop,
                   int cropWidth, int cropHeight, int width, int height) {
  if (sourceWidth <= 0) throw std::invalid_argument("source width must be positive");
  if (width <= 0 || height <= 0) return QImage();
  if (grabbed.isNull()) return BlackBgr24(width, height);

  const QImage picture = grabbed.format() == QImage::Format_RGB32
                             ? grabbed
                             : grabbed.convertToFormat(QImage::Format_RGB32);
  if (picture.isNull()) throw std::bad_alloc();

  // The crop in the grabbed picture's pixels; sums are taken before scaling.
  const double s = static_cast<double>(picture.width()) / sourceWidth;
  const int left = core::RoundHalfEven(cropLeft * s);
  const int top = core::RoundHalfEven(cropTop * s);
  const int right = core::RoundHalfEven((static_cast<double>(cropLeft) + cropWidth) * s);
  const int bottom = core::RoundHalfEven((static_cast<double>(cropTop) + cropHeight) * s);
  if (right <= left || bottom <= top) return BlackBgr24(width, height);

  const int visLeft = std::max(left, 0), visTop = std::max(top, 0);
  const int visRight = std::min(right, picture.width());
  const int visBottom = std::min(bottom, picture.height());

  QImage crop;
  if (visLeft == left && visTop == top && visRight == right && visBottom == bottom) {
    // Wholly inside the picture: scale straight from the picture's rows, no copy.
    crop = QImage(picture.constScanLine(top) + static_cast<qsizetype>(left) * 4,
                  right - left, bottom - top, picture.bytesPerLine(), QImage::Format_RGB32);
  } else {
    crop = QImage(right - left, bottom - top, QImage::Format_RGB32);
    if (crop.isNull()) throw std::bad_alloc();
    crop.fill(0xFF000000u);
    if (visRight > visLeft && visBottom > visTop) {
      const std::size_t rowBytes = static_cast<std::size_t>(visRight - visLeft) * 4;
      for (int y = visTop; y < visBottom; ++y)
        std::memcpy(crop.scanLine(y - top) + static_cast<qsizetype>(visLeft - left) * 4,
                    picture.constScanLine(y) + static_cast<qsizetype>(visLeft) * 4, rowBytes);
    }
  }

  const QImage scaled =
      crop.size() == QSize(width, height)
          ? crop
          : crop.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (scaled.isNull()) throw std::bad_alloc();
  return ToBgr24(scaled);
}

bool CaptureFrame(core::ConversionState& state, const QImage* grabbed) {
  const std::size_t n = state.FrameList.size();
  try {
    state.FrameList.emplace_back();
    const TFrameGeometry g =
        FrameGeometry(state.CropWidth, state.CropHeight, state.GifWidth, state.GifHeight);
    state.FitWidth = g.FitWidth;
    state.FitHeight = g.FitHeight;
    static const QImage kNoPicture;
    state.FrameList[n] =
        CaptureCrop(grabbed ? *grabbed : kNoPicture, state.SourceWidth, state.CropLeft,
                    state.CropTop, state.CropWidth, state.CropHeight, g.Width(), g.Height());
    return true;
  } catch (const std::exception&) {
    ReportCaptureFailure(static_cast<long long>(n));
    return false;
  }
}

void ReportCaptureFailure(long long framesBefore) {
  core::ReportError(QStringLiteral("Error capturing Flash Player Frames (Bitmap # %1)").arg(framesBefore - 1),
                    QStringLiteral("CLM_Timer1Timer"));
}

}  // namespace convert
