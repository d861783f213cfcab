#include "GIFImage.h"

#include <algorithm>
#include <array>

#include "GIFException.h"
#include "GIFGraphicControlExtension.h"

namespace gifimage {

TGIFImage::TGIFImage() : FHeader(this), FImages(this) {}

TGIFImage::~TGIFImage() { FImages.Clear(); }

void TGIFImage::Clear() {
  FImages.Clear();
  FHeader.Clear();
  FHeader.Prepare();
}

int TGIFImage::Add(const TGraphic& source) {
  const auto* bitmap = dynamic_cast<const TBitmap*>(&source);
  if (!bitmap) throw GIFException(msg::ObjectTypeNotSupported);
  auto frame = std::make_unique<TGIFSubImage>(this);
  frame->Assign(*bitmap);  // on failure the new frame is freed and the list stays as it was
  return Add(std::move(frame));
}

int TGIFImage::Add(std::unique_ptr<TGIFSubImage> frame) {
  if (!frame) throw GIFException(msg::ObjectTypeNotSupported);
  return FImages.Add(std::move(frame));
}

void TGIFImage::SetWidth(int value) {
  for (int i = 0; i < FImages.Count(); ++i) {
    const TGIFSubImage* f = FImages[i];
    if (value < f->Left() + f->Width()) throw GIFException(msg::ImageWidthTooSmall);
  }
  if (value < 0 || value > 0xFFFF) throw GIFException(msg::FrameOutOfRange);
  FHeader.SetWidth(static_cast<std::uint16_t>(value));
}

void TGIFImage::SetHeight(int value) {
  for (int i = 0; i < FImages.Count(); ++i) {
    const TGIFSubImage* f = FImages[i];
    if (value < f->Top() + f->Height()) throw GIFException(msg::ImageHeightTooSmall);
  }
  if (value < 0 || value > 0xFFFF) throw GIFException(msg::FrameOutOfRange);
  FHeader.SetHeight(static_cast<std::uint16_t>(value));
}

TGIFVersion TGIFImage::Version() const {
  TGIFVersion version = gvUnknown;
  for (int i = 0; i < FImages.Count(); ++i) version = std::max(version, FImages[i]->Version());
  return version;
}

int TGIFImage::BitsPerPixel() const {
  int bits = FHeader.BitsPerPixel();
  for (int i = 0; i < FImages.Count(); ++i) bits = std::max(bits, FImages[i]->BitsPerPixel());
  return bits;
}

int TGIFImage::ColorResolution() const {
  int resolution = FHeader.ColorResolution();
  for (int i = 0; i < FImages.Count(); ++i) resolution = std::max(resolution, FImages[i]->ColorResolution());
  return resolution;
}

bool TGIFImage::IsTransparent() const {
  for (int i = 0; i < FImages.Count(); ++i) {
    const TGIFExtensionList& list = FImages[i]->Extensions();
    for (int k = 0; k < list.Count(); ++k) {
      const auto* gce = dynamic_cast<const TGIFGraphicControlExtension*>(list[k]);
      if (gce && gce->Transparent()) return true;
    }
  }
  return false;
}

void TGIFImage::SetReductionBits(int value) {
  if (value < 3 || value > 8) throw GIFException(msg::InvalidBitsPerPixel);
  FReductionBits = value;
}

void TGIFImage::Warning(const void* sender, TGIFSeverity severity, const std::string& message) const {
  if (OnWarning) OnWarning(sender, severity, message);
}

void TGIFImage::Progress(TProgressStage stage, int percent, const std::string& message) const {
  if (OnProgress) OnProgress(stage, percent, message);
}

void TGIFImage::SaveToStream(TStream& stream) {
  static const std::string kSaving = "Saving...";
  Progress(psStarting, 0, kSaving);
  try {
    if (FCompression != gcLZW) {
      for (int i = 0; i < FImages.Count(); ++i)
        if (!FImages[i]->Empty()) throw GIFException(msg::RLENotSupported);
    }
    FHeader.SaveToStream(stream);
    const int count = FImages.Count();
    for (int i = 0; i < count; ++i) {
      FImages[i]->SaveToStream(stream);
      Progress(psRunning, (i + 1) * 100 / count, kSaving);
    }
    TGIFTrailer(this).SaveToStream(stream);
  } catch (...) {
    Progress(psEnding, 0, kSaving);
    throw;
  }
  Progress(psEnding, 100, kSaving);
}

void TGIFImage::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName);
  SaveToStream(stream);
  stream.Commit();
}

int FindUsedColorIndex(const TGIFSubImage& frame, TColor color) {
  const TGIFColorMap& map = frame.ActiveColorMap();
  const TGIFColor wanted = Color2RGB(color);
  bool any = false;
  for (int c = 0; c < map.Count(); ++c) any = any || map.Data()[c] == wanted;
  // A packed frame has no pixels left to look at.
  if (!any || frame.Empty() || frame.DataSize() == 0) return -1;
  // One pass over the pixels tells which indices are used; the lowest used entry of the
  // colour is the one a scan entry by entry, pixel by pixel, would find first.
  std::array<bool, 256> used{};
  const std::uint8_t* p = frame.Data();
  for (int i = 0, n = frame.Width() * frame.Height(); i < n; ++i) used[p[i]] = true;
  for (int c = 0; c < map.Count(); ++c)
    if (used[static_cast<std::size_t>(c)] && map.Data()[c] == wanted) return c;
  return -1;
}

}  // namespace gifimage
