// The window for keyboard and screen-reader users, and a video dropped onto it: every field
// is named by its label, the standard shortcuts are there, a drop opens as "Open Video" does.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <gtest/gtest.h>

#include "PlayerTestSupport.h"
#include "ShellTestSupport.h"
#include "TForm1.h"
#include "TestDoubles.h"

namespace {

using shelltest::Events;

// Opens the window's drop handler to the test (an event sent from outside does not reach it
// without a drag in progress).
struct DropProbe : TForm1 {
    static void Drop(TForm1 &form, QDropEvent *event) { (form.*&DropProbe::dropEvent)(event); }
};

class WindowAccess : public ::testing::Test
{
protected:
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form{prompts, opener};
};

TEST_F(WindowAccess, EveryFieldIsNamedByItsLabel)
{
    const std::pair<const char *, const char *> fields[] = {
        {"bsSkinSpinEdit1", "Frame rate:"}, {"GIFwidth", "GIF width:"},    {"GIFHeight", "GIF height:"},
        {"spSkinComboBox1", "Dither method:"}, {"cbCaptureMode", "Capture:"}, {"TimeStart", "Video Start Time:"},
        {"TimeEnd", "Video End Time:"},           {"edLeft", "Crop left:"},           {"edTop", "Crop top:"},
        {"edWidth", "Crop width:"},              {"edHeight", "Crop height:"},       {"tbLightness", "Lightness"},
        {"tbSaturation", "Saturation"},     {"tbContrast", "Contrast"},    {"tbDarkness", "Darkness"},
        {"edTextLogo", "Overlay text"},     {"edTextLogoLeft", "Left"},      {"edTextLogoTop", "Top"},
        {"VideoTrackBar", "Position"},
    };
    for (const auto &[name, label] : fields) {
        SCOPED_TRACE(name);
        QWidget *field = form.findChild<QWidget *>(QString::fromLatin1(name));
        ASSERT_TRUE(field);
        QAccessibleInterface *access = QAccessible::queryAccessibleInterface(field);
        ASSERT_TRUE(access);
        // Its own name, or (a drop-down, whose name on Linux is its current entry) the label
        // it is labelled by.
        QStringList names{access->text(QAccessible::Name)};
        for (const auto &[other, relation] : access->relations(QAccessible::Label))
            names << other->text(QAccessible::Name);
        EXPECT_TRUE(names.contains(QString::fromLatin1(label))) << names.join(QLatin1Char('|')).toStdString();
    }
}

TEST_F(WindowAccess, StandardShortcuts)
{
    EXPECT_EQ(form.ui.OpenVideo1->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(form.ui.ConverttoGIF1->shortcut(), QKeySequence(QStringLiteral("Ctrl+Return")));
    EXPECT_EQ(form.ui.Exit1->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_EQ(form.ui.OnlineGuide1->shortcut(), QKeySequence(QStringLiteral("F1")));
    // Only while it is shown, that is while a conversion runs.
    EXPECT_EQ(form.ui.StopConvertButton->shortcut(), QKeySequence(Qt::Key_Escape));
}

TEST_F(WindowAccess, ADroppedVideoOpensAsOpenVideoDoes)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(playertest::Sample("h264_640x480.mp4"))});
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(form.acceptDrops());
    DropProbe::Drop(form, &drop);
    EXPECT_TRUE(drop.isAccepted());
    const QStringList events = Events(form.ActivityLog);
    ASSERT_TRUE(events.contains(QStringLiteral(" ---> Open is clicked.")));
    EXPECT_TRUE(events.contains(QStringLiteral(" ---> Open file h264_640x480.mp4")));
    EXPECT_EQ(form.State.FDuration, 3000);
    EXPECT_EQ(form.dlgopen.Files, QStringList{playertest::Sample("h264_640x480.mp4")});
    EXPECT_TRUE(prompts.Warnings().isEmpty());
}

} // namespace
