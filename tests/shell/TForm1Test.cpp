#include "TForm1.h"
#include "TestDoubles.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimeEdit>

#include <gtest/gtest.h>

#include <climits>

namespace {

// What a caption shows on screen: "&&" is one ampersand, a single "&" only marks
// the mnemonic.
QString ShownText(const QString &caption)
{
    QString shown;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        shown += caption[i];
    }
    return shown;
}

template <typename T>
T *Control(const TForm1 &form, const char *name)
{
    T *control = form.findChild<T *>(QLatin1String(name));
    EXPECT_NE(control, nullptr) << name << " missing or not a " << T::staticMetaObject.className();
    return control;
}

// The group box a control sits in, and the title of the settings page it is on
// ("" outside the settings tabs).
QString GroupOf(const QWidget *control)
{
    for (const QWidget *w = control->parentWidget(); w; w = w->parentWidget())
        if (const auto *group = qobject_cast<const QGroupBox *>(w))
            return group->title();
    return {};
}

QString PageOf(const TForm1 &form, const QWidget *control)
{
    const QTabWidget *tabs = form.ui.PageControl1;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->widget(i)->isAncestorOf(control))
            return ShownText(tabs->tabText(i));
    return {};
}

} // namespace

TEST(TForm1, WindowIsFixedCentredAndHasNoMaximiseButton)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quorvane"));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    // The working area below the menu bar, status bar included, is 736 x 410.
    EXPECT_EQ(form.centralWidget()->width(), 736);
    EXPECT_EQ(form.centralWidget()->height() + form.statusBar()->height(), 410);
    EXPECT_EQ(form.menuBar()->height() + 410, form.height());

    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));

    const QPoint screenCentre = form.screen()->availableGeometry().center();
    // Within the rounding of two integer halvings per axis.
    EXPECT_LE((form.geometry().center() - screenCentre).manhattanLength(), 4);
}

