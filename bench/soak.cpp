// The soak run: one process drives the main window through many conversions, opens and
// "Stop Process" presses, and prints whether resident memory, open file descriptors and
// threads stay flat. Too long for CI; run it through scripts/soak.sh.
//
//   quorvane_soak [--samples DIR] [--conversions N] [--cycles N] [--stops N]
//
// Three phases, in this order, in one window (with the progress dialog, the log window and
// the about box the program creates):
//   1. conversions: the first 2 s (0..2000 ms) of h264_640x480.mp4 into a 320 x 240 GIF
//      at 10 frames per second, each run to the end: "Convert to GIF", the clip watch ends
//      the capture, the assembly writes out.gif and hands out.html to the opener.
//   2. open/close cycles: "Open Video" with the next of ten sample files (sizes,
//      containers, codecs, with and without sound), wait until it plays a few frames, then
//      close the player (the window has no close command: its next open closes the file,
//      and Close frees the pipeline here so that every cycle ends with none).
//   3. stops: the 2 s clip again, "Convert to GIF", and "Stop Process" clicked once the
//      capture has grabbed 3..7 frames (varied per press); the frames so far become the GIF.
// Every conversion and stop must leave a valid out.gif (GIF89a, trailer, decoded by giflib
// at 320 x 240 with a sane frame count) and no prompt may appear; each miss counts as a
// failure and is printed.
//
// Figures: VmRSS and Threads from /proc/self/status and the entries of /proc/self/fd,
// taken after a short settling pause, after the 10th and after the last operation of each
// phase, and for the whole run after the 10th conversion and after the last stop. A goal
// compares "after the last" with "after the 10th": resident memory within 5 % in each
// phase (the whole run's change is shown, not judged: later phases load other decoders
// once), file descriptors and threads not above, in each phase and over the whole run.
// The exit status is 0 when every goal passed and nothing failed.
//
// Prompts are scripted (an unexpected one answers harmlessly and is counted) and the URL
// opener only records, so nothing blocks and no browser opens. Results go to the user's
// application-data folder: run it with a temporary HOME and XDG folders (the script does).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTime>
#include <QTimeEdit>

#include <dirent.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <string>
#include <vector>

#include "GifDecode.h"
#include "TAboutForm.h"
#include "TForm1.h"
#include "TLogForm.h"
#include "TProcForm.h"
#include "TestDoubles.h"

namespace {

constexpr int kClipEndMs = 2000;
constexpr int kGifWidth = 320;
constexpr int kGifHeight = 240;
constexpr int kFrameRate = 10;
constexpr int kReferenceOperation = 10;  // figures are compared with those after this one
constexpr double kRssTolerancePercent = 5.0;

const char *const kClipFile = "h264_640x480.mp4";
// Opened in turn by the open/close cycles: sizes, containers, video and audio codecs and a
// rotated file. Ten, so that each has been opened once when the figures after the 10th
// cycle are taken, and the decoders loaded on first use do not count as growth.
const char *const kCycleFiles[] = {
    "h264_640x480.mp4",        "mpeg4_1280x720_audio.avi", "vp8_640x480.webm",
    "h264_1280x720_audio.mkv", "mpeg4_640x480.avi",        "vp8_1280x720_audio.webm",
    "rotated90_640x480.mp4",   "h264_1280x720_audio.mp4",  "h264_640x480.mkv",
    "vp8_640x480_audio.webm",
};
static_assert(std::size(kCycleFiles) <= kReferenceOperation);

// Runs the event loop until the predicate holds or ms have passed.
template <typename Predicate>
bool WaitFor(Predicate predicate, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void Pause(int ms)
{
    WaitFor([] { return false; }, ms);
}

struct TUsage
{
    long RssKiB = 0;
    int Fds = 0;
    int Threads = 0;
};

// This process's resident memory, open file descriptors (without the one used to list
// them) and threads.
TUsage ReadUsage()
{
    TUsage usage;
    if (std::FILE *status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            std::sscanf(line, "VmRSS: %ld", &usage.RssKiB);
            std::sscanf(line, "Threads: %d", &usage.Threads);
        }
        std::fclose(status);
    }
    if (DIR *fds = opendir("/proc/self/fd")) {
        while (const dirent *entry = readdir(fds))
            if (entry->d_name[0] != '.')
                ++usage.Fds;
        closedir(fds);
        --usage.Fds;
    }
    return usage;
}

// Usage once GStreamer's and Qt's threads have wound down from the last operation.
TUsage SettledUsage()
{
    Pause(1000);
    return ReadUsage();
}

struct TPhase
{
    TPhase(const char *name, int count) : Name(name), Count(count) {}

