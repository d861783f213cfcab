// Handlers of opening a video, the transport and trimming, and the window commands.
// The arithmetic and the decisions live in the clip library; these handlers read and
// write the controls and drive the player. UI thread.
#include "TForm1.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <QFileInfo>
#include <QSlider>
#include <QTimeEdit>

#include <exception>

#include "ClipGeometry.h"
#include "ErrorReport.h"
#include "Playability.h"
#include "TAboutForm.h"
#include "TTrackBarSelection.h"
#include "TimeConversions.h"

namespace {

// The step of opening that found the file unplayable; caught by the open's guard.
struct TCannotPlay : std::exception {};

bool IsEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

// --- Opening a video ---

void TForm1::OpenButtonClick()
{
    StopRunningConversion();
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Open is clicked."));
    const QString file = Prompts.ChooseOpenFile(dlgopen.InitialDir, dlgopen.Filter);
    if (file.isEmpty())
        return;
    OpenVideoFile(file);
}

namespace {

// The first local file of a drag, or an empty string.
QString DroppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            return url.toLocalFile();
    return {};
}

} // namespace

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// As "Open Video" with the dropped file as the dialog's answer: a running conversion is
// stopped first, the same log lines, checks and reports follow.
void TForm1::dropEvent(QDropEvent *event)
{
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    StopRunningConversion();
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Open is clicked."));
    OpenVideoFile(file);
}

void TForm1::OpenVideoFile(const QString &file)
{
    dlgopen.Files = QStringList{file};
    const QString name = QFileInfo(file).fileName();

    try {
        ui.GroupBox1->setTitle(QStringLiteral("Preview - ") + name);
        ui.VideoTrackBar->setEnabled(true);
        // No decoder prompt exists here to warn about; the first open is still noted.
        State.FfdshowHintShown = true;

        MediaPlayer1->Stop();
        MediaPlayer1->Close();
        MediaPlayer1->SetScreen_Zoom_Ratio(0);
        MediaPlayer1->SetScreen_Zoom_ShiftX(0);
        MediaPlayer1->SetScreen_Zoom_ShiftY(0);

        MediaPlayer1->FilenameOrURL = file;
        if (!MediaPlayer1->Info_Read() || !clip::JudgePlayability(MediaPlayer1->Info().Info()).Playable)
            throw TCannotPlay();

        MediaPlayer1->Audio_Play = true;
        MediaPlayer1->Source_Mode = player::SM_File;
        MediaPlayer1->Audio_Output_Device = QString::fromLatin1(player::kDefaultAudioDevice);
        MediaPlayer1->Screen_VideoRenderer = player::TVFMediaPlayer::Filter_Supported_VMR9()
                                                 ? player::VR_VMR9
                                                 : player::VR_VideoRenderer;
        MediaPlayer1->Debug_Mode = false;
        MediaPlayer1->Video_Effects_Enabled = true;
        MediaPlayer1->Effects().Video_Effects_Clear();

        State.FDuration = MediaPlayer1->Info_Video_DurationMSec(0);
        State.SourceWidth = MediaPlayer1->Info_Video_Width(0);
        State.SourceHeight = MediaPlayer1->Info_Video_Height(0);

        // A picture too large to hold in memory cannot be grabbed either.
        FGrabBitmap = QImage(State.SourceWidth, State.SourceHeight, QImage::Format_RGB888);
        if (FGrabBitmap.isNull())
            throw TCannotPlay();
        FGrabBitmap.fill(Qt::black);
        State.GrabBitmap = &FGrabBitmap;

        ui.VideoTrackBar->setMaximum(clip::SecondsTick(State.FDuration));

        const clip::TPictureRect picture = clip::PictureRect(ui.PanelB->width(), ui.PanelB->height(),
                                                             State.SourceWidth, State.SourceHeight);
        State.DisplayWidth = picture.Width;
        State.DisplayHeight = picture.Height;
        State.DisplayLeft = picture.Left;
        State.DisplayTop = picture.Top;

        core::LogEvent(ActivityLog, QStringLiteral(" ---> Open file ") + name);

        State.ClipEndMs = State.FDuration;
        ui.TimeEnd->setTime(clip::MsToTime(State.ClipEndMs));
        State.ClipStartMs = 0;
        State.ClipBounded = false;

        SetStatusText(0, QStringLiteral("Start: ") + clip::IntToTimeStr(State.ClipStartMs));
        SetStatusText(1, QStringLiteral("End: ") + clip::IntToTimeStr(State.ClipEndMs));
        SetStatusText(4, QStringLiteral("Status: Ready"));

        FilloutEdits(true, true);
        setcropareavisible(true);
        ui.StartConvertButton->setFocus();
    } catch (...) {
        // Whatever failed, the media layer's report on the file tells whether a decoder
        // was missing for it.
        const clip::TPlayability verdict = clip::JudgePlayability(MediaPlayer1->Info().Info());
        if (verdict.DecoderMissing) {
            State.CodecPackMissing = true;
            FMissingDecoderDetails = verdict.MissingDetails;
            if (!StartDecoderInstaller)
                StartDecoderInstaller = [this] { clip::StartDecoderInstall(FMissingDecoderDetails); };
        }
        core::ReportError(clip::CannotPlayMessage(verdict), QStringLiteral("CLM_open"));
    }

    PlayButtonClick();
}

