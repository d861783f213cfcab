// Sources of true-colour frames for the encoder tools: a raw RGB24 file or a folder of
// binary PPM files. Frames are read one at a time, so a long input never sits in memory whole.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace gifenc {

// Input that cannot be used: a missing or unreadable file, a wrong size, a broken header.
// The message is one line and names the file.
class InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& message) : std::runtime_error(message) {}
};

// Frame sizes the GIF format can hold.
inline constexpr int kMinFrameSide = 1;
inline constexpr int kMaxFrameSide = 65535;

class FrameReader {
 public:
  virtual ~FrameReader() = default;
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // Reads the next frame into bgr as packed 24-bit rows (blue, green, red; 3 * Width bytes a
  // row, rows from the top). Returns false after the last frame; throws InputError.
  virtual bool Next(std::vector<std::uint8_t>& bgr) = 0;

 protected:
  int FWidth = 0;
  int FHeight = 0;
};

// Frames of width x height, 3 bytes red, green, blue per pixel, back to back. A file that is
// empty or ends in a partial frame is refused before any frame is read (for regular files;
// other files are refused when the partial frame is met).
std::unique_ptr<FrameReader> OpenRawFrames(const std::string& path, int width, int height);

// Every *.ppm / *.pnm file of the folder, sorted by file name (byte order): binary PPM (P6),
// maxval 255, one image per file, all of the same size. When width or height is given the
// files must have that size. A folder without such files is refused.
std::unique_ptr<FrameReader> OpenPpmFolder(const std::string& folder, std::optional<int> width,
                                           std::optional<int> height);

// Bytes of one RGB24 frame, computed in 64 bits.
inline std::uint64_t FrameBytes(int width, int height) {
  return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 3u;
}

// Turns red, green, blue triples into blue, green, red in place.
void SwapRedBlue(std::vector<std::uint8_t>& pixels);

}  // namespace gifenc
