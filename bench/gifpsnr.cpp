// gifpsnr: how close a GIF's frames are to the raw RGB24 frames it was made from.
//
// Every frame is decoded with giflib and composed onto the logical screen as a viewer shows
// it (offsets, local or global tables, transparency and disposal applied), then compared with
// the source frame. Prints the PSNR in dB over all frames and channels. Several --gif files
// are taken as one sequence, for encoders that wrote the frames in batches.
//
// Exit codes: 0 done, 1 the GIF cannot be decoded or does not match the source, 2 bad options
// or input.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "FrameReader.h"
#include "GifDecode.h"

namespace {

constexpr const char* kUsage =
    "Usage: gifpsnr --gif FILE [--gif FILE ...] --raw FILE --width W --height H\n"
    "  --gif FILE   the GIF (repeat for a sequence written in batches)\n"
    "  --raw FILE   the source: RGB24 frames back to back\n"
    "  --width W, --height H  the frame size, which must be the GIF's screen size\n"
    "Prints: PSNR <dB> dB over <frames> frames (<W>x<H>)\n";

struct Mismatch : std::runtime_error {
  using std::runtime_error::runtime_error;
};

int ParseSide(std::string_view option, std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535)
    throw gifenc::InputError(std::string(option) + " wants a whole number 1..65535, not '" + std::string(text) + "'");
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    std::vector<std::string> gifs;
    std::string raw;
    int width = 0, height = 0;
    for (int i = 1; i < argc; ++i) {
      const std::string_view arg = argv[i];
      if (arg == "--help" || arg == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
      }
      if (i + 1 >= argc) throw gifenc::InputError(std::string(arg) + " needs a value (see --help)");
      const std::string_view value = argv[++i];
      if (arg == "--gif") gifs.emplace_back(value);
      else if (arg == "--raw") raw = value;
      else if (arg == "--width") width = ParseSide(arg, value);
      else if (arg == "--height") height = ParseSide(arg, value);
      else throw gifenc::InputError("unknown option '" + std::string(arg) + "' (see --help)");
    }
    if (gifs.empty() || raw.empty() || width == 0 || height == 0)
      throw gifenc::InputError("--gif, --raw, --width and --height are all needed (see --help)");

    const auto source = gifenc::OpenRawFrames(raw, width, height);
    std::vector<std::uint8_t> bgr;
    double squaredError = 0;
    long frames = 0;
    for (const std::string& path : gifs) {
      const gifdecode::Gif gif = gifdecode::DecodeFile(path);
      if (gif.screenWidth != width || gif.screenHeight != height)
        throw Mismatch("'" + path + "' has a " + std::to_string(gif.screenWidth) + "x" +
                       std::to_string(gif.screenHeight) + " screen, not " + std::to_string(width) + "x" +
                       std::to_string(height));
      for (const std::vector<std::uint8_t>& rgb : gifdecode::Compose(gif)) {
        if (!source->Next(bgr))
          throw Mismatch("the GIF has more frames than the " + std::to_string(frames) + " of '" + raw + "'");
        for (std::size_t p = 0; p < rgb.size(); p += 3) {
          const int dr = rgb[p] - bgr[p + 2], dg = rgb[p + 1] - bgr[p + 1], db = rgb[p + 2] - bgr[p];
          squaredError += dr * dr + dg * dg + db * db;
        }
        ++frames;
      }
    }
    if (source->Next(bgr)) throw Mismatch("the GIF has " + std::to_string(frames) + " frames, fewer than '" + raw + "'");
    if (frames == 0) throw Mismatch("the GIF has no frames");
    const double mse = squaredError / (static_cast<double>(frames) * width * height * 3);
    if (mse == 0) {
      std::printf("PSNR inf dB over %ld frames (%dx%d)\n", frames, width, height);
    } else {
      std::printf("PSNR %.3f dB over %ld frames (%dx%d)\n", 10 * std::log10(255.0 * 255.0 / mse), frames, width, height);
    }
    return 0;
  } catch (const gifenc::InputError& e) {
    std::fprintf(stderr, "gifpsnr: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gifpsnr: %s\n", e.what());
    return 1;
  }
}
