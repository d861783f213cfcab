// Fuzz target: frames built from the input go through the program's own frame steps
// (ConfigureAnimation, AddAnimationFrame) into a TGIFImage, which is written and decoded again
// by giflib. The decoded file must hold exactly the model: sizes, tables, indices,
// transparency, delays and looping. For rmNone, whose frames keep their exact colours, the
// decoded colours must also be the source's.
//
// Input layout (fields past the end read as zero):
//   frames (1..16), width, height (16-bit, 1..1000), flags, dither (0..3), delay (16-bit),
//   [reduction, dither mode, reduction bits]   when flags bit 6
//   [red, green, blue of the transparent colour] when flags bit 2
//   per frame: [width, height] when flags bit 5, a stride padding byte,
//   then the rest of the input, repeated, as the frame's pixels.
// flags: 0 grey scale, 1 loop, 2 transparent colour given, 3 32-bit pixels, 4 interlaced,
//   5 a size per frame, 6 reduction and dither mode chosen outside the program's two modes,
//   7 the transparent colour is frame 0's first pixel.
// Inputs beyond the bounds are refused before anything is allocated.
#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "AnimationFrames.h"
#include "FuzzInput.h"
#include "GifDecode.h"
#include "gifimage.h"

using namespace gifimage;
using fuzzsupport::Check;

namespace {

constexpr int kMaxFrames = 16;
constexpr int kMaxSide = 1000;

struct TSourceFrame {
  std::vector<std::uint8_t> Bits;  // rows of Stride bytes, the last row padded too
  int Width = 0, Height = 0;
  std::ptrdiff_t Stride = 0;
  TPixelFormat Format = TPixelFormat::pf24bit;

