// quorvane-gifenc: encodes raw RGB24 frames or a folder of PPM files into an animated GIF,
// building every frame the way the program's conversion does (see AnimationFrames.h).
//
// Exit codes: 0 done, 1 the encoder or the output file failed, 2 bad options or input.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AnimationFrames.h"
#include "FrameReader.h"
#include "OrderedPipeline.h"
#include "gifimage.h"

namespace {

using gifenc::InputError;

constexpr const char* kUsage = R"(Usage: quorvane-gifenc --in FILE|DIR --out FILE.gif [options]

Input:
  --in FILE            raw RGB24 frames back to back (needs --width and --height)
  --in DIR             binary PPM (P6, maxval 255) files, sorted by name, all one size
  --width W, --height H  frame size in pixels, 1..65535

Encoding (as the program converts):
  --greyscale          256 grey levels instead of an optimised colour table
  --dither N           0 nearest colour, 1 Floyd-Steinberg (default), 2 Stucki, 3 Sierra
  --delay CS           frame delay in hundredths of a second, 0..65535 (default 10)
  --loop               repeat the animation without end
  --transparent RRGGBB make this colour transparent in every frame that uses it

Other:
  --out FILE           the GIF to write (replaced only when the whole file was written)
  --threads N          frames encoded side by side on N threads, 1..256 (default: every
                       hardware thread); 1 encodes them one after the other. The file is
                       the same whatever N is.
  --quiet              no summary line
  --help               this text

Exit codes: 0 done, 1 encoder or output error, 2 bad options or input.
)";

struct Options {
  std::string In, Out;
  std::optional<int> Width, Height;
  gifenc::AnimationSettings Settings;
  int Threads = 0;  // 0: every hardware thread
  bool Quiet = false;
  bool Help = false;
};

long ParseNumber(std::string_view option, std::string_view text, long low, long high) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    throw InputError(std::string(option) + " wants a whole number " + std::to_string(low) + ".." +
                     std::to_string(high) + ", not '" + std::string(text) + "'");
  return value;
}

// RRGGBB in hex becomes the packed 0x00BBGGRR colour.
gifimage::TColor ParseColour(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.size() != 6 || error != std::errc() || end != text.data() + text.size())
    throw InputError("--transparent wants a colour RRGGBB in hex, not '" + std::string(text) + "'");
  const unsigned red = (value >> 16) & 0xFF, green = (value >> 8) & 0xFF, blue = value & 0xFF;
  return red | (green << 8) | (blue << 16);
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::optional<std::string_view> inlineValue;
    if (const auto equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
      inlineValue = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    auto value = [&]() -> std::string_view {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= argc) throw InputError(std::string(arg) + " needs a value");
      return argv[++i];
    };
    // A switch: true, and refused with a value attached.
    auto flag = [&] {
      if (inlineValue) throw InputError(std::string(arg) + " takes no value");
      return true;
    };
    if (arg == "--in") options.In = value();
    else if (arg == "--out") options.Out = value();
    else if (arg == "--width") options.Width = static_cast<int>(ParseNumber(arg, value(), 1, 65535));
    else if (arg == "--height") options.Height = static_cast<int>(ParseNumber(arg, value(), 1, 65535));
    else if (arg == "--dither") options.Settings.Dither = static_cast<int>(ParseNumber(arg, value(), 0, 3));
    else if (arg == "--threads") options.Threads = static_cast<int>(ParseNumber(arg, value(), 1, 256));
    else if (arg == "--delay") options.Settings.Delay = static_cast<std::uint16_t>(ParseNumber(arg, value(), 0, 65535));
    else if (arg == "--transparent") options.Settings.Transparent = ParseColour(value());
    else if (arg == "--greyscale" || arg == "--grayscale") options.Settings.Greyscale = flag();
    else if (arg == "--loop") options.Settings.Loop = flag();
    else if (arg == "--quiet") options.Quiet = flag();
    else if (arg == "--help" || arg == "-h") options.Help = flag();
    else throw InputError("unknown option '" + std::string(argv[i]) + "' (see --help)");
  }
  if (options.Help) return options;
  if (options.In.empty()) throw InputError("--in is missing (see --help)");
  if (options.Out.empty()) throw InputError("--out is missing (see --help)");
  return options;
}

std::unique_ptr<gifenc::FrameReader> OpenInput(const Options& options) {
  std::error_code error;
  if (std::filesystem::is_directory(options.In, error)) return gifenc::OpenPpmFolder(options.In, options.Width, options.Height);
  if (!options.Width || !options.Height) throw InputError("raw input '" + options.In + "' needs --width and --height");
  return gifenc::OpenRawFrames(options.In, *options.Width, *options.Height);
}

