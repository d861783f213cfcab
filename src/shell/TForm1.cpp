#include "TForm1.h"

#include "ConversionJob.h"
#include "ExactCapture.h"
#include "ErrorReport.h"
#include "ErrorReporter.h"
#include "TAboutForm.h"
#include "TLogForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

namespace {

// Width and height of the window below its menu bar: the working area, status bar
// included. The menu bar comes on top of it, as a window menu would.
constexpr int ClientWidth = 736;
constexpr int ClientHeight = 410;

// The clip markers above the position bar: a small pennant whose straight edge is
// the marked tick. The start marker's edge is its right column, the end marker's
// its left column, so the two meet at a clip of length 0.
QPixmap TrimMarkerPixmap(bool isStart)
{
    QPixmap pixmap(15, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isStart ? QColor(0, 140, 0) : QColor(200, 0, 0));
    const int edge = isStart ? 14 : 0;
    const int tip = isStart ? 4 : 10;
    const QPointF pennant[] = {{qreal(edge), 0}, {qreal(tip), 5}, {qreal(edge), 10}};
    painter.drawPolygon(pennant, 3);
    painter.fillRect(QRect(edge, 0, 1, 16), painter.brush());
    return pixmap;
}

} // namespace

TForm1::TForm1(core::IPrompts &prompts, core::IUrlOpener &opener, QWidget *parent)
    : QMainWindow(parent), Prompts(prompts), Opener(opener), SendReport(shell::SendReportMail)
{
    // Every report closes this window; reports raised while it is being built (by
    // FormCreate below) run the close path too, and main then ends the program
    // without entering the event loop.
    FErrorReporter = std::make_unique<shell::TErrorReporter>(
        ActivityLog, Prompts, Opener,
        [this](const QStringList &body, QString &error) { return SendReport && SendReport(body, error); },
        [this] { return State.CodecPackMissing; },
        [this] { if (StartDecoderInstaller) StartDecoderInstaller(); },
        [this] { close(); });
    core::SetReportErrorHandler([this](const QString &message, const QString &mark) {
        FErrorReporter->Report(message, mark);
    });
    ui.setupUi(this);
    SetUpStatusBar();
    SetUpIcons();
    SetUpWindowFrame();
    setAcceptDrops(true);
    SetUpPlayer();
    SetUpCapture();
    SetUpCropEditor();
    SetUpEffects();
    SetUpTimers();
    ConnectHandlers();
    FormCreate();
}

TForm1::~TForm1()
{
    core::SetReportErrorHandler({});
}

void TForm1::SetForms(TLogForm *logForm, TAboutForm *aboutForm)
{
    FLogForm = logForm;
    FAboutForm = aboutForm;
}

void TForm1::SetUpWindowFrame()
{
    // System menu and minimise button, no maximise button, fixed size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight + ui.MainMenu1->sizeHint().height());

    // The player panel is black wherever no picture covers it.
    QPalette black = ui.PanelB->palette();
    black.setColor(QPalette::Window, Qt::black);
    ui.PanelB->setPalette(black);
    ui.PanelB->setAutoFillBackground(true);

    // "Play" lies on top of "Pause" (it is declared after it); only one shows at a time.
    ui.PauseButton->hide();

    if (const QScreen *screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(width() / 2, height() / 2));
    }
}

void TForm1::SetUpPlayer()
{
    MediaPlayer1 = new player::TVFMediaPlayer(ui.PanelB);
    MediaPlayer1->setObjectName(QStringLiteral("MediaPlayer1"));
    MediaPlayer1->setGeometry(0, 0, ui.PanelB->width(), ui.PanelB->height());
    // The window takes the player's mouse events only; errors reach it through results
    // and Status, and the end of the stream through Status.
    MediaPlayer1->OnMouseDown = [this](player::TVFMouseButton button, int x, int y, bool ctrl,
                                       bool shift, bool alt, bool left, bool right,
                                       bool middle) {
        MediaPlayer1MouseDown(button, x, y, ctrl, shift, alt, left, right, middle);
    };
    MediaPlayer1->OnMouseUp = [this](player::TVFMouseButton button, int x, int y, bool ctrl,
                                     bool shift, bool alt, bool left, bool right,
                                     bool middle) {
        MediaPlayer1MouseUp(button, x, y, ctrl, shift, alt, left, right, middle);
    };
    MediaPlayer1->OnMouseMove = [this](int x, int y) { MediaPlayer1MouseMove(x, y); };
}

