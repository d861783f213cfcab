// Files the user cannot control the names or the disk of: odd video names open, convert and
// are logged as they are; a result that cannot be saved ends in the report of saving and
// leaves the earlier out.gif as it was; the report account's password shows nowhere.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>

#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include "EnvOverride.h"
#include "ErrorReport.h"
#include "GifDecode.h"
#include "PlayerTestSupport.h"
#include "ReportMail.h"
#include "ShellTestSupport.h"
#include "SmtpPeer.h"
#include "TForm1.h"
#include "TestDoubles.h"

namespace {

using playertest::kHangMs;
using playertest::Sample;
using playertest::WaitUntil;
using Kind = core::ScriptedPrompts::Kind;
using shelltest::ReadAll;
using shelltest::TClosedPort;
using shelltest::WriteAll;

// Opens `file` through the open dialog and converts its first second into a 64 x 48 GIF;
// true once the result page was handed to the opener.
bool OpenAndConvert(TForm1 &form, core::ScriptedPrompts &prompts, core::RecordingOpener &opener, const QString &file)
{
    const qsizetype pagesBefore = opener.Opened.size();
    prompts.OpenFileAnswers.push_back(file);
    form.OpenButtonClick();
    if (!WaitUntil([&] { return form.MediaPlayer1->Status() == player::ST_PLAY; }, kHangMs))
        return false;
    form.State.ClipStartMs = 0;
    form.State.ClipEndMs = 1000;
    form.ui.GIFwidth->setValue(64);
    form.ui.GIFHeight->setValue(48);
    form.ui.bsSkinSpinEdit1->setValue(10);
    form.StartConvertButtonClick();
    return WaitUntil([&] { return opener.Opened.size() > pagesBefore; }, kHangMs);
}

// --- Odd file names ---

// Nothing between the dialog and GStreamer may split, quote or read a name as an option.
TEST(OddFileNames, OpenConvertAndAreLoggedAsTheyAre)
{
    QTemporaryDir folder;
    const QString names[] = {
        QStringLiteral("with some spaces.mp4"),
        QStringLiteral("it's \"quoted\" `x` $(id).mp4"),
        QStringLiteral("Jürgen 映像 ñ.mp4"),
        QStringLiteral("-rf --help.mp4"),
        QStringLiteral("percent %20 hash #1 ?q.mp4"),
    };
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);
    form.show();
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString file = folder.filePath(name);
        ASSERT_TRUE(QFile::copy(Sample("h264_640x480.mp4"), file));
        const qsizetype logBefore = form.ActivityLog.Count();
        ASSERT_TRUE(OpenAndConvert(form, prompts, opener, file)) << prompts.Warnings().join('|').toStdString();
        EXPECT_EQ(form.dlgopen.Files, QStringList{file});
        EXPECT_EQ(form.ui.GroupBox1->title(), QStringLiteral("Preview - ") + name);
        const QStringList lines = form.ActivityLog.Lines().mid(logBefore);
        ASSERT_GE(lines.size(), 2);
        EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" ---> Open file ") + name)) << lines[1].toStdString();
        EXPECT_EQ(form.State.SourceWidth, 640);
        const gifdecode::Gif gif = gifdecode::DecodeFile(QFile::encodeName(form.State.WorkDir + QStringLiteral("/out.gif")).toStdString());
        EXPECT_EQ(gif.screenWidth, 64);
        EXPECT_FALSE(gif.frames.empty());
    }
    EXPECT_TRUE(prompts.Texts(Kind::ErrorDialog).isEmpty());
    EXPECT_TRUE(prompts.Warnings().isEmpty());
    for (const QString &name : names)
        EXPECT_TRUE(QFileInfo::exists(folder.filePath(name))) << "the video itself is never touched";
}

// --- Saving the result fails ---

// A tmpfs mounted over a folder for one test; Mounted() is false where this process may
// not mount (not root, or no mount privilege in a container).
class TScratchMount
{
public:
    TScratchMount(const QString &folder, const char *options) : FFolder(QFile::encodeName(folder))
    {
        FMounted = ::mount("tmpfs", FFolder.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options) == 0;
        if (!FMounted)
            FError = std::strerror(errno);
    }
    ~TScratchMount()
    {
        if (FMounted)
            ::umount2(FFolder.constData(), MNT_DETACH);
    }
    bool Mounted() const { return FMounted; }
    std::string Error() const { return FError; }
    bool MakeReadOnly()
    {
        return ::mount("tmpfs", FFolder.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
    }

private:
    QByteArray FFolder;
    bool FMounted = false;
    std::string FError;
};

class SaveFailure : public ::testing::Test
{
protected:
    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form{prompts, opener};
    QString workDir;
    QString gifPath;
    // What a user may have kept from before; it must survive the failed save.
    const QByteArray earlier = QByteArrayLiteral("GIF89a an earlier result, kept by the user");

