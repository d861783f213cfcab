#include "TForm1.h"
#include "TestDoubles.h"

#include "Rounding.h"

#include <QCoreApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace {

// The window with its crop operations reachable, as the opening and reset code call them.
class CropForm : public TForm1
{
public:
    using TForm1::TForm1;
    using TForm1::FilloutEdits;
    using TForm1::setcropareavisible;

    // What opening a W x H video does for the crop: the picture rectangle in the 375 x 263
    // panel, the crop reset to the whole picture, the overlay shown.
    void OpenVideo(int w, int h)
    {
        State.SourceWidth = w;
        State.SourceHeight = h;
        if (375.0 / 263.0 < double(w) / h) {
            State.DisplayWidth = 375;
            State.DisplayHeight = core::RoundHalfEven(double(375 * h) / w);
            State.DisplayLeft = 0;
            State.DisplayTop = core::RoundHalfEven((263 - State.DisplayHeight) / 2.0);
        } else {
            State.DisplayHeight = 263;
            State.DisplayWidth = core::RoundHalfEven(double(263 * w) / h);
            State.DisplayLeft = core::RoundHalfEven((375 - State.DisplayWidth) / 2.0);
            State.DisplayTop = 0;
        }
        FilloutEdits(true, true);
        setcropareavisible(true);
    }

    QList<int> CropFields() const
    {
        return {ui.edLeft->value(), ui.edTop->value(), ui.edWidth->value(), ui.edHeight->value()};
    }

    QWidget *Element(const char *name) const
    {
        return ui.PanelB->findChild<QWidget *>(QLatin1String(name));
    }
};

void SendMouse(QWidget *target, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

int ErrorDialogs(const core::ScriptedPrompts &prompts)
{
    int count = 0;
    for (const auto &call : prompts.Calls)
        count += call.kind == core::ScriptedPrompts::Kind::ErrorDialog ? 1 : 0;
    return count;
}

} // namespace

// The overlay lies over the player: a press on a handle or inside the frame reaches that
// element, one outside the frame reaches the player.
TEST(TForm1Crop, OverlaySitsOverThePlayerAndTakesItsOwnPresses)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    CropForm form(prompts, opener);
    form.show();
    QWidget *panel = form.ui.PanelB;
    for (const char *name : {"szLeftTop", "lntop", "CropImage"})
        EXPECT_TRUE(form.Element(name)->isHidden()) << name;

    form.OpenVideo(640, 480);
    EXPECT_EQ(form.CropFields(), (QList<int>{0, 0, 640, 480}));
    EXPECT_EQ(form.Element("lnleft")->x(), 12);
    EXPECT_EQ(form.Element("lnright")->x(), 362);
    EXPECT_EQ(form.Element("lntop")->y(), 0);
    EXPECT_EQ(form.Element("lnBottom")->y(), 262);

    EXPECT_EQ(panel->childAt(362, 262), form.Element("szRightBottom"));
    EXPECT_EQ(panel->childAt(187, 131), form.Element("CropImage"));
    EXPECT_EQ(panel->childAt(5, 131), form.MediaPlayer1);
    EXPECT_TRUE(prompts.Calls.empty());
}

// A press inside the frame that reaches the player moves the crop, through the player's
// mouse events; a handle drag that ends where it started loses a player pixel.
TEST(TForm1Crop, PlayerPressesMoveTheCropAndHandlesResizeIt)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    CropForm form(prompts, opener);
    form.show();
    form.OpenVideo(640, 480);

    QWidget *handle = form.Element("szLeftMiddle");
    SendMouse(handle, QEvent::MouseButtonPress, {3, 3});
    SendMouse(handle, QEvent::MouseMove, {3, 3});
    SendMouse(handle, QEvent::MouseButtonRelease, {3, 3});
    EXPECT_EQ(form.CropFields(), (QList<int>{0, 0, 638, 478}));

    form.OpenVideo(640, 480);
    SendMouse(form.MediaPlayer1, QEvent::MouseButtonPress, {200, 100});
    SendMouse(form.MediaPlayer1, QEvent::MouseMove, {150, 100});
    SendMouse(form.MediaPlayer1, QEvent::MouseButtonRelease, {150, 100});
    EXPECT_EQ(form.Element("CropImage")->pos(), QPoint(12 - 50, 0));
    EXPECT_EQ(form.ui.edLeft->value(), core::RoundHalfEven(-50 * 640.0 / 351));
    EXPECT_EQ(form.ui.edWidth->value(), 638);
    EXPECT_TRUE(
        form.ActivityLog.Lines().last().endsWith(QStringLiteral(" ---> Moving Crop Area.")));

    // While the capture timer runs, presses on the player do not move the crop.
    form.Timer1.start(100000);
    SendMouse(form.MediaPlayer1, QEvent::MouseButtonPress, {100, 100});
    SendMouse(form.MediaPlayer1, QEvent::MouseMove, {150, 150});
    form.Timer1.stop();
    EXPECT_EQ(form.Element("CropImage")->pos(), QPoint(12 - 50, 0));
    EXPECT_EQ(ErrorDialogs(prompts), 0);
}

// A user edit of a field is logged and places the overlay; before any video is open it and
// the reset's crop step leave everything alone instead of ending the program.
TEST(TForm1Crop, FieldEditsPlaceTheOverlayAndNeedAVideo)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    CropForm form(prompts, opener);
    form.show();

    form.FilloutEdits(true, false);
    form.ui.edLeft->setValue(30);
    form.ui.resetbutton->click();
    EXPECT_EQ(ErrorDialogs(prompts), 0);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.CropFields(), (QList<int>{30, 0, 0, 0}));

    form.OpenVideo(1280, 720);  // picture at 0,26, 375 x 211
    EXPECT_EQ(form.Element("lntop")->geometry(), QRect(0, 26, 374, 1));
    form.ui.edTop->setValue(360);  // 360 / (1280 / 375) = 105.47 -> 105
    EXPECT_EQ(form.Element("lntop")->y(), 26 + 105);
    EXPECT_EQ(form.CropFields(), (QList<int>{0, 360, 1280, 720}));
    EXPECT_TRUE(form.ActivityLog.Lines().last().endsWith(
        QStringLiteral(" ---> Crop Area Value Changed (Input Settings).")));
    EXPECT_EQ(ErrorDialogs(prompts), 0);
}
