#include "RendererGeometry.h"

#include "Rounding.h"

#include <QPainter>

#include <gst/gst.h>

#include <cmath>
#include <cstdint>

namespace player {

namespace {

// Bands of `area` outside `inner` (which lies inside area), in the order above, below,
// left, right; empty bands are left out.
std::vector<QRect> BandsAround(const QRect& area, const QRect& inner)
{
  std::vector<QRect> bands;
  const auto add = [&bands](const QRect& band) {
    if (!band.isEmpty())
      bands.push_back(band);
  };
  add(QRect(area.left(), area.top(), area.width(), inner.top() - area.top()));
  const int innerBottom = inner.top() + inner.height();
  const int areaBottom = area.top() + area.height();
  add(QRect(area.left(), innerBottom, area.width(), areaBottom - innerBottom));
  add(QRect(area.left(), inner.top(), inner.left() - area.left(), inner.height()));
  const int innerRight = inner.left() + inner.width();
  const int areaRight = area.left() + area.width();
  add(QRect(innerRight, inner.top(), areaRight - innerRight, inner.height()));
  return bands;
}

}  // namespace

QRect ZoomRectangle(QSize frameSize, int ratio, int shiftX, int shiftY)
{
  if (frameSize.isEmpty())
    return {};
  const double width = frameSize.width();
  const double height = frameSize.height();
  const double visibleWidth = width - (ratio * width) / 100.0;
  const double visibleHeight = visibleWidth * height / width;
  // All terms are integers far below 2^53 (or truncations of such), so these sums are
  // exact; the range check below comes before any conversion to int.
  const double marginX = std::trunc((width - visibleWidth) / 2.0);
  const double marginY = std::trunc((height - visibleHeight) / 2.0);
  const double left = shiftX + marginX;
  const double top = shiftY + marginY;
  const double right = shiftX + std::trunc(visibleWidth) + marginX;
  const double bottom = shiftY + std::trunc(visibleHeight) + marginY;
  if (!(left >= 0 && top >= 0 && left < right && top < bottom && right <= width &&
        bottom <= height))
    return {};
  return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
               static_cast<int>(bottom - top));
}

QRect FitRectangle(QSize area, int aspectWidth, int aspectHeight)
{
  if (area.isEmpty() || aspectWidth <= 0 || aspectHeight <= 0)
    return {};
  const int areaWidth = area.width();
  const int areaHeight = area.height();
  // areaWidth / areaHeight >= aspectWidth / aspectHeight, compared exactly.
  const bool keepHeight = std::int64_t{areaWidth} * aspectHeight >=
                          std::int64_t{areaHeight} * aspectWidth;
  // The products are exact in a double, so a result that is truly half-way stays half-way
  // and rounds to even as meant.
  if (keepHeight) {
    const int fittedWidth =
        core::RoundHalfEven(static_cast<double>(areaHeight) * aspectWidth / aspectHeight);
    const int left = core::RoundHalfEven((areaWidth - fittedWidth) / 2.0);
    return QRect(left, 0, fittedWidth, areaHeight);
  }
  const int fittedHeight =
      core::RoundHalfEven(static_cast<double>(areaWidth) * aspectHeight / aspectWidth);
  const int top = core::RoundHalfEven((areaHeight - fittedHeight) / 2.0);
  return QRect(0, top, areaWidth, fittedHeight);
}

TRendererGeometry ComputeRendererGeometry(QSize widgetSize, QSize frameSize,
                                          const TDisplaySettings& settings)
{
  TRendererGeometry geometry;
  if (widgetSize.isEmpty())
    return geometry;
  const QRect widgetArea(QPoint(0, 0), widgetSize);
  if (frameSize.isEmpty()) {
    geometry.Background.push_back(widgetArea);
    return geometry;
  }

  geometry.Source = QRect(QPoint(0, 0), frameSize);
  if (settings.Screen_Zoom_Ratio >= 1) {
    const QRect zoomed = ZoomRectangle(frameSize, settings.Screen_Zoom_Ratio,
                                       settings.Screen_Zoom_ShiftX, settings.Screen_Zoom_ShiftY);
    if (zoomed.isEmpty())
      geometry.ZoomFailed = true;
    else
      geometry.Source = zoomed;
  }

  const bool forcedAspect = settings.Screen_Aspect_Ratio_Override &&
                            settings.Screen_Aspect_Ratio_X > 0 &&
                            settings.Screen_Aspect_Ratio_Y > 0;
  if (forcedAspect)
    geometry.Destination = FitRectangle(widgetSize, settings.Screen_Aspect_Ratio_X,
                                        settings.Screen_Aspect_Ratio_Y);
  else if (settings.Screen_Stretch)
    geometry.Destination = widgetArea;
  else
    // Letterboxed by the picture's own aspect, whatever part of it the zoom shows (the
    // zoom rectangle keeps that aspect up to whole pixels), so the picture's place in the
    // control does not move with the zoom.
    geometry.Destination = FitRectangle(widgetSize, frameSize.width(), frameSize.height());

  geometry.FlipHorizontal = settings.Screen_Flip_Horizontal;
  geometry.FlipVertical = settings.Screen_Flip_Vertical;
  geometry.Background = BandsAround(widgetArea, geometry.Destination);
  return geometry;
}

void PaintFrame(QPainter& painter, const QImage& frame, QSize widgetSize,
                const TDisplaySettings& settings, QColor background)
{
  const TRendererGeometry geometry =
      ComputeRendererGeometry(widgetSize, frame.isNull() ? QSize() : frame.size(), settings);
  for (const QRect& band : geometry.Background)
    painter.fillRect(band, background);
  if (geometry.Destination.isEmpty())
    return;

  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  const QRectF target(geometry.Destination);
  // Mirror about the destination's centre line: x -> 2*left + width - x.
  if (geometry.FlipHorizontal) {
    painter.translate(2 * target.left() + target.width(), 0);
    painter.scale(-1, 1);
  }
  if (geometry.FlipVertical) {
    painter.translate(0, 2 * target.top() + target.height());
    painter.scale(1, -1);
  }
  painter.drawImage(target, frame, QRectF(geometry.Source));
  painter.restore();
}

bool ElementFactoriesExist(const std::vector<const char*>& factoryNames)
{
  if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, nullptr))
    return false;
  for (const char* name : factoryNames) {
    GstElementFactory* factory = gst_element_factory_find(name);
    if (factory == nullptr)
      return false;
    gst_object_unref(factory);
  }
  return true;
}

bool DisplayElementsAvailable()
{
  return ElementFactoriesExist({"videoconvert", "appsink", "videoflip"});
}

}  // namespace player
