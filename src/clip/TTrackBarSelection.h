// The clip shown on the position bar: a band from the selection's start tick to its end
// tick, drawn along the bottom of the bar. QSlider has no selection of its own, so this
// is a child widget laid over the bar that lets every mouse event through to it.
//
// Ticks are the bar's own units (whole seconds). An end at or before the start shows no
// band. UI thread.
#pragma once

#include <QWidget>

class QSlider;

namespace clip {

class TTrackBarSelection : public QWidget {
  Q_OBJECT

 public:
  // Lays itself over trackBar (its parent) and follows its size and range.
  explicit TTrackBarSelection(QSlider *trackBar);

  int SelStart() const { return FSelStart; }
  int SelEnd() const { return FSelEnd; }
  void SetSelStart(int tick);
  void SetSelEnd(int tick);

  // Pixels of the band inside the bar: [left, right); empty when nothing is shown.
  int BandLeft() const;
  int BandRight() const;
  bool BandShown() const { return FSelEnd > FSelStart; }

 protected:
  void paintEvent(QPaintEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  QSlider *FTrackBar;
  int FSelStart = 0;
  int FSelEnd = 0;
};

}  // namespace clip
