#include "GIFHeader.h"

#include "GIFException.h"
#include "GIFImage.h"

namespace gifimage {

void TGIFHeader::Clear() {
  FLogicalScreenDescriptor = TLogicalScreenDescriptor{};
  FColorMap.Clear();
}

void TGIFHeader::SetBackgroundColorIndex(int index) {
  if (FColorMap.Count() > 0 && (index < 0 || index >= FColorMap.Count())) {
    Warning(gsWarning, msg::InvalidColorIndex);
    index = 0;
  }
  FLogicalScreenDescriptor.BackgroundColorIndex = static_cast<std::uint8_t>(index);
}

// Without a global table the size bits still describe the largest local table (7 for
// 256-entry tables), and the colour resolution is the largest over all tables.
void TGIFHeader::Prepare() {
  const bool global = FColorMap.Count() > 0;
  std::uint8_t packed = 0;
  if (global) packed |= 0x80;
  if (global && FColorMap.Optimized()) packed |= 0x08;
  const int resolution = FGIFImage ? FGIFImage->ColorResolution() : ColorResolution();
  packed |= static_cast<std::uint8_t>((resolution & 0x07) << 4);
  const int size = global ? FColorMap.BitsPerPixel() - 1 : (FGIFImage ? FGIFImage->BitsPerPixel() : 0) - 1;
  packed |= static_cast<std::uint8_t>(size & 0x07);
  FLogicalScreenDescriptor.PackedFields = packed;
}

void TGIFHeader::SaveToStream(TStream& stream) {
  const TGIFVersion version = FGIFImage ? FGIFImage->Version() : gvUnknown;
  if (version == gvUnknown) throw GIFException(msg::UnsupportedVersion);
  Prepare();
  stream.Write(version == gv87a ? "GIF87a" : "GIF89a", 6);
  stream.Write(&FLogicalScreenDescriptor, sizeof FLogicalScreenDescriptor);
  if (FLogicalScreenDescriptor.PackedFields & 0x80) FColorMap.SaveToStream(stream);
}

}  // namespace gifimage
