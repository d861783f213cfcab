#include "Bitmap.h"

#include <cstring>
#include <stdexcept>

namespace gifimage {

int BitsOf(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf24bit: return 24;
    case TPixelFormat::pf32bit: return 32;
  }
  return 24;
}

std::ptrdiff_t TBitmap::PackedStride(int width, TPixelFormat format) {
  return (static_cast<std::ptrdiff_t>(width) * BitsOf(format) + 7) / 8;
}

TBitmap::TBitmap(int width, int height, TPixelFormat format)
    : FWidth(width), FHeight(height), FFormat(format) {
  if (width < 0 || height < 0) throw std::length_error("Invalid bitmap size");
  FStride = PackedStride(width, format);
  const auto bytes = static_cast<std::uint64_t>(FStride) * static_cast<std::uint64_t>(height);
  if (bytes > static_cast<std::uint64_t>(PTRDIFF_MAX)) throw std::length_error("Bitmap too large");
  FOwned.assign(static_cast<std::size_t>(bytes), 0);
  FBits = FOwned.data();
}

TBitmap TBitmap::View(const std::uint8_t* bits, int width, int height, std::ptrdiff_t stride,
                      TPixelFormat format) {
  if (width < 0 || height < 0) throw std::length_error("Invalid bitmap size");
  TBitmap view;
  view.FWidth = width;
  view.FHeight = height;
  view.FFormat = format;
  view.FStride = stride;
  view.FBits = bits;
  return view;
}

TBitmap::TBitmap(const TBitmap& other)
    : TGraphic(other), Palette(other.Palette), FWidth(other.FWidth), FHeight(other.FHeight),
      FFormat(other.FFormat) {
  FStride = PackedStride(FWidth, FFormat);
  FOwned.resize(static_cast<std::size_t>(FStride) * static_cast<std::size_t>(FHeight));
  for (int y = 0; y < FHeight; ++y) {
    std::memcpy(FOwned.data() + y * FStride, other.ScanLine(y), static_cast<std::size_t>(FStride));
  }
  FBits = FOwned.data();
}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this != &other) *this = TBitmap(other);
  return *this;
}

std::uint8_t* TBitmap::ScanLine(int y) {
  if (FOwned.empty()) throw std::logic_error("A bitmap view has no writable rows");
  return FOwned.data() + y * FStride;
}

std::vector<std::uint8_t> TBitmap::TakeBits() {
  std::vector<std::uint8_t> bits;
  if (FOwned.data() == FBits) bits.swap(FOwned);
  FBits = nullptr;
  FWidth = FHeight = 0;
  FStride = 0;
  return bits;
}

}  // namespace gifimage