TEST(TForm1, ControlsStartWithTheirDesignedKindCaptionAndValue)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    form.show();

    struct Button { const char *name; const char *shown; const char *toolTip; bool visible; };
    const Button buttons[] = {
        {"PlayButton", "", "Play", true},
        {"PauseButton", "", "Pause", false},
        {"Button5", "", "1 second back", true},
        {"Button2", "", "0.1 second back", true},
        {"Button3", "", "0.1 second forward", true},
        {"Button4", "", "1 second forward", true},
        {"TrimLeftButton", "Set Start", "Set start position for conversion", true},
        {"TrimRightButton", "Set End", "Set end position for conversion", true},
        {"playtrimmedbutton", "Play Clip", "Play trimmed part", true},
        {"resetbutton", "Reset", "Reset trimming and cropping", true},
        {"OpenButton", "Open Video", "", true},
        {"StartConvertButton", "Convert to GIF", "", true},
        {"StopConvertButton", "Stop Process", "", false},
        {"Button1", "Reset", "", true},
        {"btFont", "Font", "", true},
        {"btTextLogoUpdateParams", "Update", "", true},
    };
    for (const Button &row : buttons) {
        SCOPED_TRACE(row.name);
        const auto *button = Control<QPushButton>(form, row.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(ShownText(button->text()), QString::fromUtf8(row.shown));
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(row.toolTip));
        EXPECT_EQ(!button->isHidden(), row.visible);
        EXPECT_TRUE(button->isEnabled());
    }
    // The alternating buttons share one place; the later-declared one lies on top.
    EXPECT_EQ(form.ui.PlayButton->geometry(), form.ui.PauseButton->geometry());
    EXPECT_EQ(form.ui.StopConvertButton->geometry(), form.ui.StartConvertButton->geometry());
    EXPECT_EQ(form.ui.PlayButton->iconSize(), QSize(12, 12));
    EXPECT_EQ(form.ui.OpenButton->iconSize(), QSize(32, 32));
    EXPECT_FALSE(form.ui.PlayButton->icon().isNull());

    // Integer fields, with the group and settings page they sit in.
    struct Spin { const char *name; int minimum, maximum, value; const char *group, *page; };
    const Spin spins[] = {
        {"bsSkinSpinEdit1", 1, 30, 10, "General", "GIF Settings"},
        {"GIFwidth", 5, 1000, 100, "General", "GIF Settings"},
        {"GIFHeight", 5, 1000, 100, "General", "GIF Settings"},
        {"edTop", INT_MIN, INT_MAX, 0, "Crop", "Clip & Crop"},
        {"edLeft", INT_MIN, INT_MAX, 0, "Crop", "Clip & Crop"},
        {"edWidth", INT_MIN, INT_MAX, 0, "Crop", "Clip & Crop"},
        {"edHeight", INT_MIN, INT_MAX, 0, "Crop", "Clip & Crop"},
    };
    for (const Spin &row : spins) {
        SCOPED_TRACE(row.name);
        const auto *spin = Control<QSpinBox>(form, row.name);
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->minimum(), row.minimum);
        EXPECT_EQ(spin->maximum(), row.maximum);
        EXPECT_EQ(spin->value(), row.value);
        EXPECT_EQ(spin->singleStep(), 1);
        EXPECT_EQ(GroupOf(spin), QString::fromUtf8(row.group));
        EXPECT_EQ(PageOf(form, spin), QString::fromUtf8(row.page));
    }

    struct Check { const char *name; const char *shown; bool checked; const char *group, *page; };
    const Check checks[] = {
        {"bsSkinCheckRadioBox1", " Loop GIF animation", true, "Advanced", "GIF Settings"},
        {"spSkinCheckRadioBox3", "Alternate direct & backward animation", false, "Advanced", "GIF Settings"},
        {"spSkinCheckRadioBox2", "Transparent area outside of frame ", true, "Advanced", "GIF Settings"},
        {"cbGreyscale", "Greyscale", false, "Colors", "Effects"},
        {"cbTextLogo", "Enabled", false, "Text Overlay", "Effects"},
    };
    for (const Check &row : checks) {
        SCOPED_TRACE(row.name);
        const auto *box = Control<QCheckBox>(form, row.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(ShownText(box->text()), QString::fromUtf8(row.shown));
        EXPECT_EQ(box->isChecked(), row.checked);
        EXPECT_EQ(GroupOf(box), QString::fromUtf8(row.group));
        EXPECT_EQ(PageOf(form, box), QString::fromUtf8(row.page));
    }

    struct Slider { const char *name; int maximum, value; const char *page; };
    const Slider sliders[] = {
        {"VideoTrackBar", 1000, 0, ""},
        {"tbLightness", 255, 0, "Effects"},
        {"tbSaturation", 255, 255, "Effects"},
        {"tbContrast", 255, 0, "Effects"},
        {"tbDarkness", 255, 0, "Effects"},
    };
    for (const Slider &row : sliders) {
        SCOPED_TRACE(row.name);
        const auto *slider = Control<QSlider>(form, row.name);
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ(slider->minimum(), 0);
        EXPECT_EQ(slider->maximum(), row.maximum);
        EXPECT_EQ(slider->value(), row.value);
        EXPECT_EQ(slider->singleStep(), 1);
        EXPECT_EQ(slider->orientation(), Qt::Horizontal);
        EXPECT_EQ(slider->tickPosition(), QSlider::NoTicks);
        EXPECT_EQ(PageOf(form, slider), QString::fromUtf8(row.page));
    }

    struct Line { const char *name; const char *text; };
    for (const Line &row : {Line{"edTextLogo", "My Text"}, Line{"edTextLogoLeft", "50"},
                            Line{"edTextLogoTop", "50"}}) {
        SCOPED_TRACE(row.name);
        const auto *edit = Control<QLineEdit>(form, row.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), QString::fromUtf8(row.text));
        EXPECT_EQ(GroupOf(edit), QStringLiteral("Text Overlay"));
    }

    for (const char *name : {"TimeStart", "TimeEnd"}) {
        SCOPED_TRACE(name);
        const auto *picker = Control<QTimeEdit>(form, name);
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(picker->displayFormat(), QStringLiteral("HH:mm:ss"));
        EXPECT_EQ(picker->time(), QTime(0, 0));
        EXPECT_EQ(GroupOf(picker), QStringLiteral("Clip"));
    }

    const QComboBox *dither = form.ui.spSkinComboBox1;
    ASSERT_EQ(dither->count(), 4);
    const QStringList ditherItems{"Nearest color", "Floyd Steinberg", "Stucki", "Sierra"};
    for (int i = 0; i < dither->count(); ++i)
        EXPECT_EQ(dither->itemText(i), ditherItems[i]);
    EXPECT_EQ(dither->currentIndex(), 1);
    EXPECT_FALSE(dither->isEditable());

    const QTabWidget *tabs = form.ui.PageControl1;
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(ShownText(tabs->tabText(0)), QStringLiteral("GIF Settings"));
    EXPECT_EQ(ShownText(tabs->tabText(1)), QStringLiteral("Clip & Crop"));
    EXPECT_EQ(ShownText(tabs->tabText(2)), QStringLiteral("Effects"));
    EXPECT_EQ(tabs->currentIndex(), 0);

    EXPECT_EQ(form.ui.GroupBox1->title(), QStringLiteral("Preview"));
    EXPECT_EQ(form.ui.PanelB->size(), QSize(375, 263));
    EXPECT_EQ(form.ui.PanelB->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_TRUE(form.ui.PanelB->autoFillBackground());
    EXPECT_EQ(form.ui.imgTrimStart->size(), QSize(15, 16));
    EXPECT_EQ(form.ui.imgTrimEnd->size(), QSize(15, 16));
    // Markers at the two ends of the position bar, just above it.
    const QRect track = form.ui.VideoTrackBar->geometry();
    EXPECT_EQ(form.ui.imgTrimStart->geometry().right(), track.left() + 7);
    EXPECT_EQ(form.ui.imgTrimEnd->x(), track.left() + track.width() - 8);
    EXPECT_EQ(form.ui.imgTrimStart->geometry().bottom() + 1, track.top());
}