    const char *Name;
    int Count;
    TUsage AtReference;
    TUsage AtEnd;
    int Failures = 0;
};

class TSoak
{
public:
    TSoak(const QString &samples) : FSamples(samples)
    {
        FForm.ProcForm = &FProcForm;
        FForm.FrameCaptured = [this](const QImage &) { ++FCaptured; };
        FForm.SetForms(&FLogForm, &FAboutForm);
        // Never mail anything, whatever is answered.
        FForm.SendReport = [](const QStringList &, QString &error) {
            error = QStringLiteral("the soak sends no mail");
            return false;
        };
        FForm.show();
        QApplication::processEvents();
        FForm.ui.GIFwidth->setValue(kGifWidth);
        FForm.ui.GIFHeight->setValue(kGifHeight);
        FForm.ui.bsSkinSpinEdit1->setValue(kFrameRate);
    }

    // One conversion of the 2 s clip run to its end; true when it left a valid GIF.
    bool Convert(std::string &why)
    {
        if (!StartConversion(why))
            return false;
        if (!WaitFor([&] { return Idle() && FOpener.Opened.size() > FPagesBefore; }, 30000)) {
            why = "no result page within 30 s of Convert to GIF";
            Recover();
            return false;
        }
        // The clip's frames at the frame rate; a late timer tick may lose a few, and the
        // capture may reach slightly past the clip end.
        const int frames = kClipEndMs / 1000 * kFrameRate;
        return CheckResult(frames * 3 / 4, frames + 2, why);
    }

    // Opens the file with "Open Video", waits until it has played a few frames, then
    // closes the player.
    bool OpenAndClose(const char *name, std::string &why)
    {
        FPrompts.OpenFileAnswers.push_back(Sample(name));
        FForm.ui.OpenButton->click();
        player::TVFMediaPlayer &player = *FForm.MediaPlayer1;
        const bool played = WaitFor([&] { return player.Status() == player::ST_PLAY
                                                 && player.FrameStats().PlayingFrames >= 3; },
                                    10000);
        if (!played)
            why = std::string("did not play 3 frames within 10 s: ") + name;
        player.Close();
        Pause(100);
        return played && NoPrompts(why);
    }

    // Convert to GIF, then "Stop Process" once the capture holds `frames` frames.
    bool StopMidCapture(size_t frames, std::string &why)
    {
        FCaptured = 0;
        if (!StartConversion(why))
            return false;
        if (!WaitFor([&] { return FCaptured >= frames; }, 10000)) {
            why = "the capture grabbed no " + std::to_string(frames) + " frames within 10 s";
            Recover();
            return false;
        }
        if (FForm.ui.StopConvertButton->isHidden()) {
            why = "the conversion had ended before Stop Process was pressed";
            return false;
        }
        const size_t captured = FCaptured;
        FForm.ui.StopConvertButton->click();
        if (!WaitFor([&] { return Idle() && FOpener.Opened.size() > FPagesBefore; }, 20000)) {
            why = "no result page within 20 s of Stop Process";
            Recover();
            return false;
        }
        return CheckResult(1, int(captured) + 2, why);
    }

    // Opens the clip of the conversions and sets its end with the end time field.
    bool OpenClip(std::string &why)
    {
        FPrompts.OpenFileAnswers.push_back(Sample(kClipFile));
        FForm.ui.OpenButton->click();
        if (!WaitFor([&] { return FForm.MediaPlayer1->Status() == player::ST_PLAY; }, 10000)) {
            why = "the clip did not play";
            return false;
        }
        FForm.ui.TimeEnd->setTime(QTime(0, 0).addMSecs(kClipEndMs));
        FForm.TimeEndKeyPress(Qt::Key_Return);
        if (FForm.State.ClipStartMs != 0 || FForm.State.ClipEndMs != kClipEndMs) {
            why = "the clip is not 0..2000 ms";
            return false;
        }
        return NoPrompts(why);
    }

