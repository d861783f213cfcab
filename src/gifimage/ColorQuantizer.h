// Octree colour quantizer: builds a palette of at most FMaxColors colours from the pixels.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Bitmap.h"
#include "GifTypes.h"

namespace gifimage {

class TColorQuantizer {
 public:
  // colorBits must be 8 or less ("ColorBits must be 8 or less").
  TColorQuantizer(int maxColors, int colorBits);

  // Adds every pixel of a 24- or 32-bit bitmap, rows from the top, pixels from the left,
  // merging nodes as soon as the tree holds more than FMaxColors leaves.
  bool ProcessImage(const TBitmap& source);
  // One pixel; what ProcessImage does for each.
  void AddPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

  // The leaf colours in tree order (children 0..7 depth first), as red, green, blue.
  std::vector<TGIFColor> GetColorTable() const;
  int LeafCount() const { return FLeafCount; }

 private:
  // Nodes live in a pool and refer to each other by index; kNone is a missing link.
  static constexpr std::int32_t kNone = -1;
  struct TOctreeNode {
    bool IsLeaf = false;
    // 64-bit sums: a single leaf of a very large frame would overflow 32 bits.
    std::int64_t PixelCount = 0;
    std::int64_t RedSum = 0, GreenSum = 0, BlueSum = 0;
    std::int32_t Next = kNone;  // next node in the same reducible list
    std::array<std::int32_t, 8> Child{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
  };

  std::int32_t NewNode(int level);
  void FreeNode(std::int32_t node);
  // False when nothing is left to merge (the root is a leaf).
  bool ReduceTree();
  void Walk(std::int32_t node, std::vector<TGIFColor>& table) const;

  // The node at kShortcutLevel for the top bits of a colour, or the leaf above that level
  // where their walk ends, valid while Epoch is FEpoch; it saves walking the upper levels for
  // every pixel and never changes where a pixel goes. A leaf never gets children, and one
  // above the shortcut level is only freed by a merge above it, which changes the epoch.
  static constexpr int kShortcutLevel = 4;
  struct TShortcut {
    std::int32_t Node = kNone;
    std::uint32_t Epoch = 0;
  };
  std::vector<TShortcut> FShortcuts;
  std::uint32_t FEpoch = 1;

  std::vector<TOctreeNode> FNodes;
  std::vector<std::int32_t> FFreeNodes;
  std::int32_t FTree = kNone;
  int FLeafCount = 0;
  std::array<std::int32_t, 8> FReducibleNodes{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
  int FMaxColors;
  int FColorBits;
};

}  // namespace gifimage