void TForm1::SetUpStatusBar()
{
    // The panels are declared in the .ui as children of the status bar; here they join
    // its layout, left to right, each at its fixed width.
    for (int index = 0; index < StatusPanelCount; ++index)
        ui.StatusBar1->addWidget(StatusPanel(index));
}

QLabel *TForm1::StatusPanel(int index) const
{
    switch (index) {
    case 0: return ui.StatusPanel0;
    case 1: return ui.StatusPanel1;
    case 2: return ui.StatusPanel2;
    case 3: return ui.StatusPanel3;
    case 4: return ui.StatusPanel4;
    default: return nullptr;
    }
}

void TForm1::SetStatusText(int index, const QString &text)
{
    if (QLabel *panel = StatusPanel(index))
        panel->setText(text);
}

void TForm1::SetUpIcons()
{
    const QStyle *s = style();
    ui.PlayButton->setIcon(s->standardIcon(QStyle::SP_MediaPlay));
    ui.PauseButton->setIcon(s->standardIcon(QStyle::SP_MediaPause));
    ui.Button5->setIcon(s->standardIcon(QStyle::SP_MediaSkipBackward));
    ui.Button2->setIcon(s->standardIcon(QStyle::SP_MediaSeekBackward));
    ui.Button3->setIcon(s->standardIcon(QStyle::SP_MediaSeekForward));
    ui.Button4->setIcon(s->standardIcon(QStyle::SP_MediaSkipForward));
    ui.OpenButton->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    ui.StartConvertButton->setIcon(s->standardIcon(QStyle::SP_DialogApplyButton));
    ui.StopConvertButton->setIcon(s->standardIcon(QStyle::SP_BrowserStop));
    // Escape stops a conversion: the button is shown (and its shortcut live) only then.
    ui.StopConvertButton->setShortcut(QKeySequence(Qt::Key_Escape));
    ui.imgTrimStart->setPixmap(TrimMarkerPixmap(true));
    ui.imgTrimEnd->setPixmap(TrimMarkerPixmap(false));
}

