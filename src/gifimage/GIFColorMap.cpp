#include "GIFColorMap.h"

#include <cstring>

#include "GIFException.h"
#include "GIFImage.h"
#include "GIFSubImage.h"

namespace gifimage {

void TGIFColorMap::Grow(int needed) {
  if (needed <= FCapacity) return;
  FCapacity = needed <= 16 ? 16 : std::min(256, (needed + 31) / 32 * 32);
  FColorMap.reserve(static_cast<std::size_t>(FCapacity));
}

TColor TGIFColorMap::Colors(int index) const {
  if (index < 0 || index >= Count()) {
    Warning(gsWarning, msg::InvalidColorIndex);
    if (Count() == 0) throw GIFException(msg::ColorTableEmpty);
    index = 0;
  }
  return RGB2Color(FColorMap[static_cast<std::size_t>(index)]);
}

int TGIFColorMap::Add(TColor color) {
  if (Count() >= 256) throw GIFException(msg::ColorTableOverflow);
  Grow(Count() + 1);
  FColorMap.push_back(Color2RGB(color));
  FOptimized = false;
  Changed();
  return Count() - 1;
}

int TGIFColorMap::AddUnique(TColor color) {
  const int index = IndexOf(color);
  return index >= 0 ? index : Add(color);
}

int TGIFColorMap::IndexOf(TColor color) const {
  const TGIFColor wanted = Color2RGB(color);
  if (FOptimized) {
    for (int i = 0; i < Count(); ++i)
      if (FColorMap[static_cast<std::size_t>(i)] == wanted) return i;
  } else {
    for (int i = Count() - 1; i >= 0; --i)
      if (FColorMap[static_cast<std::size_t>(i)] == wanted) return i;
  }
  return -1;
}

void TGIFColorMap::Delete(int index) {
  if (index < 0 || index >= Count()) throw GIFException(msg::InvalidColorIndex);
  FColorMap.erase(FColorMap.begin() + index);
  FOptimized = false;
  Changed();
}

void TGIFColorMap::Clear() {
  FColorMap.clear();
  FColorMap.shrink_to_fit();
  FCapacity = 0;
  FOptimized = false;
  Changed();
}

void TGIFColorMap::ImportColorMap(const TGIFColor* map, int count) {
  count = std::max(0, std::min(count, 256));
  FColorMap.clear();
  Grow(count);
  FColorMap.assign(map, map + count);
  FOptimized = false;
  Changed();
}

void TGIFColorMap::ImportPalette(const std::vector<TGIFColor>& palette) {
  ImportColorMap(palette.data(), static_cast<int>(palette.size()));
}

void TGIFColorMap::ImportColorTable(const void* entries, int count) {
  count = std::max(0, std::min(count, 256));
  const auto* quad = static_cast<const std::uint8_t*>(entries);
  std::vector<TGIFColor> colors(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i, quad += 4) colors[static_cast<std::size_t>(i)] = {quad[2], quad[1], quad[0]};
  ImportColorMap(colors.data(), count);
}

std::vector<TGIFColor> TGIFColorMap::ExportPalette() const { return FColorMap; }

void TGIFColorMap::Assign(const TGIFColorMap& source) {
  ImportColorMap(source.Data(), source.Count());
  FOptimized = source.FOptimized;
}

int TGIFColorMap::BitsPerPixel() const {
  if (Count() == 0) return 0;
  int bits = 1;
  while ((1 << bits) < Count()) ++bits;
  return bits;
}

void TGIFColorMap::SaveToStream(TStream& stream) const {
  if (Count() == 0) return;
  stream.Write(FColorMap.data(), FColorMap.size() * sizeof(TGIFColor));
  static const std::uint8_t black[3] = {0, 0, 0};
  for (int i = Count(); i < (1 << BitsPerPixel()); ++i) stream.Write(black, 3);
}

void TGIFGlobalColorMap::Warning(TGIFSeverity severity, const std::string& message) const {
  if (FImage) FImage->Warning(FImage, severity, message);
}

void TGIFLocalColorMap::Warning(TGIFSeverity severity, const std::string& message) const {
  if (FSubImage && FSubImage->Image()) FSubImage->Image()->Warning(FSubImage, severity, message);
}

}  // namespace gifimage
