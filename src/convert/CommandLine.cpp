#include "CommandLine.h"

#include <QRegularExpression>

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

#include "ConversionStart.h"

namespace convert {

namespace {

// Which other option an option needs.
enum class TNeeds { Nothing, Convert, Text };

enum class TOptionId {
  Convert, Out, Start, End, Crop, Size, Fps, Dither, Greyscale, NoLoop, Alternate,
  NoTransparent, Lightness, Saturation, Contrast, Darkness, Text, TextPos, Font, FontSize,
  FontColor, ExactTiming, Quiet, Version, Help,
};

struct TOption {
  TOptionId Id;
  const char* Name;
  TNeeds Needs;
  // What the option's value must be, for the messages; null for an option without value.
  const char* Wants;
};

constexpr char kTimeWants[] = "a time as seconds (12.5) or [hh:]mm:ss[.mmm]";
constexpr char kLevelWants[] = "a whole number 0..255";

constexpr std::array<TOption, 25> kOptions{{
    {TOptionId::Convert, "--convert", TNeeds::Nothing, "an input video file"},
    {TOptionId::Out, "--out", TNeeds::Convert, "a file name ending in .gif"},
    {TOptionId::Start, "--start", TNeeds::Convert, kTimeWants},
    {TOptionId::End, "--end", TNeeds::Convert, kTimeWants},
    {TOptionId::Crop, "--crop", TNeeds::Convert, "X,Y,W,H as four whole numbers 0 or more"},
    {TOptionId::Size, "--size", TNeeds::Convert, "WxH with each side a whole number 5..1000"},
    {TOptionId::Fps, "--fps", TNeeds::Convert, "a whole number 1..30"},
    {TOptionId::Dither, "--dither", TNeeds::Convert, "nearest, floyd-steinberg, stucki or sierra"},
    {TOptionId::Greyscale, "--greyscale", TNeeds::Convert, nullptr},
    {TOptionId::NoLoop, "--no-loop", TNeeds::Convert, nullptr},
    {TOptionId::Alternate, "--alternate", TNeeds::Convert, nullptr},
    {TOptionId::NoTransparent, "--no-transparent", TNeeds::Convert, nullptr},
    {TOptionId::Lightness, "--lightness", TNeeds::Convert, kLevelWants},
    {TOptionId::Saturation, "--saturation", TNeeds::Convert, kLevelWants},
    {TOptionId::Contrast, "--contrast", TNeeds::Convert, kLevelWants},
    {TOptionId::Darkness, "--darkness", TNeeds::Convert, kLevelWants},
    {TOptionId::Text, "--text", TNeeds::Convert, "a text to draw"},
    {TOptionId::TextPos, "--text-pos", TNeeds::Text, "X,Y as two whole numbers"},
    {TOptionId::Font, "--font", TNeeds::Text, "a font family"},
    {TOptionId::FontSize, "--font-size", TNeeds::Text, "a whole number of points 1..500"},
    {TOptionId::FontColor, "--font-color", TNeeds::Text, "a colour as six hex digits RRGGBB"},
    {TOptionId::ExactTiming, "--exact-timing", TNeeds::Convert, nullptr},
    {TOptionId::Quiet, "--quiet", TNeeds::Convert, nullptr},
    {TOptionId::Version, "--version", TNeeds::Nothing, nullptr},
    {TOptionId::Help, "--help", TNeeds::Nothing, nullptr},
}};

// The dither names in the order of the window's combo box.
constexpr std::array<const char*, 4> kDitherNames{"nearest", "floyd-steinberg", "stucki", "sierra"};

const TOption* FindOption(const QString& name)
{
  for (const TOption& option : kOptions)
    if (name == QLatin1String(option.Name))
      return &option;
  return nullptr;
}

// One option as written, its value taken from "=value" or the next argument.
struct TGiven {
  const TOption* Option = nullptr;
  QString Value;
};

[[noreturn]] void Refuse(const QString& message)
{
  throw TCommandLineError(message);
}

[[noreturn]] void RefuseValue(const TOption& option, const QString& value)
{
  Refuse(QStringLiteral("%1 wants %2, not '%3'")
             .arg(QLatin1String(option.Name), QLatin1String(option.Wants), value));
}

// A decimal integer of ASCII digits, with a leading '-' when negative is set; nullopt for
// any other text or a value outside int.
std::optional<int> ParseWhole(QStringView text, bool negative = false)
{
  bool minus = false;
  if (negative && text.startsWith(u'-')) {
    minus = true;
    text = text.mid(1);
  }
  // Ten digits cover INT_MAX; more could overflow the 64-bit sum.
  if (text.isEmpty() || text.size() > 10)
    return std::nullopt;
  std::int64_t value = 0;
  for (const QChar c : text) {
    if (c < u'0' || c > u'9')
      return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
  }
  if (minus)
    value = -value;
  if (value < INT_MIN || value > INT_MAX)
    return std::nullopt;
  return static_cast<int>(value);
}

// A whole number in [low, high], or the option's refusal.
int WholeIn(const TGiven& given, int low, int high)
{
  const std::optional<int> value = ParseWhole(given.Value);
  if (!value || *value < low || *value > high)
    RefuseValue(*given.Option, given.Value);
  return *value;
}

// `count` whole numbers separated by `separator`, or the option's refusal.
std::vector<int> WholeList(const TGiven& given, QChar separator, qsizetype count, bool negative)
{
  const QStringList parts = given.Value.split(separator);
  if (parts.size() != count)
    RefuseValue(*given.Option, given.Value);
  std::vector<int> values;
  for (const QString& part : parts) {
    const std::optional<int> value = ParseWhole(part, negative);
    if (!value)
      RefuseValue(*given.Option, given.Value);
    values.push_back(*value);
  }
  return values;
}

QColor ParseColor(const TGiven& given)
{
  static const QRegularExpression sixHex(QStringLiteral("^#?[0-9A-Fa-f]{6}$"));
  if (!sixHex.match(given.Value).hasMatch())
    RefuseValue(*given.Option, given.Value);
  return QColor::fromRgb(static_cast<QRgb>(given.Value.right(6).toUInt(nullptr, 16)));
}

int TimeMs(const TGiven& given)
{
  const std::optional<int> ms = ParseTimeMs(given.Value);
  if (!ms)
    RefuseValue(*given.Option, given.Value);
  return *ms;
}

// Puts one checked value into the command line.
void Apply(TCommandLine& line, const TGiven& given)
{
  const QString& value = given.Value;
  switch (given.Option->Id) {
  case TOptionId::Convert:
    line.Input = value;
    break;
  case TOptionId::Out:
    if (!value.endsWith(QStringLiteral(".gif"), Qt::CaseInsensitive))
      RefuseValue(*given.Option, value);
    line.Output = value;
    break;
  case TOptionId::Start:
    line.StartMs = TimeMs(given);
    break;
  case TOptionId::End:
    line.EndMs = TimeMs(given);
    break;
  case TOptionId::Crop: {
    const std::vector<int> v = WholeList(given, u',', 4, false);
    line.Crop = TCommandLineCrop{v[0], v[1], v[2], v[3]};
    break;
  }
  case TOptionId::Size: {
    const std::vector<int> v = WholeList(given, u'x', 2, false);
    for (const int side : v)
      if (side < kMinGifSide || side > kMaxGifSide)
        RefuseValue(*given.Option, value);
    line.GifWidth = v[0];
    line.GifHeight = v[1];
    break;
  }
  case TOptionId::Fps:
    line.Animation.FrameRate = WholeIn(given, kMinCommandLineFps, kMaxCommandLineFps);
    break;
  case TOptionId::Dither: {
    int index = -1;
    for (std::size_t i = 0; i < kDitherNames.size(); ++i)
      if (value == QLatin1String(kDitherNames[i]))
        index = static_cast<int>(i);
    if (index < 0)
      RefuseValue(*given.Option, value);
    line.Animation.DitherIndex = index;
    break;
  }
  case TOptionId::Greyscale:
    line.Animation.Greyscale = true;
    break;
  case TOptionId::NoLoop:
    line.Animation.Loop = false;
    break;
  case TOptionId::Alternate:
    line.Animation.Alternate = true;
    break;
  case TOptionId::NoTransparent:
    line.Animation.Transparent = false;
    break;
  case TOptionId::Lightness:
    line.Lightness = WholeIn(given, 0, kMaxEffectLevel);
    break;
  case TOptionId::Saturation:
    line.Saturation = WholeIn(given, 0, kMaxEffectLevel);
    break;
  case TOptionId::Contrast:
    line.Contrast = WholeIn(given, 0, kMaxEffectLevel);
    break;
  case TOptionId::Darkness:
    line.Darkness = WholeIn(given, 0, kMaxEffectLevel);
    break;
  case TOptionId::Text:
    line.Overlay.Text = value;
    break;
  case TOptionId::TextPos: {
    // Any integer, as the window's position fields take it.
    const std::vector<int> v = WholeList(given, u',', 2, true);
    line.Overlay.X = v[0];
    line.Overlay.Y = v[1];
    break;
  }
  case TOptionId::Font:
    line.Overlay.FontFamily = value;
    break;
  case TOptionId::FontSize:
    line.Overlay.FontPoints = WholeIn(given, kMinFontPoints, kMaxFontPoints);
    break;
  case TOptionId::FontColor:
    line.Overlay.FontColor = ParseColor(given);
    break;
  case TOptionId::ExactTiming:
    line.ExactTiming = true;
    break;
  case TOptionId::Quiet:
    line.Quiet = true;
    break;
  case TOptionId::Version:
  case TOptionId::Help:
    break;  // handled while reading
  }
}

}  // namespace

TCommandLine ParseCommandLine(const QStringList& arguments)
{
  // First pass: split the arguments into options with their values and plain arguments,
  // refusing what no context can mend (unknown, repeated, missing values).
  std::vector<TGiven> givens;
  QStringList plain;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (!argument.startsWith(u'-')) {
      plain.append(argument);
      continue;
    }
    const qsizetype equals = argument.indexOf(u'=');
    const QString name = equals < 0 ? argument : argument.left(equals);
    const TOption* option = FindOption(name);
    if (!option)
      Refuse(QStringLiteral("Unknown option '%1'; see quorvane --help").arg(name));

    TGiven given{option, {}};
    if (!option->Wants) {
      if (equals >= 0)
        Refuse(QStringLiteral("%1 takes no value, not '%2'").arg(name, argument.mid(equals + 1)));
    } else if (equals >= 0) {
      given.Value = argument.mid(equals + 1);
    } else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QStringLiteral("--"))) {
      given.Value = arguments[++i];
    }
    if (option->Wants && given.Value.isEmpty())
      Refuse(QStringLiteral("%1 wants %2").arg(name, QLatin1String(option->Wants)));

    if (option->Id == TOptionId::Help || option->Id == TOptionId::Version) {
      TCommandLine line;
      line.Mode = option->Id == TOptionId::Help ? TCommandLineMode::Help : TCommandLineMode::Version;
      return line;
    }
    for (const TGiven& earlier : givens)
      if (earlier.Option == option)
        Refuse(QStringLiteral("%1 is given more than once").arg(name));
    givens.push_back(given);
  }

  const auto given = [&givens](TOptionId id) {
    for (const TGiven& g : givens)
      if (g.Option->Id == id)
        return &g;
    return static_cast<const TGiven*>(nullptr);
  };

  TCommandLine line;
  if (!given(TOptionId::Convert)) {
    if (!givens.empty())
      Refuse(QStringLiteral("%1 is only used with --convert").arg(QLatin1String(givens.front().Option->Name)));
    if (plain.size() > 1)
      Refuse(QStringLiteral("Unexpected argument '%1': the window opens one video").arg(plain[1]));
    if (plain.size() == 1) {
      line.Mode = TCommandLineMode::WindowWithFile;
      line.Input = plain.front();
    }
    return line;
  }

  line.Mode = TCommandLineMode::Convert;
  if (!plain.isEmpty())
    Refuse(QStringLiteral("Unexpected argument '%1': the input video is the value of --convert")
               .arg(plain.front()));
  const bool text = given(TOptionId::Text) != nullptr;
  for (const TGiven& g : givens) {
    if (g.Option->Needs == TNeeds::Text && !text)
      Refuse(QStringLiteral("%1 is only used with --text").arg(QLatin1String(g.Option->Name)));
    Apply(line, g);
  }
  if (!given(TOptionId::Out))
    Refuse(QStringLiteral("--convert wants --out OUTPUT.gif as well"));
  if (line.StartMs && line.EndMs && *line.EndMs <= *line.StartMs)
    Refuse(QStringLiteral("--end wants a time after --start ('%1'), not '%2'")
               .arg(given(TOptionId::Start)->Value, given(TOptionId::End)->Value));
  return line;
}

