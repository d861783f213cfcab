// A whole GIF in memory: header, frames and the settings that decide how frames are built.
//
// Typical use: create, set ColorReduction and DitherMode, Add one bitmap per frame, add
// extensions to the frames, then SaveToStream or SaveToFile. Used from one thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Bitmap.h"
#include "GIFHeader.h"
#include "GIFSubImage.h"

namespace gifimage {

enum TProgressStage : std::uint8_t { psStarting, psRunning, psEnding };

// sender is the object that warns (the image, a frame, a table or an extension).
using TGIFWarning = std::function<void(const void* sender, TGIFSeverity severity, const std::string& message)>;
using TGIFProgress = std::function<void(TProgressStage stage, int percent, const std::string& message)>;

class TGIFImage final : public TGraphic {
 public:
  TGIFImage();
  ~TGIFImage() override;
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;

  // Frees all frames, empties the global table and sets the logical screen to 0 x 0.
  void Clear();
  // Appends a frame built from a bitmap and returns its index. Another kind of graphic
  // raises "Object type not supported for operation". A failing Add leaves the frame list as
  // it was.
  int Add(const TGraphic& source);
  // Adopts a ready frame, which must have been created for this image.
  int Add(std::unique_ptr<TGIFSubImage> frame);

  TGIFImageList& Images() { return FImages; }
  const TGIFImageList& Images() const { return FImages; }
  TGIFHeader& Header() { return FHeader; }
  const TGIFHeader& Header() const { return FHeader; }
  TGIFGlobalColorMap& GlobalColorMap() { return FHeader.ColorMap(); }
  const TGIFGlobalColorMap& GlobalColorMap() const { return FHeader.ColorMap(); }

  int GetWidth() const override { return FHeader.Width(); }
  int GetHeight() const override { return FHeader.Height(); }
  bool GetEmpty() const override { return FImages.Count() == 0; }
  bool Empty() const { return GetEmpty(); }
  // Refuse a size below the right (bottom) edge of a frame with "Image width too small for
  // contained frames" ("Image height ...").
  void SetWidth(int value);
  void SetHeight(int value);

  // The highest frame version; gvUnknown without frames.
  TGIFVersion Version() const;
  // Largest BitsPerPixel (ColorResolution) over the global table and all frames' tables.
  int BitsPerPixel() const;
  int ColorResolution() const;
  bool IsTransparent() const;

  TColorReduction ColorReduction() const { return FColorReduction; }
  void SetColorReduction(TColorReduction value) { FColorReduction = value; }
  int ReductionBits() const { return FReductionBits; }
  // 3..8, else "Invalid Bits Per Pixel value".
  void SetReductionBits(int value);
  TDitherMode DitherMode() const { return FDitherMode; }
  void SetDitherMode(TDitherMode value) { FDitherMode = value; }
  TGIFCompression Compression() const { return FCompression; }
  void SetCompression(TGIFCompression value) { FCompression = value; }
  // The graphic's own transparency flag: it affects drawing only, never the written file.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool value) { FTransparent = value; }

  TGIFWarning OnWarning;
  TGIFProgress OnProgress;
  void Warning(const void* sender, TGIFSeverity severity, const std::string& message) const;
  void Progress(TProgressStage stage, int percent, const std::string& message) const;

  // Writes the whole file; on failure the stream keeps what was written up to then.
  void SaveToStream(TStream& stream);
  // Replaces the file only when the whole image was written.
  void SaveToFile(const std::string& fileName);

 private:
  TGIFHeader FHeader;
  TGIFImageList FImages;
  TColorReduction FColorReduction = rmNetscape;
  int FReductionBits = 8;
  TDitherMode FDitherMode = dmNearest;
  TGIFCompression FCompression = gcLZW;
  bool FTransparent = false;
};

// The lowest index c of the frame's active table whose colour equals color and which some
// pixel uses, or -1. This is how the transparent index of a frame is found. It reads the
// pixels, so a packed frame gives -1: ask before packing.
int FindUsedColorIndex(const TGIFSubImage& frame, TColor color);

}  // namespace gifimage
