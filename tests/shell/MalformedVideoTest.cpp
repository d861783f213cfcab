// Broken and unusual videos opened through the main window: each ends in what the user is
// meant to see - the report of opening, the refusal of the clip length, or a conversion
// with an upright picture - and nothing crashes or hangs.
//
// The videos are made with ffmpeg (QUORVANE_FFMPEG or the one on PATH) into a temporary
// folder the first time a row needs them, once per run of this program. Each is tiny.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <iostream>
#include <map>
#include <string>

#include "GifDecode.h"
#include "PlayerTestSupport.h"
#include "ShellTestSupport.h"
#include "TForm1.h"
#include "TestDoubles.h"

namespace {

using playertest::kHangMs;
using playertest::WaitUntil;
using Kind = core::ScriptedPrompts::Kind;
using shelltest::ReadAll;
using shelltest::WriteAll;

const QString kCannotPlay = QStringLiteral("Could not play video. Please try to open another file.");
const QString kNoDecoder = QStringLiteral("Could not play video. Please install GStreamer libav plugins "
                                          "(gstreamer1.0-libav). After that, run the program again.");
const QString kTooShort = QStringLiteral("Trimmed part of the video is less than 0.5 second.\r\nPlease set larger interval.");
// Set in the child copy of this program that runs without any H.264 decoder.
const char *const kNoH264Child = "QUORVANE_MALFORMED_NO_H264_CHILD";

// --- Making the videos ---

QString FfmpegPath()
{
    const QString configured = qEnvironmentVariable("QUORVANE_FFMPEG");
    return configured.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("ffmpeg")) : configured;
}

// Runs ffmpeg with these arguments (no shell); false with its output in `error` on failure.
bool RunFfmpeg(const QStringList &arguments, QString &error)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(FfmpegPath(), QStringList{QStringLiteral("-nostdin"), QStringLiteral("-hide_banner"),
                                           QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y")}
                                   + arguments);
    if (!ffmpeg.waitForFinished(60000)) {
        ffmpeg.kill();
        ffmpeg.waitForFinished(5000);
        error = QStringLiteral("ffmpeg did not finish: ") + ffmpeg.errorString();
        return false;
    }
    if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
        error = QString::fromLocal8Bit(ffmpeg.readAll());
        return false;
    }
    return true;
}

// A black picture with a white top-left quarter: where that quarter ends up in the GIF
// tells whether the picture was shown upright. Drawn in RGB: a 4:2:0 source would round
// odd sizes down to even ones before the encoder sees them.
QString MarkedSource(const QString &size, int fps, const QString &seconds)
{
    return QStringLiteral("color=black:size=%1:rate=%2:duration=%3,format=rgb24,drawbox=x=0:y=0:w=iw/2:h=ih/2:color=white:t=fill")
        .arg(size)
        .arg(fps)
        .arg(seconds);
}

// H.264 in MP4 from a lavfi source; extra arguments go before the output name.
bool MakeH264(const QString &source, const QString &out, QString &error, const QStringList &extra = {},
              const QString &pixelFormat = QStringLiteral("yuv420p"))
{
    return RunFfmpeg(QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), source,
                                 QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                                 QStringLiteral("ultrafast"), QStringLiteral("-threads"), QStringLiteral("1"),
                                 QStringLiteral("-map_metadata"), QStringLiteral("-1"), QStringLiteral("-fflags"),
                                 QStringLiteral("+bitexact"), QStringLiteral("-pix_fmt"), pixelFormat}
                         + extra + QStringList{out},
                     error);
}

// Sets the display matrix of the first track ("tkhd", version 0) to a clockwise rotation.
// Written by hand because ffmpeg versions disagree on the direction of their "rotate" tag.
bool RotateClockwise(QByteArray &mp4, int degrees)
{
    const qsizetype at = mp4.indexOf("tkhd");
    if (at < 0 || mp4.size() < at + 4 + 40 + 36 || mp4[at + 4] != 0)
        return false;
    // a, b, u, c, d, v, x, y, w in 16.16 (u, v, w in 2.30); QuickTime maps (x y 1) * M.
    const std::int32_t one = 0x10000;
    std::int32_t a = one, b = 0, c = 0, d = one;
    if (degrees == 90)
        a = 0, b = one, c = -one, d = 0;
    else if (degrees == 180)
        a = -one, d = -one;
    else if (degrees == 270)
        a = 0, b = -one, c = one, d = 0;
    const std::int32_t matrix[9] = {a, b, 0, c, d, 0, 0, 0, 0x40000000};
    for (int i = 0; i < 9; ++i)
        for (int byte = 0; byte < 4; ++byte)
            mp4[at + 44 + 4 * i + byte] = char(std::uint32_t(matrix[i]) >> (24 - 8 * byte));
    return true;
}