    int MinFrames = 1 << 30;
    int MaxFrames = 0;

    // The activity log keeps every line for the error report, so it grows with the run by
    // design: its size tells how much of the memory growth is that.
    void PrintLogSize() const
    {
        qsizetype characters = 0;
        for (const QString &line : FForm.ActivityLog.Lines())
            characters += line.size();
        std::printf("  activity log: %d lines, %lld characters (kept by design)\n",
                    FForm.ActivityLog.Count(), static_cast<long long>(characters));
    }

private:
    QString Sample(const char *name) const { return FSamples + QLatin1Char('/') + QLatin1String(name); }

    bool Idle() const
    {
        return FForm.ui.StopConvertButton->isHidden() && !FForm.Timer1.isActive()
               && !FForm.DelayTimer.isActive();
    }

    bool StartConversion(std::string &why)
    {
        if (!FForm.State.WorkDir.isEmpty())
            QFile::remove(FForm.State.WorkDir + QStringLiteral("/out.gif"));
        FPagesBefore = FOpener.Opened.size();
        FForm.ui.StartConvertButton->click();
        if (FForm.ui.StopConvertButton->isHidden()) {
            why = "Convert to GIF did not start a conversion";
            NoPrompts(why);
            return false;
        }
        return true;
    }

    // After a timeout: ends whatever runs so the next operation starts from idle.
    void Recover()
    {
        if (!FForm.ui.StopConvertButton->isHidden()) {
            FForm.DelayTimer.stop();
            FForm.ui.StopConvertButton->click();
        }
        WaitFor([&] { return Idle(); }, 20000);
    }

    // No warning or error dialog since the last check; the open dialog is expected.
    bool NoPrompts(std::string &why)
    {
        bool clean = true;
        for (const core::ScriptedPrompts::Call &call : FPrompts.Calls) {
            if (call.kind == core::ScriptedPrompts::Kind::ChooseOpenFile)
                continue;
            if (clean && why.empty())
                why = "prompt: " + call.text.toStdString();
            clean = false;
        }
        FPrompts.Calls.clear();
        // The soak's own records must not grow with the run.
        FOpener.Opened.clear();
        FPagesBefore = 0;
        return clean;
    }

    // out.gif is a whole GIF of the GIF size with minFrames..maxFrames frames.
    bool CheckResult(int minFrames, int maxFrames, std::string &why)
    {
        if (!NoPrompts(why))
            return false;
        const QString path = FForm.State.WorkDir + QStringLiteral("/out.gif");
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            why = "no out.gif at " + path.toStdString();
            return false;
        }
        const QByteArray bytes = file.readAll();
        if (bytes.size() < 1024 || bytes.size() > 16 * 1024 * 1024 || !bytes.startsWith("GIF89a")
            || bytes.back() != ';') {
            why = "out.gif is not a whole GIF89a file (" + std::to_string(bytes.size()) + " bytes)";
            return false;
        }
        try {
            const gifdecode::Gif gif =
                gifdecode::Decode(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
            const int frames = int(gif.frames.size());
            MinFrames = std::min(MinFrames, frames);
            MaxFrames = std::max(MaxFrames, frames);
            if (gif.screenWidth != kGifWidth || gif.screenHeight != kGifHeight || frames < minFrames
                || frames > maxFrames) {
                why = "out.gif is " + std::to_string(gif.screenWidth) + " x "
                      + std::to_string(gif.screenHeight) + " with " + std::to_string(frames)
                      + " frames, expected " + std::to_string(kGifWidth) + " x "
                      + std::to_string(kGifHeight) + " with " + std::to_string(minFrames) + ".."
                      + std::to_string(maxFrames);
                return false;
            }
        } catch (const std::exception &error) {
            why = std::string("giflib cannot read out.gif: ") + error.what();
            return false;
        }
        return true;
    }

