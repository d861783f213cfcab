#include "GIFSubImage.h"

#include <array>
#include <cstring>

#include "GIFException.h"
#include "GIFGraphicControlExtension.h"
#include "GIFImage.h"
#include "LZWEncoder.h"
#include "ReduceColors.h"

namespace gifimage {

namespace {
const std::string kConverting = "Converting...";
}

TGIFSubImage::TGIFSubImage(TGIFImage* image) : TGIFItem(image), FColorMap(this), FExtensions(image) {
  FImageDescriptor.Separator = bsImageSeparator;
}

TGIFSubImage::~TGIFSubImage() {
  // Extensions unlink themselves from this frame while it still exists.
  FExtensions.Clear();
}

void TGIFSubImage::Clear() {
  FExtensions.Clear();
  FColorMap.Clear();
  FData.clear();
  FData.shrink_to_fit();
  FPacked.clear();
  FPacked.shrink_to_fit();
  FImageDescriptor.Height = 0;
  FImageDescriptor.Width = 0;
  FTransparent = false;
  FGCE = nullptr;
}

void TGIFSubImage::SetBounds(int left, int top, int width, int height) {
  PlaceFrame(left, top, width, height, true);
}

void TGIFSubImage::PlaceFrame(int left, int top, int width, int height, bool allocatePixels) {
  for (const int v : {left, top, width, height})
    if (v < 0 || v > 0xFFFF) throw GIFException(msg::FrameOutOfRange);
  const bool resized = width != Width() || height != Height();
  FImageDescriptor.Left = static_cast<std::uint16_t>(left);
  FImageDescriptor.Top = static_cast<std::uint16_t>(top);
  FImageDescriptor.Width = static_cast<std::uint16_t>(width);
  FImageDescriptor.Height = static_cast<std::uint16_t>(height);
  if (resized && allocatePixels) {
    // New pixels replace packed data of another size.
    FPacked.clear();
    FData.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  }

  if (!FGIFImage) return;
  TGIFHeader& header = FGIFImage->Header();
  bool warned = false;
  if (left + width > header.Width()) {
    if (header.Width() > 0) {
      Warning(gsWarning, msg::ImageWidthTooSmall);
      warned = true;
    }
    header.SetWidth(static_cast<std::uint16_t>(std::min(left + width, 0xFFFF)));
  }
  if (top + height > header.Height()) {
    if (header.Height() > 0) {
      Warning(gsWarning, msg::ImageHeightTooSmall);
      warned = true;
    }
    header.SetHeight(static_cast<std::uint16_t>(std::min(top + height, 0xFFFF)));
  }
  if (warned) Warning(gsWarning, msg::ImageExceedsScreen);
}

void TGIFSubImage::SetInterlaced(bool value) {
  FImageDescriptor.PackedFields =
      static_cast<std::uint8_t>(value ? FImageDescriptor.PackedFields | 0x40 : FImageDescriptor.PackedFields & ~0x40);
}

const TGIFColorMap& TGIFSubImage::ActiveColorMap() const {
  if (FColorMap.Count() > 0) return FColorMap;
  if (FGIFImage && FGIFImage->GlobalColorMap().Count() > 0) return FGIFImage->GlobalColorMap();
  return FColorMap;
}

TGIFColorMap& TGIFSubImage::ActiveColorMap() {
  return const_cast<TGIFColorMap&>(static_cast<const TGIFSubImage*>(this)->ActiveColorMap());
}

void TGIFSubImage::CheckPixel(int x, int y) const {
  if (Empty() || FData.empty()) throw GIFException(msg::ImageEmpty);
  if (x < 0 || x >= Width() || y < 0 || y >= Height()) throw GIFException(msg::InvalidPixelCoordinates);
}

std::uint8_t TGIFSubImage::Pixels(int x, int y) const {
  CheckPixel(x, y);
  return FData[static_cast<std::size_t>(y) * Width() + static_cast<std::size_t>(x)];
}

void TGIFSubImage::SetPixels(int x, int y, std::uint8_t index) {
  CheckPixel(x, y);
  FData[static_cast<std::size_t>(y) * Width() + static_cast<std::size_t>(x)] = index;
}

const std::uint8_t* TGIFSubImage::Scanline(int y) const {
  CheckPixel(0, y);
  return FData.data() + static_cast<std::size_t>(y) * Width();
}

std::uint8_t* TGIFSubImage::Scanline(int y) {
  CheckPixel(0, y);
  return FData.data() + static_cast<std::size_t>(y) * Width();
}

TGIFVersion TGIFSubImage::Version() const {
  return FColorMap.Optimized() || FExtensions.Count() > 0 ? gv89a : gv87a;
}

void TGIFSubImage::Assign(const TBitmap& bitmap) {
  Clear();
  if (bitmap.GetEmpty()) return;
  if (bitmap.GetWidth() > 0xFFFF || bitmap.GetHeight() > 0xFFFF) throw GIFException(msg::FrameOutOfRange);
  SetWidth(bitmap.GetWidth());
  SetHeight(bitmap.GetHeight());

  switch (bitmap.PixelFormat()) {
    case TPixelFormat::pf1bit:
    case TPixelFormat::pf4bit:
    case TPixelFormat::pf8bit:
      ImportIndexed(bitmap);
      return;
    case TPixelFormat::pf24bit:
    case TPixelFormat::pf32bit:
      break;
  }
  const TGIFImage* image = FGIFImage;
  TBitmap reduced = ReduceColors(bitmap, image ? image->ColorReduction() : rmNetscape,
                                 image ? image->DitherMode() : dmNearest, nullptr,
                                 image ? image->ReductionBits() : 8);
  if (reduced.GetEmpty()) throw GIFException(msg::NoPalette);
  if (reduced.PixelFormat() == TPixelFormat::pf8bit) {
    // The reduced rows are packed Width bytes each: they become the frame's pixels as they are.
    FColorMap.ImportPalette(reduced.Palette);
    FData = reduced.TakeBits();
  } else {
    ImportDirect(reduced);
  }
}

void TGIFSubImage::ImportIndexed(const TBitmap& bitmap) {
  FColorMap.ImportPalette(bitmap.Palette);
  const int width = Width(), height = Height();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = bitmap.ScanLine(y);
    std::uint8_t* out = FData.data() + static_cast<std::size_t>(y) * width;
    switch (bitmap.PixelFormat()) {
      case TPixelFormat::pf8bit:
        std::memcpy(out, in, static_cast<std::size_t>(width));
        break;
      case TPixelFormat::pf4bit:
        for (int x = 0; x < width; ++x) out[x] = (in[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
        break;
      default:
        for (int x = 0; x < width; ++x) out[x] = (in[x / 8] >> (7 - x % 8)) & 1;
        break;
    }
    if (FGIFImage && y % 32 == 0) FGIFImage->Progress(psRunning, y * 100 / height, kConverting);
  }
}

// Builds the table from the distinct colours in order of first appearance; a 257th colour
// raises "Color table overflow". The last 8 distinct colours are checked first (newest first),
// which only saves time.
void TGIFSubImage::ImportDirect(const TBitmap& bitmap) {
  const int width = Width(), height = Height();
  std::array<TColor, 8> ringColor{};
  std::array<int, 8> ringIndex{};
  int ringCount = 0, ringNext = 0;
  std::vector<std::uint8_t> rowBuffer(3 * static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = ReadRow24(bitmap, y, rowBuffer.data());
    std::uint8_t* out = FData.data() + static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width; ++x, in += 3) {
      const TColor color = RGB2Color({in[2], in[1], in[0]});
      int index = -1;
      for (int k = 0; k < ringCount && index < 0; ++k) {
        const int slot = (ringNext - 1 - k + 8) % 8;
        if (ringColor[static_cast<std::size_t>(slot)] == color) index = ringIndex[static_cast<std::size_t>(slot)];
      }
      if (index < 0) {
        index = FColorMap.AddUnique(color);
        ringColor[static_cast<std::size_t>(ringNext)] = color;
        ringIndex[static_cast<std::size_t>(ringNext)] = index;
        ringNext = (ringNext + 1) % 8;
        ringCount = std::min(ringCount + 1, 8);
      }
      out[x] = static_cast<std::uint8_t>(index);
    }
    if (FGIFImage && y % 32 == 0) FGIFImage->Progress(psRunning, y * 100 / height, kConverting);
  }
}

void TGIFSubImage::Assign(const TGIFSubImage& source) {
  if (&source == this) return;
  AssignPicture(source);
  for (int i = 0; i < source.FExtensions.Count(); ++i) FExtensions.Add(source.FExtensions[i]->Clone(this));
}

void TGIFSubImage::AssignPicture(const TGIFSubImage& source) {
  if (&source == this) return;
  Clear();
  PlaceFrame(source.Left(), source.Top(), source.Width(), source.Height(), false);
  FImageDescriptor.PackedFields = source.FImageDescriptor.PackedFields;
  FColorMap.Assign(source.FColorMap);
  FData = source.FData;
  FPacked = source.FPacked;
}

void TGIFSubImage::Prepare() {
  std::uint8_t packed = FImageDescriptor.PackedFields;
  if (FColorMap.Count() > 0) {
    packed = static_cast<std::uint8_t>(0x80 | (packed & 0x40) | (FColorMap.Optimized() ? 0x20 : 0) |
                                       ((ColorResolution()) & 0x07));
  } else {
    packed &= 0x58;
  }
  FImageDescriptor.PackedFields = packed;
}

void TGIFSubImage::SaveToStream(TStream& stream) {
  FExtensions.SaveToStream(stream);
  if (Empty()) return;
  Prepare();
  stream.Write(&FImageDescriptor, sizeof FImageDescriptor);
  FColorMap.SaveToStream(stream);

  if (FGIFImage && FGIFImage->Compression() != gcLZW) throw GIFException(msg::RLENotSupported);
  if (Packed()) {
    stream.Write(FPacked.data(), FPacked.size());
    return;
  }
  int bitsPerPixel, maxColor;
  CodeSize(bitsPerPixel, maxColor);
  TLZWEncoder encoder;
  encoder.Compress(stream, bitsPerPixel, Width(), Height(), Interlaced(), FData.data(), maxColor);
}

void TGIFSubImage::CodeSize(int& bitsPerPixel, int& maxColor) const {
  if (FColorMap.Count() > 0) {
    bitsPerPixel = FColorMap.BitsPerPixel();
    maxColor = FColorMap.Count();
  } else {
    bitsPerPixel = FGIFImage ? FGIFImage->BitsPerPixel() : 0;
    maxColor = 1 << bitsPerPixel;
  }
}

void TGIFSubImage::Pack() {
  if (Packed() || FData.empty() || Width() == 0 || Height() == 0 || FColorMap.Count() == 0) return;
  if (FGIFImage && FGIFImage->Compression() != gcLZW) throw GIFException(msg::RLENotSupported);
  int bitsPerPixel, maxColor;
  CodeSize(bitsPerPixel, maxColor);
  TMemoryStream packed;
  TLZWEncoder encoder;
  encoder.Compress(packed, bitsPerPixel, Width(), Height(), Interlaced(), FData.data(), maxColor);
  FPacked = packed.TakeBytes();
  FPacked.shrink_to_fit();
  FData.clear();
  FData.shrink_to_fit();
}

}  // namespace gifimage