// The temporary folder and the files made in it so far (UI thread only).
class TVideoFolder
{
public:
    static TVideoFolder &Instance()
    {
        static TVideoFolder folder;
        return folder;
    }

    // The path of `name`, made by `make` (given the path) the first time it is asked for.
    QString Get(const QString &name, const std::function<bool(const QString &, QString &)> &make, QString &error)
    {
        const QString path = FDir.filePath(name);
        if (FMade.count(name))
            return path;
        if (!make(path, error))
            return QString();
        FMade[name] = true;
        return path;
    }

    QString Path(const QString &name) const { return FDir.filePath(name); }

private:
    QTemporaryDir FDir;
    std::map<QString, bool> FMade;
};

// The 2 s, 64 x 48, 10 frames per second marked video the derived files start from.
// faststart puts the index before the pictures, so cutting the end keeps it.
QString Base(QString &error, bool indexFirst)
{
    const QString name = indexFirst ? QStringLiteral("base_faststart.mp4") : QStringLiteral("base.mp4");
    return TVideoFolder::Instance().Get(name, [&](const QString &path, QString &err) {
        return MakeH264(MarkedSource(QStringLiteral("64x48"), 10, QStringLiteral("2")), path, err,
                        indexFirst ? QStringList{QStringLiteral("-movflags"), QStringLiteral("+faststart")} : QStringList{});
    }, error);
}

// The first `permille` thousandths of the faststart base.
bool MakeTruncated(const QString &path, int permille, QString &error)
{
    const QByteArray base = ReadAll(Base(error, true));
    return !base.isEmpty() && WriteAll(path, base.left(base.size() * permille / 1000));
}

// --- The table ---

enum class Outcome {
    OpenReport,   // the error dialog of opening with `message`, the window closes
    ClipRefused,  // opens; Convert over the whole file warns `message`
    Converts,     // opens at sourceWidth x sourceHeight; Convert over the whole file gives
                  // a GIF of gifWidth x gifHeight
};

enum class Corner { None, TopLeft, TopRight, BottomLeft, BottomRight };

struct Row {
    const char *name;
    std::function<bool(const QString &, QString &)> make;
    Outcome outcome;
    QString message;
    int sourceWidth = 0, sourceHeight = 0;
    int gifWidth = 0, gifHeight = 0;
    Corner marker = Corner::None;  // where the white quarter must be in the GIF
    bool withoutH264 = false;      // run in a child copy with no H.264 decoder ranked
};

std::ostream &operator<<(std::ostream &out, const Row &row)
{
    return out << row.name;
}

std::function<bool(const QString &, QString &)> Marked(const char *size, const char *seconds,
                                                       const QStringList &extra = {},
                                                       const char *pixelFormat = "yuv420p")
{
    return [=](const QString &path, QString &error) {
        return MakeH264(MarkedSource(QLatin1String(size), 10, QLatin1String(seconds)), path, error, extra,
                        QLatin1String(pixelFormat));
    };
}

std::function<bool(const QString &, QString &)> Rotated(int degrees)
{
    return [=](const QString &path, QString &error) {
        QByteArray mp4 = ReadAll(Base(error, false));
        return RotateClockwise(mp4, degrees) && WriteAll(path, mp4);
    };
}

