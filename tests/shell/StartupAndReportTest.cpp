// Start-up, the remembered folder, the close path, the log window and the error report, with
// scripted prompts, a recording URL opener and a real SMTP server on loopback.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "EnvOverride.h"
#include "ErrorReport.h"
#include "ErrorReporter.h"
#include "OpenFilter.h"
#include "PlayerTestSupport.h"
#include "ShellTestSupport.h"
#include "SmtpPeer.h"
#include "SpecialPaths.h"
#include "TAboutForm.h"
#include "TErrorForm.h"
#include "TForm1.h"
#include "TLogForm.h"
#include "TProcForm.h"
#include "TestDoubles.h"

namespace {

using shelltest::TClosedPort;

QSettings Settings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Zentiq"), QStringLiteral("Quorvane"));
}

void ForgetSettings()
{
    QString file;
    {
        QSettings settings = Settings();
        settings.clear();
        settings.sync();
        file = settings.fileName();
    }
    QFile::remove(file);
}

int LinesEndingWith(const core::TActivityLog &log, const QString &text)
{
    int n = 0;
    for (const QString &line : log.Lines())
        n += line.endsWith(text);
    return n;
}

} // namespace

TEST(Startup, OpenFilterTextIsExact)
{
    EXPECT_EQ(shell::BuildOpenFilter(),
              QStringLiteral("All Supported Video Formats |*.avi;*.mp4; *.m4v;*.mpg; *.mpeg;*.wmv;*.mov;*.mkv;*.3gp;"
                             "|Any Other Video Format (Codec Required)|*.*"
                             "|AVI files (*.avi)|*.avi;"
                             "|MPEG-4 files (*.mp4; *.m4v)|*.mp4; *.m4v;"
                             "|MPEG files (*.mpg; *.mpeg)|*.mpg; *.mpeg;"
                             "|Windows Media Video (*.wmv)|*.wmv;"
                             "|QuickTime (*.mov)|*.mov;"
                             "|Matroska (*.mkv)|*.mkv;"
                             "|3GP (*.3gp)|*.3gp;"));
}

// First run: no settings; the open dialog starts in the videos folder, the folders exist,
// and the setting is written at close only when a video was chosen.
TEST(Startup, FirstRunRemembersTheFolderOnlyOfAChosenVideo)
{
    ForgetSettings();
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    {
        TForm1 form(prompts, opener);
        form.show();
        EXPECT_EQ(form.dlgopen.InitialDir, core::GetSpecialPath(core::sfVideos));
        EXPECT_EQ(form.dlgopen.Filter, shell::BuildOpenFilter());
        const QString docs = core::GetSpecialPath(core::sfDocuments);
        for (const char *folder : {"/Zentiq", "/Zentiq/Quorvane", "/Zentiq/ReportData"})
            EXPECT_TRUE(QFileInfo(docs + QLatin1String(folder)).isDir()) << folder;
        EXPECT_EQ(form.State.ReportDataDir, docs + QStringLiteral("/Zentiq/ReportData"));
        ASSERT_NE(form.State.FImage, nullptr);
        form.close();
    }
    EXPECT_FALSE(Settings().contains(QStringLiteral("OpenDialogPath")));
    EXPECT_TRUE(QFileInfo::exists(Settings().fileName())) << "the key is made at every close";

    const QString videoFolder = QDir::tempPath() + QStringLiteral("/quorvane-chosen");
    QDir().mkpath(videoFolder);
    {
        TForm1 form(prompts, opener);
        form.dlgopen.Files = {videoFolder + QStringLiteral("/clip.mp4")};
        form.close();
    }
    EXPECT_EQ(Settings().value(QStringLiteral("OpenDialogPath")).toString(), videoFolder);
    {
        TForm1 form(prompts, opener);
        EXPECT_EQ(form.dlgopen.InitialDir, videoFolder);
    }
    // The remembered folder is gone: the documents folder instead.
    QDir(videoFolder).removeRecursively();
    {
        TForm1 form(prompts, opener);
        EXPECT_EQ(form.dlgopen.InitialDir, core::GetSpecialPath(core::sfDocuments));
    }
    EXPECT_TRUE(prompts.Calls.empty()) << "no failure was reported";
}

