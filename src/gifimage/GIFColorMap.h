// Colour tables of the GIF model: the header's global table and each frame's local table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GifStream.h"
#include "GifTypes.h"

namespace gifimage {

class TGIFImage;

class TGIFColorMap {
 public:
  virtual ~TGIFColorMap() = default;

  // The entry's colour (0x00BBGGRR). An index outside the table warns "Invalid color index",
  // then raises "Color table is empty" for an empty table and otherwise returns entry 0.
  TColor Colors(int index) const;
  // Appends; raises "Color table overflow" when 256 entries are present.
  int Add(TColor color);
  int AddUnique(TColor color);
  // Exact match or -1; the lowest match when Optimized, else the highest.
  int IndexOf(TColor color) const;
  void Delete(int index);
  void Clear();

  // Replacing the whole table (at most 256 entries are taken).
  void ImportPalette(const std::vector<TGIFColor>& palette);
  // count entries of 4 bytes each, blue, green, red, unused.
  void ImportColorTable(const void* entries, int count);
  void ImportColorMap(const TGIFColor* map, int count);
  std::vector<TGIFColor> ExportPalette() const;
  void Assign(const TGIFColorMap& source);

  // 0 for an empty table, else the smallest n >= 1 with 2^n >= Count.
  int BitsPerPixel() const;
  int Count() const { return static_cast<int>(FColorMap.size()); }
  int Capacity() const { return FCapacity; }
  const TGIFColor* Data() const { return FColorMap.data(); }
  TGIFColor* Data() { return FColorMap.data(); }
  bool Optimized() const { return FOptimized; }
  void SetOptimized(bool value) { FOptimized = value; }

  // Writes Count entries and black padding up to 2^BitsPerPixel entries; nothing when empty.
  void SaveToStream(TStream& stream) const;

  virtual void Warning(TGIFSeverity severity, const std::string& message) const = 0;
  virtual void Changed() {}

 protected:
  void Grow(int needed);

  std::vector<TGIFColor> FColorMap;
  int FCapacity = 0;
  bool FOptimized = false;
};

// Table of an image's header; warnings go to the image.
class TGIFGlobalColorMap final : public TGIFColorMap {
 public:
  explicit TGIFGlobalColorMap(TGIFImage* image) : FImage(image) {}
  void Warning(TGIFSeverity severity, const std::string& message) const override;

 private:
  TGIFImage* FImage;
};

class TGIFSubImage;

// Table of one frame; warnings go to the frame's image.
class TGIFLocalColorMap final : public TGIFColorMap {
 public:
  explicit TGIFLocalColorMap(TGIFSubImage* subImage) : FSubImage(subImage) {}
  void Warning(TGIFSeverity severity, const std::string& message) const override;

 private:
  TGIFSubImage* FSubImage;
};

}  // namespace gifimage
