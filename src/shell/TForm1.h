#pragma once

#include "ui_TForm1.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "ActivityLog.h"
#include "ConversionState.h"
#include "Prompts.h"
#include "TVFMediaPlayer.h"

namespace shell { class TErrorReporter; }
namespace clip { class TTrackBarSelection; }
namespace convert { class IPictureSource; class TConversionJob; class TExactCapture; }
class TAboutForm;
class TLogForm;
class TProcForm;

// What the open dialog remembers between uses: the folder it starts in, its filter
// ("Description|patterns|..."), and the files chosen last.
struct TOpenDialogState
{
    QString InitialDir;
    QString Filter;
    QStringList Files;
};

class QLabel;

// The program's single main window. It owns the controls generated from TForm1.ui
// (object names as the window's layout gives them), the timers and, as the
// subsystems arrive, the conversion state and the player.
//
// The handlers below are named control plus event. Each is connected once, in the
// constructor, to its control, menu item or timer; those that have no behaviour yet
// are empty and get their bodies from the subsystems that own them.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    // prompts and opener are the program's dialogs and URL opener (scripted ones in
    // tests); they must outlive the window. The window installs itself as the handler
    // of core::ReportError for its lifetime, before anything in it can fail.
    TForm1(core::IPrompts &prompts, core::IUrlOpener &opener, QWidget *parent = nullptr);
    ~TForm1() override;

    core::ConversionState State;
    core::TActivityLog ActivityLog;
    TOpenDialogState dlgopen;
    core::IPrompts &Prompts;
    core::IUrlOpener &Opener;

    // Sends the error report (the log lines) by mail; false with the reason when
    // connecting or sending failed. The program's default talks SMTP to the maker's server.
    std::function<bool(const QStringList &body, QString &error)> SendReport;
    // Offers to install the decoders a video was missing; empty until the media layer
    // can say what is missing.
    std::function<void()> StartDecoderInstaller;
    // The log window and the about box, created after the main window (see main.cpp).
    void SetForms(TLogForm *logForm, TAboutForm *aboutForm);

    // The controls, by their designed names (ui.OpenButton, ui.bsSkinSpinEdit1, ...).
    Ui::TForm1 ui;

    // The video player, filling the preview panel PanelB (owned by it). Placed by fixed
    // geometry, not a layout, so the even size Play gives it stays.
    player::TVFMediaPlayer *MediaPlayer1 = nullptr;

    // Status bar panels 0..4: start, end, current position, progress (ProgressBar1
    // lies over it), status text.
    static constexpr int StatusPanelCount = 5;
    QLabel *StatusPanel(int index) const;
    void SetStatusText(int index, const QString &text);

    // Position display and clip watch: every 50 ms, always running.
    QTimer Timer3;
    // Pause between positioning the player at the clip start and playing: 500 ms,
    // one shot, armed per conversion.
    QTimer DelayTimer;
    // Frame capture: one tick per frame, 100 ms until the frame rate sets it; off
    // except while capturing.
    QTimer Timer1;
    // "Every frame (exact)": runs the decoder a frame at a time between other events (0 ms);
    // on only while such a capture runs.
    QTimer ExactTimer;

    // Enables or disables, together, the controls a running conversion must lock:
    // the position bar, the transport buttons, "Open Video" and the settings tabs.
    // The menus, "Convert to GIF" and "Stop Process" are never touched.
    void EnableControls(bool val);

    // Window lifecycle, defined in TForm1Lifecycle.cpp. FormCreate runs at the end of
    // the constructor, FormShow when the window is first shown, FormCloseQuery on
    // every close request (the close is always accepted).
    void FormCreate();
    void FormShow();
    void FormCloseQuery();
    void SaveSettings();

    // Handlers of the commands.
    void OpenButtonClick();
    // The opening of a chosen file, as "Open Video" does after its dialog (also for a file
    // named on the command line).
    void OpenVideoFile(const QString &file);
    void StartConvertButtonClick();
    void StopConvertButtonClick();
    void resetbuttonClick();
    void Exit1Click();
    void GIFViewer1Click();
    void ActivityLog1Click();
    void OnlineGuide1Click();
    void Support1Click();
    void HomePage1Click();
    void About1Click();

    // Transport and trimming.
    void PlayButtonClick();
    void PauseButtonClick();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void trimleftbuttonClick();
    void trimrightbuttonClick();
    void playtrimmedbuttonClick();
    void TrackBar2Change();
    // Every key pressed in a time picker (Qt::Key value); the handler acts on Enter.
    void TimeStartKeyPress(int key);
    void TimeEndKeyPress(int key);

    // GIF settings.
    void SpinEdit1Change();

    // Crop fields: every change of the value.
    void edLeftChange();
    void edTopChange();
    void edWidthChange();
    void edHeightChange();

    // Effects and text overlay. The check boxes report programmatic changes too, so
    // the effects reset runs the greyscale handler when it unchecks the box.
    void tbLightnessChange();
    void tbSaturationChange();
    void tbContrastChange();
    void tbDarknessChange();
    void cbGreyscaleClick();
    void Button1Click();
    void cbTextLogoClick();
    void btFontClick();
    void btTextLogoUpdateParamsClick();
    void edTextLogoChange();
    void edTextLogoLeftChange();
    void edTextLogoTopChange();

    // Mouse over the player (the crop editor works through these).
    void MediaPlayer1MouseDown(player::TVFMouseButton Button, int X, int Y, bool Ctrl,
                               bool Shift, bool Alt, bool LeftDown, bool RightDown,
                               bool MiddleDown);
    void MediaPlayer1MouseUp(player::TVFMouseButton Button, int X, int Y, bool Ctrl,
                             bool Shift, bool Alt, bool LeftDown, bool RightDown,
                             bool MiddleDown);
    void MediaPlayer1MouseMove(int X, int Y);

    // Timers.
    void Timer3Timer();
    void DelayTimerTimer();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // A video file dropped onto the window opens as "Open Video" opens a chosen file.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // --- Opening, transport and trimming: members (TForm1Clip.cpp) ---
    // Set a clip bound (ms) and refresh everything that shows it.
    void SetClipStart(int ms);
    void SetClipEnd(int ms);
    // Moves the player by stepMs (negative: back) and leaves it paused there.
    void PlayerStep(int stepMs);
    // Places imgTrimStart and imgTrimEnd over the selection's ticks.
    void PlaceTrimMarkers();
    // The clip band over VideoTrackBar, made on first use (owned by the trackbar).
    clip::TTrackBarSelection &TrackBarSelection();
    clip::TTrackBarSelection *FTrackBarSelection = nullptr;
    // The black bitmap of the open video's size that State.GrabBitmap points at.
    QImage FGrabBitmap;
    // Installer details of the decoders the last failed open was missing.
    QStringList FMissingDecoderDetails;
    // 1 while Timer3Timer moves the trackbar, so that TrackBar2Change does not seek.
    int Timer3Tag = 0;