std::optional<int> ParseTimeMs(const QString& text)
{
  // seconds | minutes:ss | hours:mm:ss, each with an optional fraction of 1..3 digits.
  static const QRegularExpression form(
      QStringLiteral("^([0-9]+)(?::([0-9]{2})(?::([0-9]{2}))?)?(?:\\.([0-9]{1,3}))?$"));
  const QRegularExpressionMatch match = form.match(text);
  if (!match.hasMatch())
    return std::nullopt;

  // The first field may be long; ten digits already exceed INT_MAX ms in every form, and
  // stopping there keeps the 64-bit arithmetic below from overflowing.
  const QString first = match.captured(1);
  if (first.size() > 10)
    return std::nullopt;
  std::int64_t hours = 0;
  std::int64_t minutes = 0;
  std::int64_t seconds = 0;
  if (match.hasCaptured(3)) {
    hours = first.toLongLong();
    minutes = match.captured(2).toLongLong();
    seconds = match.captured(3).toLongLong();
  } else if (match.hasCaptured(2)) {
    minutes = first.toLongLong();
    seconds = match.captured(2).toLongLong();
  } else {
    seconds = first.toLongLong();
  }
  const bool colons = match.hasCaptured(2);
  if (colons && (minutes >= 60 || seconds >= 60))
    return std::nullopt;

  // "5" is 500 ms, "25" 250 ms, "250" 250 ms.
  const QString fraction = match.captured(4).leftJustified(3, u'0');
  const std::int64_t ms = ((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction.toLongLong();
  if (ms > INT_MAX)
    return std::nullopt;
  return static_cast<int>(ms);
}

QString CommandLineHelp()
{
  const QString clipBounds =
      QStringLiteral("%1 to %2 seconds").arg(kMinClipMs / 1000.0).arg(kMaxClipMs / 1000.0);
  return QStringLiteral(
             "Usage:\n"
             "  quorvane                      start the window\n"
             "  quorvane FILE                 start the window with FILE opened\n"
             "  quorvane --convert INPUT --out OUTPUT.gif [options]\n"
             "                                turn a stretch of INPUT into an animated GIF\n"
             "  quorvane --help | --version\n"
             "\n"
             "Conversion options (default in brackets):\n"
             "  --start T, --end T            the clip; T is seconds (12.5) or [hh:]mm:ss[.mmm]\n"
             "                                [the video's start and end]; the clip lasts %1\n"
             "  --crop X,Y,W,H                crop rectangle in video pixels [the whole picture]\n"
             "  --size WxH                    GIF size, each side 5..1000 [100x100]\n"
             "  --fps F                       frames per second, 1..30 [10]\n"
             "  --dither nearest|floyd-steinberg|stucki|sierra   [floyd-steinberg]\n"
             "  --greyscale                   grey shades only [off]\n"
             "  --no-loop                     play the animation once [loops]\n"
             "  --alternate                   frames forward, then backward [off]\n"
             "  --no-transparent              black background instead of transparent [transparent]\n"
             "  --lightness N                 0..255 [0]\n"
             "  --saturation N                0..255 [255]\n"
             "  --contrast N                  0..255 [0]\n"
             "  --darkness N                  0..255 [0]\n"
             "  --text TEXT                   draw TEXT over the video [no text]\n"
             "  --text-pos X,Y                where the text goes [50,50]\n"
             "  --font FAMILY                 the text's font [the window's font]\n"
             "  --font-size PT                the text's size in points, 1..500 [the window's size]\n"
             "  --font-color RRGGBB           the text's colour in hex [the window's colour]\n"
             "  --exact-timing                spread the frame delays evenly over the clip [off]\n"
             "  --quiet                       show no progress [progress shown]\n"
             "\n"
             "An option's value may also follow an equals sign (--fps=12); a value that begins with\n"
             "\"--\" must be written so (--text='-- sale --').\n"
             "\n"
             "Exit status: 0 done, 1 the conversion failed, 2 bad options or input.\n")
      .arg(clipBounds);
}

QString VersionText(const QString& version)
{
  return QStringLiteral("Quorvane ") + version;
}

}  // namespace convert