void TForm1::SetUpTimers()
{
    Timer3.setObjectName(QStringLiteral("Timer3"));
    Timer3.setInterval(50);
    DelayTimer.setObjectName(QStringLiteral("DelayTimer"));
    DelayTimer.setInterval(500);
    DelayTimer.setSingleShot(true);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(100);
    connect(&Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    connect(&DelayTimer, &QTimer::timeout, this, &TForm1::DelayTimerTimer);
    connect(&Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer3.start();
}

void TForm1::ConnectHandlers()
{
    auto onClick = [this](QAbstractButton *button, void (TForm1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    auto onTrigger = [this](QAction *action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this, handler);
    };

    onClick(ui.OpenButton, &TForm1::OpenButtonClick);
    onClick(ui.StartConvertButton, &TForm1::StartConvertButtonClick);
    onClick(ui.StopConvertButton, &TForm1::StopConvertButtonClick);
    onClick(ui.PlayButton, &TForm1::PlayButtonClick);
    onClick(ui.PauseButton, &TForm1::PauseButtonClick);
    onClick(ui.Button2, &TForm1::Button2Click);
    onClick(ui.Button3, &TForm1::Button3Click);
    onClick(ui.Button4, &TForm1::Button4Click);
    onClick(ui.Button5, &TForm1::Button5Click);
    onClick(ui.TrimLeftButton, &TForm1::trimleftbuttonClick);
    onClick(ui.TrimRightButton, &TForm1::trimrightbuttonClick);
    onClick(ui.playtrimmedbutton, &TForm1::playtrimmedbuttonClick);
    onClick(ui.resetbutton, &TForm1::resetbuttonClick);
    onClick(ui.Button1, &TForm1::Button1Click);
    onClick(ui.btFont, &TForm1::btFontClick);
    onClick(ui.btTextLogoUpdateParams, &TForm1::btTextLogoUpdateParamsClick);
    connect(ui.cbGreyscale, &QCheckBox::toggled, this, &TForm1::cbGreyscaleClick);
    connect(ui.cbTextLogo, &QCheckBox::toggled, this, &TForm1::cbTextLogoClick);

    // Menu items share the handlers of the buttons that do the same.
    onTrigger(ui.OpenVideo1, &TForm1::OpenButtonClick);
    onTrigger(ui.ConverttoGIF1, &TForm1::StartConvertButtonClick);
    onTrigger(ui.Exit1, &TForm1::Exit1Click);
    onTrigger(ui.Play1, &TForm1::PlayButtonClick);
    onTrigger(ui.Pause1, &TForm1::PauseButtonClick);
    onTrigger(ui.SetStart1, &TForm1::trimleftbuttonClick);
    onTrigger(ui.SetEnd1, &TForm1::trimrightbuttonClick);
    onTrigger(ui.PlayClip1, &TForm1::playtrimmedbuttonClick);
    onTrigger(ui.Reset1, &TForm1::resetbuttonClick);
    onTrigger(ui.GIFViewer1, &TForm1::GIFViewer1Click);
    onTrigger(ui.ActivityLog1, &TForm1::ActivityLog1Click);
    onTrigger(ui.OnlineGuide1, &TForm1::OnlineGuide1Click);
    onTrigger(ui.Support1, &TForm1::Support1Click);
    onTrigger(ui.HomePage1, &TForm1::HomePage1Click);
    onTrigger(ui.About1, &TForm1::About1Click);

    connect(ui.VideoTrackBar, &QSlider::valueChanged, this, &TForm1::TrackBar2Change);
    connect(ui.bsSkinSpinEdit1, &QSpinBox::valueChanged, this, &TForm1::SpinEdit1Change);
    connect(ui.edLeft, &QSpinBox::valueChanged, this, &TForm1::edLeftChange);
    connect(ui.edTop, &QSpinBox::valueChanged, this, &TForm1::edTopChange);
    connect(ui.edWidth, &QSpinBox::valueChanged, this, &TForm1::edWidthChange);
    connect(ui.edHeight, &QSpinBox::valueChanged, this, &TForm1::edHeightChange);
    connect(ui.tbLightness, &QSlider::valueChanged, this, &TForm1::tbLightnessChange);
    connect(ui.tbSaturation, &QSlider::valueChanged, this, &TForm1::tbSaturationChange);
    connect(ui.tbContrast, &QSlider::valueChanged, this, &TForm1::tbContrastChange);
    connect(ui.tbDarkness, &QSlider::valueChanged, this, &TForm1::tbDarknessChange);
    connect(ui.edTextLogo, &QLineEdit::textChanged, this, &TForm1::edTextLogoChange);
    connect(ui.edTextLogoLeft, &QLineEdit::textChanged, this, &TForm1::edTextLogoLeftChange);
    connect(ui.edTextLogoTop, &QLineEdit::textChanged, this, &TForm1::edTextLogoTopChange);

    // The time pickers report every key press; the picker itself still handles it.
    ui.TimeStart->installEventFilter(this);
    ui.TimeEnd->installEventFilter(this);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (watched == ui.TimeStart)
            TimeStartKeyPress(key);
        else if (watched == ui.TimeEnd)
            TimeEndKeyPress(key);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!FShownOnce) {
        FShownOnce = true;
        FormShow();
    }
}

// Closing the main window ends the program, also while a non-modal window (the progress
// dialog) is still open or a modal one runs its own event loop.
void TForm1::closeEvent(QCloseEvent *event)
{
    FormCloseQuery();
    event->accept();
    QCoreApplication::quit();
}

void TForm1::EnableControls(bool val)
{
    ui.VideoTrackBar->setEnabled(val);
    ui.PlayButton->setEnabled(val);
    ui.PauseButton->setEnabled(val);
    ui.Button5->setEnabled(val);
    ui.Button2->setEnabled(val);
    ui.Button3->setEnabled(val);
    ui.Button4->setEnabled(val);
    ui.TrimLeftButton->setEnabled(val);
    ui.TrimRightButton->setEnabled(val);
    ui.playtrimmedbutton->setEnabled(val);
    ui.resetbutton->setEnabled(val);
    ui.OpenButton->setEnabled(val);
    // The whole tab set: every page and every control on it.
    ui.PageControl1->setEnabled(val);
}

// Exit: the close path (FormCloseQuery) ends the program.
void TForm1::Exit1Click()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Exit is clicked."));
    close();
}

// Activity Log: no log line of its own; the window logs when it is closed with OK.
void TForm1::ActivityLog1Click()
{
    if (FLogForm)
        FLogForm->ShowLog();
}

void TForm1::About1Click()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> About Program is clicked."));
    if (FAboutForm)
        FAboutForm->ShowAbout();
}

// Handlers whose behaviour belongs to the subsystems; empty until they are wired.