public:
    // Result presentation, run at the end of the assembly and by "GIF Viewer" when FImage
    // holds frames: writes out.gif and out.html and opens the page (ShowResultPage).
    std::function<void()> ShowResult = [this] { ShowResultPage(); };
protected:

    // --- Crop editor: members (TForm1Crop.cpp) ---
    // Places the overlay from the four crop fields.
    void EditValuesToArea();
    // Writes the crop fields from the overlay; isReset first resets the rectangle to the
    // whole picture. isWindowJustOpen has no effect.
    void FilloutEdits(bool isReset, bool isWindowJustOpen);
    // Shows or hides the whole overlay, then lets pending events run.
    void setcropareavisible(bool isvisible);
    // Builds the editor and its overlay over PanelB; runs in the constructor after
    // SetUpPlayer, before the handlers are connected.
    void SetUpCropEditor();
    // The editor (editing::TCropEditor), defined in TForm1Crop.cpp; a shared_ptr so that
    // this header needs no editing headers.
    struct TCropArea;
    std::shared_ptr<TCropArea> FCropArea;

    // --- Effects tab: members (TForm1Effects.cpp) ---
    // Builds the tab's logic over the controls and the player's effect list; runs in the
    // constructor after SetUpPlayer, before the handlers are connected.
    void SetUpEffects();
    // The tab's logic and its adapter to MediaPlayer1, defined in TForm1Effects.cpp. A
    // shared_ptr because its deleter is fixed where the holder is built, so this header
    // needs neither the holder's definition nor the editing headers.
    struct TEffectsTab;
    std::shared_ptr<TEffectsTab> FEffectsTab;

    // --- Conversion start, stop and result: members (TForm1Convert.cpp) ---
    // Writes FImage to the working folder and opens the page ("GIF is empty." when it has
    // no frames).
    void ShowResultPage();
    // For the commands that move the clip bounds (Open Video, Reset): while a conversion
    // runs, cancels its delayed start and runs the stop sequence. Does nothing otherwise.
    void StopRunningConversion();

    // --- Capture and assembly: members (TForm1Capture.cpp) ---
    // Finishes the running conversion's GIF (or, without one, builds FImage from FrameList)
    // with the progress dialog shown, then presents the result (nothing is presented after
    // a reported failure).
    void AssembleGif();
    // Where the capture tick takes its pictures: the player.
    std::unique_ptr<convert::IPictureSource> FPictureSource;
    // "Every frame (exact)": the decoder that feeds FJob instead of the capture tick (see
    // ExactTimer). Declared before FJob, which takes its pictures from it, so that it is
    // freed after the job.
    std::unique_ptr<convert::TExactCapture> FExact;
    void ExactCaptureStep();
    // Stops the exact capture's timer and frees the decoder once no job uses it.
    void DropExactCapture();
    // The conversion from an accepted "Convert to GIF" to its stop; null otherwise. Its
    // workers are the only other threads of a conversion (see TConversionJob).
    std::unique_ptr<convert::TConversionJob> FJob;
    // Calls into FJob on the stack. A job is freed only when none is: a close or a new start
    // that comes in a nested event loop of one (an error dialog, the progress dialog's
    // painting) discards it and parks it in FRetiredJob until the call returns.
    int FJobCalls = 0;
    std::unique_ptr<convert::TConversionJob> FRetiredJob;
    void DropJob();
    void EndJobCall();
    // Makes FPictureSource over MediaPlayer1; runs in the constructor after SetUpPlayer.
    void SetUpCapture();
    // Busy mark of Timer1Timer: 1 while a tick is being handled, so a tick that fires in a
    // nested event loop of the previous one (an error dialog) returns at once.
    int Timer1Tag = 0;
public:
    // Called with every frame a capture tick took (cropped and scaled to its place on the
    // canvas). For watchers such as tests; may be empty.
    std::function<void(const QImage &)> FrameCaptured;
    // The progress dialog of the assembly, created after the main window (main.cpp sets
    // it); without one (tests) the assembly runs without a dialog.
    TProcForm *ProcForm = nullptr;
protected:

private:
    std::unique_ptr<shell::TErrorReporter> FErrorReporter;
    TLogForm *FLogForm = nullptr;
    TAboutForm *FAboutForm = nullptr;

    void SetUpWindowFrame();
    void SetUpPlayer();
    void SetUpStatusBar();
    void SetUpIcons();
    void SetUpTimers();
    void ConnectHandlers();

    bool FShownOnce = false;
};
