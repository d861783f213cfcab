// The command line: the modes, every option's value and default, the refusals with their
// exact messages, the time formats and the usage text.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include <climits>
#include <functional>
#include <sstream>
#include <string>

#include "CommandLine.h"

namespace {

using convert::TCommandLine;
using convert::TCommandLineMode;

QStringList Args(const char* line)
{
  return QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
}

template <typename T>
std::string Optional(const std::optional<T>& value, const std::function<std::string(const T&)>& show)
{
  return value ? show(*value) : std::string("unset");
}

// Every field of the command line, so that one comparison shows each difference.
std::string Describe(const TCommandLine& c)
{
  const auto text = [](const QString& s) { return "'" + s.toStdString() + "'"; };
  const auto number = [](const int& n) { return std::to_string(n); };
  std::ostringstream out;
  out << "mode=" << static_cast<int>(c.Mode) << " input=" << text(c.Input) << " output=" << text(c.Output)
      << "\nstart=" << Optional<int>(c.StartMs, number) << " end=" << Optional<int>(c.EndMs, number)
      << " crop="
      << Optional<convert::TCommandLineCrop>(c.Crop,
                                             [](const convert::TCommandLineCrop& r) {
                                               return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," +
                                                      std::to_string(r.Width) + "," + std::to_string(r.Height);
                                             })
      << "\nsize=" << c.GifWidth << "x" << c.GifHeight << " fps=" << c.Animation.FrameRate
      << " dither=" << c.Animation.DitherIndex << " greyscale=" << c.Animation.Greyscale
      << " loop=" << c.Animation.Loop << " alternate=" << c.Animation.Alternate
      << " transparent=" << c.Animation.Transparent << "\nlightness=" << c.Lightness
      << " saturation=" << c.Saturation << " contrast=" << c.Contrast << " darkness=" << c.Darkness
      << "\ntext=" << Optional<QString>(c.Overlay.Text, text) << " at " << c.Overlay.X << "," << c.Overlay.Y
      << " font=" << Optional<QString>(c.Overlay.FontFamily, text)
      << " points=" << Optional<int>(c.Overlay.FontPoints, number) << " colour="
      << Optional<QColor>(c.Overlay.FontColor,
                          [](const QColor& colour) {
                            return colour.name(QColor::HexArgb).toStdString();
                          })
      << "\nexactTiming=" << c.ExactTiming << " quiet=" << c.Quiet;
  return out.str();
}

struct AcceptedCase {
  const char* name;
  QStringList arguments;
  // Turns a default command line into the expected one.
  std::function<void(TCommandLine&)> expect;
};

void PrintTo(const AcceptedCase& c, std::ostream* os)
{
  *os << c.arguments.join(u' ').toStdString();
}

// The usual convert line, with the input and output every case shares.
std::function<void(TCommandLine&)> Converting(std::function<void(TCommandLine&)> more = {})
{
  return [more](TCommandLine& c) {
    c.Mode = TCommandLineMode::Convert;
    c.Input = QStringLiteral("in.mp4");
    c.Output = QStringLiteral("out.gif");
    if (more)
      more(c);
  };
}

class CommandLineAccepts : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(CommandLineAccepts, EveryField)
{
  const AcceptedCase& c = GetParam();
  TCommandLine expected;
  c.expect(expected);
  EXPECT_EQ(Describe(convert::ParseCommandLine(c.arguments)), Describe(expected));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLineLines, CommandLineAccepts,
    ::testing::Values(
        AcceptedCase{"NoArgumentsStartsTheWindow", {}, [](TCommandLine&) {}},
        AcceptedCase{"OneFileOpensItInTheWindow", {QStringLiteral("my clip.mp4")},
                     [](TCommandLine& c) {
                       c.Mode = TCommandLineMode::WindowWithFile;
                       c.Input = QStringLiteral("my clip.mp4");
                     }},
        AcceptedCase{"Help", Args("--help"), [](TCommandLine& c) { c.Mode = TCommandLineMode::Help; }},
        AcceptedCase{"Version", Args("--version"), [](TCommandLine& c) { c.Mode = TCommandLineMode::Version; }},
        // The reading stops at --help / --version: later mistakes and earlier bad values
        // do not keep the user from the usage text.
        AcceptedCase{"HelpWinsOverTheRest", Args("--convert in.mp4 --fps 0 --help --bogus"),
                     [](TCommandLine& c) { c.Mode = TCommandLineMode::Help; }},
        AcceptedCase{"VersionWinsOverAFile", Args("clip.mp4 --version extra"),
                     [](TCommandLine& c) { c.Mode = TCommandLineMode::Version; }},
        AcceptedCase{"ConvertWithDefaults", Args("--convert in.mp4 --out out.gif"), Converting()},
        AcceptedCase{"EveryOptionAsSeparateValues",
                     Args("--convert in.mp4 --out out.gif --start 1:02.5 --end 00:01:10 --crop 10,20,300,200 "
                          "--size 320x240 --fps 25 --dither stucki --greyscale --no-loop --alternate "
                          "--no-transparent --lightness 1 --saturation 2 --contrast 3 --darkness 4 --text Hello "
                          "--text-pos 7,8 --font Arial --font-size 12 --font-color 00ff80 --exact-timing --quiet"),
                     Converting([](TCommandLine& c) {
                       c.StartMs = 62500;
                       c.EndMs = 70000;
                       c.Crop = convert::TCommandLineCrop{10, 20, 300, 200};
                       c.GifWidth = 320;
                       c.GifHeight = 240;
                       c.Animation.FrameRate = 25;
                       c.Animation.DitherIndex = 2;
                       c.Animation.Greyscale = true;
                       c.Animation.Loop = false;
                       c.Animation.Alternate = true;
                       c.Animation.Transparent = false;
                       c.Lightness = 1;
                       c.Saturation = 2;
                       c.Contrast = 3;
                       c.Darkness = 4;
                       c.Overlay.Text = QStringLiteral("Hello");
                       c.Overlay.X = 7;
                       c.Overlay.Y = 8;
                       c.Overlay.FontFamily = QStringLiteral("Arial");
                       c.Overlay.FontPoints = 12;
                       c.Overlay.FontColor = QColor(0x00, 0xff, 0x80);
                       c.ExactTiming = true;
                       c.Quiet = true;
                     })},
        // Values after "=", in any order, the output's suffix in capitals, the range ends.
        AcceptedCase{"EqualsFormsAndRangeEnds",
                     Args("--out=OUT.GIF --size=5x1000 --fps=30 --dither=nearest --lightness=255 --saturation=0 "
                          "--start=0 --end=60 --text=Hi --font-size=500 --font-color=#FFFFFF --convert=in.mp4"),
                     Converting([](TCommandLine& c) {
                       c.Output = QStringLiteral("OUT.GIF");
                       c.GifWidth = 5;
                       c.GifHeight = 1000;
                       c.Animation.FrameRate = 30;
                       c.Animation.DitherIndex = 0;
                       c.Lightness = 255;
                       c.Saturation = 0;
                       c.StartMs = 0;
                       c.EndMs = 60000;
                       c.Overlay.Text = QStringLiteral("Hi");
                       c.Overlay.FontPoints = 500;
                       c.Overlay.FontColor = QColor(Qt::white);
                     })},
        AcceptedCase{"LowestFrameRateAndSierra", Args("--convert in.mp4 --out out.gif --fps 1 --dither sierra"),
                     Converting([](TCommandLine& c) {
                       c.Animation.FrameRate = 1;
                       c.Animation.DitherIndex = 3;
                     })},
        AcceptedCase{"FloydSteinbergIsIndexOne", Args("--convert in.mp4 --out out.gif --dither floyd-steinberg"),
                     Converting()},
        // An empty crop is the conversion's to refuse, with the window's text.
        AcceptedCase{"CropWithoutAreaIsLeftToTheConversion", Args("--convert in.mp4 --out out.gif --crop 0,0,0,480"),
                     Converting([](TCommandLine& c) { c.Crop = convert::TCommandLineCrop{0, 0, 0, 480}; })},
        // Only --end: the start is the video's start, and a too short clip is the
        // conversion's refusal, not ours.
        AcceptedCase{"EndAloneIsNotComparedWithZero", Args("--convert in.mp4 --out out.gif --end 0"),
                     Converting([](TCommandLine& c) { c.EndMs = 0; })},
        // A single dash does not make an option: a text or a position may be negative.
        AcceptedCase{"ValuesBeginningWithOneDash", Args("--convert in.mp4 --out out.gif --text -5 --text-pos -10,-20"),
                     Converting([](TCommandLine& c) {
                       c.Overlay.Text = QStringLiteral("-5");
                       c.Overlay.X = -10;
                       c.Overlay.Y = -20;
                     })},
        AcceptedCase{"ValuesBeginningWithTwoDashesAfterEquals",
                     Args("--convert=--in.mp4 --out out.gif --text=--x=1"), [](TCommandLine& c) {
                       Converting()(c);
                       c.Input = QStringLiteral("--in.mp4");
                       c.Overlay.Text = QStringLiteral("--x=1");
                     }}),
    [](const ::testing::TestParamInfo<AcceptedCase>& info) { return std::string(info.param.name); });

TEST(CommandLine, KeepsBlanksAndPercentSignsInValues)
{
  const TCommandLine c = convert::ParseCommandLine(
      {"--convert", "my video %1.mp4", "--out", "out dir/a %2.gif", "--text", "50% off", "--font", "DejaVu Sans"});
  EXPECT_EQ(c.Input, QStringLiteral("my video %1.mp4"));
  EXPECT_EQ(c.Output, QStringLiteral("out dir/a %2.gif"));
  EXPECT_EQ(c.Overlay.Text, QStringLiteral("50% off"));
  EXPECT_EQ(c.Overlay.FontFamily, QStringLiteral("DejaVu Sans"));
}

struct RefusedCase {
  const char* arguments;
  const char* message;
};

void PrintTo(const RefusedCase& c, std::ostream* os)
{
  *os << c.arguments;
}

class CommandLineRefuses : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(CommandLineRefuses, WithTheExactMessage)
{
  const RefusedCase& c = GetParam();
  try {
    const TCommandLine line = convert::ParseCommandLine(Args(c.arguments));
    ADD_FAILURE() << "accepted: " << Describe(line);
  } catch (const convert::TCommandLineError& error) {
    EXPECT_STREQ(error.what(), c.message);
  }
}

#define CONVERT "--convert in.mp4 --out out.gif "

INSTANTIATE_TEST_SUITE_P(
    CommandLineStructure, CommandLineRefuses,
    ::testing::Values(
        RefusedCase{"--fsp 3", "Unknown option '--fsp'; see quorvane --help"},
        RefusedCase{"--fsp=3", "Unknown option '--fsp'; see quorvane --help"},
        RefusedCase{"-h", "Unknown option '-h'; see quorvane --help"},
        RefusedCase{"--", "Unknown option '--'; see quorvane --help"},
        // An unknown option is refused even when --help comes later.
        RefusedCase{"--bogus --help", "Unknown option '--bogus'; see quorvane --help"},
        RefusedCase{"--convert", "--convert wants an input video file"},
        RefusedCase{"--convert --out out.gif", "--convert wants an input video file"},
        RefusedCase{"--convert= --out out.gif", "--convert wants an input video file"},
        RefusedCase{"--convert in.mp4", "--convert wants --out OUTPUT.gif as well"},
        RefusedCase{"--convert in.mp4 --out", "--out wants a file name ending in .gif"},
        RefusedCase{"--convert in.mp4 --out --fps 10", "--out wants a file name ending in .gif"},
        RefusedCase{"--convert in.mp4 --out out.png", "--out wants a file name ending in .gif, not 'out.png'"},
        RefusedCase{"--convert in.mp4 --out out.gif.bak",
                    "--out wants a file name ending in .gif, not 'out.gif.bak'"},
        RefusedCase{"--convert in.mp4 --out outgif", "--out wants a file name ending in .gif, not 'outgif'"},
        RefusedCase{"--convert in.mp4 extra.mp4 --out out.gif",
                    "Unexpected argument 'extra.mp4': the input video is the value of --convert"},
        RefusedCase{"a.mp4 b.mp4", "Unexpected argument 'b.mp4': the window opens one video"},
        RefusedCase{"a.mp4 --fps 10", "--fps is only used with --convert"},
        RefusedCase{"--out out.gif", "--out is only used with --convert"},
        RefusedCase{"--quiet", "--quiet is only used with --convert"},
        RefusedCase{CONVERT "--fps 10 --fps 12", "--fps is given more than once"},
        RefusedCase{CONVERT "--quiet --quiet", "--quiet is given more than once"},
        RefusedCase{"--convert a.mp4 --convert b.mp4 --out out.gif", "--convert is given more than once"},
        RefusedCase{CONVERT "--quiet=yes", "--quiet takes no value, not 'yes'"},
        RefusedCase{"--help=me", "--help takes no value, not 'me'"},
        RefusedCase{CONVERT "--start 10 --end 5", "--end wants a time after --start ('10'), not '5'"},
        RefusedCase{CONVERT "--start 10 --end 00:10", "--end wants a time after --start ('10'), not '00:10'"},
        RefusedCase{CONVERT "--font Arial", "--font is only used with --text"},
        RefusedCase{CONVERT "--text-pos 1,2", "--text-pos is only used with --text"}));

INSTANTIATE_TEST_SUITE_P(
    CommandLineValues, CommandLineRefuses,
    ::testing::Values(
        RefusedCase{CONVERT "--fps 0", "--fps wants a whole number 1..30, not '0'"},
        RefusedCase{CONVERT "--fps 31", "--fps wants a whole number 1..30, not '31'"},
        RefusedCase{CONVERT "--fps 1.5", "--fps wants a whole number 1..30, not '1.5'"},
        RefusedCase{CONVERT "--fps +5", "--fps wants a whole number 1..30, not '+5'"},
        RefusedCase{CONVERT "--fps ten", "--fps wants a whole number 1..30, not 'ten'"},
        RefusedCase{CONVERT "--fps 99999999999", "--fps wants a whole number 1..30, not '99999999999'"},
        RefusedCase{CONVERT "--fps", "--fps wants a whole number 1..30"},
        RefusedCase{CONVERT "--size 4x100", "--size wants WxH with each side a whole number 5..1000, not '4x100'"},
        RefusedCase{CONVERT "--size 100x1001",
                    "--size wants WxH with each side a whole number 5..1000, not '100x1001'"},
        RefusedCase{CONVERT "--size 100*100", "--size wants WxH with each side a whole number 5..1000, not '100*100'"},
        RefusedCase{CONVERT "--size 100x", "--size wants WxH with each side a whole number 5..1000, not '100x'"},
        RefusedCase{CONVERT "--size 10x10x10",
                    "--size wants WxH with each side a whole number 5..1000, not '10x10x10'"},
        RefusedCase{CONVERT "--crop -1,0,10,10",
                    "--crop wants X,Y,W,H as four whole numbers 0 or more, not '-1,0,10,10'"},
        RefusedCase{CONVERT "--crop 0,0,10,-10",
                    "--crop wants X,Y,W,H as four whole numbers 0 or more, not '0,0,10,-10'"},
        RefusedCase{CONVERT "--crop 1,2,3", "--crop wants X,Y,W,H as four whole numbers 0 or more, not '1,2,3'"},
        RefusedCase{CONVERT "--crop 1,2,3,4,5",
                    "--crop wants X,Y,W,H as four whole numbers 0 or more, not '1,2,3,4,5'"},
        RefusedCase{CONVERT "--crop 1,,3,4", "--crop wants X,Y,W,H as four whole numbers 0 or more, not '1,,3,4'"},
        RefusedCase{CONVERT "--crop 0,0,2147483648,1",
                    "--crop wants X,Y,W,H as four whole numbers 0 or more, not '0,0,2147483648,1'"},
        RefusedCase{CONVERT "--dither Floyd-Steinberg",
                    "--dither wants nearest, floyd-steinberg, stucki or sierra, not 'Floyd-Steinberg'"},
        RefusedCase{CONVERT "--dither 1", "--dither wants nearest, floyd-steinberg, stucki or sierra, not '1'"},
        RefusedCase{CONVERT "--lightness 256", "--lightness wants a whole number 0..255, not '256'"},
        RefusedCase{CONVERT "--saturation -1", "--saturation wants a whole number 0..255, not '-1'"},
        RefusedCase{CONVERT "--contrast=", "--contrast wants a whole number 0..255"},
        RefusedCase{CONVERT "--darkness x", "--darkness wants a whole number 0..255, not 'x'"},
        RefusedCase{CONVERT "--start abc", "--start wants a time as seconds (12.5) or [hh:]mm:ss[.mmm], not 'abc'"},
        RefusedCase{CONVERT "--end 1:60", "--end wants a time as seconds (12.5) or [hh:]mm:ss[.mmm], not '1:60'"},
        RefusedCase{CONVERT "--text=", "--text wants a text to draw"},
        RefusedCase{CONVERT "--text Hi --text-pos 1", "--text-pos wants X,Y as two whole numbers, not '1'"},
        RefusedCase{CONVERT "--text Hi --text-pos 1.5,2", "--text-pos wants X,Y as two whole numbers, not '1.5,2'"},
        RefusedCase{CONVERT "--text Hi --font-size 0", "--font-size wants a whole number of points 1..500, not '0'"},
        RefusedCase{CONVERT "--text Hi --font-size 501",
                    "--font-size wants a whole number of points 1..500, not '501'"},
        RefusedCase{CONVERT "--text Hi --font-color red",
                    "--font-color wants a colour as six hex digits RRGGBB, not 'red'"},
        RefusedCase{CONVERT "--text Hi --font-color 12345",
                    "--font-color wants a colour as six hex digits RRGGBB, not '12345'"},
        RefusedCase{CONVERT "--text Hi --font-color 0x1234",
                    "--font-color wants a colour as six hex digits RRGGBB, not '0x1234'"},
        RefusedCase{CONVERT "--text Hi --font-color #1234567",
                    "--font-color wants a colour as six hex digits RRGGBB, not '#1234567'"},
        RefusedCase{CONVERT "--text Hi --font-color +12345",
                    "--font-color wants a colour as six hex digits RRGGBB, not '+12345'"}));

TEST(CommandLine, RefusesDigitsOutsideAscii)
{
  // QChar::isDigit would take these; the value is still not a number the user can mean.
  EXPECT_THROW(convert::ParseCommandLine({"--convert", "in.mp4", "--out", "out.gif", "--fps", QString::fromUtf8("١٢")}),
               convert::TCommandLineError);
  EXPECT_EQ(convert::ParseTimeMs(QString::fromUtf8("١٢")), std::nullopt);
}

struct TimeCase {
  const char* text;
  std::optional<int> ms;
};

void PrintTo(const TimeCase& c, std::ostream* os)
{
  *os << "'" << c.text << "'";
}

class CommandLineTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(CommandLineTime, ParsesToMilliseconds)
{
  EXPECT_EQ(convert::ParseTimeMs(QString::fromUtf8(GetParam().text)), GetParam().ms);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLineTimes, CommandLineTime,
    ::testing::Values(TimeCase{"12.5", 12500}, TimeCase{"90", 90000}, TimeCase{"0", 0}, TimeCase{"01:02", 62000},
                      TimeCase{"1:02:03.5", 3723500}, TimeCase{"00:00:01.250", 1250}, TimeCase{"0.001", 1},
                      TimeCase{"12.05", 12050}, TimeCase{"59:59.999", 3599999}, TimeCase{"0000012", 12000},
                      TimeCase{"100:00:00", 360000000},  // hours are not wrapped at 24
                      TimeCase{"2147483.647", INT_MAX}, TimeCase{"596:31:23.647", INT_MAX}));

INSTANTIATE_TEST_SUITE_P(
    CommandLineBadTimes, CommandLineTime,
    ::testing::Values(TimeCase{"", std::nullopt}, TimeCase{"-1", std::nullopt}, TimeCase{"+1", std::nullopt},
                      TimeCase{" 1", std::nullopt}, TimeCase{"1 ", std::nullopt}, TimeCase{"abc", std::nullopt},
                      TimeCase{"12.5s", std::nullopt}, TimeCase{"1,5", std::nullopt}, TimeCase{"1.", std::nullopt},
                      TimeCase{".5", std::nullopt},
                      TimeCase{"1.2345", std::nullopt},  // a fourth decimal is refused, not rounded
                      TimeCase{"60:00", std::nullopt}, TimeCase{"01:60", std::nullopt},
                      TimeCase{"1:60:00", std::nullopt}, TimeCase{"1:02:60", std::nullopt},
                      TimeCase{"1:2", std::nullopt}, TimeCase{"1:02:3", std::nullopt},
                      TimeCase{"1:02:03:04", std::nullopt}, TimeCase{"1::02", std::nullopt},
                      TimeCase{"2147483.648", std::nullopt}, TimeCase{"596:31:23.648", std::nullopt},
                      TimeCase{"99999999999", std::nullopt}, TimeCase{"99999999999:00:00", std::nullopt}));

// The options as the usage text documents them.
const QStringList kDocumentedOptions{
    "--convert", "--out",        "--start",     "--end",       "--crop",      "--size",      "--fps",
    "--dither",  "--greyscale",  "--no-loop",   "--alternate", "--no-transparent", "--lightness",
    "--saturation", "--contrast", "--darkness", "--text",      "--text-pos",  "--font",      "--font-size",
    "--font-color", "--exact-timing", "--quiet", "--version",  "--help"};

TEST(CommandLineHelp, FitsInNarrowTerminals)
{
  const QStringList lines = convert::CommandLineHelp().split(u'\n');
  for (const QString& line : lines)
    EXPECT_LT(line.size(), 100) << line.toStdString();
  EXPECT_TRUE(convert::CommandLineHelp().endsWith(u'\n'));
}

TEST(CommandLineHelp, NamesExactlyTheOptionsTheParserKnows)
{
  const QString help = convert::CommandLineHelp();
  QStringList named;
  static const QRegularExpression optionName(QStringLiteral("--[a-z][a-z-]*"));
  for (const QRegularExpressionMatch& match : optionName.globalMatch(help))
    if (!named.contains(match.captured()))
      named.append(match.captured());
  for (const QString& option : kDocumentedOptions)
    EXPECT_TRUE(named.contains(option)) << option.toStdString() << " is missing from the help";
  for (const QString& option : named) {
    EXPECT_TRUE(kDocumentedOptions.contains(option)) << option.toStdString() << " is not an option";
    // The parser knows it: whatever else it says, it does not call it unknown.
    try {
      convert::ParseCommandLine({"--convert", "in.mp4", "--out", "out.gif", option});
    } catch (const convert::TCommandLineError& error) {
      EXPECT_FALSE(QString::fromUtf8(error.what()).startsWith("Unknown option")) << error.what();
    }
  }
}

TEST(CommandLineHelp, StatesTheClipBoundsOfTheConversion)
{
  EXPECT_TRUE(convert::CommandLineHelp().contains(QStringLiteral("0.5 to 60 seconds")));
}

TEST(CommandLineVersion, NamesTheProgram)
{
  EXPECT_EQ(convert::VersionText(QStringLiteral("1.5")), QStringLiteral("Quorvane 1.5"));
}

}  // namespace
