// Time conversions, picture rectangle, marker arithmetic and the playability decision.
#include <QImage>
#include <QSlider>
#include <QStringList>

#include <gtest/gtest.h>

#include <climits>

#include "ClipGeometry.h"
#include "ErrorReport.h"
#include "MediaInfo.h"
#include "Playability.h"
#include "Rounding.h"
#include "TTrackBarSelection.h"
#include "TimeConversions.h"

namespace {

// Collects what reaches core::ReportError while it lives.
class TReportRecorder
{
public:
    TReportRecorder()
    {
        core::SetReportErrorHandler(
            [this](const QString &message, const QString &mark) { Reports << message + QLatin1Char('|') + mark; });
    }
    ~TReportRecorder() { core::SetReportErrorHandler({}); }
    QStringList Reports;
};

const QString kTimeStrReport = QStringLiteral("Could not convert integer to time string.|CLM_IntToTimeStr");

struct TTimeCase {
    int ms;
    const char *text;
};

class IntToTimeStrTest : public ::testing::TestWithParam<TTimeCase> {};

TEST_P(IntToTimeStrTest, TruncatesToWholeSecondsWithoutWrappingHours)
{
    TReportRecorder reports;
    EXPECT_EQ(clip::IntToTimeStr(GetParam().ms), QString::fromLatin1(GetParam().text));
    EXPECT_TRUE(reports.Reports.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Table, IntToTimeStrTest,
                         ::testing::Values(TTimeCase{0, "00:00:00"}, TTimeCase{999, "00:00:00"},
                                           TTimeCase{59999, "00:00:59"}, TTimeCase{3600000, "01:00:00"},
                                           TTimeCase{3723500, "01:02:03"}, TTimeCase{360000000, "100:00:00"},
                                           TTimeCase{INT_MAX, "596:31:23"}));

TEST(IntToTimeStr, NegativeCountIsReported)
{
    TReportRecorder reports;
    EXPECT_EQ(clip::IntToTimeStr(-1), QString());
    EXPECT_EQ(reports.Reports, QStringList{kTimeStrReport});
}

TEST(MsToTime, DropsTheFractionBelowOneDay)
{
    TReportRecorder reports;
    EXPECT_EQ(clip::MsToTime(0), QTime(0, 0, 0));
    EXPECT_EQ(clip::MsToTime(3723999), QTime(1, 2, 3));
    EXPECT_EQ(clip::MsToTime(24 * 3600000 - 1), QTime(23, 59, 59));
    EXPECT_TRUE(reports.Reports.isEmpty());
}

TEST(MsToTime, OneDayOrMoreIsReportedAndGivesNoTime)
{
    for (const int ms : {24 * 3600000, 100 * 3600000, -1}) {
        SCOPED_TRACE(ms);
        TReportRecorder reports;
        EXPECT_FALSE(clip::MsToTime(ms).isValid());
        EXPECT_EQ(reports.Reports, QStringList{kTimeStrReport});
    }
}

TEST(TimeToMs, CountsEveryPartAndReportsAnInvalidTime)
{
    TReportRecorder reports;
    EXPECT_EQ(clip::TimeToMs(QTime(1, 2, 3, 456)), 3723456);
    EXPECT_EQ(clip::TimeToMs(QTime(23, 59, 59, 999)), 86399999);
    EXPECT_TRUE(reports.Reports.isEmpty());
    EXPECT_EQ(clip::TimeToMs(QTime()), 0);
    EXPECT_EQ(reports.Reports,
              QStringList{QStringLiteral("Could not get time in milliseconds|CLM_GetTimeInMilliseconds")});
}

struct TPictureCase {
    int sourceWidth, sourceHeight;
    clip::TPictureRect expected;
};

class PictureRectTest : public ::testing::TestWithParam<TPictureCase> {};

// Panel 375 x 263 (ratio 1.426); ties round to even.
TEST_P(PictureRectTest, LetterboxesTrueToTheAspectRatio)
{
    const TPictureCase &c = GetParam();
    EXPECT_EQ(clip::PictureRect(375, 263, c.sourceWidth, c.sourceHeight), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, PictureRectTest,
                         ::testing::Values(
                             // not wider: full height, centred horizontally
                             TPictureCase{640, 480, {12, 0, 351, 263}},
                             // wider: full width, centred vertically
                             TPictureCase{1280, 720, {0, 26, 375, 211}},
                             // exactly the panel's ratio takes the second branch
                             TPictureCase{375, 263, {0, 0, 375, 263}},
                             TPictureCase{750, 526, {0, 0, 375, 263}},
                             // 263 * 1 / 1 = 263, (375 - 263) / 2 = 56
                             TPictureCase{100, 100, {56, 0, 263, 263}},
                             // 375 * 1 / 4 = 93.75 -> 94, (263 - 94) / 2 = 84.5 -> 84 (tie to even)
                             TPictureCase{400, 100, {0, 84, 375, 94}},
                             // 263 * 60000 does not fit 32 bits; (263 - 250) / 2 = 6.5 -> 6
                             TPictureCase{60000, 40000, {0, 6, 375, 250}}));

TEST(PictureRect, ZeroSizedSourceThrowsForTheGuard)
{
    EXPECT_THROW(clip::PictureRect(375, 263, 0, 0), core::NumberError);
}

TEST(SecondsTick, RoundsHalfToEven)
{
    EXPECT_EQ(clip::SecondsTick(5450), 5);
    EXPECT_EQ(clip::SecondsTick(5550), 6);
    EXPECT_EQ(clip::SecondsTick(2500), 2);
    EXPECT_EQ(clip::SecondsTick(3500), 4);
    EXPECT_EQ(clip::SecondsTick(499), 0);
}

// Bar at left 8, 391 wide, markers 15 wide: the scale is (391 - 16) / M per tick.
TEST(MarkerLefts, StartMarkerEndsAndEndMarkerBeginsAtTheTick)
{
    // M = 8: 375 / 8 = 46.875 per tick; tick 2 -> 93.75 -> 94, tick 8 -> 375.
    EXPECT_EQ(clip::MarkerLefts(8, 391, 8, 15, 2, 8), (clip::TMarkerLefts{8 + 8 - 15 + 94, 8 + 8 + 375}));
    // A collapsed clip: the two markers meet.
    const clip::TMarkerLefts collapsed = clip::MarkerLefts(8, 391, 8, 15, 5, 5);
    EXPECT_EQ(collapsed.Start + 15, collapsed.End);
    // A bar without a scale (a video shorter than half a second): both at its start.
    EXPECT_EQ(clip::MarkerLefts(8, 391, 0, 15, 0, 0), (clip::TMarkerLefts{1, 16}));
    EXPECT_EQ(clip::MarkerLefts(8, 391, 0, 15, 3, 7), (clip::TMarkerLefts{1, 16}));
}

TEST(TrackBarSelection, ShowsABandOnlyForAClipOfPositiveLength)
{
    QSlider bar(Qt::Horizontal);
    bar.resize(391, 22);
    bar.setRange(0, 8);
    bar.show();
    clip::TTrackBarSelection selection(&bar);
    EXPECT_EQ(selection.geometry(), bar.rect());
    EXPECT_FALSE(selection.BandShown());
    selection.SetSelStart(2);
    selection.SetSelEnd(8);
    EXPECT_TRUE(selection.BandShown());
    EXPECT_EQ(selection.BandLeft(), 8 + 94);
    EXPECT_EQ(selection.BandRight(), 8 + 375);
    const QImage drawn = bar.grab().toImage();
    const QRgb band = selection.palette().color(QPalette::Highlight).rgb();
    EXPECT_EQ(drawn.pixel(8 + 94 + 5, 21), band);
    EXPECT_NE(drawn.pixel(8 + 94 - 5, 21), band);
    bar.resize(200, 22);
    EXPECT_EQ(selection.geometry(), bar.rect()) << "the band follows the bar's size";
    selection.SetSelEnd(0);
    EXPECT_FALSE(selection.BandShown());
    EXPECT_TRUE(selection.testAttribute(Qt::WA_TransparentForMouseEvents));
}

player::TVFVideoInfoMP InfoWith(player::TMediaProbeStatus status, int width, int height,
                                QStringList details = {})
{
    player::TVFVideoInfoMP info;
    info.Status = status;
    if (width >= 0) {
        player::TVFVideoStreamInfo stream;
        stream.Width = width;
        stream.Height = height;
        info.FVideoStreams.push_back(stream);
    }
    info.MissingPluginDetails = std::move(details);
    return info;
}

struct TVerdictCase {
    const char *name;
    player::TVFVideoInfoMP info;
    bool playable;
    bool decoderMissing;
};

TEST(Playability, TellsPlayableFilesBrokenFilesAndMissingDecoders)
{
    using S = player::TMediaProbeStatus;
    const QString detail = QStringLiteral("gstreamer|1.0|quorvane|H.264 decoder|decoder-video/x-h264");
    const TVerdictCase cases[] = {
        {"ok", InfoWith(S::Ok, 640, 480), true, false},
        {"no video stream", InfoWith(S::Ok, -1, -1), false, false},
        {"zero width", InfoWith(S::Ok, 0, 480), false, false},
        {"negative height", InfoWith(S::Ok, 640, -2), false, false},
        {"not media", InfoWith(S::NotMediaFile, -1, -1), false, false},
        {"broken", InfoWith(S::BrokenFile, -1, -1), false, false},
        {"timeout", InfoWith(S::Timeout, -1, -1), false, false},
        {"not found", InfoWith(S::FileNotFound, -1, -1), false, false},
        {"other error", InfoWith(S::Error, -1, -1), false, false},
        {"never read", InfoWith(S::NotRead, -1, -1), false, false},
        {"missing plugin", InfoWith(S::MissingPlugin, 640, 480, {detail}), false, true},
        {"missing plugin, no details", InfoWith(S::MissingPlugin, -1, -1), false, true},
        {"details with another status", InfoWith(S::Error, -1, -1, {detail}), false, true},
    };
    for (const TVerdictCase &c : cases) {
        SCOPED_TRACE(c.name);
        const clip::TPlayability verdict = clip::JudgePlayability(c.info);
        EXPECT_EQ(verdict.Playable, c.playable);
        EXPECT_EQ(verdict.DecoderMissing, c.decoderMissing);
        EXPECT_EQ(verdict.MissingDetails, c.info.MissingPluginDetails);
        EXPECT_EQ(clip::CannotPlayMessage(verdict),
                  c.decoderMissing ? QStringLiteral("Could not play video. Please install GStreamer libav plugins "
                                                    "(gstreamer1.0-libav). After that, run the program again.")
                                   : QStringLiteral("Could not play video. Please try to open another file."));
    }
}

} // namespace
