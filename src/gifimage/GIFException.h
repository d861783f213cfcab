// The one exception class of the GIF encoder, and its fixed messages.
#pragma once

#include <stdexcept>
#include <string>

namespace gifimage {

class GIFException : public std::runtime_error {
 public:
  explicit GIFException(const std::string& message) : std::runtime_error(message) {}
};

// The messages the encoder raises or warns with, used exactly as written here.
namespace msg {
inline constexpr const char* ObjectTypeNotSupported = "Object type not supported for operation";
inline constexpr const char* ColorTableOverflow = "Color table overflow";
inline constexpr const char* InvalidColorIndex = "Invalid color index";
inline constexpr const char* ColorTableEmpty = "Color table is empty";
inline constexpr const char* InvalidPixelCoordinates = "Invalid pixel coordinates";
inline constexpr const char* ImageEmpty = "Image is empty";
inline constexpr const char* InvalidBitsPerPixel = "Invalid Bits Per Pixel value";
inline constexpr const char* ImageWidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* ImageHeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* ImageExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* UnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* ColorNotInTable = "Color not in color table";
inline constexpr const char* InvalidStreamOperation = "Invalid stream operation";
inline constexpr const char* ListIndexOutOfBounds = "List index out of bounds";
inline constexpr const char* ColorBitsTooLarge = "ColorBits must be 8 or less";
// A frame's position and size are 16-bit fields of the file: other values are refused
// instead of being silently cut to 16 bits.
inline constexpr const char* FrameOutOfRange = "Frame size or position out of range (0..65535)";
// Only LZW image data is written.
inline constexpr const char* RLENotSupported = "RLE compression is not supported";
// Reducing with an empty palette (rmPalette without a palette) yields no bitmap to add.
inline constexpr const char* NoPalette = "No colors to reduce to";
}  // namespace msg

}  // namespace gifimage
