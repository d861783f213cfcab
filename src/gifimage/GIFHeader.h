// The header of a GIF: signature, logical screen descriptor and global colour table.
#pragma once

#include "GIFColorMap.h"
#include "GIFItem.h"

namespace gifimage {

class TGIFHeader final : public TGIFItem {
 public:
  explicit TGIFHeader(TGIFImage* image) : TGIFItem(image), FColorMap(image) {}

  // Raises "Unsupported GIF version" before writing anything when the image has no frames;
  // recomputes the packed fields, then writes "GIF87a"/"GIF89a", the descriptor and the
  // global table when it has entries.
  void SaveToStream(TStream& stream) override;
  // Zeroes the descriptor and empties the global table.
  void Clear();
  // Recomputes the descriptor's packed fields from the tables of the image.
  void Prepare();

  std::uint16_t Width() const { return FLogicalScreenDescriptor.ScreenWidth; }
  void SetWidth(std::uint16_t value) { FLogicalScreenDescriptor.ScreenWidth = value; }
  std::uint16_t Height() const { return FLogicalScreenDescriptor.ScreenHeight; }
  void SetHeight(std::uint16_t value) { FLogicalScreenDescriptor.ScreenHeight = value; }
  std::uint8_t BackgroundColorIndex() const { return FLogicalScreenDescriptor.BackgroundColorIndex; }
  // An index outside a non-empty global table warns "Invalid color index" and stores 0.
  void SetBackgroundColorIndex(int index);
  TColor BackgroundColor() const { return FColorMap.Colors(BackgroundColorIndex()); }
  std::uint8_t AspectRatio() const { return FLogicalScreenDescriptor.AspectRatio; }
  void SetAspectRatio(std::uint8_t value) { FLogicalScreenDescriptor.AspectRatio = value; }
  int BitsPerPixel() const { return FColorMap.BitsPerPixel(); }
  int ColorResolution() const { return FColorMap.BitsPerPixel() - 1; }

  TGIFGlobalColorMap& ColorMap() { return FColorMap; }
  const TGIFGlobalColorMap& ColorMap() const { return FColorMap; }
  const TLogicalScreenDescriptor& Descriptor() const { return FLogicalScreenDescriptor; }

 private:
  TLogicalScreenDescriptor FLogicalScreenDescriptor;
  TGIFGlobalColorMap FColorMap;
};

}  // namespace gifimage

namespace gifimage {

// The end marker 0x3B; exists only while an image is being saved.
class TGIFTrailer final : public TGIFItem {
 public:
  using TGIFItem::TGIFItem;
  void SaveToStream(TStream& stream) override { stream.WriteByte(bsTrailer); }
};

}  // namespace gifimage
