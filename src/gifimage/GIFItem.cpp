#include "GIFItem.h"

#include "GIFImage.h"

namespace gifimage {

void TGIFItem::Warning(TGIFSeverity severity, const std::string& message) const {
  if (FGIFImage) FGIFImage->Warning(this, severity, message);
}

void TGIFItem::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName);
  SaveToStream(stream);
  stream.Commit();
}

}  // namespace gifimage