    QString FSamples;
    core::ScriptedPrompts FPrompts;
    core::RecordingOpener FOpener;
    TForm1 FForm{FPrompts, FOpener};
    TProcForm FProcForm;
    TAboutForm FAboutForm{FOpener};
    TLogForm FLogForm{FForm.ActivityLog};
    qsizetype FPagesBefore = 0;
    // Frames the capture ticks took since the last start (the window reports each).
    size_t FCaptured = 0;
};

double PercentChange(long from, long to)
{
    return from == 0 ? 0.0 : 100.0 * double(to - from) / double(from);
}

void PrintProgress(const TPhase &phase, int done, const TUsage &usage, const QElapsedTimer &clock)
{
    std::printf("  %-11s %4d/%-4d  RSS %7ld KiB  fds %3d  threads %3d  failures %d  (%.0f s)\n",
                phase.Name, done, phase.Count, usage.RssKiB, usage.Fds, usage.Threads,
                phase.Failures, double(clock.elapsed()) / 1000.0);
    std::fflush(stdout);
}

// Runs `step` count times, recording the figures after the reference operation and after
// the last, and printing them after every 10th. The phase's reference is the last
// operation when there are fewer.
template <typename Step>
void RunPhase(TPhase &phase, const QElapsedTimer &clock, Step step)
{
    const int reference = std::min(kReferenceOperation, phase.Count);
    for (int i = 1; i <= phase.Count; ++i) {
        std::string why;
        if (!step(i, why)) {
            ++phase.Failures;
            std::printf("  FAILED %s %d: %s\n", phase.Name, i, why.c_str());
        }
        if (i != reference && i != phase.Count && i % 10 != 0)
            continue;
        const TUsage usage = SettledUsage();
        if (i == reference)
            phase.AtReference = usage;
        if (i == phase.Count)
            phase.AtEnd = usage;
        PrintProgress(phase, i, usage, clock);
    }
}

bool ParseCount(const QStringList &args, qsizetype &at, int &count)
{
    if (at + 1 >= args.size())
        return false;
    bool ok = false;
    count = args[++at].toInt(&ok);
    return ok && count >= 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setOrganizationName(QStringLiteral("Zentiq"));
    std::setlocale(LC_NUMERIC, "C");

    QString samples = QStringLiteral(QUORVANE_SOAK_SAMPLES_DEFAULT);
    TPhase conversions{"conversions", 100};
    TPhase cycles{"open/close", 50};
    TPhase stops{"stops", 20};
    const QStringList args = QApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--conversions"))
            ok = ParseCount(args, i, conversions.Count);
        else if (args[i] == QLatin1String("--cycles"))
            ok = ParseCount(args, i, cycles.Count);
        else if (args[i] == QLatin1String("--stops"))
            ok = ParseCount(args, i, stops.Count);
        else if (args[i] == QLatin1String("--samples") && i + 1 < args.size())
            samples = args[++i];
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "usage: quorvane_soak [--samples DIR] [--conversions N] [--cycles N]"
                                 " [--stops N]   (counts >= 1)\n");
            return 2;
        }
    }
    for (const char *name : kCycleFiles)
        if (!QFile::exists(samples + QLatin1Char('/') + QLatin1String(name))) {
            std::fprintf(stderr, "sample %s missing in %s (build the target player_samples)\n", name,
                         qPrintable(samples));
            return 2;
        }

    const char *mmapThreshold = std::getenv("MALLOC_MMAP_THRESHOLD_");
    std::printf("malloc: mmap threshold %s (scripts/soak.sh says why)\n",
                mmapThreshold && *mmapThreshold ? mmapThreshold : "glibc's default, adjusting");
    std::printf("Quorvane soak: %d conversions of 0..%d ms of %s into %d x %d at %d fps, %d open/close"
                " cycles over %zu files, %d \"Stop Process\" presses mid-capture\n",
                conversions.Count, kClipEndMs, kClipFile, kGifWidth, kGifHeight, kFrameRate,
                cycles.Count, std::size(kCycleFiles), stops.Count);
    const TUsage atStart = ReadUsage();
    std::printf("  at start             RSS %7ld KiB  fds %3d  threads %3d\n", atStart.RssKiB,
                atStart.Fds, atStart.Threads);

    QElapsedTimer clock;
    clock.start();
    TSoak soak(samples);
    std::string why;
    if (!soak.OpenClip(why)) {
        std::printf("cannot start: %s\n", why.c_str());
        return 1;
    }
    RunPhase(conversions, clock, [&](int, std::string &reason) { return soak.Convert(reason); });
    const int convertedMin = soak.MinFrames;
    const int convertedMax = soak.MaxFrames;
    RunPhase(cycles, clock, [&](int i, std::string &reason) {
        return soak.OpenAndClose(kCycleFiles[(i - 1) % std::size(kCycleFiles)], reason);
    });
    if (!soak.OpenClip(why)) {
        std::printf("cannot reopen the clip: %s\n", why.c_str());
        return 1;
    }
    soak.MinFrames = 1 << 30;
    soak.MaxFrames = 0;
    RunPhase(stops, clock, [&](int i, std::string &reason) {
        return soak.StopMidCapture(size_t(3 + (i - 1) % 5), reason);
    });
    const double seconds = double(clock.elapsed()) / 1000.0;

    TPhase whole{"whole run", 0};
    whole.AtReference = conversions.AtReference;
    whole.AtEnd = stops.AtEnd;
    const TPhase *phases[] = {&conversions, &cycles, &stops, &whole};

    std::printf("\nFigures after the %dth and after the last operation of each phase (whole run: after"
                " the %dth conversion and after the last stop), each after a 1 s pause\n",
                kReferenceOperation, kReferenceOperation);
    std::printf("  %-11s  %-30s  %-30s  %s\n", "phase", "after 10th: RSS KiB/fds/threads",
                "after last: RSS KiB/fds/threads", "RSS change");
    for (const TPhase *phase : phases)
        std::printf("  %-11s  %10ld %5d %5d %7s  %10ld %5d %5d %7s  %+6.2f %%%s\n", phase->Name,
                    phase->AtReference.RssKiB, phase->AtReference.Fds, phase->AtReference.Threads,
                    "", phase->AtEnd.RssKiB, phase->AtEnd.Fds, phase->AtEnd.Threads, "",
                    PercentChange(phase->AtReference.RssKiB, phase->AtEnd.RssKiB),
                    phase == &whole ? " (not judged)" : "");
    std::printf("  GIF frames: conversions %d..%d, stops %d..%d\n", convertedMin, convertedMax,
                soak.MinFrames, soak.MaxFrames);
    if (cycles.Count % int(std::size(kCycleFiles)) != 0)
        std::printf("  note: the window keeps the last file's pictures (its grab bitmap and the player's"
                    " last frame, about 6 MB for 1280 x 720); with a cycle count that is not a"
                    " multiple of %zu the open/close phase ends on another file than its 10th"
                    " cycle, which moves its memory figure by that much\n",
                    std::size(kCycleFiles));
    soak.PrintLogSize();
    std::printf("  run time %.0f s\n\n", seconds);

    // Resident memory is judged per phase: each phase starts using what the one before had
    // not (other decoders and picture sizes, the stop path), which is loaded once and stays,
    // so the whole run's change is shown but not judged. Descriptors and threads have no
    // such excuse and are judged over the whole run too.
    bool rssOk = true, fdsOk = true, threadsOk = true;
    for (const TPhase *phase : phases) {
        const double change = PercentChange(phase->AtReference.RssKiB, phase->AtEnd.RssKiB);
        if (phase != &whole)
            rssOk = rssOk && change <= kRssTolerancePercent && change >= -kRssTolerancePercent;
        fdsOk = fdsOk && phase->AtEnd.Fds <= phase->AtReference.Fds;
        threadsOk = threadsOk && phase->AtEnd.Threads <= phase->AtReference.Threads;
    }
    const int failures = conversions.Failures + cycles.Failures + stops.Failures;
    std::printf("%s  resident memory after the last within 5 %% of after the 10th, in every phase\n",
                rssOk ? "PASS" : "FAIL");
    std::printf("%s  open file descriptors after the last not above after the 10th, in every phase"
                " and the whole run\n", fdsOk ? "PASS" : "FAIL");
    std::printf("%s  threads after the last not above after the 10th, in every phase and the whole"
                " run\n", threadsOk ? "PASS" : "FAIL");
    std::printf("%s  every operation succeeded: %d failures (conversions %d, open/close %d, stops %d)\n",
                failures == 0 ? "PASS" : "FAIL", failures, conversions.Failures, cycles.Failures,
                stops.Failures);
    return rssOk && fdsOk && threadsOk && failures == 0 ? 0 : 1;
}
