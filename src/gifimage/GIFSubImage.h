// One frame of a GIF: image descriptor, local colour table, pixel indices and the extension
// blocks written before it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Bitmap.h"
#include "GIFColorMap.h"
#include "GIFExtension.h"
#include "GIFItem.h"
#include "GIFList.h"

namespace gifimage {

class TGIFGraphicControlExtension;
using TGIFExtensionList = TGIFList<TGIFExtension>;

struct TGIFRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class TGIFSubImage final : public TGIFItem {
 public:
  // An empty frame at 0,0 of size 0 x 0; not put into the image's list (TGIFImage::Add does).
  explicit TGIFSubImage(TGIFImage* image);
  ~TGIFSubImage() override;

  // Rebuilds the frame from a bitmap: indexed bitmaps keep their indices and table, others
  // are reduced with the image's ColorReduction, DitherMode and ReductionBits.
  void Assign(const TBitmap& bitmap);
  // Copies another frame: bounds, table, pixels (or packed data) and extensions.
  void Assign(const TGIFSubImage& source);
  // The same without the extensions: what a frame shows, to be given extensions of its own.
  void AssignPicture(const TGIFSubImage& source);
  // Frees extensions, table and pixels, and sets the size to 0 x 0.
  void Clear();

  // Compresses the pixels now and frees them: the frame keeps its LZW image data, which
  // SaveToStream writes as it is, so a frame costs its compressed size until it is saved.
  // Only a frame with a table of its own is packed (the code size of another depends on the
  // tables of the whole image when it is saved); any other keeps its pixels. Interlacing is
  // taken as it is set now. A packed frame's pixels cannot be read ("Image is empty"), and
  // FindUsedColorIndex finds nothing in it: take what needs the pixels first.
  void Pack();
  bool Packed() const { return !FPacked.empty(); }
  // The kept image data (minimum code size, sub-blocks, terminator); empty unless packed.
  const std::vector<std::uint8_t>& PackedData() const { return FPacked; }

  std::uint16_t Left() const { return FImageDescriptor.Left; }
  std::uint16_t Top() const { return FImageDescriptor.Top; }
  std::uint16_t Width() const { return FImageDescriptor.Width; }
  std::uint16_t Height() const { return FImageDescriptor.Height; }
  // Every bounds setter goes through SetBounds: values must lie in 0..65535
  // ("Frame size or position out of range (0..65535)"); a new size reallocates the pixels as
  // zeros; the image's logical screen grows to hold the frame, with warnings when it had a
  // size already.
  void SetLeft(int value) { SetBounds(value, Top(), Width(), Height()); }
  void SetTop(int value) { SetBounds(Left(), value, Width(), Height()); }
  void SetWidth(int value) { SetBounds(Left(), Top(), value, Height()); }
  void SetHeight(int value) { SetBounds(Left(), Top(), Width(), value); }
  void SetBounds(int left, int top, int width, int height);
  TGIFRect BoundsRect() const { return {Left(), Top(), Left() + Width(), Top() + Height()}; }
  void SetBoundsRect(const TGIFRect& r) { SetBounds(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top); }
  TGIFRect ClientRect() const { return {0, 0, Width(), Height()}; }

  bool Interlaced() const { return (FImageDescriptor.PackedFields & 0x40) != 0; }
  void SetInterlaced(bool value);

  TGIFLocalColorMap& ColorMap() { return FColorMap; }
  const TGIFLocalColorMap& ColorMap() const { return FColorMap; }
  // The local table when it has entries, else the global one when it has, else the local one.
  const TGIFColorMap& ActiveColorMap() const;
  TGIFColorMap& ActiveColorMap();

  // Height rows of Width indices each, no padding.
  const std::uint8_t* Data() const { return FData.data(); }
  std::uint8_t* Data() { return FData.data(); }
  int DataSize() const { return static_cast<int>(FData.size()); }
  bool Empty() const { return (FData.empty() && FPacked.empty()) || Width() == 0 || Height() == 0; }
  // Raise "Image is empty" without pixels and "Invalid pixel coordinates" outside the frame.
  std::uint8_t Pixels(int x, int y) const;
  void SetPixels(int x, int y, std::uint8_t index);
  std::uint8_t* Scanline(int y);
  const std::uint8_t* Scanline(int y) const;

  TGIFExtensionList& Extensions() { return FExtensions; }
  const TGIFExtensionList& Extensions() const { return FExtensions; }
  // The first graphic control extension created for this frame, if it still exists.
  TGIFGraphicControlExtension* GraphicControlExtension() const { return FGCE; }
  bool Transparent() const { return FTransparent; }

  // gv89a with a sorted table or any extension, else gv87a.
  TGIFVersion Version() const override;
  int BitsPerPixel() const { return FColorMap.BitsPerPixel(); }
  int ColorResolution() const { return FColorMap.BitsPerPixel() - 1; }
  const TImageDescriptor& Descriptor() const { return FImageDescriptor; }

  // Extensions, then (unless empty) descriptor, local table and LZW image data.
  void SaveToStream(TStream& stream) override;

 private:
  friend class TGIFGraphicControlExtension;
  void CheckPixel(int x, int y) const;
  void Prepare();  // recomputes the descriptor's packed fields
  void ImportIndexed(const TBitmap& bitmap);
  void ImportDirect(const TBitmap& bitmap);
  // SetBounds; allocatePixels false leaves the pixels alone (a copy brings its own).
  void PlaceFrame(int left, int top, int width, int height, bool allocatePixels);
  // Code size and table length the LZW data is written with.
  void CodeSize(int& bitsPerPixel, int& maxColor) const;

  std::vector<std::uint8_t> FData;
  std::vector<std::uint8_t> FPacked;
  TGIFLocalColorMap FColorMap;
  TImageDescriptor FImageDescriptor;
  TGIFExtensionList FExtensions;
  bool FTransparent = false;
  TGIFGraphicControlExtension* FGCE = nullptr;  // not owned
};

using TGIFImageList = TGIFList<TGIFSubImage>;

}  // namespace gifimage