// --- Window commands ---

void TForm1::resetbuttonClick()
{
    StopRunningConversion();
    SetClipStart(0);
    SetClipEnd(State.FDuration);
    TrackBarSelection().SetSelEnd(0);
    FilloutEdits(true, false);
}

void TForm1::GIFViewer1Click()
{
    if (!State.FImage || State.FImage->Empty()) {
        Prompts.Warning(QStringLiteral("Please convert video to GIF before to view."));
        return;
    }
    if (ShowResult)
        ShowResult();
}

void TForm1::OnlineGuide1Click()
{
    Opener.Open(kGuidePage);
}

void TForm1::Support1Click()
{
    Opener.Open(kSupportPage);
}

void TForm1::HomePage1Click()
{
    Opener.Open(kHomePage);
}

// --- Transport ---

// After the close path nothing may start the player again: a failed open still presses
// Play, and it does so while the program is closing.
void TForm1::PlayButtonClick()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Play clicked."));
    if (MediaPlayer1->FilenameOrURL.isEmpty() || State.ClosingDone)
        return;
    State.ClipBounded = false;
    MediaPlayer1->Play();
    State.PlayerState = 1;
    ui.PlayButton->hide();
    ui.PauseButton->show();
}

void TForm1::PauseButtonClick()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Pause clicked."));
    if (MediaPlayer1->FilenameOrURL.isEmpty() || State.ClosingDone)
        return;
    MediaPlayer1->Pause();
    State.PlayerState = 2;
    ui.PlayButton->show();
    ui.PauseButton->hide();
    SetStatusText(4, QStringLiteral("Status: Paused"));
}

void TForm1::playtrimmedbuttonClick()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Play Clip is clicked."));
    if (MediaPlayer1->FilenameOrURL.isEmpty() || State.ClosingDone)
        return;
    State.ClipBounded = true;
    if (State.PlayerState != 1)
        MediaPlayer1->Play();
    MediaPlayer1->Position_Set_Time(State.ClipStartMs);
    State.PlayerState = 1;
    ui.PlayButton->hide();
    ui.PauseButton->show();
}

void TForm1::Button2Click()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> 0.1 sec. left clicked."));
    PlayerStep(-100);
}

void TForm1::Button3Click()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> 0.1 sec. right clicked."));
    PlayerStep(100);
}

void TForm1::Button4Click()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> 1 sec. right clicked."));
    PlayerStep(1000);
}

void TForm1::Button5Click()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> 1 sec. left clicked."));
    PlayerStep(-1000);
}

// The target is not clamped: a position outside the video is left to the player. When
// the step moves the rounded second, the trackbar's change handler seeks to that whole
// second, so such a step ends on it.
void TForm1::PlayerStep(int stepMs)
{
    if (State.StepBusy)
        return;
    State.StepBusy = true;
    try {
        if (MediaPlayer1->FilenameOrURL.isEmpty() || State.ClosingDone) {
            State.StepBusy = false;
            return;
        }
        MediaPlayer1->Position_Set_Time(MediaPlayer1->Position_Get_Time() + stepMs);
        if (State.PlayerState != 2)
            MediaPlayer1->Pause();
        State.PlayerState = 2;
        ui.PlayButton->show();
        ui.PauseButton->hide();
        State.StepBusy = false;
        ui.VideoTrackBar->setValue(clip::SecondsTick(MediaPlayer1->Position_Get_Time()));
        SetStatusText(2, QStringLiteral("Current: ")
                             + player::TVFMediaPlayer::Helpful_SecondsToTimeFormatted(ui.VideoTrackBar->value()));
    } catch (...) {
        State.StepBusy = false;
        core::ReportError(QStringLiteral("Error player step"), QStringLiteral("CLM_PlayerStep"));
    }
}

void TForm1::TrackBar2Change()
{
    if (Timer3Tag == 0)
        MediaPlayer1->Position_Set_Time(ui.VideoTrackBar->value() * 1000);
}

