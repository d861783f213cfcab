#include "GIFExtension.h"

#include <algorithm>
#include <cstring>

#include "GIFApplicationExtension.h"
#include "GIFException.h"
#include "GIFGraphicControlExtension.h"
#include "GIFSubImage.h"

namespace gifimage {

// ---- TGIFExtension ----

TGIFExtension::TGIFExtension(TGIFSubImage* subImage)
    : TGIFItem(subImage ? subImage->Image() : nullptr), FSubImage(subImage) {}

void TGIFExtension::SaveToStream(TStream& stream) {
  const std::uint8_t head[2] = {bsExtensionIntroducer, ExtensionType()};
  stream.Write(head, 2);
  SaveBody(stream);
}

void TGIFExtension::SaveSubBlocks(TStream& stream, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  for (std::size_t done = 0; done < size;) {
    const std::size_t n = std::min<std::size_t>(255, size - done);
    stream.WriteByte(static_cast<std::uint8_t>(n));
    stream.Write(bytes + done, n);
    done += n;
  }
}

void TGIFExtension::SaveTextBlocks(TStream& stream, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) SaveSubBlocks(stream, line.data(), line.size());
  stream.WriteByte(0);
}

std::unique_ptr<TGIFExtension> TGIFCommentExtension::Clone(TGIFSubImage* subImage) const {
  auto copy = std::make_unique<TGIFCommentExtension>(subImage);
  copy->Text = Text;
  return copy;
}

std::unique_ptr<TGIFExtension> TGIFTextExtension::Clone(TGIFSubImage* subImage) const {
  auto copy = std::make_unique<TGIFTextExtension>(subImage);
  copy->FPlainTextExtension = FPlainTextExtension;
  copy->Text = Text;
  return copy;
}

void TGIFTextExtension::SaveBody(TStream& stream) {
  stream.Write(&FPlainTextExtension, sizeof FPlainTextExtension);
  SaveTextBlocks(stream, Text);
}

// ---- TGIFGraphicControlExtension ----

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* subImage)
    : TGIFExtension(subImage) {
  if (subImage && !subImage->GraphicControlExtension()) subImage->FGCE = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  if (FSubImage && FSubImage->FGCE == this) FSubImage->FGCE = nullptr;
}

std::unique_ptr<TGIFExtension> TGIFGraphicControlExtension::Clone(TGIFSubImage* subImage) const {
  auto copy = std::make_unique<TGIFGraphicControlExtension>(subImage);
  copy->FGCExtension = FGCExtension;
  if (subImage && Transparent()) subImage->FTransparent = true;
  return copy;
}

TDisposalMethod TGIFGraphicControlExtension::Disposal() const {
  return static_cast<TDisposalMethod>((FGCExtension.PackedFields >> 2) & 0x07);
}

void TGIFGraphicControlExtension::SetDisposal(TDisposalMethod value) {
  FGCExtension.PackedFields =
      static_cast<std::uint8_t>((FGCExtension.PackedFields & ~0x1C) | ((value & 0x07) << 2));
}

void TGIFGraphicControlExtension::SetUserInput(bool value) {
  FGCExtension.PackedFields =
      static_cast<std::uint8_t>(value ? FGCExtension.PackedFields | 0x02 : FGCExtension.PackedFields & ~0x02);
}

void TGIFGraphicControlExtension::SetTransparent(bool value) {
  FGCExtension.PackedFields =
      static_cast<std::uint8_t>(value ? FGCExtension.PackedFields | 0x01 : FGCExtension.PackedFields & ~0x01);
  if (FSubImage) FSubImage->FTransparent = value;
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int index) {
  if (FSubImage) {
    const TGIFColorMap& map = FSubImage->ActiveColorMap();
    if (map.Count() > 0 && (index < 0 || index >= map.Count())) {
      Warning(gsWarning, msg::InvalidColorIndex);
      index = 0;
    }
  }
  FGCExtension.TransparentColorIndex = static_cast<std::uint8_t>(index);
}

TColor TGIFGraphicControlExtension::TransparentColor() const {
  if (!FSubImage) throw GIFException(msg::ColorTableEmpty);
  return FSubImage->ActiveColorMap().Colors(FGCExtension.TransparentColorIndex);
}

void TGIFGraphicControlExtension::SetTransparentColor(TColor color) {
  if (!FSubImage) throw GIFException(msg::ColorTableEmpty);
  FGCExtension.TransparentColorIndex =
      static_cast<std::uint8_t>(FSubImage->ActiveColorMap().AddUnique(color));
}

void TGIFGraphicControlExtension::SaveBody(TStream& stream) {
  stream.Write(&FGCExtension, sizeof FGCExtension);
}

// ---- application extensions ----

namespace {
void CopyPadded(char* target, std::size_t size, const std::string& value) {
  std::memset(target, 0, size);
  std::memcpy(target, value.data(), std::min(size, value.size()));
}
}  // namespace

void TGIFApplicationExtension::SetIdentifier(const std::string& value) {
  CopyPadded(FIdent.Identifier, sizeof FIdent.Identifier, value);
}

void TGIFApplicationExtension::SetAuthentication(const std::string& value) {
  CopyPadded(FIdent.Authentication, sizeof FIdent.Authentication, value);
}

void TGIFApplicationExtension::SaveBody(TStream& stream) {
  stream.WriteByte(sizeof FIdent);
  stream.Write(&FIdent, sizeof FIdent);
  SaveData(stream);
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* subImage) : TGIFApplicationExtension(subImage) {
  SetIdentifier("NETSCAPE");
  SetAuthentication("2.0");
}

std::unique_ptr<TGIFExtension> TGIFAppExtNSLoop::Clone(TGIFSubImage* subImage) const {
  auto copy = std::make_unique<TGIFAppExtNSLoop>(subImage);
  copy->FLoops = FLoops;
  copy->FBufferSize = FBufferSize;
  return copy;
}

void TGIFAppExtNSLoop::SaveData(TStream& stream) {
  const std::uint8_t loops[4] = {3, 1, static_cast<std::uint8_t>(FLoops & 0xFF),
                                 static_cast<std::uint8_t>(FLoops >> 8)};
  stream.Write(loops, sizeof loops);
  if (FBufferSize != 0) {
    const std::uint8_t buffer[6] = {5, 2, static_cast<std::uint8_t>(FBufferSize & 0xFF),
                                    static_cast<std::uint8_t>((FBufferSize >> 8) & 0xFF),
                                    static_cast<std::uint8_t>((FBufferSize >> 16) & 0xFF),
                                    static_cast<std::uint8_t>(FBufferSize >> 24)};
    stream.Write(buffer, sizeof buffer);
  }
  stream.WriteByte(0);
}

std::unique_ptr<TGIFExtension> TGIFUnknownAppExtension::Clone(TGIFSubImage* subImage) const {
  auto copy = std::make_unique<TGIFUnknownAppExtension>(subImage);
  copy->FIdent = FIdent;
  copy->Blocks = Blocks;
  return copy;
}

void TGIFUnknownAppExtension::SaveData(TStream& stream) {
  for (const auto& block : Blocks) SaveSubBlocks(stream, block.data(), block.size());
  stream.WriteByte(0);
}

}  // namespace gifimage
