// The crop area editor: the crop rectangle as four integer fields in video pixels and as an
// overlay over the player (a dotted frame, eight sizer handles and a transparent drag area
// inside the frame), each kept up to date from the other. Dragging a handle resizes the
// rectangle, dragging inside the frame moves it, a user edit of a field places the overlay.
//
// UI thread only. The overlay elements are children of the player area and owned by it;
// the editor must go before the player area does. They stay hidden until the first video
// is opened. Pointer events on the elements arrive through this object's event filter;
// presses on the player itself come in through PlayerMouseDown/Move/Up in the player
// area's pixels.
#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

#include <functional>

#include "ActivityLog.h"
#include "ConversionState.h"
#include "TCropLayout.h"

class QFrame;
class QSpinBox;
class QWidget;

namespace editing {

// The crop fields the editor reads and writes: edLeft, edTop, edWidth, edHeight.
struct TCropFields {
  QSpinBox *edLeft = nullptr;
  QSpinBox *edTop = nullptr;
  QSpinBox *edWidth = nullptr;
  QSpinBox *edHeight = nullptr;
};

// What the editor needs of the player and of a running conversion.
struct TCropPlayerHooks {
  // Pause at the press that starts a drag. A failure is thrown and reported here.
  std::function<void()> Pause;
  // Resume at the release of a drag when the video was playing.
  std::function<void()> Play;
  // The capture timer is running: presses on the player do not start a move, a release on
  // it does nothing.
  std::function<bool()> ConversionRunning;
};

class TCropEditor : public QObject {
  Q_OBJECT

 public:
  // playerArea is the widget the overlay is placed over (the player fills it at 0,0); the
  // fields, state and log must outlive the editor. The state is read only: SourceWidth,
  // SourceHeight, the Display rectangle and PlayerState.
  TCropEditor(QWidget *playerArea, const TCropFields &fields, core::ConversionState &state,
              core::TActivityLog &log, TCropPlayerHooks player);

  // Places the overlay from the four fields. Before any video is open it does nothing.
  // A failure is reported ("CLM_ValuesToCropArea").
  void EditValuesToArea();
  // Writes the four fields from the overlay; isReset then resets the rectangle to the whole
  // picture and places the overlay from it. isWindowJustOpen has no effect. Before any video
  // is open it does nothing. A failure is reported ("CLM_PaintCropArea").
  void FilloutEdits(bool isReset, bool isWindowJustOpen);
  // Shows or hides all thirteen elements, then lets pending events run (timer ticks
  // included) so the change is on screen when it returns.
  void setcropareavisible(bool isvisible);

  // Change notification of any crop field. The editor's own writes are ignored; anything
  // else is a user edit: logged, and the overlay is placed from the fields.
  void FieldChanged();

  // Pointer events on the player itself, in player-area pixels.
  void PlayerMouseDown(int x, int y);
  void PlayerMouseMove(int x, int y);
  void PlayerMouseUp(int x, int y);

  // Drag state. GripPoint is the pointer at the press, in the pressed element's pixels.
  bool CropMoving = false;
  bool CropResizing = false;
  QPoint GripPoint;
  // Set while the editor writes a crop field itself.
  bool CropEditsUpdating = false;

  const TCropLayout &Layout() const { return FLayout; }

  // The overlay elements, named as the window's layout names them.
  QFrame *szLeftTop = nullptr;
  QFrame *szRightTop = nullptr;
  QFrame *szLeftBottom = nullptr;
  QFrame *szRightBottom = nullptr;
  QFrame *szTopMiddle = nullptr;
  QFrame *szBottomMiddle = nullptr;
  QFrame *szLeftMiddle = nullptr;
  QFrame *szRightMiddle = nullptr;
  QWidget *lntop = nullptr;
  QWidget *lnBottom = nullptr;
  QWidget *lnleft = nullptr;
  QWidget *lnright = nullptr;
  QWidget *CropImage = nullptr;

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  TCropFields FFields;
  core::ConversionState &FState;
  core::TActivityLog &FLog;
  TCropPlayerHooks FPlayer;
  TCropLayout FLayout;
  // The current move began with a press on the player, not on the drag area.
  bool FMoveFromPlayer = false;
  // Drag area position at that press.
  QPoint FDragAreaAtPress;

  QList<QWidget *> Elements() const;
  bool VideoOpen() const;
  TCropPicture Picture() const;
  static int ReadField(const QSpinBox *field);
  void WriteField(QSpinBox *field, int value);
  void Apply();
  void PausePlayer();
  void ResumeIfPlaying();

  QFrame *CreateSizer(QWidget *parent, const char *name, Qt::CursorShape cursor);
  bool HandleOf(QObject *watched, TCropHandle &handle) const;
  void SizerMouseDown(QPoint at);
  void SizerMouseMove(TCropHandle handle, QPoint at);
  void SizerMouseUp();
  void CropImageMouseDown(QPoint at);
  void CropImageMouseMove(QPoint at);
  void CropImageMouseUp();
  // Moves the drag area to topLeft, the frame with it, and rewrites the fields.
  void DragAreaTo(QPoint topLeft);
};

}  // namespace editing
