#include "TCropEditor.h"

#include "ErrorReport.h"
#include "Rounding.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <stdexcept>

namespace {

using editing::TCropEditor;
using editing::TCropValues;

// The picture rectangle the opening code computes for a W x H video in the 375 x 263
// player area: letterboxed, aspect kept, halves rounded to even.
void OpenVideo(core::ConversionState &state, int w, int h)
{
  state.SourceWidth = w;
  state.SourceHeight = h;
  if (375.0 / 263.0 < double(w) / h) {
    state.DisplayWidth = 375;
    state.DisplayHeight = core::RoundHalfEven(double(375 * h) / w);
    state.DisplayLeft = 0;
    state.DisplayTop = core::RoundHalfEven((263 - state.DisplayHeight) / 2.0);
  } else {
    state.DisplayHeight = 263;
    state.DisplayWidth = core::RoundHalfEven(double(263 * w) / h);
    state.DisplayLeft = core::RoundHalfEven((375 - state.DisplayWidth) / 2.0);
    state.DisplayTop = 0;
  }
}

void SendMouse(QWidget *target, QEvent::Type type, QPoint at)
{
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(target, &event);
}

// Press at `from`, one move to `to`, release there; both in the target's pixels at the
// press (Qt reports later positions relative to where the element is then).
void Drag(QWidget *target, QPoint from, QPoint to)
{
  SendMouse(target, QEvent::MouseButtonPress, from);
  const QPoint before = target->pos();
  SendMouse(target, QEvent::MouseMove, to);
  SendMouse(target, QEvent::MouseButtonRelease, to - (target->pos() - before));
}

// The editor over a bare 375 x 263 player area with its four fields, a recording player
// and a recording error handler.
class CropEditorTest : public testing::Test {
 protected:
  CropEditorTest()
  {
    area.resize(375, 263);
    for (QSpinBox *field : {&edLeft, &edTop, &edWidth, &edHeight}) {
      field->setRange(INT_MIN, INT_MAX);
      QObject::connect(field, &QSpinBox::valueChanged, [this] { editor.FieldChanged(); });
    }
    core::SetReportErrorHandler([this](const QString &message, const QString &mark) {
      reports.append(message + QStringLiteral(" | ") + mark);
    });
    area.show();
  }
  ~CropEditorTest() override { core::SetReportErrorHandler({}); }

  void Open(int w, int h)
  {
    OpenVideo(state, w, h);
    editor.FilloutEdits(true, true);
    editor.setcropareavisible(true);
  }

  TCropValues Fields() const
  {
    return {edLeft.value(), edTop.value(), edWidth.value(), edHeight.value()};
  }

  int LogCount(const QString &text) const
  {
    int count = 0;
    for (const QString &line : log.Lines())
      count += line.endsWith(text) ? 1 : 0;
    return count;
  }

