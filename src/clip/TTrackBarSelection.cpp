#include "TTrackBarSelection.h"

#include <QEvent>
#include <QPainter>
#include <QSlider>

#include "ClipGeometry.h"
#include "Rounding.h"

namespace clip {

namespace {

constexpr int kBandHeight = 3;

}  // namespace

TTrackBarSelection::TTrackBarSelection(QSlider *trackBar) : QWidget(trackBar), FTrackBar(trackBar)
{
  setObjectName(QStringLiteral("VideoTrackBarSelection"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setGeometry(trackBar->rect());
  trackBar->installEventFilter(this);
  connect(trackBar, &QSlider::rangeChanged, this, qOverload<>(&QWidget::update));
  show();
}

void TTrackBarSelection::SetSelStart(int tick)
{
  FSelStart = tick;
  update();
}

void TTrackBarSelection::SetSelEnd(int tick)
{
  FSelEnd = tick;
  update();
}

int TTrackBarSelection::BandLeft() const
{
  return TickPixel(FTrackBar->width(), FTrackBar->maximum(), FSelStart);
}

int TTrackBarSelection::BandRight() const
{
  return TickPixel(FTrackBar->width(), FTrackBar->maximum(), FSelEnd);
}

void TTrackBarSelection::paintEvent(QPaintEvent *)
{
  if (!BandShown())
    return;
  int left = 0;
  int right = 0;
  try {
    left = BandLeft();
    right = BandRight();
  } catch (const core::NumberError &) {
    return;  // a selection far beyond the bar's range: nothing sensible to draw
  }
  QPainter painter(this);
  painter.fillRect(QRect(left, height() - kBandHeight, std::max(right - left, 1), kBandHeight),
                   palette().color(QPalette::Highlight));
}

bool TTrackBarSelection::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == FTrackBar && event->type() == QEvent::Resize)
    setGeometry(FTrackBar->rect());
  return QWidget::eventFilter(watched, event);
}

}  // namespace clip
