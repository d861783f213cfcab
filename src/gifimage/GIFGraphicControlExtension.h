// Delay, disposal and transparency of one frame: 0x21 0xF9 and a 6-byte record.
#pragma once

#include "GIFExtension.h"

namespace gifimage {

class TGIFGraphicControlExtension final : public TGIFExtension {
 public:
  // Becomes the frame's GraphicControlExtension when the frame has none yet.
  explicit TGIFGraphicControlExtension(TGIFSubImage* subImage);
  ~TGIFGraphicControlExtension() override;

  std::uint8_t ExtensionType() const override { return bsGraphicControlExtension; }
  std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;

  // Hundredths of a second.
  std::uint16_t Delay() const { return FGCExtension.DelayTime; }
  void SetDelay(std::uint16_t value) { FGCExtension.DelayTime = value; }
  TDisposalMethod Disposal() const;
  void SetDisposal(TDisposalMethod value);
  bool UserInput() const { return (FGCExtension.PackedFields & 0x02) != 0; }
  void SetUserInput(bool value);
  bool Transparent() const { return (FGCExtension.PackedFields & 0x01) != 0; }
  // Also sets the frame's Transparent.
  void SetTransparent(bool value);
  std::uint8_t TransparentColorIndex() const { return FGCExtension.TransparentColorIndex; }
  // An index not below the count of the frame's active table (when it has entries) warns
  // "Invalid color index" and stores 0.
  void SetTransparentColorIndex(int index);
  TColor TransparentColor() const;
  // Stores AddUnique of the colour in the frame's active table.
  void SetTransparentColor(TColor color);

  const TGIFGCERec& Record() const { return FGCExtension; }

 protected:
  void SaveBody(TStream& stream) override;

 private:
  TGIFGCERec FGCExtension;
};

}  // namespace gifimage
