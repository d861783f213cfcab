// Extension blocks attached to a frame, written before the frame's image data.
//
// An extension is created for a frame but not put into the frame's list by its constructor:
// the caller adds it with Extensions().Add, and from then on the list owns it. An extension
// must not outlive its frame.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "GIFItem.h"

namespace gifimage {

class TGIFSubImage;

class TGIFExtension : public TGIFItem {
 public:
  explicit TGIFExtension(TGIFSubImage* subImage);

  TGIFVersion Version() const override { return gv89a; }
  // The label byte that follows the extension introducer 0x21.
  virtual std::uint8_t ExtensionType() const = 0;
  // Writes 0x21, the label, then the body.
  void SaveToStream(TStream& stream) override;
  // A copy of this extension for another frame.
  virtual std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const = 0;

  TGIFSubImage* SubImage() const { return FSubImage; }

 protected:
  virtual void SaveBody(TStream& stream) = 0;
  // Writes each line as data sub-blocks of at most 255 bytes (an empty line writes nothing),
  // then the terminator 0x00.
  static void SaveTextBlocks(TStream& stream, const std::vector<std::string>& lines);
  // Writes size bytes as data sub-blocks of at most 255 bytes each (no terminator).
  static void SaveSubBlocks(TStream& stream, const void* data, std::size_t size);

  TGIFSubImage* FSubImage;  // not owned
};

// Comment text: 0x21 0xFE and the lines as sub-blocks, no line separators.
class TGIFCommentExtension final : public TGIFExtension {
 public:
  using TGIFExtension::TGIFExtension;
  std::uint8_t ExtensionType() const override { return bsCommentExtension; }
  std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;
  std::vector<std::string> Text;

 protected:
  void SaveBody(TStream& stream) override { SaveTextBlocks(stream, Text); }
};

// Plain text: 0x21 0x01, the 13-byte record, then the lines as for a comment.
class TGIFTextExtension final : public TGIFExtension {
 public:
  using TGIFExtension::TGIFExtension;
  std::uint8_t ExtensionType() const override { return bsPlainTextExtension; }
  std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;
  TGIFPlainTextExtensionRec FPlainTextExtension;
  std::vector<std::string> Text;

 protected:
  void SaveBody(TStream& stream) override;
};

}  // namespace gifimage