    void SetUp() override
    {
        prompts.ErrorAnswers.push_back(core::IPrompts::ErrorAnswer::DontSend);
        ASSERT_TRUE(OpenAndConvert(form, prompts, opener, Sample("h264_640x480.mp4")));
        workDir = form.State.WorkDir;
        gifPath = workDir + QStringLiteral("/out.gif");
        ASSERT_TRUE(prompts.Texts(Kind::ErrorDialog).isEmpty());
    }

    // GIF Viewer saves the result again; that save fails.
    void ExpectTheReportOfSavingAndTheEarlierGifKept()
    {
        const qsizetype pages = opener.Opened.size();
        form.GIFViewer1Click();
        EXPECT_EQ(prompts.Texts(Kind::ErrorDialog), QStringList{QStringLiteral("Cannot save temporary GIF to") + gifPath});
        EXPECT_TRUE(form.State.ClosingDone) << "the report ends the program";
        EXPECT_EQ(opener.Opened.size(), pages) << "no page for a result that was not saved";
        EXPECT_EQ(ReadAll(gifPath), earlier);
        const QStringList left = QDir(workDir).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left.filter(QStringLiteral(".tmp")), QStringList{}) << "no half-written file is left";
    }
};

TEST_F(SaveFailure, FolderNotWritableEndsInTheReportOfSaving)
{
    if (::geteuid() != 0) {
        // Folder permissions bind every user but root.
        ASSERT_TRUE(WriteAll(gifPath, earlier));
        const auto restore = qScopeGuard(
            [&] { QFile::setPermissions(workDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
        ASSERT_TRUE(QFile::setPermissions(workDir, QFile::ReadOwner | QFile::ExeOwner));
        ExpectTheReportOfSavingAndTheEarlierGifKept();
        return;
    }
    // Root writes into any folder: a read-only file system stops it.
    TScratchMount mount(workDir, "size=1m,mode=0755");
    if (!mount.Mounted())
        GTEST_SKIP() << "running as root and cannot mount a tmpfs here (" << mount.Error() << ")";
    ASSERT_TRUE(WriteAll(gifPath, earlier));
    ASSERT_TRUE(mount.MakeReadOnly());
    ExpectTheReportOfSavingAndTheEarlierGifKept();
}

TEST_F(SaveFailure, DiskFullEndsInTheReportOfSaving)
{
    TScratchMount mount(workDir, "size=64k,mode=0755");
    if (mount.Mounted()) {
        ASSERT_TRUE(WriteAll(gifPath, earlier));
        // Fill what is left, so that the first block of the new GIF finds no room.
        QFile filler(workDir + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        ExpectTheReportOfSavingAndTheEarlierGifKept();
        return;
    }
    // Without a mount: a file size limit makes writes fail the same way (EFBIG instead of
    // ENOSPC); the signal it would raise is ignored so that the write only fails.
    ASSERT_TRUE(WriteAll(gifPath, earlier));
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const auto restore = qScopeGuard([&] {
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
    });
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ExpectTheReportOfSavingAndTheEarlierGifKept();
}

// --- The report account's password ---

// Sent and not sent: the password reaches the server's login only, never the log, the
// dialogs, the mail program's text or the mail itself.
TEST(ReportPassword, AppearsInNoLogDialogMailtoOrMail)
{
    const QString password = QString::fromLatin1(mail::ReportPassword);
    ASSERT_FALSE(password.isEmpty());
    mailtest::TSmtpPeer peer;
    TClosedPort closed;
    for (const int port : {peer.Port(), closed.Port()}) {
        SCOPED_TRACE(port == peer.Port() ? "sent" : "server unreachable");
        mailtest::TEnvOverride host("QUORVANE_SMTP_HOST", "127.0.0.1");
        mailtest::TEnvOverride portOverride("QUORVANE_SMTP_PORT", std::to_string(port));
        core::ScriptedPrompts prompts;
        core::RecordingOpener opener;
        TForm1 form(prompts, opener);
        prompts.OpenFileAnswers.push_back(Sample("not_media.mp4"));
        prompts.ErrorAnswers.push_back(core::IPrompts::ErrorAnswer::Send);
        form.OpenButtonClick();
        ASSERT_EQ(prompts.Texts(Kind::ErrorDialog).size(), 1);
        for (const QString &line : form.ActivityLog.Lines())
            EXPECT_FALSE(line.contains(password)) << line.toStdString();
        for (const core::ScriptedPrompts::Call &call : prompts.Calls)
            EXPECT_FALSE(call.text.contains(password)) << call.text.toStdString();
        for (const QString &url : opener.Opened)
            EXPECT_FALSE(url.contains(password)) << url.toStdString();
        if (port == closed.Port()) {
            EXPECT_EQ(opener.Opened.size(), 1) << "the mail program took the report";
        }
    }
    const auto received = peer.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].Headers.find(mail::ReportPassword), std::string::npos);
    EXPECT_EQ(received[0].Body.find(mail::ReportPassword), std::string::npos);
}

} // namespace
