// Raw RGB24 frames read straight from a file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <utility>

#include "FrameReader.h"

namespace gifenc {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

class RawFrameReader final : public FrameReader {
 public:
  RawFrameReader(const std::string& path, int width, int height) : FPath(path) {
    if (width < kMinFrameSide || width > kMaxFrameSide || height < kMinFrameSide || height > kMaxFrameSide)
      throw InputError("frame size " + std::to_string(width) + "x" + std::to_string(height) +
                       " is outside 1..65535");
    FWidth = width;
    FHeight = height;
    FFrameBytes = FrameBytes(width, height);
    FFile.reset(std::fopen(path.c_str(), "rb"));
    if (!FFile) throw InputError("cannot open '" + path + "': " + std::strerror(errno));
    struct stat info {};
    if (::fstat(::fileno(FFile.get()), &info) == 0 && S_ISREG(info.st_mode)) {
      const auto size = static_cast<std::uint64_t>(info.st_size);
      if (size == 0) throw InputError("'" + path + "' is empty: no frames");
      if (size % FFrameBytes != 0)
        throw InputError("'" + path + "' has " + std::to_string(size) + " bytes, not a whole number of " +
                         std::to_string(width) + "x" + std::to_string(height) + " RGB24 frames (" +
                         std::to_string(FFrameBytes) + " bytes each)");
    }
  }

  bool Next(std::vector<std::uint8_t>& bgr) override {
    bgr.resize(static_cast<std::size_t>(FFrameBytes));
    const std::size_t got = std::fread(bgr.data(), 1, bgr.size(), FFile.get());
    if (std::ferror(FFile.get())) throw InputError("cannot read '" + FPath + "': " + std::strerror(errno));
    if (got == 0) return false;
    if (got != bgr.size())
      throw InputError("'" + FPath + "' ends in a partial frame (" + std::to_string(got) + " of " +
                       std::to_string(FFrameBytes) + " bytes)");
    SwapRedBlue(bgr);
    return true;
  }

 private:
  std::string FPath;
  std::uint64_t FFrameBytes = 0;
  std::unique_ptr<std::FILE, FileCloser> FFile;
};

}  // namespace

void SwapRedBlue(std::vector<std::uint8_t>& pixels) {
  for (std::size_t i = 0; i + 2 < pixels.size(); i += 3) std::swap(pixels[i], pixels[i + 2]);
}

std::unique_ptr<FrameReader> OpenRawFrames(const std::string& path, int width, int height) {
  return std::make_unique<RawFrameReader>(path, width, height);
}

}  // namespace gifenc
