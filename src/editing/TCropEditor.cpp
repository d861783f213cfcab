#include "TCropEditor.h"

#include "ErrorReport.h"
#include "Rounding.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QSpinBox>

#include <algorithm>
#include <exception>
#include <utility>

namespace editing {

namespace {

// A 1-pixel line of alternating black and white dots, seen on any picture.
class TDottedLine : public QWidget {
 public:
  TDottedLine(QWidget *parent, bool horizontal) : QWidget(parent), FHorizontal(horizontal) {}

 protected:
  void paintEvent(QPaintEvent *) override
  {
    QPainter painter(this);
    const int length = FHorizontal ? width() : height();
    for (int i = 0; i < length; ++i) {
      const QColor colour = i % 2 == 0 ? Qt::black : Qt::white;
      if (FHorizontal)
        painter.fillRect(i, 0, 1, height(), colour);
      else
        painter.fillRect(0, i, width(), 1, colour);
    }
  }

 private:
  bool FHorizontal;
};

// Elements far outside the player are not seen; their widgets stop there so that Qt's own
// rectangle arithmetic stays well inside the int range. The layout keeps the true values.
constexpr int kShownLimit = 1 << 24;

QRect Shown(const TCropRect &rect)
{
  const int left = std::clamp(rect.Left, -kShownLimit, kShownLimit);
  const int top = std::clamp(rect.Top, -kShownLimit, kShownLimit);
  return QRect(left, top, std::clamp(rect.Width, 0, kShownLimit),
               std::clamp(rect.Height, 0, kShownLimit));
}

QPoint Shown(QPoint point)
{
  return QPoint(std::clamp(point.x(), -kShownLimit, kShownLimit),
                std::clamp(point.y(), -kShownLimit, kShownLimit));
}

}  // namespace

TCropEditor::TCropEditor(QWidget *playerArea, const TCropFields &fields,
                         core::ConversionState &state, core::TActivityLog &log,
                         TCropPlayerHooks player)
    : FFields(fields), FState(state), FLog(log), FPlayer(std::move(player))
{
  // Created bottom to top: the drag area, the frame over it, the handles over everything.
  CropImage = new QWidget(playerArea);
  CropImage->setObjectName(QStringLiteral("CropImage"));
  CropImage->setCursor(Qt::SizeAllCursor);
  CropImage->installEventFilter(this);

  auto line = [playerArea](const char *name, bool horizontal) {
    QWidget *shape = new TDottedLine(playerArea, horizontal);
    shape->setObjectName(QLatin1String(name));
    return shape;
  };
  lntop = line("lntop", true);
  lnBottom = line("lnBottom", true);
  lnleft = line("lnleft", false);
  lnright = line("lnright", false);

  szLeftTop = CreateSizer(playerArea, "szLeftTop", Qt::SizeFDiagCursor);
  szRightBottom = CreateSizer(playerArea, "szRightBottom", Qt::SizeFDiagCursor);
  szRightTop = CreateSizer(playerArea, "szRightTop", Qt::SizeBDiagCursor);
  szLeftBottom = CreateSizer(playerArea, "szLeftBottom", Qt::SizeBDiagCursor);
  szTopMiddle = CreateSizer(playerArea, "szTopMiddle", Qt::SizeVerCursor);
  szBottomMiddle = CreateSizer(playerArea, "szBottomMiddle", Qt::SizeVerCursor);
  szLeftMiddle = CreateSizer(playerArea, "szLeftMiddle", Qt::SizeHorCursor);
  szRightMiddle = CreateSizer(playerArea, "szRightMiddle", Qt::SizeHorCursor);

  // Hidden until a video is opened. An explicit hide keeps them hidden when the window
  // is shown.
  for (QWidget *element : Elements()) {
    element->raise();
    element->hide();
  }
  Apply();
}

QFrame *TCropEditor::CreateSizer(QWidget *parent, const char *name, Qt::CursorShape cursor)
{
  auto *sizer = new QFrame(parent);
  sizer->setObjectName(QLatin1String(name));
  sizer->setFrameStyle(QFrame::Panel | QFrame::Raised);
  sizer->setLineWidth(1);
  QPalette white = sizer->palette();
  white.setColor(QPalette::Window, Qt::white);
  sizer->setPalette(white);
  sizer->setAutoFillBackground(true);
  sizer->resize(8, 9);
  sizer->setCursor(cursor);
  sizer->installEventFilter(this);
  return sizer;
}

// Bottom to top.
QList<QWidget *> TCropEditor::Elements() const
{
  return {CropImage,     lntop,         lnBottom,       lnleft,       lnright,
          szLeftTop,     szRightBottom, szRightTop,     szLeftBottom, szTopMiddle,
          szBottomMiddle, szLeftMiddle, szRightMiddle};
}

bool TCropEditor::VideoOpen() const
{
  return FState.SourceWidth > 0 && FState.DisplayWidth > 0;
}

TCropPicture TCropEditor::Picture() const
{
  return {FState.DisplayLeft, FState.DisplayTop,
          static_cast<double>(FState.SourceWidth) / FState.DisplayWidth};
}

// A field whose text is not an integer (empty, a lone sign) reads as 0.
int TCropEditor::ReadField(const QSpinBox *field)
{
  bool ok = false;
  const int value = field->locale().toInt(field->cleanText(), &ok);
  return ok ? value : 0;
}

void TCropEditor::WriteField(QSpinBox *field, int value)
{
  const bool wasUpdating = std::exchange(CropEditsUpdating, true);
  field->setValue(value);
  CropEditsUpdating = wasUpdating;
}

void TCropEditor::Apply()
{
  const std::pair<QFrame *, TCropHandle> sizers[] = {
      {szLeftTop, TCropHandle::LeftTop},         {szRightTop, TCropHandle::RightTop},
      {szLeftBottom, TCropHandle::LeftBottom},   {szRightBottom, TCropHandle::RightBottom},
      {szTopMiddle, TCropHandle::TopMiddle},     {szBottomMiddle, TCropHandle::BottomMiddle},
      {szLeftMiddle, TCropHandle::LeftMiddle},   {szRightMiddle, TCropHandle::RightMiddle}};
  for (const auto &[sizer, handle] : sizers)
    sizer->move(Shown(FLayout.Handle(handle)));
  lntop->setGeometry(Shown(FLayout.lntop));
  lnBottom->setGeometry(Shown(FLayout.lnBottom));
  lnleft->setGeometry(Shown(FLayout.lnleft));
  lnright->setGeometry(Shown(FLayout.lnright));
  CropImage->setGeometry(Shown(FLayout.CropImage));
}

void TCropEditor::EditValuesToArea()
{
  // Before a video is open there is no picture to place the overlay on (and no scale).
  if (!VideoOpen())
    return;
  try {
    const TCropValues values{ReadField(FFields.edLeft), ReadField(FFields.edTop),
                             ReadField(FFields.edWidth), ReadField(FFields.edHeight)};
    TCropLayout placed = FLayout;
    placed.PlaceFromValues(values, Picture());
    FLayout = placed;
    Apply();
  } catch (const std::exception &) {
    core::ReportError(
        QStringLiteral("Error painting Selection Area with edited values. BitmapWidth=%1"
                       "; BitmapHeight=%2")
            .arg(FState.SourceWidth)
            .arg(FState.SourceHeight),
        QStringLiteral("CLM_ValuesToCropArea"));
  }
}

void TCropEditor::FilloutEdits(bool isReset, bool /*isWindowJustOpen*/)
{
  if (!VideoOpen())
    return;
  try {
    const TCropValues values = FLayout.ValuesFromHandles(Picture());
    WriteField(FFields.edLeft, values.Left);
    WriteField(FFields.edTop, values.Top);
    WriteField(FFields.edWidth, values.Width);
    WriteField(FFields.edHeight, values.Height);
    if (isReset) {
      WriteField(FFields.edLeft, 0);
      WriteField(FFields.edTop, 0);
      WriteField(FFields.edWidth, FState.SourceWidth);
      WriteField(FFields.edHeight, FState.SourceHeight);
      EditValuesToArea();
    }
  } catch (const std::exception &) {
    core::ReportError(QStringLiteral("Error painting Selection Area. BitmapWidth=%1"
                                     "; BitmapHeight=%2")
                          .arg(FState.SourceWidth)
                          .arg(FState.SourceHeight),
                      QStringLiteral("CLM_PaintCropArea"));
  }
}

void TCropEditor::setcropareavisible(bool isvisible)
{
  for (QWidget *element : Elements())
    element->setVisible(isvisible);
  // Repaints and whatever else is pending run here, timer ticks included; nothing below
  // depends on the state they find or leave.
  QCoreApplication::processEvents();
}

void TCropEditor::FieldChanged()
{
  if (CropEditsUpdating)
    return;
  core::LogEvent(FLog, QStringLiteral(" ---> Crop Area Value Changed (Input Settings)."));
  EditValuesToArea();
}

void TCropEditor::PausePlayer()
{
  try {
    if (FPlayer.Pause)
      FPlayer.Pause();
  } catch (const std::exception &) {
    core::ReportError(QStringLiteral("Error pause player"), QStringLiteral("CLM_PausePlayer"));
  }
}

// Pausing for a drag leaves PlayerState alone, so it still tells whether to play on.
void TCropEditor::ResumeIfPlaying()
{
  if (FState.PlayerState == 1 && FPlayer.Play)
    FPlayer.Play();
}

bool TCropEditor::HandleOf(QObject *watched, TCropHandle &handle) const
{
  const std::pair<const QObject *, TCropHandle> sizers[] = {
      {szLeftTop, TCropHandle::LeftTop},         {szRightTop, TCropHandle::RightTop},
      {szLeftBottom, TCropHandle::LeftBottom},   {szRightBottom, TCropHandle::RightBottom},
      {szTopMiddle, TCropHandle::TopMiddle},     {szBottomMiddle, TCropHandle::BottomMiddle},
      {szLeftMiddle, TCropHandle::LeftMiddle},   {szRightMiddle, TCropHandle::RightMiddle}};
  for (const auto &[sizer, which] : sizers)
    if (sizer == watched) {
      handle = which;
      return true;
    }
  return false;
}

bool TCropEditor::eventFilter(QObject *watched, QEvent *event)
{
  const QEvent::Type type = event->type();
  const bool down = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
  const bool up = type == QEvent::MouseButtonRelease;
  const bool move = type == QEvent::MouseMove;
  if (!down && !up && !move)
    return QObject::eventFilter(watched, event);

  const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
  TCropHandle handle;
  if (HandleOf(watched, handle)) {
    if (down)
      SizerMouseDown(at);
    else if (move)
      SizerMouseMove(handle, at);
    else
      SizerMouseUp();
    return true;
  }
  if (watched == CropImage) {
    if (down)
      CropImageMouseDown(at);
    else if (move)
      CropImageMouseMove(at);
    else
      CropImageMouseUp();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void TCropEditor::SizerMouseDown(QPoint at)
{
  if (CropMoving)
    return;
  core::LogEvent(FLog, QStringLiteral(" ---> Resizing Crop Area."));
  GripPoint = at;
  CropResizing = true;
  PausePlayer();
}

void TCropEditor::SizerMouseMove(TCropHandle handle, QPoint at)
{
  if (!CropResizing)
    return;
  const QPoint position = FLayout.Handle(handle);
  const QPoint candidate = position + (at - GripPoint);
  TCropLayout moved = FLayout;
  try {
    if (!moved.MoveHandle(handle, candidate))
      return;
  } catch (const core::NumberError &) {
    // A frame that would leave the int range is refused like any other refused step.
    return;
  }
  FLayout = moved;
  Apply();
  FilloutEdits(false, false);
}

void TCropEditor::SizerMouseUp()
{
  CropResizing = false;
  ResumeIfPlaying();
}

void TCropEditor::CropImageMouseDown(QPoint at)
{
  core::LogEvent(FLog, QStringLiteral(" ---> Moving Crop Area."));
  GripPoint = at;
  CropMoving = true;
  FMoveFromPlayer = false;
  PausePlayer();
}

void TCropEditor::CropImageMouseMove(QPoint at)
{
  if (!CropMoving || FMoveFromPlayer)
    return;
  DragAreaTo(QPoint(FLayout.CropImage.Left, FLayout.CropImage.Top) + (at - GripPoint));
}

void TCropEditor::CropImageMouseUp()
{
  CropMoving = false;
  ResumeIfPlaying();
}

void TCropEditor::DragAreaTo(QPoint topLeft)
{
  TCropLayout moved = FLayout;
  try {
    moved.MoveDragArea(topLeft);
  } catch (const core::NumberError &) {
    return;
  }
  FLayout = moved;
  Apply();
  FilloutEdits(false, false);
}

void TCropEditor::PlayerMouseDown(int x, int y)
{
  if (CropResizing || (FPlayer.ConversionRunning && FPlayer.ConversionRunning()))
    return;
  const TCropRect &area = FLayout.CropImage;
  // Strictly inside, compared in 64 bits: the area may reach the end of the int range.
  const long long left = area.Left, top = area.Top;
  if (!(left < x && x < left + area.Width && top < y && y < top + area.Height))
    return;
  core::LogEvent(FLog, QStringLiteral(" ---> Moving Crop Area."));
  GripPoint = QPoint(x, y);
  FDragAreaAtPress = QPoint(area.Left, area.Top);
  CropMoving = true;
  FMoveFromPlayer = true;
  PausePlayer();
}

void TCropEditor::PlayerMouseMove(int x, int y)
{
  if (!CropMoving || !FMoveFromPlayer)
    return;
  DragAreaTo(FDragAreaAtPress + (QPoint(x, y) - GripPoint));
}

void TCropEditor::PlayerMouseUp(int, int)
{
  if (FPlayer.ConversionRunning && FPlayer.ConversionRunning())
    return;
  CropMoving = false;
  ResumeIfPlaying();
}

}  // namespace editing