TEST(TForm1, StatusBarHasFivePanelsWithTheProgressBarOverPanel3)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    form.show();

    struct Panel { int width; const char *text; };
    const Panel panels[TForm1::StatusPanelCount] = {
        {95, "Start: 00:00:00"}, {95, "End: 00:00:00"}, {110, "Current: 00:00:00"},
        {270, ""}, {150, "Status: Awaiting Video"},
    };
    int previousRight = -1;
    for (int i = 0; i < TForm1::StatusPanelCount; ++i) {
        SCOPED_TRACE(i);
        const QLabel *panel = form.StatusPanel(i);
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->parentWidget(), form.ui.StatusBar1);
        EXPECT_EQ(panel->width(), panels[i].width);
        EXPECT_EQ(panel->text(), QString::fromUtf8(panels[i].text));
        EXPECT_GT(panel->x(), previousRight) << "panels run left to right";
        previousRight = panel->geometry().right();
    }
    EXPECT_EQ(form.StatusPanel(TForm1::StatusPanelCount), nullptr);

    form.SetStatusText(4, QStringLiteral("Status: Ready"));
    EXPECT_EQ(form.ui.StatusPanel4->text(), QStringLiteral("Status: Ready"));

    // The widest texts each panel shows fit its fixed width.
    struct Fit { int panel; const char *text; };
    for (const Fit &row : {Fit{0, "Start: 00:00:00"}, Fit{1, "End: 00:00:00"},
                           Fit{2, "Current: 00:00:00"}, Fit{4, "Status: Awaiting Video"},
                           Fit{4, "Status: Converting"}}) {
        const QLabel *panel = form.StatusPanel(row.panel);
        EXPECT_LE(panel->fontMetrics().horizontalAdvance(QString::fromUtf8(row.text)),
                  panel->contentsRect().width())
            << row.text;
    }

    const QProgressBar *progress = form.ui.ProgressBar1;
    EXPECT_EQ(progress->size(), QSize(252, 12));
    EXPECT_TRUE(progress->isHidden());
    EXPECT_EQ(progress->value(), 0);
    EXPECT_TRUE(form.ui.StatusPanel3->rect().contains(progress->geometry()));
}