TEST(Startup, ClosePathRunsOnceWithOneLogLine)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    form.show();
    form.Timer1.start();
    form.close();
    form.close();
    form.FormCloseQuery();
    EXPECT_TRUE(form.State.ClosingDone);
    EXPECT_EQ(LinesEndingWith(form.ActivityLog, QStringLiteral(" ---> Close the program.")), 1);
    EXPECT_EQ(form.ActivityLog.Count(), 1);
    EXPECT_EQ(form.State.FImage, nullptr);
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_FALSE(form.Timer3.isActive());
}

TEST(LogWindow, IsRefilledAtEveryOpening)
{
    core::TActivityLog log;
    core::LogEvent(log, QStringLiteral(" ---> Open is clicked."));
    TLogForm window(log);
    QStringList shown;
    auto closeWithOk = [&] {
        QTimer::singleShot(0, &window, [&] {
            shown << window.ui.mmoLog->toPlainText();
            window.ui.mmoLog->setPlainText(QStringLiteral("edited by the user"));
            window.ui.btnOK->click();
        });
    };
    closeWithOk();
    window.ShowLog();
    closeWithOk();
    window.ShowLog();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], log.Lines()[0]);
    const QStringList second = shown[1].split(QLatin1Char('\n'));
    ASSERT_EQ(second.size(), 2);
    EXPECT_TRUE(second[1].endsWith(QStringLiteral(" ---> Log is closed.")));
    EXPECT_EQ(log.Count(), 3);
}

TEST(ErrorDialog, ShowsTheMessageAndAnswersWithItsButtons)
{
    TErrorForm dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Error!"));
    EXPECT_EQ(dialog.ui.lblCaption->text(), QStringLiteral("The following error has occured:"));
    for (QPushButton *button : {dialog.ui.btnSend, dialog.ui.btnDontSend}) {
        QTimer::singleShot(0, &dialog, [&dialog, button] {
            EXPECT_EQ(dialog.ui.lblErrorText->text(), QStringLiteral("Could not create images"));
            button->click();
        });
        const int answer = dialog.ShowError(QStringLiteral("Could not create images"));
        EXPECT_EQ(answer, button == dialog.ui.btnSend ? TErrorForm::kSend : TErrorForm::kDontSend);
    }
}

class ErrorReport : public ::testing::Test
{
protected:
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
};

TEST_F(ErrorReport, DontSendAddsNoLinesStartsTheInstallerAndClosesTheWindow)
{
    TForm1 form(prompts, opener);
    int installerStarts = 0;
    form.StartDecoderInstaller = [&] { ++installerStarts; };
    form.State.CodecPackMissing = true;
    core::LogEvent(form.ActivityLog, QStringLiteral(" ---> Open is clicked."));
    prompts.ErrorAnswers.push_back(core::IPrompts::ErrorAnswer::DontSend);
    core::ReportError(QStringLiteral("Could not play video. Please try to open another file."), QStringLiteral("CLM_open"));
    ASSERT_EQ(prompts.Texts(core::ScriptedPrompts::Kind::ErrorDialog),
              QStringList{QStringLiteral("Could not play video. Please try to open another file.")});
    EXPECT_EQ(installerStarts, 1);
    EXPECT_TRUE(form.State.ClosingDone);
    // The open line and the close path's line, nothing of the report.
    EXPECT_EQ(form.ActivityLog.Count(), 2);
    EXPECT_TRUE(opener.Opened.isEmpty());
}

TEST_F(ErrorReport, SendMailsTheWholeLogEndingInTheReportLines)
{
    mailtest::TSmtpPeer peer;
    mailtest::TEnvOverride host("QUORVANE_SMTP_HOST", "127.0.0.1");
    mailtest::TEnvOverride port("QUORVANE_SMTP_PORT", std::to_string(peer.Port()));
    TForm1 form(prompts, opener);
    core::LogEvent(form.ActivityLog, QStringLiteral(" ---> Open is clicked."));
    core::LogEvent(form.ActivityLog, QStringLiteral(" ---> File: /home/jürgen/clip.mp4"));
    prompts.ErrorAnswers.push_back(core::IPrompts::ErrorAnswer::Send);
    core::ReportError(QStringLiteral("Error player step"), QStringLiteral("CLM_PlayerStep"));

    const QStringList expected = {form.ActivityLog.Lines()[0], form.ActivityLog.Lines()[1],
                                  QStringLiteral("-------------------------"),
                                  QStringLiteral("LAST ERROR MESSAGE: Error player step"),
                                  QStringLiteral("CODE LINE MARK: CLM_PlayerStep")};
    // The report lines stay in the log, before the close path's own line.
    ASSERT_EQ(form.ActivityLog.Count(), 6);
    EXPECT_EQ(form.ActivityLog.Lines().mid(0, 5), expected);
    const auto received = peer.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].MailFrom, "reports@zentiq.example");
    EXPECT_EQ(received[0].RcptTo, std::vector<std::string>{"support@zentiq.example"});
    EXPECT_EQ(received[0].Login, "reports@zentiq.example");
    EXPECT_EQ(received[0].Subject, "ERROR REPORT | Quorvane");
    EXPECT_EQ(QString::fromStdString(received[0].Body), expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    EXPECT_TRUE(opener.Opened.isEmpty());
    EXPECT_TRUE(form.State.ClosingDone);
}

