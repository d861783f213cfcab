// Basic types of the GIF encoder: enumerations, colours and the fixed-size records that are
// written to the file byte for byte.
#pragma once

#include <cstdint>

namespace gifimage {

enum TGIFVersion : std::uint8_t { gvUnknown, gv87a, gv89a };

// How Add turns a direct-colour bitmap into an indexed frame.
enum TColorReduction : std::uint8_t {
  rmNone,
  rmWindows20,
  rmWindows256,
  rmWindowsGray,
  rmMonochrome,
  rmGrayScale,
  rmNetscape,
  rmQuantize,
  rmQuantizeWindows,
  rmPalette
};

enum TDitherMode : std::uint8_t {
  dmNearest,
  dmFloydSteinberg,
  dmStucki,
  dmSierra,
  dmJaJuNI,
  dmSteveArche,
  dmBurkes
};

enum TGIFCompression : std::uint8_t { gcLZW, gcRLE };

enum TDisposalMethod : std::uint8_t { dmNone, dmNoDisposal, dmBackground, dmPrevious };

enum TGIFSeverity : std::uint8_t { gsInfo, gsWarning, gsError };

// A packed colour value laid out 0x00BBGGRR.
using TColor = std::uint32_t;

// One colour table entry, stored and written red, green, blue.
struct TGIFColor {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
  friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};
static_assert(sizeof(TGIFColor) == 3);

inline TGIFColor Color2RGB(TColor color) {
  return {static_cast<std::uint8_t>(color & 0xFF), static_cast<std::uint8_t>((color >> 8) & 0xFF),
          static_cast<std::uint8_t>((color >> 16) & 0xFF)};
}

inline TColor RGB2Color(const TGIFColor& c) {
  return static_cast<TColor>(c.Red) | (static_cast<TColor>(c.Green) << 8) |
         (static_cast<TColor>(c.Blue) << 16);
}

// The records below are written to the stream as they are laid out in memory (little-endian
// machine, packed), exactly as the GIF format lays them out.
#pragma pack(push, 1)
struct TLogicalScreenDescriptor {
  std::uint16_t ScreenWidth = 0;
  std::uint16_t ScreenHeight = 0;
  std::uint8_t PackedFields = 0;
  std::uint8_t BackgroundColorIndex = 0;
  std::uint8_t AspectRatio = 0;
};

struct TImageDescriptor {
  std::uint8_t Separator = 0;
  std::uint16_t Left = 0;
  std::uint16_t Top = 0;
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint8_t PackedFields = 0;
};

struct TGIFGCERec {
  std::uint8_t BlockSize = 4;
  std::uint8_t PackedFields = 0;
  std::uint16_t DelayTime = 0;
  std::uint8_t TransparentColorIndex = 0;
  std::uint8_t Terminator = 0;
};

struct TGIFApplicationRec {
  char Identifier[8] = {};
  char Authentication[3] = {};
};

struct TGIFPlainTextExtensionRec {
  std::uint8_t BlockSize = 12;
  std::uint16_t Left = 0;
  std::uint16_t Top = 0;
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint8_t CellWidth = 0;
  std::uint8_t CellHeight = 0;
  std::uint8_t TextFGColorIndex = 0;
  std::uint8_t TextBGColorIndex = 0;
};
#pragma pack(pop)

static_assert(sizeof(TLogicalScreenDescriptor) == 7);
static_assert(sizeof(TImageDescriptor) == 10);
static_assert(sizeof(TGIFGCERec) == 6);
static_assert(sizeof(TGIFApplicationRec) == 11);
static_assert(sizeof(TGIFPlainTextExtensionRec) == 13);

// Block labels of the GIF format.
inline constexpr std::uint8_t bsImageSeparator = 0x2C;
inline constexpr std::uint8_t bsExtensionIntroducer = 0x21;
inline constexpr std::uint8_t bsTrailer = 0x3B;
inline constexpr std::uint8_t bsGraphicControlExtension = 0xF9;
inline constexpr std::uint8_t bsCommentExtension = 0xFE;
inline constexpr std::uint8_t bsApplicationExtension = 0xFF;
inline constexpr std::uint8_t bsPlainTextExtension = 0x01;

}  // namespace gifimage
