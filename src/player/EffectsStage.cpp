#include "EffectsStage.h"

#include <QColor>
#include <QFont>
#include <QPainter>

#include <algorithm>
#include <array>
#include <utility>

namespace player {

namespace {

// Frames are drawn on at 96 dots per inch, so a font's point size maps to the same pixel
// size on every machine (36 pt = 48 px). 96 / 0.0254 m, rounded.
constexpr int kDotsPerMeter96Dpi = 3780;

// One colour descriptor as the stage needs it.
struct ColourOp {
  TVFEffectType type;
  int amount;  // clamped to 0 ... 255
  std::int64_t start;
  std::int64_t stop;
};

// The per-frame work: one lookup table per channel value (lightness, contrast, darkness
// composed in list order), then a mix toward the pixel's grey level. saturation 255 keeps
// the colours, 0 gives grey.
struct Tables {
  bool lutIsIdentity = true;
  std::array<std::uint8_t, 256> lut{};
  int saturation = 255;
  std::array<std::int16_t, 511> saturate{};  // index d + 255: d * saturation / 255, rounded
};

bool ActiveAt(std::int64_t start, std::int64_t stop, std::int64_t positionMs)
{
  if (start == 0 && stop == 0)
    return true;
  return positionMs >= start && (stop == 0 || positionMs < stop);
}

bool HasTimeWindow(std::int64_t start, std::int64_t stop) { return start != 0 || stop != 0; }

int ClampByte(int v) { return std::clamp(v, 0, 255); }

// Rounded integer division of a non-negative numerator.
int DivRound(int numerator, int denominator) { return (numerator + denominator / 2) / denominator; }

// Each mapping is the identity at its neutral amount and monotonic in the amount.
int MapChannel(TVFEffectType type, int amount, int c)
{
  switch (type) {
    case ef_lightness:  // toward white: 255 gives white
      return DivRound(c * 255 + (255 - c) * amount, 255);
    case ef_darkness:  // toward black: 255 gives black
      return DivRound(c * (255 - amount), 255);
    case ef_contrast: {  // spread around mid-grey, up to four times at 255
      const int gain = 255 + 3 * amount;  // in 1/255
      const int d = (c - 128) * gain;
      const int spread = d >= 0 ? DivRound(d, 255) : -DivRound(-d, 255);
      return ClampByte(128 + spread);
    }
    default:
      return c;
  }
}

Tables BuildTables(const std::vector<ColourOp> &ops, bool useTime, std::int64_t positionMs)
{
  Tables t;
  for (int c = 0; c < 256; ++c)
    t.lut[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c);
  for (const ColourOp &op : ops) {
    if (useTime && !ActiveAt(op.start, op.stop, positionMs))
      continue;
    switch (op.type) {
      case ef_lightness:
      case ef_darkness:
      case ef_contrast:
        for (auto &v : t.lut)
          v = static_cast<std::uint8_t>(MapChannel(op.type, op.amount, v));
        break;
      case ef_saturation:
        t.saturation = DivRound(t.saturation * op.amount, 255);
        break;
      case ef_greyscale:
        t.saturation = 0;
        break;
      default:
        break;
    }
  }
  for (int c = 0; c < 256; ++c)
    if (t.lut[static_cast<std::size_t>(c)] != c)
      t.lutIsIdentity = false;
  for (int d = -255; d <= 255; ++d) {
    const int m = d >= 0 ? DivRound(d * t.saturation, 255) : -DivRound(-d * t.saturation, 255);
    t.saturate[static_cast<std::size_t>(d + 255)] = static_cast<std::int16_t>(m);
  }
  return t;
}

// 0x00BBGGRR, red in the low byte.
QColor FromColorRef(std::uint32_t c)
{
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

struct Overlay {
  QString text;
  QFont font;
  QColor color;
  bool transparentBackground;
  QColor background;
  qreal opacity;
  QPoint topLeft;
  std::int64_t start;
  std::int64_t stop;
};

void ApplyTables(const Tables &t, QImage &frame)
{
  const bool mix = t.saturation != 255;
  if (t.lutIsIdentity && !mix)
    return;
  const std::uint8_t *lut = t.lut.data();
  const std::int16_t *sat = t.saturate.data() + 255;
  const bool grey = t.saturation == 0;
  const int width = frame.width();
  for (int y = 0; y < frame.height(); ++y) {
    auto *row = reinterpret_cast<std::uint32_t *>(frame.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = row[x];
      int b = lut[p & 0xFF];
      int g = lut[(p >> 8) & 0xFF];
      int r = lut[(p >> 16) & 0xFF];
      if (mix) {
        // Rec. 601 luma in 1/256; the result always lies between the grey level and the
        // channel, so no clamp is needed.
        const int luma = (77 * r + 150 * g + 29 * b + 128) >> 8;
        if (grey) {
          r = g = b = luma;
        } else {
          r = luma + sat[r - luma];
          g = luma + sat[g - luma];
          b = luma + sat[b - luma];
        }
      }
      row[x] = (p & 0xFF000000u) | (static_cast<std::uint32_t>(r) << 16) |
               (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
    }
  }
}

void DrawOverlays(const std::vector<Overlay> &overlays, QImage &frame, std::int64_t positionMs)
{
  bool any = false;
  for (const Overlay &o : overlays)
    any = any || ActiveAt(o.start, o.stop, positionMs);
  if (!any)
    return;
  if (frame.dotsPerMeterX() != kDotsPerMeter96Dpi)
    frame.setDotsPerMeterX(kDotsPerMeter96Dpi);
  if (frame.dotsPerMeterY() != kDotsPerMeter96Dpi)
    frame.setDotsPerMeterY(kDotsPerMeter96Dpi);
  QPainter painter(&frame);
  painter.setRenderHint(QPainter::TextAntialiasing);
  constexpr int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip;
  for (const Overlay &o : overlays) {
    if (!ActiveAt(o.start, o.stop, positionMs))
      continue;
    painter.setOpacity(o.opacity);
    painter.setFont(o.font);
    const QRect anchor(o.topLeft, QSize(0, 0));
    if (!o.transparentBackground)
      painter.fillRect(painter.boundingRect(anchor, flags, o.text), o.background);
    painter.setPen(o.color);
    painter.drawText(anchor, flags, o.text);
  }
}

}  // namespace

struct EffectsStage::Prepared {
  std::vector<CVFEffect> effects;  // as received, for Effects()
  std::vector<ColourOp> colourOps;  // enabled colour effects, in list order
  bool anyTimeWindow = false;
  Tables always;  // colourOps composed, valid when !anyTimeWindow
  std::vector<Overlay> overlays;  // enabled, visible text overlays, in list order
};

EffectsStage::EffectsStage() { Publish({}); }

EffectsStage::~EffectsStage() = default;

void EffectsStage::AddEffect(const CVFEffect &effect)
{
  effects_.push_back(effect);
  Publish(effects_);
}

void EffectsStage::UpdateEffect(const CVFEffect &effect)
{
  auto it = std::find_if(effects_.begin(), effects_.end(),
                         [&](const CVFEffect &e) { return e.ID == effect.ID; });
  if (it != effects_.end())
    *it = effect;
  else
    effects_.push_back(effect);
  Publish(effects_);
}

void EffectsStage::RemoveEffect(int ID)
{
  std::erase_if(effects_, [ID](const CVFEffect &e) { return e.ID == ID; });
  Publish(effects_);
}

void EffectsStage::Clear()
{
  effects_.clear();
  Publish(effects_);
}

std::vector<CVFEffect> EffectsStage::Effects() const
{
  std::shared_ptr<const Prepared> snapshot;
  {
    std::lock_guard lock(snapshotMutex_);
    snapshot = snapshot_;
  }
  return snapshot->effects;
}

void EffectsStage::Publish(std::vector<CVFEffect> effects)
{
  auto prepared = std::make_shared<Prepared>();
  for (const CVFEffect &e : effects) {
    if (!e.Enabled)
      continue;
    if (e._type == ef_text_logo) {
      const CVFTextLogo &logo = e.TextLogo;
      const int transp = static_cast<int>(std::min<std::uint32_t>(logo.transp, 255));
      if (logo.text.isEmpty() || transp == 255 || logo.font_size <= 0)
        continue;
      QFont font(logo.font_name);
      font.setPointSize(logo.font_size);
      font.setBold(logo.font_bold);
      font.setItalic(logo.font_italic);
      font.setUnderline(logo.font_underline);
      font.setStrikeOut(logo.font_strikeout);
      prepared->overlays.push_back(Overlay{logo.text, font, FromColorRef(logo.font_color),
                                           logo.transparent_bg, FromColorRef(logo.bg_color),
                                           (255 - transp) / 255.0, QPoint(logo.x, logo.y),
                                           e.StartTime, e.StopTime});
      continue;
    }
    switch (e._type) {
      case ef_lightness:
      case ef_darkness:
      case ef_contrast:
      case ef_saturation:
      case ef_greyscale:
        prepared->colourOps.push_back(
            ColourOp{e._type, std::clamp(e.pAmountI, 0, 255), e.StartTime, e.StopTime});
        prepared->anyTimeWindow =
            prepared->anyTimeWindow || HasTimeWindow(e.StartTime, e.StopTime);
        break;
      default:
        break;  // kinds Quorvane never uses are carried but not applied
    }
  }
  prepared->always = BuildTables(prepared->colourOps, false, 0);
  prepared->effects = std::move(effects);

  std::lock_guard lock(snapshotMutex_);
  snapshot_ = std::move(prepared);
}

void EffectsStage::Apply(QImage &frame, std::int64_t positionMs) const
{
  if (frame.format() != QImage::Format_RGB32 || frame.isNull())
    return;
  std::shared_ptr<const Prepared> snapshot;
  {
    std::lock_guard lock(snapshotMutex_);
    snapshot = snapshot_;
  }
  if (snapshot->anyTimeWindow)
    ApplyTables(BuildTables(snapshot->colourOps, true, positionMs), frame);
  else
    ApplyTables(snapshot->always, frame);
  DrawOverlays(snapshot->overlays, frame, positionMs);
}

}  // namespace player
