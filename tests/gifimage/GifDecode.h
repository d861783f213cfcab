// Decodes a GIF with giflib, an implementation independent of ours, into plain structures
// that tests compare with what the encoder's model holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gifdecode {

struct Color {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

struct Extension {
  int function = 0;                       // label: 0xF9, 0xFE, 0xFF, 0x01
  std::vector<std::vector<std::uint8_t>> blocks;  // the data sub-blocks as giflib reports them
};

struct Frame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  std::vector<Color> localColors;          // as written (padded table), empty when none
  std::vector<std::uint8_t> indices;       // width * height, rows from the top (de-interlaced)
  std::vector<Extension> extensions;       // the extension blocks before this frame
  // From the graphic control extension, when there is one.
  bool hasGraphicControl = false;
  int delay = 0;                           // hundredths of a second
  int transparentIndex = -1;               // -1 when no transparency
  int disposal = 0;
  bool userInput = false;
  std::optional<int> loops;                // from a NETSCAPE2.0 block before this frame
};

struct Gif {
  std::string version;                     // "87a" or "89a"
  int screenWidth = 0, screenHeight = 0;
  int colorResolution = 0;                 // as giflib reads it from the packed byte
  int backgroundIndex = 0;
  std::vector<Color> globalColors;
  std::vector<Frame> frames;
};

// Throws std::runtime_error with giflib's message when the data is not a valid GIF.
Gif Decode(const std::vector<std::uint8_t>& bytes);
Gif DecodeFile(const std::string& path);

// The frames composed onto the logical screen as a viewer shows them (disposal and
// transparency applied), as red, green, blue bytes, one vector per frame.
std::vector<std::vector<std::uint8_t>> Compose(const Gif& gif);

}  // namespace gifdecode
