// Base of every part of a GIF that can be saved.
#pragma once

#include <string>

#include "GifStream.h"
#include "GifTypes.h"

namespace gifimage {

class TGIFImage;

class TGIFItem {
 public:
  explicit TGIFItem(TGIFImage* image) : FGIFImage(image) {}
  virtual ~TGIFItem() = default;
  TGIFItem(const TGIFItem&) = delete;
  TGIFItem& operator=(const TGIFItem&) = delete;

  virtual TGIFVersion Version() const { return gv87a; }
  // Forwards to the owning image's Warning.
  virtual void Warning(TGIFSeverity severity, const std::string& message) const;
  virtual void SaveToStream(TStream& stream) = 0;
  // Creates (or replaces) the file with exactly what SaveToStream writes.
  virtual void SaveToFile(const std::string& fileName);

  TGIFImage* Image() const { return FGIFImage; }

 protected:
  TGIFImage* FGIFImage;  // not owned
};

}  // namespace gifimage