// Frames one after the other on this thread.
int EncodeSequentially(gifenc::FrameReader& reader, gifimage::TGIFImage& image, const gifenc::AnimationSettings& settings) {
  std::vector<std::uint8_t> bgr;
  int frames = 0;
  while (reader.Next(bgr)) {
    const gifimage::TBitmap bitmap = gifimage::TBitmap::View(bgr.data(), reader.Width(), reader.Height(),
                                                             3 * static_cast<std::ptrdiff_t>(reader.Width()),
                                                             gifimage::TPixelFormat::pf24bit);
    gifenc::AddAnimationFrame(image, bitmap, settings);
    ++frames;
  }
  return frames;
}

// Frames side by side on `threads` workers; this thread reads them and puts the finished ones
// into the image in order. A worker's error is raised here, at its frame. The pixel buffers
// come back with the results and are read into again, so that no frame pays for fresh pages.
int EncodeInParallel(gifenc::FrameReader& reader, gifimage::TGIFImage& image, const gifenc::AnimationSettings& settings,
                     int threads) {
  struct Encoded {
    gifenc::PreparedFrame Frame;
    std::vector<std::uint8_t> Pixels;  // the frame's input, for the next one to be read into
  };
  const gifenc::FrameReduction reduction = gifenc::ReductionOf(image);
  const std::optional<gifimage::TColor> transparent = settings.Transparent;
  const int width = reader.Width(), height = reader.Height();
  // Each waiting frame holds its pixels: two per worker keep them all busy.
  convert::TOrderedPipeline<Encoded> pipeline(threads, 2 * static_cast<std::size_t>(threads), false);
  std::vector<std::vector<std::uint8_t>> spare;
  int frames = 0;
  const auto append = [&](convert::TOrderedPipeline<Encoded>::TDone& done) {
    if (done.Error) std::rethrow_exception(done.Error);
    gifenc::AppendAnimationFrame(image, done.Value.Frame.Frame(), done.Value.Frame.TransparentIndex, settings);
    spare.push_back(std::move(done.Value.Pixels));
  };
  for (;;) {
    std::vector<std::uint8_t> bgr;
    if (!spare.empty()) {
      bgr = std::move(spare.back());
      spare.pop_back();
    }
    if (!reader.Next(bgr)) break;
    pipeline.Push([pixels = std::move(bgr), width, height, reduction, transparent]() mutable {
      const gifimage::TBitmap bitmap = gifimage::TBitmap::View(pixels.data(), width, height,
                                                               3 * static_cast<std::ptrdiff_t>(width),
                                                               gifimage::TPixelFormat::pf24bit);
      Encoded encoded{gifenc::PrepareAnimationFrame(bitmap, reduction, transparent), {}};
      encoded.Pixels = std::move(pixels);
      return encoded;
    });
    ++frames;
    while (auto done = pipeline.TakeNext()) append(*done);
  }
  while (pipeline.Taken() < frames) {
    while (!pipeline.WaitForNext(std::chrono::milliseconds(100))) {
    }
    while (auto done = pipeline.TakeNext()) append(*done);
  }
  return frames;
}

int Run(const Options& options) {
  const auto start = std::chrono::steady_clock::now();
  const std::unique_ptr<gifenc::FrameReader> reader = OpenInput(options);
  gifimage::TGIFImage image;
  gifenc::ConfigureAnimation(image, options.Settings);
  const int threads = options.Threads > 0 ? options.Threads : convert::HardwareThreads();
  const int frames = threads == 1 ? EncodeSequentially(*reader, image, options.Settings)
                                  : EncodeInParallel(*reader, image, options.Settings, threads);
  if (frames == 0) throw InputError("'" + options.In + "' holds no frames");
  image.SaveToFile(options.Out);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!options.Quiet) {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(options.Out, error);
    std::printf("%s: %d frame%s of %dx%d, %llu bytes, %.3f s\n", options.Out.c_str(), frames,
                frames == 1 ? "" : "s", reader->Width(), reader->Height(),
                static_cast<unsigned long long>(error ? 0 : bytes), seconds);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr int kEncoderFailed = 1, kBadInput = 2;
  try {
    const Options options = ParseOptions(argc, argv);
    if (options.Help) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    return Run(options);
  } catch (const InputError& e) {
    std::fprintf(stderr, "quorvane-gifenc: %s\n", e.what());
    return kBadInput;
  } catch (const gifimage::GIFException& e) {
    std::fprintf(stderr, "quorvane-gifenc: encoder error: %s\n", e.what());
    return kEncoderFailed;
  } catch (const gifimage::EStreamError& e) {
    std::fprintf(stderr, "quorvane-gifenc: %s\n", e.what());
    return kEncoderFailed;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "quorvane-gifenc: out of memory\n");
    return kEncoderFailed;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorvane-gifenc: %s\n", e.what());
    return kEncoderFailed;
  }
}
