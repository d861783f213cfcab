// Frames from a folder of binary PPM files, one image per file.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

#include "FrameReader.h"

namespace gifenc {

namespace {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool IsPpmName(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".ppm" || extension == ".pnm";
}

// Reads the P6 header up to and including the single whitespace byte after maxval; the file
// is then positioned at the first pixel. Comments (# to the end of the line) may stand
// between the fields.
class PpmHeader {
 public:
  int Width = 0, Height = 0;

  PpmHeader(std::FILE* file, const std::string& path) : FFile(file), FPath(path) {
    if (std::fgetc(file) != 'P' || std::fgetc(file) != '6') Fail("is not a binary PPM (P6) file");
    Width = Number("width");
    Height = Number("height");
    const int maxval = Number("maxval");
    if (maxval != 255) Fail("has maxval " + std::to_string(maxval) + "; only 255 is supported");
    if (Width < kMinFrameSide || Width > kMaxFrameSide || Height < kMinFrameSide || Height > kMaxFrameSide)
      Fail("has size " + std::to_string(Width) + "x" + std::to_string(Height) + ", outside 1..65535");
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw InputError("'" + FPath + "' " + what); }

  int Number(const char* field) {
    int c = std::fgetc(FFile);
    for (;;) {
      if (c == '#') {
        while (c != '\n' && c != EOF) c = std::fgetc(FFile);
      } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
        c = std::fgetc(FFile);
      } else {
        break;
      }
    }
    if (c < '0' || c > '9') Fail(std::string("has a broken header (no ") + field + ")");
    long value = 0;
    for (; c >= '0' && c <= '9'; c = std::fgetc(FFile)) {
      value = value * 10 + (c - '0');
      if (value > 1000000) Fail(std::string("has a broken header (") + field + " too large)");
    }
    // Exactly one whitespace byte ends each field; after maxval the pixels follow at once.
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f')
      Fail(std::string("has a broken header (after ") + field + ")");
    return static_cast<int>(value);
  }

  std::FILE* FFile;
  const std::string& FPath;
};

class PpmFolderReader final : public FrameReader {
 public:
  PpmFolderReader(const std::string& folder, std::optional<int> width, std::optional<int> height) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      if (it->is_regular_file(error) && IsPpmName(it->path())) FFiles.push_back(it->path().string());
    }
    if (error) throw InputError("cannot list '" + folder + "': " + error.message());
    if (FFiles.empty()) throw InputError("'" + folder + "' holds no .ppm files: no frames");
    std::sort(FFiles.begin(), FFiles.end());
    for (const std::optional<int>& side : {width, height}) {
      if (side && (*side < kMinFrameSide || *side > kMaxFrameSide))
        throw InputError("frame size " + std::to_string(*side) + " is outside 1..65535");
    }
    // The first file fixes the size the others must have.
    FilePtr first = Open(FFiles.front());
    const PpmHeader header(first.get(), FFiles.front());
    FWidth = header.Width;
    FHeight = header.Height;
    if ((width && *width != FWidth) || (height && *height != FHeight))
      throw InputError("'" + FFiles.front() + "' is " + Size(FWidth, FHeight) + ", not the " +
                       Size(width.value_or(FWidth), height.value_or(FHeight)) + " asked for");
  }

  bool Next(std::vector<std::uint8_t>& bgr) override {
    if (FNext >= FFiles.size()) return false;
    const std::string& path = FFiles[FNext++];
    FilePtr file = Open(path);
    const PpmHeader header(file.get(), path);
    if (header.Width != FWidth || header.Height != FHeight)
      throw InputError("'" + path + "' is " + Size(header.Width, header.Height) + " but '" + FFiles.front() +
                       "' is " + Size(FWidth, FHeight) + ": all frames must have one size");
    // Checked against the file's length before the pixels are allocated.
    const std::uint64_t bytes = FrameBytes(FWidth, FHeight);
    struct stat info {};
    const long position = std::ftell(file.get());
    if (::fstat(::fileno(file.get()), &info) != 0 || position < 0)
      throw InputError("cannot read '" + path + "': " + std::strerror(errno));
    const auto left = static_cast<std::uint64_t>(info.st_size) - static_cast<std::uint64_t>(position);
    if (left < bytes) throw InputError("'" + path + "' is truncated (" + std::to_string(left) + " of " +
                                       std::to_string(bytes) + " pixel bytes)");
    if (left > bytes) throw InputError("'" + path + "' has data after its image; one image per file is supported");
    bgr.resize(static_cast<std::size_t>(bytes));
    if (std::fread(bgr.data(), 1, bgr.size(), file.get()) != bgr.size())
      throw InputError("cannot read '" + path + "': " + std::strerror(errno));
    SwapRedBlue(bgr);
    return true;
  }

 private:
  static std::string Size(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

  static FilePtr Open(const std::string& path) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) throw InputError("cannot open '" + path + "': " + std::strerror(errno));
    return file;
  }

  std::vector<std::string> FFiles;
  std::size_t FNext = 0;
};

}  // namespace

std::unique_ptr<FrameReader> OpenPpmFolder(const std::string& folder, std::optional<int> width,
                                           std::optional<int> height) {
  return std::make_unique<PpmFolderReader>(folder, width, height);
}

}  // namespace gifenc