  TBitmap View() const { return TBitmap::View(Bits.data(), Width, Height, Stride, Format); }
  gifdecode::Color At(int x, int y) const {
    const std::uint8_t* p = Bits.data() + y * Stride + x * (Format == TPixelFormat::pf32bit ? 4 : 3);
    return {p[2], p[1], p[0]};
  }
};

std::vector<gifdecode::Color> Padded(const TGIFColorMap& map) {
  std::vector<gifdecode::Color> colors;
  if (map.Count() == 0) return colors;
  for (const TGIFColor& c : map.ExportPalette()) colors.push_back({c.Red, c.Green, c.Blue});
  colors.resize(std::size_t{1} << map.BitsPerPixel());
  return colors;
}

bool IsDocumentedRefusal(const GIFException& e, TColorReduction reduction) {
  const std::string message = e.what();
  return (reduction == rmNone && message == msg::ColorTableOverflow) ||
         (reduction == rmPalette && message == msg::NoPalette);
}

void CheckDecodedAgainstModel(const TGIFImage& image, const std::vector<TSourceFrame>& sources,
                              const gifenc::AnimationSettings& settings, const gifdecode::Gif& gif) {
  Check(gif.version == (image.Version() == gv89a ? "89a" : "87a"), "version");
  Check(gif.screenWidth == image.GetWidth() && gif.screenHeight == image.GetHeight(), "logical screen");
  Check(gif.globalColors == Padded(image.GlobalColorMap()), "global colour table");
  Check(gif.frames.size() == sources.size() &&
        static_cast<int>(gif.frames.size()) == image.Images().Count(), "frame count");

  for (std::size_t k = 0; k < gif.frames.size(); ++k) {
    const gifdecode::Frame& f = gif.frames[k];
    const TGIFSubImage& frame = *image.Images()[static_cast<int>(k)];
    const TSourceFrame& source = sources[k];
    Check(f.width == source.Width && f.height == source.Height, "frame size differs from the source");
    Check(f.left == frame.Left() && f.top == frame.Top() && f.width == frame.Width() &&
          f.height == frame.Height(), "frame bounds");
    Check(f.left + f.width <= gif.screenWidth && f.top + f.height <= gif.screenHeight,
          "frame outside the logical screen");
    Check(f.interlaced == frame.Interlaced(), "interlace flag");
    Check(f.localColors == Padded(frame.ColorMap()), "local colour table");
    Check(f.indices.size() == static_cast<std::size_t>(frame.DataSize()) &&
          std::memcmp(f.indices.data(), frame.Data(), f.indices.size()) == 0, "pixel indices");
    const int tableSize = frame.ActiveColorMap().Count();
    for (const std::uint8_t index : f.indices) Check(index < tableSize, "index beyond the colour table");

    const TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    Check(gce != nullptr && f.hasGraphicControl, "graphic control extension");
    Check(f.delay == settings.Delay && f.delay == gce->Delay(), "delay");
    Check(f.transparentIndex == (gce->Transparent() ? gce->TransparentColorIndex() : -1), "transparent index");
    Check(f.loops == (k == 0 && settings.Loop ? std::optional<int>(0) : std::nullopt), "loop block");

    const std::vector<gifdecode::Color>& table = f.localColors.empty() ? gif.globalColors : f.localColors;
    if (settings.Transparent) {
      const TGIFColor key = Color2RGB(*settings.Transparent);
      const gifdecode::Color wanted{key.Red, key.Green, key.Blue};
      if (f.transparentIndex >= 0) {
        Check(table.at(static_cast<std::size_t>(f.transparentIndex)) == wanted, "transparent entry has another colour");
      } else {
        // Opaque only because no pixel of the frame has the colour.
        for (const std::uint8_t index : f.indices) Check(!(table[index] == wanted), "used transparent colour left opaque");
      }
    } else {
      Check(f.transparentIndex < 0, "transparency without a transparent colour");
    }

    if (image.ColorReduction() == rmNone) {
      for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
          Check(table[f.indices[static_cast<std::size_t>(y) * f.width + x]] == source.At(x, y),
                "rmNone changed a colour");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzsupport::TFuzzInput in(data, size);
  const int frameCount = in.Byte();
  int width = in.Word(), height = in.Word();
  if (frameCount < 1 || frameCount > kMaxFrames) return 0;
  if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide) return 0;
  const std::uint8_t flags = in.Byte();

  gifenc::AnimationSettings settings;
  settings.Greyscale = in.Flag(flags, 0);
  settings.Loop = in.Flag(flags, 1);
  settings.Dither = in.Byte() % 4;
  settings.Delay = in.Word();
  TGIFImage image;
  gifenc::ConfigureAnimation(image, settings);
  if (in.Flag(flags, 6)) {
    image.SetColorReduction(static_cast<TColorReduction>(in.Byte() % (rmPalette + 1)));
    image.SetDitherMode(static_cast<TDitherMode>(in.Byte() % (dmBurkes + 1)));
    image.SetReductionBits(3 + in.Byte() % 6);
  }
  if (in.Flag(flags, 2)) {
    const std::uint8_t red = in.Byte(), green = in.Byte(), blue = in.Byte();
    settings.Transparent = RGB2Color({red, green, blue});
  }
  const TPixelFormat format = in.Flag(flags, 3) ? TPixelFormat::pf32bit : TPixelFormat::pf24bit;
  const int pixelBytes = format == TPixelFormat::pf32bit ? 4 : 3;

  std::vector<TSourceFrame> sources;
  for (int k = 0; k < frameCount; ++k) {
    if (in.Flag(flags, 5)) {
      width = in.Word();
      height = in.Word();
      if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide) return 0;
    }
    TSourceFrame source;
    source.Width = width;
    source.Height = height;
    source.Format = format;
    source.Stride = static_cast<std::ptrdiff_t>(width) * pixelBytes + in.Byte() % 4;
    source.Bits = in.Tiled(static_cast<std::size_t>(source.Stride) * static_cast<std::size_t>(height));
    sources.push_back(std::move(source));
  }
  if (in.Flag(flags, 7)) {
    const gifdecode::Color first = sources[0].At(0, 0);
    settings.Transparent = RGB2Color({first.r, first.g, first.b});
  }

  try {
    for (const TSourceFrame& source : sources) {
      const int index = gifenc::AddAnimationFrame(image, source.View(), settings);
      if (in.Flag(flags, 4)) image.Images()[index]->SetInterlaced(true);
    }
  } catch (const GIFException& e) {
    if (IsDocumentedRefusal(e, image.ColorReduction())) return 0;
    fuzzsupport::Fail(e.what());
  }

  TMemoryStream stream;
  image.SaveToStream(stream);
  gifdecode::Gif gif;
  try {
    gif = gifdecode::Decode(stream.Bytes());
  } catch (const std::exception& e) {
    fuzzsupport::Fail(e.what());
  }
  CheckDecodedAgainstModel(image, sources, settings, gif);
  return 0;
}
