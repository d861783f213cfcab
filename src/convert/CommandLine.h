// The program's command line: `quorvane` alone starts the window, `quorvane FILE` starts it
// with FILE opened, and `quorvane --convert INPUT --out OUTPUT.gif [options]` converts
// without a window. This file only reads the arguments; the clip-length and empty-crop
// refusals stay with the conversion, which words them like the window does.
//
// Times are milliseconds from the start of the video; crop values are video pixels; the
// GIF size is GIF pixels; the text position is the overlay's position as the window's
// fields take it.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>
#include <string>

#include "GifAssembly.h"

namespace convert {

// The program's exit status.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;    // the conversion ran and failed
constexpr int kExitBadInput = 2;  // bad options or an input that cannot be converted

// Ranges the options accept, both ends included.
constexpr int kMinGifSide = 5;
constexpr int kMaxGifSide = 1000;
constexpr int kMinCommandLineFps = 1;
constexpr int kMaxCommandLineFps = 30;
constexpr int kMaxEffectLevel = 255;  // lightness, saturation, contrast, darkness: 0..255
constexpr int kMinFontPoints = 1;
constexpr int kMaxFontPoints = 500;

enum class TCommandLineMode {
  Window,          // no arguments: the window as usual
  WindowWithFile,  // one file and nothing else: the window with Input opened
  Convert,         // --convert
  Help,            // --help
  Version,         // --version
};

// A crop rectangle in video pixels, each value 0 or more; the width or height may be 0
// (the conversion refuses such a crop).
struct TCommandLineCrop {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

// The text drawn over the video. Unset font, size and colour leave the window's own
// choice (EffectsSettings::InitialOverlayFont).
struct TCommandLineText {
  std::optional<QString> Text;  // set: the overlay is on
  int X = 50;
  int Y = 50;
  std::optional<QString> FontFamily;
  std::optional<int> FontPoints;
  std::optional<QColor> FontColor;  // opaque RGB
};

struct TCommandLine {
  TCommandLineMode Mode = TCommandLineMode::Window;
  QString Input;   // WindowWithFile and Convert
  QString Output;  // Convert: ends in ".gif", any case

  // Unset: the video's start, the video's end. When both are set, EndMs > StartMs.
  std::optional<int> StartMs;
  std::optional<int> EndMs;
  std::optional<TCommandLineCrop> Crop;  // unset: the whole picture

  int GifWidth = 100;
  int GifHeight = 100;
  // Frame rate, dither index (0 nearest, 1 Floyd-Steinberg, 2 Stucki, 3 Sierra), greyscale,
  // loop, alternate and transparent, with the window's defaults.
  TAssemblySettings Animation;

  int Lightness = 0;
  int Saturation = kMaxEffectLevel;
  int Contrast = 0;
  int Darkness = 0;
  TCommandLineText Overlay;

  bool ExactTiming = false;  // delays spread evenly over the clip
  bool Quiet = false;        // no progress output
};

// A command line that cannot be followed. what() is one English sentence naming the option
// and what it wants, without a final stop: "--fps wants a whole number 1..30, not '0'".
class TCommandLineError : public std::runtime_error {
 public:
  explicit TCommandLineError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Reads the arguments (without the program's name). Options may be written `--opt value` or
// `--opt=value`; a value that itself begins with "--" needs the second form. Each option may
// be given once. The arguments are read left to right, and --help or --version ends the
// reading and wins: what follows is ignored, and of what came before only an unknown option,
// a missing value or a repeat is refused. Every option other than --help and --version needs
// --convert, and --text-pos, --font, --font-size and --font-color need --text.
// Throws TCommandLineError.
TCommandLine ParseCommandLine(const QStringList& arguments);

// A time as seconds ("12.5", "90") or [hh:]mm:ss[.mmm] ("01:02", "1:02:03.5"), in ms.
// Up to three decimals are taken exactly; more are refused rather than rounded. The fields
// after a colon have two digits and stay below 60, as does the minutes field of mm:ss; the
// first field has any number of digits. nullopt for anything else: a sign, blanks, an empty
// text, or a time above INT_MAX ms.
std::optional<int> ParseTimeMs(const QString& text);

// The usage text, lines shorter than 100 columns, ending in a line break.
QString CommandLineHelp();

// "Quorvane <version>", the version the about box shows.
QString VersionText(const QString& version);

}  // namespace convert
