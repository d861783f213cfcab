#include "GifDecode.h"

#include <gif_lib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace gifdecode {

namespace {

struct Reader {
  const std::vector<std::uint8_t>* bytes;
  std::size_t position = 0;
};

int ReadBytes(GifFileType* file, GifByteType* buffer, int count) {
  auto* reader = static_cast<Reader*>(file->UserData);
  const std::size_t left = reader->bytes->size() - reader->position;
  const std::size_t n = std::min<std::size_t>(left, static_cast<std::size_t>(count));
  std::memcpy(buffer, reader->bytes->data() + reader->position, n);
  reader->position += n;
  return static_cast<int>(n);
}

std::vector<Color> Colors(const ColorMapObject* map) {
  std::vector<Color> colors;
  if (!map) return colors;
  for (int i = 0; i < map->ColorCount; ++i)
    colors.push_back({map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
  return colors;
}

// giflib keeps an extension as a leading block with the label and continuation blocks.
std::vector<Extension> Extensions(const ExtensionBlock* blocks, int count) {
  std::vector<Extension> result;
  for (int i = 0; i < count; ++i) {
    const ExtensionBlock& b = blocks[i];
    std::vector<std::uint8_t> data(b.Bytes, b.Bytes + b.ByteCount);
    if (b.Function == CONTINUE_EXT_FUNC_CODE && !result.empty()) {
      result.back().blocks.push_back(std::move(data));
    } else {
      result.push_back({b.Function, {std::move(data)}});
    }
  }
  return result;
}

}  // namespace

Gif Decode(const std::vector<std::uint8_t>& bytes) {
  Reader reader{&bytes};
  int error = 0;
  GifFileType* file = DGifOpen(&reader, ReadBytes, &error);
  if (!file) throw std::runtime_error(std::string("DGifOpen: ") + GifErrorString(error));
  std::unique_ptr<GifFileType, void (*)(GifFileType*)> guard(file, [](GifFileType* f) {
    int e = 0;
    DGifCloseFile(f, &e);
  });
  if (DGifSlurp(file) != GIF_OK) throw std::runtime_error(std::string("DGifSlurp: ") + GifErrorString(file->Error));

  Gif gif;
  gif.version = std::string(bytes.begin() + 3, bytes.begin() + 6);
  gif.screenWidth = file->SWidth;
  gif.screenHeight = file->SHeight;
  gif.colorResolution = file->SColorResolution;
  gif.backgroundIndex = file->SBackGroundColor;
  gif.globalColors = Colors(file->SColorMap);
  for (int i = 0; i < file->ImageCount; ++i) {
    const SavedImage& image = file->SavedImages[i];
    Frame frame;
    frame.left = image.ImageDesc.Left;
    frame.top = image.ImageDesc.Top;
    frame.width = image.ImageDesc.Width;
    frame.height = image.ImageDesc.Height;
    frame.interlaced = image.ImageDesc.Interlace;
    frame.localColors = Colors(image.ImageDesc.ColorMap);
    const std::size_t size = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
    frame.indices.assign(image.RasterBits, image.RasterBits + size);
    // DGifSlurp already puts the rows of an interlaced image in top-to-bottom order.
    frame.extensions = Extensions(image.ExtensionBlocks, image.ExtensionBlockCount);
    for (const Extension& e : frame.extensions) {
      if (e.function == GRAPHICS_EXT_FUNC_CODE && !e.blocks.empty() && e.blocks[0].size() == 4) {
        const auto& d = e.blocks[0];
        frame.hasGraphicControl = true;
        frame.disposal = (d[0] >> 2) & 7;
        frame.userInput = (d[0] & 2) != 0;
        frame.delay = d[1] | (d[2] << 8);
        frame.transparentIndex = (d[0] & 1) ? d[3] : -1;
      }
      if (e.function == APPLICATION_EXT_FUNC_CODE && e.blocks.size() >= 2 && e.blocks[0].size() == 11 &&
          std::memcmp(e.blocks[0].data(), "NETSCAPE2.0", 11) == 0 && e.blocks[1].size() == 3 && e.blocks[1][0] == 1) {
        frame.loops = e.blocks[1][1] | (e.blocks[1][2] << 8);
      }
    }
    gif.frames.push_back(std::move(frame));
  }
  return gif;
}

Gif DecodeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Decode(bytes);
}

std::vector<std::vector<std::uint8_t>> Compose(const Gif& gif) {
  const std::size_t size = static_cast<std::size_t>(gif.screenWidth) * static_cast<std::size_t>(gif.screenHeight) * 3;
  std::vector<std::uint8_t> canvas(size, 0), previous;
  std::vector<std::vector<std::uint8_t>> result;
  for (const Frame& f : gif.frames) {
    previous = canvas;
    const std::vector<Color>& colors = f.localColors.empty() ? gif.globalColors : f.localColors;
    for (int y = 0; y < f.height; ++y) {
      for (int x = 0; x < f.width; ++x) {
        const int sx = f.left + x, sy = f.top + y;
        if (sx >= gif.screenWidth || sy >= gif.screenHeight) continue;
        const int index = f.indices[static_cast<std::size_t>(y) * f.width + x];
        if (index == f.transparentIndex) continue;
        const Color c = index < static_cast<int>(colors.size()) ? colors[static_cast<std::size_t>(index)] : Color{};
        std::uint8_t* p = &canvas[(static_cast<std::size_t>(sy) * gif.screenWidth + sx) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
      }
    }
    result.push_back(canvas);
    if (f.disposal == 2) {
      for (int y = f.top; y < f.top + f.height && y < gif.screenHeight; ++y)
        for (int x = f.left; x < f.left + f.width && x < gif.screenWidth; ++x)
          std::memset(&canvas[(static_cast<std::size_t>(y) * gif.screenWidth + x) * 3], 0, 3);
    } else if (f.disposal == 3) {
      canvas = previous;
    }
  }
  return result;
}

}  // namespace gifdecode