  QWidget area;
  QSpinBox edLeft, edTop, edWidth, edHeight;
  core::ConversionState state;
  core::TActivityLog log;
  int pauses = 0;
  int plays = 0;
  bool conversionRunning = false;
  std::function<void()> pauseAction;
  QStringList reports;
  TCropEditor editor{&area, {&edLeft, &edTop, &edWidth, &edHeight}, state, log,
                     {[this] { ++pauses; if (pauseAction) pauseAction(); },
                      [this] { ++plays; }, [this] { return conversionRunning; }}};
};

const QString kResizing = QStringLiteral(" ---> Resizing Crop Area.");
const QString kMoving = QStringLiteral(" ---> Moving Crop Area.");
const QString kEdited = QStringLiteral(" ---> Crop Area Value Changed (Input Settings).");

// Opening resets the crop to the whole picture and frames the picture exactly; a handle
// drag that ends where it started reads the overlay back, losing about a player pixel.
struct OpeningCase {
  int w, h;
  QPoint lt, rb;
  QRect frame;  // left line x, top line y, right line x, bottom line y (as a QRect's corners)
  TCropValues afterNoOpDrag;
};

void PrintTo(const OpeningCase &c, std::ostream *out) { *out << c.w << "x" << c.h; }

class CropOpening : public CropEditorTest, public testing::WithParamInterface<OpeningCase> {};

TEST_P(CropOpening, FramesTheWholePictureAndReadsBackOnePixelShort)
{
  const OpeningCase &c = GetParam();
  Open(c.w, c.h);
  EXPECT_EQ(Fields(), (TCropValues{0, 0, c.w, c.h}));
  EXPECT_EQ(editor.Layout().LT, c.lt);
  EXPECT_EQ(editor.Layout().RB, c.rb);
  EXPECT_EQ(editor.lnleft->geometry(),
            QRect(c.frame.left(), c.frame.top(), 1, c.frame.height() - 1));
  EXPECT_EQ(editor.lnright->x(), c.frame.right());
  EXPECT_EQ(editor.lntop->geometry(), QRect(c.frame.left(), c.frame.top(), c.frame.width() - 1, 1));
  EXPECT_EQ(editor.lnBottom->y(), c.frame.bottom());
  // The drag area covers exactly the inside of the frame.
  EXPECT_EQ(editor.CropImage->geometry(),
            QRect(c.frame.left(), c.frame.top(), c.frame.width() - 1, c.frame.height() - 1));
  EXPECT_EQ(editor.szLeftTop->pos(), c.lt);
  EXPECT_EQ(editor.szRightBottom->pos(), c.rb);
  EXPECT_EQ(editor.szLeftTop->size(), QSize(8, 9));
  // The editor's own writes are not user edits.
  EXPECT_EQ(LogCount(kEdited), 0);

  for (QFrame *handle : {editor.szLeftTop, editor.szRightBottom, editor.szTopMiddle}) {
    Open(c.w, c.h);
    Drag(handle, {4, 4}, {4, 4});
    EXPECT_EQ(Fields(), c.afterNoOpDrag) << handle->objectName().toStdString();
  }
  EXPECT_TRUE(reports.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Videos, CropOpening,
    testing::Values(
        // Picture at 12,0 351x263, s = 640/351.
        OpeningCase{640, 480, {8, -4}, {358, 258}, QRect(QPoint(12, 0), QPoint(362, 262)),
                    {0, 0, 638, 478}},
        // Picture at 0,26 375x211, s = 1280/375.
        OpeningCase{1280, 720, {-4, 22}, {370, 232}, QRect(QPoint(0, 26), QPoint(374, 236)),
                    {0, 0, 1277, 717}}));

// Each handle moves only while it stays strictly on its side of the opposite handle; a
// corner that fails on one axis moves on neither. Accepted moves drag the handles that
// share the edge along. Layout after opening 640x480: LT 8,-4  RB 358,258.
struct HandleCase {
  const char *handle;
  QPoint by;
  bool accepted;
  QPoint lt, rb;  // corners afterwards
};

void PrintTo(const HandleCase &c, std::ostream *out)
{
  *out << c.handle << " by " << c.by.x() << "," << c.by.y();
}

class CropHandleDrag : public CropEditorTest, public testing::WithParamInterface<HandleCase> {};

TEST_P(CropHandleDrag, MovesOnlyWhileOnItsSideOfTheOppositeHandle)
{
  const HandleCase &c = GetParam();
  Open(640, 480);
  auto *handle = area.findChild<QFrame *>(QLatin1String(c.handle));
  ASSERT_NE(handle, nullptr);
  // Pressed off its corner: the grip offset must not count as movement.
  Drag(handle, {2, 6}, QPoint(2, 6) + c.by);

  const editing::TCropLayout &layout = editor.Layout();
  EXPECT_EQ(layout.LT, c.lt);
  EXPECT_EQ(layout.RB, c.rb);
  EXPECT_EQ(layout.LB, QPoint(c.lt.x(), c.rb.y()));
  EXPECT_EQ(layout.RT, QPoint(c.rb.x(), c.lt.y()));
  EXPECT_EQ(layout.TM, QPoint(c.lt.x() + (c.rb.x() - c.lt.x()) / 2, c.lt.y()));
  EXPECT_EQ(layout.RM, QPoint(c.rb.x(), c.lt.y() + (c.rb.y() - c.lt.y()) / 2));
  EXPECT_EQ(editor.lnright->x(), c.rb.x() + 4);
  EXPECT_EQ(editor.CropImage->geometry(),
            QRect(c.lt.x() + 4, c.lt.y() + 4, c.rb.x() - c.lt.x(), c.rb.y() - c.lt.y()));
  if (c.accepted)
    EXPECT_EQ(Fields(), layout.ValuesFromHandles({12, 0, 640.0 / 351}));
  else
    EXPECT_EQ(Fields(), (TCropValues{0, 0, 640, 480})) << "a refused move rewrites nothing";
  EXPECT_FALSE(editor.CropResizing);
}

const QPoint kLT{8, -4}, kRB{358, 258};

INSTANTIATE_TEST_SUITE_P(
    Handles, CropHandleDrag,
    testing::Values(
        HandleCase{"szLeftTop", {350, 0}, false, kLT, kRB},  // onto RB's column
        HandleCase{"szLeftTop", {10, 262}, false, kLT, kRB}, // x fine, y onto RB's row
        HandleCase{"szLeftTop", {349, 5}, true, {357, 1}, kRB},
        HandleCase{"szRightBottom", {-350, -10}, false, kLT, kRB},
        HandleCase{"szRightBottom", {-10, -10}, true, kLT, {348, 248}},
        HandleCase{"szLeftBottom", {350, 0}, false, kLT, kRB},
        HandleCase{"szLeftBottom", {5, -262}, false, kLT, kRB},
        HandleCase{"szLeftBottom", {5, -5}, true, {13, -4}, {358, 253}},
        HandleCase{"szRightTop", {0, 262}, false, kLT, kRB},
        HandleCase{"szRightTop", {-5, 5}, true, {8, 1}, {353, 258}},
        HandleCase{"szTopMiddle", {0, 262}, false, kLT, kRB},
        HandleCase{"szTopMiddle", {30, 10}, true, {8, 6}, kRB},  // x ignored
        HandleCase{"szBottomMiddle", {0, -262}, false, kLT, kRB},
        HandleCase{"szBottomMiddle", {30, -10}, true, kLT, {358, 248}},
        HandleCase{"szLeftMiddle", {350, 0}, false, kLT, kRB},
        HandleCase{"szLeftMiddle", {10, 30}, true, {18, -4}, kRB},  // y ignored
        HandleCase{"szRightMiddle", {-350, 0}, false, kLT, kRB},
        HandleCase{"szRightMiddle", {-10, 30}, true, kLT, {348, 258}}));

TEST_F(CropEditorTest, ClosestCornersGiveAWidthOfOneScaleStep)
{
  Open(640, 480);
  Drag(editor.szLeftTop, {0, 0}, {349, 0});
  EXPECT_EQ(edWidth.value(), core::RoundHalfEven(640.0 / 351));
}

// A user edit places the overlay from all four fields and leaves the fields as typed; a
// field whose text is no integer counts as 0.
TEST_F(CropEditorTest, UserEditPlacesOverlayAndIsLogged)
{
  Open(640, 480);
  edLeft.setValue(100);  // 100 / s = 54.84 -> 55
  EXPECT_EQ(LogCount(kEdited), 1);
  EXPECT_EQ(editor.Layout().LT, QPoint(12 + 55 - 4, -4));
  EXPECT_EQ(editor.Layout().RB.x(), 12 + core::RoundHalfEven(740 / (640.0 / 351)) - 5);
  EXPECT_EQ(Fields(), (TCropValues{100, 0, 640, 480}));

  edTop.setValue(100);
  edTop.findChild<QLineEdit *>()->setText(QStringLiteral("-"));
  edWidth.setValue(320);
  EXPECT_EQ(LogCount(kEdited), 3);
  EXPECT_EQ(editor.Layout().LT.y(), -4) << "top read as 0";
  EXPECT_TRUE(reports.isEmpty());
}

// Dragging the top edge rewrites all four fields from the overlay, so typed left and width
// come back rounded through player pixels.
TEST_F(CropEditorTest, EdgeDragRewritesEveryFieldFromTheOverlay)
{
  Open(640, 480);
  edLeft.setValue(10);
  edTop.setValue(10);
  edWidth.setValue(300);
  edHeight.setValue(200);
  Drag(editor.szTopMiddle, {4, 4}, {4, 4});
  EXPECT_EQ(Fields(), (TCropValues{9, 9, 299, 199}));
}

// A move drags the whole frame by the pointer's displacement, from a press on the drag area
// or on the player inside the frame, and may leave the picture.
TEST_F(CropEditorTest, MovesPastThePictureEdgeGiveNegativeLeft)
{
  const double s = 640.0 / 351;
  Open(640, 480);
  Drag(editor.CropImage, {100, 100}, {80, 103});
  EXPECT_EQ(editor.CropImage->geometry(), QRect(12 - 20, 3, 350, 262));
  EXPECT_EQ(Fields(),
            (TCropValues{core::RoundHalfEven(-20 * s), core::RoundHalfEven(3 * s), 638, 478}));
  EXPECT_EQ(LogCount(kMoving), 1);
  EXPECT_FALSE(editor.CropMoving);

  Open(640, 480);
  editor.PlayerMouseDown(200, 100);
  editor.PlayerMouseMove(180, 100);
  editor.PlayerMouseMove(150, 90);  // from the press, not from the last move
  editor.PlayerMouseUp(150, 90);
  EXPECT_EQ(editor.CropImage->pos(), QPoint(12 - 50, -10));
  EXPECT_EQ(editor.Layout().LT, QPoint(12 - 50 - 4, -14));
  EXPECT_EQ(edLeft.value(), core::RoundHalfEven(-50 * s));
  EXPECT_LT(edLeft.value(), 0);
  EXPECT_EQ(LogCount(kMoving), 2);
  EXPECT_FALSE(editor.CropMoving);
}

// A press on the player starts a move only strictly inside the frame, with no handle being
// dragged and no conversion running; during a conversion a release does nothing either.
TEST_F(CropEditorTest, PlayerPressStartsAMoveOnlyStrictlyInsideAndWhenIdle)
{
  Open(640, 480);  // drag area 12,0 350x262
  for (QPoint at : {QPoint(12, 100), QPoint(362, 100), QPoint(100, 0), QPoint(100, 262),
                    QPoint(5, 100)}) {
    editor.PlayerMouseDown(at.x(), at.y());
    EXPECT_FALSE(editor.CropMoving) << at.x() << "," << at.y();
  }
  conversionRunning = true;
  editor.PlayerMouseDown(100, 100);
  EXPECT_FALSE(editor.CropMoving);
  conversionRunning = false;

  SendMouse(editor.szLeftTop, QEvent::MouseButtonPress, {0, 0});
  editor.PlayerMouseDown(100, 100);
  EXPECT_FALSE(editor.CropMoving);
  SendMouse(editor.szLeftTop, QEvent::MouseButtonRelease, {0, 0});
  EXPECT_EQ(LogCount(kMoving), 0);

  editor.PlayerMouseDown(100, 100);
  EXPECT_TRUE(editor.CropMoving);
  // A handle press during a move is ignored.
  SendMouse(editor.szLeftTop, QEvent::MouseButtonPress, {0, 0});
  EXPECT_FALSE(editor.CropResizing);
  EXPECT_EQ(LogCount(kResizing), 1);

  conversionRunning = true;
  editor.PlayerMouseUp(100, 100);
  EXPECT_TRUE(editor.CropMoving);
  conversionRunning = false;
  editor.PlayerMouseUp(100, 100);
  EXPECT_FALSE(editor.CropMoving);
}

// Every press that starts a drag pauses the player; the release plays again only a video
// that was playing. PlayerState is never written.
TEST_F(CropEditorTest, PausesOnPressAndResumesOnlyWhatWasPlaying)
{
  for (std::uint8_t playerState : {std::uint8_t(1), std::uint8_t(2)}) {
    SCOPED_TRACE(int(playerState));
    Open(640, 480);
    state.PlayerState = playerState;
    pauses = plays = 0;
    Drag(editor.szRightMiddle, {1, 1}, {1, 1});
    Drag(editor.CropImage, {50, 50}, {50, 50});
    editor.PlayerMouseDown(100, 100);
    editor.PlayerMouseUp(100, 100);
    EXPECT_EQ(pauses, 3);
    EXPECT_EQ(plays, playerState == 1 ? 3 : 0);
    EXPECT_EQ(state.PlayerState, playerState);
  }

  pauseAction = [] { throw std::runtime_error("pipeline refused"); };
  SendMouse(editor.CropImage, QEvent::MouseButtonPress, {50, 50});
  EXPECT_EQ(reports, QStringList{QStringLiteral("Error pause player | CLM_PausePlayer")});
}

// The two guarded directions report their own message and mark. A picture one player
// pixel wide makes the scale so large that reading the overlay back overflows; a small
// video scaled up makes a huge typed left overflow on placing.
TEST_F(CropEditorTest, PlacementFailuresAreReportedWithTheirMarks)
{
  OpenVideo(state, 100, 100);
  edLeft.setValue(INT_MAX);
  EXPECT_EQ(reports, QStringList{QStringLiteral(
                         "Error painting Selection Area with edited values. BitmapWidth=100"
                         "; BitmapHeight=100 | CLM_ValuesToCropArea")});

  reports.clear();
  state.SourceWidth = INT_MAX;
  state.SourceHeight = 7;
  state.DisplayWidth = 1;
  editor.FilloutEdits(true, false);
  EXPECT_EQ(reports, QStringList{QStringLiteral(
                         "Error painting Selection Area. BitmapWidth=2147483647"
                         "; BitmapHeight=7 | CLM_PaintCropArea")});
}

// With no video open there is no scale: reset and user edits leave the crop alone instead
// of failing.
TEST_F(CropEditorTest, WithoutAVideoResetAndEditsSkipTheCrop)
{
  editor.FilloutEdits(true, false);
  edWidth.setValue(50);
  EXPECT_EQ(Fields(), (TCropValues{0, 0, 50, 0}));
  EXPECT_EQ(LogCount(kEdited), 1);
  EXPECT_TRUE(reports.isEmpty());
  EXPECT_TRUE(editor.CropImage->isHidden());
}

// All thirteen elements show and hide together; a timer tick that runs inside (here one
// that redraws the overlay and asks for it again) leaves the last request in force.
TEST_F(CropEditorTest, VisibilityTogglesAllElementsAndSurvivesATickInside)
{
  const QList<QWidget *> elements = area.findChildren<QWidget *>();
  ASSERT_EQ(elements.size(), 13);
  for (const QWidget *element : elements)
    EXPECT_TRUE(element->isHidden()) << "hidden before a video is opened";

  Open(640, 480);
  for (const QWidget *element : elements)
    EXPECT_TRUE(element->isVisible()) << element->objectName().toStdString();

  bool ticked = false;
  QTimer::singleShot(0, &area, [&] {
    ticked = true;
    editor.FilloutEdits(false, false);
    editor.setcropareavisible(true);
  });
  editor.setcropareavisible(false);
  EXPECT_TRUE(ticked);
  for (const QWidget *element : elements)
    EXPECT_TRUE(element->isVisible()) << element->objectName().toStdString();
  editor.setcropareavisible(false);
  for (const QWidget *element : elements)
    EXPECT_TRUE(element->isHidden()) << element->objectName().toStdString();
  EXPECT_EQ(Fields(), (TCropValues{0, 0, 638, 478}));
  EXPECT_TRUE(reports.isEmpty());
}

}  // namespace