TEST_F(ErrorReport, UnreachableServerHandsTheMailtoTextToTheMailProgram)
{
    TClosedPort closed;
    mailtest::TEnvOverride host("QUORVANE_SMTP_HOST", "127.0.0.1");
    mailtest::TEnvOverride port("QUORVANE_SMTP_PORT", std::to_string(closed.Port()));
    TForm1 form(prompts, opener);
    prompts.ErrorAnswers.push_back(core::IPrompts::ErrorAnswer::Send);
    core::ReportError(QString(), QStringLiteral("CLM_Img"));
    EXPECT_EQ(opener.Opened, QStringList{QStringLiteral(
                                 "mailto:support@zentiq.example?subject=ERROR REPORT | Quorvane&body="
                                 " ;CODE LINE MARK:CLM_Img;  YOUR COMMENT (DETAILS):")});
    EXPECT_TRUE(form.ActivityLog.Lines().contains(QStringLiteral("LAST ERROR MESSAGE: ")));
    EXPECT_TRUE(form.State.ClosingDone);
}

// A failure while the main window is being built still shows the error dialog and runs the
// close path, so that the program can end without entering its event loop. The close path
// cannot write the setting either, and says so in a second report.
TEST(Startup, UnreadableSettingsAreReportedWhileTheWindowIsBuilt)
{
    const QString file = Settings().fileName();
    QFile::remove(file);
    ASSERT_TRUE(QDir().mkpath(file));  // a folder where the settings file should be
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    prompts.ErrorAnswers.push_back(core::IPrompts::ErrorAnswer::DontSend);
    {
        TForm1 form(prompts, opener);
        EXPECT_EQ(prompts.Texts(core::ScriptedPrompts::Kind::ErrorDialog),
                  (QStringList{QStringLiteral("Could not read data from Registry images"),
                               QStringLiteral("Error writing settings to Registry")}));
        EXPECT_TRUE(form.State.ClosingDone);
    }
    QDir(file).removeRecursively();
}

// A report ends the program's event loop although the non-modal progress dialog is still
// shown (the last window closing would not end it).
TEST(Startup, ReportEndsTheEventLoopWhileTheProgressDialogIsShown)
{
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    TProcForm progress;
    form.show();
    progress.show();
    bool stuck = false;
    QTimer::singleShot(0, &form, [] {
        core::ReportError(QStringLiteral("Error setup FImage"), QStringLiteral("CLM_FImage"));
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&stuck] {
        stuck = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(playertest::kHangMs);
    QApplication::exec();
    EXPECT_FALSE(stuck);
    EXPECT_TRUE(form.State.ClosingDone);
}

TEST(AboutBox, ShowsTheVersionAndOpensTheMakersPages)
{
    core::RecordingOpener opener;
    TAboutForm about(opener);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(about.ui.verlabel->text(), QStringLiteral("Version 1.5"));
    EXPECT_EQ(about.ui.lblProduct->text(), QStringLiteral("Quorvane"));
    EXPECT_TRUE(about.ui.lnkHome->text().contains(QStringLiteral("https://www.zentiq.example/quorvane/")));
    emit about.ui.lnkHome->linkActivated(QStringLiteral("https://www.zentiq.example/quorvane/"));
    emit about.ui.lnkSupport->linkActivated(QStringLiteral("https://www.zentiq.example/quorvane/support/"));
    EXPECT_EQ(opener.Opened, (QStringList{QStringLiteral("https://www.zentiq.example/quorvane/"),
                                          QStringLiteral("https://www.zentiq.example/quorvane/support/")}));
}