// Position display and clip watch, every 50 ms.
void TForm1::Timer3Timer()
{
    Timer3Tag = 1;
    if (State.PlayerState == 1) {
        ui.VideoTrackBar->setValue(clip::SecondsTick(MediaPlayer1->Position_Get_Time()));
        if (ui.StopConvertButton->isHidden()) {
            SetStatusText(2, QStringLiteral("Current: ")
                                 + player::TVFMediaPlayer::Helpful_SecondsToTimeFormatted(ui.VideoTrackBar->value()));
            SetStatusText(4, QStringLiteral("Status: Playing"));
        } else {
            ui.ProgressBar1->setValue(MediaPlayer1->Position_Get_Time() - State.ClipStartMs);
        }
        if (State.ClipBounded
            && (MediaPlayer1->Position_Get_Time() >= State.ClipEndMs
                || MediaPlayer1->Status() == player::ST_FREE)) {
            if (Timer1.isActive())
                StopConvertButtonClick();
            else
                MediaPlayer1->Position_Set_Time(State.ClipStartMs);
        }
    }
    Timer3Tag = 0;
}

// --- Trimming ---

// The position is read once, so that a playing video cannot move between setting the
// bound and collapsing the clip onto it.
void TForm1::trimleftbuttonClick()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Set Start clicked."));
    if (MediaPlayer1->FilenameOrURL.isEmpty() || State.ClosingDone)
        return;
    const int position = MediaPlayer1->Position_Get_Time();
    SetClipStart(position);
    if (State.ClipStartMs >= State.ClipEndMs)
        SetClipEnd(position);
}

void TForm1::trimrightbuttonClick()
{
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Set End is clicked."));
    if (MediaPlayer1->FilenameOrURL.isEmpty() || State.ClosingDone)
        return;
    const int position = MediaPlayer1->Position_Get_Time();
    SetClipEnd(position);
    if (State.ClipEndMs <= State.ClipStartMs)
        SetClipStart(position);
}

// A typed bound changes only the selection of the bar; its marker and status text keep
// their state until the next Set Start or Set End. It is not limited to the duration.
void TForm1::TimeStartKeyPress(int key)
{
    if (!IsEnter(key))
        return;
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Pressed Enter on Movie Start Time (Input Settings)."));
    if (MediaPlayer1->FilenameOrURL.isEmpty())
        return;
    State.ClipStartMs = clip::TimeToMs(ui.TimeStart->time());
    if (State.ClipStartMs >= State.ClipEndMs)
        SetClipEnd(State.ClipStartMs);
    TrackBarSelection().SetSelStart(clip::SecondsTick(State.ClipStartMs));
    TrackBarSelection().SetSelEnd(clip::SecondsTick(State.ClipEndMs));
}

void TForm1::TimeEndKeyPress(int key)
{
    if (!IsEnter(key))
        return;
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Pressed Enter on Movie End Time (Input Settings)."));
    if (MediaPlayer1->FilenameOrURL.isEmpty())
        return;
    State.ClipEndMs = clip::TimeToMs(ui.TimeEnd->time());
    if (State.ClipEndMs <= State.ClipStartMs)
        SetClipStart(State.ClipEndMs);
    TrackBarSelection().SetSelStart(clip::SecondsTick(State.ClipStartMs));
    TrackBarSelection().SetSelEnd(clip::SecondsTick(State.ClipEndMs));
}

void TForm1::SetClipStart(int ms)
{
    State.ClipStartMs = ms;
    const QTime time = clip::MsToTime(ms);
    if (time.isValid())
        ui.TimeStart->setTime(time);
    TrackBarSelection().SetSelStart(clip::SecondsTick(State.ClipStartMs));
    TrackBarSelection().SetSelEnd(clip::SecondsTick(State.ClipEndMs));
    PlaceTrimMarkers();
    SetStatusText(0, QStringLiteral("Start: ") + clip::IntToTimeStr(ms));
}

void TForm1::SetClipEnd(int ms)
{
    State.ClipEndMs = ms;
    const QTime time = clip::MsToTime(ms);
    if (time.isValid())
        ui.TimeEnd->setTime(time);
    TrackBarSelection().SetSelStart(clip::SecondsTick(State.ClipStartMs));
    TrackBarSelection().SetSelEnd(clip::SecondsTick(State.ClipEndMs));
    PlaceTrimMarkers();
    SetStatusText(1, QStringLiteral("End: ") + clip::IntToTimeStr(ms));
}

void TForm1::PlaceTrimMarkers()
{
    const QSlider *bar = ui.VideoTrackBar;
    const clip::TMarkerLefts lefts =
        clip::MarkerLefts(bar->x(), bar->width(), bar->maximum(), ui.imgTrimStart->width(),
                          TrackBarSelection().SelStart(), TrackBarSelection().SelEnd());
    ui.imgTrimStart->move(lefts.Start, ui.imgTrimStart->y());
    ui.imgTrimEnd->move(lefts.End, ui.imgTrimEnd->y());
}

clip::TTrackBarSelection &TForm1::TrackBarSelection()
{
    if (!FTrackBarSelection)
        FTrackBarSelection = new clip::TTrackBarSelection(ui.VideoTrackBar);
    return *FTrackBarSelection;
}
