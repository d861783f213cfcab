// Start-up and shutdown of the main window: the result image, the working folders, the one
// remembered setting and the close path.
#include "TForm1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "ErrorReport.h"
#include "GIFImage.h"
#include "OpenFilter.h"
#include "SpecialPaths.h"

namespace {

// The remembered setting lives in the user's configuration folder (organisation "Zentiq",
// application "Quorvane"); the application object sets those names.
QSettings Settings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Zentiq"),
                     QStringLiteral("Quorvane"));
}
const QString kOpenDialogPath = QStringLiteral("OpenDialogPath");

// Creates the folder when it is missing; false when it cannot be made.
bool EnsureFolder(const QString &path)
{
    return QDir().mkpath(path.isEmpty() ? QStringLiteral("/") : path);
}

QString Documents()
{
    return core::GetSpecialPath(core::sfDocuments);
}

} // namespace

void TForm1::FormCreate()
{
    ui.TimeStart->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    ui.TimeEnd->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    try {
        State.FImage = std::make_unique<gifimage::TGIFImage>();
    } catch (...) {
        core::ReportError(QStringLiteral("Could not create images"), QStringLiteral("CLM_Img"));
        return;
    }
    dlgopen.InitialDir = core::GetSpecialPath(core::sfVideos);
    // The activity log exists as a member from the start; nothing has been written to it.

    // Each step asks for the documents folder anew, as the folders may be set up in between.
    const bool made = EnsureFolder(Documents() + QStringLiteral("/Zentiq"))
                      && EnsureFolder(Documents() + QStringLiteral("/Zentiq/Quorvane"))
                      && EnsureFolder(State.ReportDataDir = Documents() + QStringLiteral("/Zentiq/ReportData"));
    if (!made) {
        core::ReportError(QStringLiteral("Could not create standard output directory."),
                          QStringLiteral("CLM_CreateDirs"));
        return;
    }

    QSettings settings = Settings();
    if (settings.status() != QSettings::NoError) {
        core::ReportError(QStringLiteral("Could not read data from Registry images"),
                          QStringLiteral("CLM_ReadRegistry"));
        return;
    }
    if (settings.contains(kOpenDialogPath)) {
        dlgopen.InitialDir = settings.value(kOpenDialogPath).toString();
        if (!QFileInfo(dlgopen.InitialDir).isDir())
            dlgopen.InitialDir = Documents();
    }
}

void TForm1::FormShow()
{
    const bool made = EnsureFolder(Documents() + QStringLiteral("/Zentiq"))
                      && EnsureFolder(Documents() + QStringLiteral("/Zentiq/Quorvane"));
    if (!made) {
        core::ReportError(QStringLiteral("Could not create standard folders."),
                          QStringLiteral("CLM_StandardFoldersCreate"));
        return;
    }
    State.OpenFilter = shell::BuildOpenFilter();
    dlgopen.Filter = State.OpenFilter;
    ui.OpenButton->setFocus();
}

// Runs once; a second close request changes nothing. Afterwards nothing that it released
// may be used: the timers are stopped and ClosingDone tells every later step to do nothing.
void TForm1::FormCloseQuery()
{
    if (State.ClosingDone)
        return;
    core::LogEvent(ActivityLog, QStringLiteral(" ---> Close the program."));
    State.ClosingDone = true;
    Timer1.stop();
    DelayTimer.stop();
    Timer3.stop();
    MediaPlayer1->Stop();
    MediaPlayer1->Close();
    // The workers are joined before anything they could use is freed.
    DropJob();
    DropExactCapture();
    State.FrameList.clear();
    if (State.FImage) {
        State.FImage->Clear();
        State.FImage.reset();
    }
    SaveSettings();
}

void TForm1::SaveSettings()
{
    QSettings settings = Settings();
    if (!dlgopen.Files.isEmpty()) {
        const QString folder = QFileInfo(dlgopen.Files.first()).absolutePath();
        settings.setValue(kOpenDialogPath, QDir::cleanPath(folder));
    }
    settings.sync();
    // The settings file is the program's key: it exists after every close, with the folder in
    // it only once a video was chosen.
    bool written = settings.status() == QSettings::NoError;
    const QFileInfo file(settings.fileName());
    if (written && !file.exists()) {
        QFile created(file.absoluteFilePath());
        written = QDir().mkpath(file.absolutePath()) && created.open(QIODevice::WriteOnly);
    }
    if (!written)
        core::ReportError(QStringLiteral("Error writing settings to Registry"), QStringLiteral("CLM_RegDataWrite"));
}