const Row kRows[] = {
    {"EmptyFile", [](const QString &path, QString &) { return WriteAll(path, QByteArray()); },
     Outcome::OpenReport, kCannotPlay},
    {"TextNamedMp4",
     [](const QString &path, QString &) { return WriteAll(path, "This is a plain text file, not a video.\n"); },
     Outcome::OpenReport, kCannotPlay},
    {"TruncatedAt1Percent", [](const QString &path, QString &error) { return MakeTruncated(path, 10, error); },
     Outcome::OpenReport, kCannotPlay},
    // The index is whole but points past the end: the media layer calls the file broken.
    {"TruncatedAt50Percent", [](const QString &path, QString &error) { return MakeTruncated(path, 500, error); },
     Outcome::OpenReport, kCannotPlay},
    // Only the last picture is cut: the capture runs into the cut and still ends.
    {"TruncatedAt99Percent", [](const QString &path, QString &error) { return MakeTruncated(path, 990, error); },
     Outcome::Converts, {}, 64, 48, 64, 48, Corner::TopLeft},
    // The "moov" box renamed to "free": the pictures are there, the index is not.
    {"Mp4WithoutIndex",
     [](const QString &path, QString &error) {
         QByteArray mp4 = ReadAll(Base(error, false));
         const qsizetype at = mp4.lastIndexOf("moov");
         if (at < 0)
             return false;
         mp4.replace(at, 4, "free");
         return WriteAll(path, mp4);
     },
     Outcome::OpenReport, kCannotPlay},
    {"DecoderMissing", [](const QString &path, QString &error) { QFile::remove(path); return QFile::copy(Base(error, false), path); },
     Outcome::OpenReport, kNoDecoder, 0, 0, 0, 0, Corner::None, true},
    {"AudioOnly",
     [](const QString &path, QString &error) {
         return RunFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("sine=frequency=440:sample_rate=48000:duration=1"), QStringLiteral("-c:a"),
                           QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("32k"), path},
                          error);
     },
     Outcome::OpenReport, kCannotPlay},
    {"SingleFrame", Marked("64x48", "2", {QStringLiteral("-frames:v"), QStringLiteral("1")}), Outcome::ClipRefused,
     kTooShort},
    {"ThreeTenthsOfASecond", Marked("64x48", "0.3"), Outcome::ClipRefused, kTooShort},
    // x264 takes odd sizes only without chroma subsampling.
    {"OnePixel",
     [](const QString &path, QString &error) {
         return MakeH264(QStringLiteral("color=white:size=2x2:rate=10:duration=1,format=rgb24,scale=1:1"), path, error, {},
                         QStringLiteral("yuv444p"));
     },
     Outcome::Converts, {}, 1, 1, 5, 5},
    {"FourPixels", Marked("4x4", "1"), Outcome::Converts, {}, 4, 4, 8, 8},
    {"OddSize999x1001", Marked("999x1001", "1", {}, "yuv444p"), Outcome::Converts, {}, 999, 1001, 100, 100, Corner::TopLeft},
    {"VeryWide4096x16", Marked("4096x16", "1"), Outcome::Converts, {}, 4096, 16, 1000, 5},
    {"Rotated90", Rotated(90), Outcome::Converts, {}, 48, 64, 48, 64, Corner::TopRight},
    {"Rotated180", Rotated(180), Outcome::Converts, {}, 64, 48, 64, 48, Corner::BottomRight},
    {"Rotated270", Rotated(270), Outcome::Converts, {}, 48, 64, 48, 64, Corner::BottomLeft},
    // Ten frames at 30 per second, then one in seven kept at its own time.
    {"VariableFrameRate",
     Marked("64x48", "2",
            {QStringLiteral("-vf"), QStringLiteral("select='lt(n\\,10)+not(mod(n\\,7))'"), QStringLiteral("-fps_mode"),
             QStringLiteral("vfr"), QStringLiteral("-r"), QStringLiteral("30")}),
     Outcome::Converts, {}, 64, 48, 64, 48, Corner::TopLeft},
};

// Which quarter of the composed frame (red, green, blue rows) is bright; None when not
// exactly one is.
Corner BrightQuarter(const std::vector<std::uint8_t> &rgb, int width, int height)
{
    const auto bright = [&](int x, int y) {
        const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return rgb[at] > 128 && rgb[at + 1] > 128 && rgb[at + 2] > 128;
    };
    const int l = width / 4, r = width * 3 / 4, t = height / 4, b = height * 3 / 4;
    const bool quarters[4] = {bright(l, t), bright(r, t), bright(l, b), bright(r, b)};
    int count = 0;
    Corner which = Corner::None;
    const Corner corners[4] = {Corner::TopLeft, Corner::TopRight, Corner::BottomLeft, Corner::BottomRight};
    for (int i = 0; i < 4; ++i)
        if (quarters[i]) {
            ++count;
            which = corners[i];
        }
    return count == 1 ? which : Corner::None;
}

class MalformedVideo : public ::testing::TestWithParam<Row>
{
};