TEST(TForm1, MenusListTheirItemsInOrder)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    struct Menu { const char *title; QStringList items; };
    const Menu expected[] = {
        {"File", {"OpenVideo1:Open Video...", "ConverttoGIF1:Convert to GIF", "-", "Exit1:Exit"}},
        {"Player", {"Play1:Play", "Pause1:Pause", "-", "SetStart1:Set Start", "SetEnd1:Set End",
                    "PlayClip1:Play Clip", "-", "Reset1:Reset"}},
        {"Tools", {"GIFViewer1:GIF Viewer", "ActivityLog1:Activity Log"}},
        {"Help", {"OnlineGuide1:Online Guide", "-", "Support1:Support", "HomePage1:Home Page", "-",
                  "About1:About"}},
    };
    const QList<QAction *> menus = form.ui.MainMenu1->actions();
    ASSERT_EQ(menus.size(), std::size(expected));
    for (qsizetype m = 0; m < menus.size(); ++m) {
        SCOPED_TRACE(expected[m].title);
        EXPECT_EQ(menus[m]->text(), QString::fromUtf8(expected[m].title));
        ASSERT_NE(menus[m]->menu(), nullptr);
        QStringList items;
        for (const QAction *item : menus[m]->menu()->actions())
            items << (item->isSeparator() ? QStringLiteral("-")
                                          : item->objectName() + u':' + item->text());
        EXPECT_EQ(items, expected[m].items);
    }
}

TEST(TForm1, TimersStartAsDesigned)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    struct Timer { const QTimer *timer; const char *name; int interval; bool singleShot, active; };
    const Timer timers[] = {
        {&form.Timer3, "Timer3", 50, false, true},
        {&form.DelayTimer, "DelayTimer", 500, true, false},
        {&form.Timer1, "Timer1", 100, false, false},
    };
    for (const Timer &row : timers) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.timer->objectName(), QString::fromUtf8(row.name));
        EXPECT_EQ(row.timer->interval(), row.interval);
        EXPECT_EQ(row.timer->isSingleShot(), row.singleShot);
        EXPECT_EQ(row.timer->isActive(), row.active);
    }
}

TEST(TForm1, EnableControlsLocksTransportOpenAndSettingsButNotConvertOrMenus)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    form.show();
    form.ui.StopConvertButton->show();

    const QList<QWidget *> locked{
        form.ui.VideoTrackBar, form.ui.PlayButton, form.ui.PauseButton, form.ui.Button5,
        form.ui.Button2, form.ui.Button3, form.ui.Button4, form.ui.TrimLeftButton,
        form.ui.TrimRightButton, form.ui.playtrimmedbutton, form.ui.resetbutton,
        form.ui.OpenButton, form.ui.PageControl1,
        // Controls on the pages follow their tab set.
        form.ui.bsSkinSpinEdit1, form.ui.TimeStart, form.ui.edLeft, form.ui.tbLightness,
        form.ui.btTextLogoUpdateParams};
    const QList<QWidget *> untouched{form.ui.StartConvertButton, form.ui.StopConvertButton,
                                     form.ui.MainMenu1};

    for (bool val : {false, true}) {
        SCOPED_TRACE(val);
        form.EnableControls(val);
        for (const QWidget *w : locked)
            EXPECT_EQ(w->isEnabled(), val) << w->objectName().toStdString();
        for (const QWidget *w : untouched)
            EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
        for (const QAction *item : form.ui.MainMenu1->findChildren<QAction *>())
            EXPECT_TRUE(item->isEnabled()) << item->objectName().toStdString();
    }
}

TEST(TForm1, ExitClosesTheWindow)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    form.show();
    form.ui.Exit1->trigger();
    EXPECT_FALSE(form.isVisible());
}

// The player fills the preview panel, at its fixed place, and passes only its mouse
// events to the window.
TEST(TForm1, PlayerFillsThePreviewPanelAndReportsMouseOnly)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    form.show();
    ASSERT_NE(form.MediaPlayer1, nullptr);
    EXPECT_EQ(form.MediaPlayer1->parentWidget(), form.ui.PanelB);
    EXPECT_EQ(form.MediaPlayer1->geometry(), QRect(0, 0, 375, 263));
    EXPECT_EQ(form.MediaPlayer1->Status(), player::ST_FREE);
    EXPECT_TRUE(form.MediaPlayer1->OnMouseDown && form.MediaPlayer1->OnMouseUp
                && form.MediaPlayer1->OnMouseMove);
    EXPECT_FALSE(form.MediaPlayer1->OnError || form.MediaPlayer1->OnStop
                 || form.MediaPlayer1->OnMouseDoubleClick);
}
