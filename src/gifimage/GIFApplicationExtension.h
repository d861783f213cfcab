// Application extensions: 0x21 0xFF 0x0B, an 8-byte identifier and 3-byte authentication
// code, then the extension's data sub-blocks.
#pragma once

#include <string>
#include <vector>

#include "GIFExtension.h"

namespace gifimage {

class TGIFApplicationExtension : public TGIFExtension {
 public:
  explicit TGIFApplicationExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}
  std::uint8_t ExtensionType() const override { return bsApplicationExtension; }

  std::string Identifier() const { return std::string(FIdent.Identifier, sizeof FIdent.Identifier); }
  // Takes at most 8 characters, zero-padded.
  void SetIdentifier(const std::string& value);
  std::string Authentication() const {
    return std::string(FIdent.Authentication, sizeof FIdent.Authentication);
  }
  // Takes at most 3 characters, zero-padded.
  void SetAuthentication(const std::string& value);

 protected:
  void SaveBody(TStream& stream) override;
  // The data sub-blocks after the identifier, with their terminator.
  virtual void SaveData(TStream& stream) = 0;

  TGIFApplicationRec FIdent;
};

// "NETSCAPE" "2.0": how often the animation repeats.
class TGIFAppExtNSLoop final : public TGIFApplicationExtension {
 public:
  explicit TGIFAppExtNSLoop(TGIFSubImage* subImage);
  std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;

  // Repetitions; 0 repeats without end.
  std::uint16_t Loops() const { return FLoops; }
  void SetLoops(std::uint16_t value) { FLoops = value; }
  std::uint32_t BufferSize() const { return FBufferSize; }
  void SetBufferSize(std::uint32_t value) { FBufferSize = value; }

 protected:
  void SaveData(TStream& stream) override;

 private:
  std::uint16_t FLoops = 0;
  std::uint32_t FBufferSize = 0;
};

// Any other application extension, held as its raw data blocks (each 1..255 bytes).
class TGIFUnknownAppExtension final : public TGIFApplicationExtension {
 public:
  using TGIFApplicationExtension::TGIFApplicationExtension;
  std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;
  std::vector<std::vector<std::uint8_t>> Blocks;

 protected:
  // Blocks longer than 255 bytes are cut into sub-blocks; empty ones write nothing.
  void SaveData(TStream& stream) override;
};

}  // namespace gifimage