TEST_P(MalformedVideo, EndsInTheOutcomeTheUserIsMeantToSee)
{
    const Row &row = GetParam();
    if (row.withoutH264 && !playertest::IsChild(kNoH264Child)) {
        // The ranks are read only when GStreamer starts: a fresh copy of this program.
        playertest::ExpectChildPasses(kNoH264Child,
                                      (std::string("Rows/MalformedVideo.EndsInTheOutcomeTheUserIsMeantToSee/") + row.name).c_str(),
                                      {QStringLiteral("GST_PLUGIN_FEATURE_RANK=avdec_h264:NONE,openh264dec:NONE")});
        return;
    }
    ASSERT_FALSE(FfmpegPath().isEmpty()) << "ffmpeg is needed to make the videos";
    QString error;
    const QString file = TVideoFolder::Instance().Get(QLatin1String(row.name) + QStringLiteral(".mp4"), row.make, error);
    ASSERT_FALSE(file.isEmpty()) << error.toStdString();

    core::ScriptedPrompts prompts;
    core::RecordingOpener opener;
    TForm1 form(prompts, opener);  // a report closes the window: one per row
    form.show();
    QElapsedTimer clock;
    clock.start();
    prompts.OpenFileAnswers.push_back(file);
    form.OpenButtonClick();
    const QStringList errors = prompts.Texts(Kind::ErrorDialog);

    if (row.outcome == Outcome::OpenReport) {
        EXPECT_EQ(errors, QStringList{row.message});
        EXPECT_TRUE(form.State.ClosingDone);
        EXPECT_EQ(form.State.CodecPackMissing, row.message == kNoDecoder);
        std::cout << "[ row      ] " << row.name << ": open report in " << clock.elapsed() << " ms\n";
        return;
    }
    ASSERT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
    EXPECT_GT(form.State.FDuration, 0);

    if (row.outcome == Outcome::ClipRefused) {
        // The whole file is the clip after opening.
        form.StartConvertButtonClick();
        EXPECT_EQ(prompts.Warnings(), QStringList{row.message});
        EXPECT_TRUE(form.ui.StopConvertButton->isHidden());
        std::cout << "[ row      ] " << row.name << ": clip refused in " << clock.elapsed() << " ms (duration "
                  << form.State.FDuration << " ms)\n";
        return;
    }

    EXPECT_EQ(form.State.SourceWidth, row.sourceWidth);
    EXPECT_EQ(form.State.SourceHeight, row.sourceHeight);
    // The clip is the whole file as opened, so the capture also meets its end (or its cut).
    form.ui.GIFwidth->setValue(row.gifWidth);
    form.ui.GIFHeight->setValue(row.gifHeight);
    form.ui.bsSkinSpinEdit1->setValue(10);
    form.StartConvertButtonClick();
    ASSERT_TRUE(WaitUntil([&] { return !opener.Opened.isEmpty() || prompts.Calls.size() > 1; }, kHangMs))
        << "no result within " << kHangMs << " ms";
    ASSERT_EQ(opener.Opened.size(), 1) << prompts.Warnings().join('|').toStdString()
                                       << prompts.Texts(Kind::ErrorDialog).join('|').toStdString();
    EXPECT_TRUE(prompts.Texts(Kind::ErrorDialog).isEmpty());

    const gifdecode::Gif gif = gifdecode::DecodeFile((form.State.WorkDir + QStringLiteral("/out.gif")).toStdString());
    EXPECT_EQ(gif.screenWidth, row.gifWidth);
    EXPECT_EQ(gif.screenHeight, row.gifHeight);
    ASSERT_FALSE(gif.frames.empty());
    if (row.marker != Corner::None) {
        const auto composed = gifdecode::Compose(gif);
        for (size_t i = 0; i < composed.size(); ++i)
            EXPECT_EQ(int(BrightQuarter(composed[i], gif.screenWidth, gif.screenHeight)), int(row.marker))
                << "frame " << i;
    }
    std::cout << "[ row      ] " << row.name << ": converted in " << clock.elapsed() << " ms, " << gif.frames.size()
              << " frames of " << gif.screenWidth << "x" << gif.screenHeight << " (source " << form.State.SourceWidth
              << "x" << form.State.SourceHeight << ", duration " << form.State.FDuration << " ms)\n";
}

INSTANTIATE_TEST_SUITE_P(Rows, MalformedVideo, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row> &info) { return std::string(info.param.name); });

} // namespace
