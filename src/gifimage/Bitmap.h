// The bitmap type the encoder takes as input and hands between its layers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "GifTypes.h"

namespace gifimage {

// Anything that can be added to a TGIFImage. Only TBitmap is accepted as a frame source.
class TGraphic {
 public:
  virtual ~TGraphic() = default;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual bool GetEmpty() const = 0;
};

// Bits per pixel. 24-bit pixels are three bytes blue, green, red; 32-bit pixels are blue,
// green, red and one unused byte (the memory layout of QImage::Format_RGB32). Indexed formats
// keep their colour table in Palette; 1- and 4-bit rows hold the leftmost pixel in the most
// significant bits of each byte.
enum class TPixelFormat : std::uint8_t { pf1bit, pf4bit, pf8bit, pf24bit, pf32bit };

int BitsOf(TPixelFormat format);

// A rectangle of pixel rows. A bitmap either owns its rows or views rows that someone else
// owns (View); a view must not outlive those rows. Copying always makes an owning bitmap.
class TBitmap final : public TGraphic {
 public:
  TBitmap() = default;
  // Zero-filled owning bitmap; rows are packed (stride = bytes of one row). Throws
  // std::length_error for a negative size or one whose bytes do not fit memory.
  TBitmap(int width, int height, TPixelFormat format);
  static TBitmap View(const std::uint8_t* bits, int width, int height, std::ptrdiff_t stride,
                      TPixelFormat format);

  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);
  TBitmap(TBitmap&&) noexcept = default;
  TBitmap& operator=(TBitmap&&) noexcept = default;

  int GetWidth() const override { return FWidth; }
  int GetHeight() const override { return FHeight; }
  bool GetEmpty() const override { return FWidth == 0 || FHeight == 0; }
  TPixelFormat PixelFormat() const { return FFormat; }
  std::ptrdiff_t Stride() const { return FStride; }

  const std::uint8_t* ScanLine(int y) const { return FBits + y * FStride; }
  // Writable rows exist only for an owning bitmap.
  std::uint8_t* ScanLine(int y);

  // Colour table of an indexed bitmap, in index order.
  std::vector<TGIFColor> Palette;

  // Gives up an owning bitmap's packed rows (empty for a view).
  std::vector<std::uint8_t> TakeBits();

  static std::ptrdiff_t PackedStride(int width, TPixelFormat format);

 private:
  int FWidth = 0;
  int FHeight = 0;
  TPixelFormat FFormat = TPixelFormat::pf24bit;
  std::ptrdiff_t FStride = 0;
  const std::uint8_t* FBits = nullptr;
  std::vector<std::uint8_t> FOwned;
};

}  // namespace gifimage
