#include "ColorQuantizer.h"

#include "GIFException.h"

#include <array>

namespace gifimage {

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : FMaxColors(maxColors), FColorBits(colorBits) {
  if (colorBits > 8) throw GIFException(msg::ColorBitsTooLarge);
  FNodes.reserve(2048);
  FShortcuts.resize(std::size_t{1} << (3 * kShortcutLevel));
}

std::int32_t TColorQuantizer::NewNode(int level) {
  std::int32_t node;
  if (!FFreeNodes.empty()) {
    node = FFreeNodes.back();
    FFreeNodes.pop_back();
    FNodes[static_cast<std::size_t>(node)] = TOctreeNode{};
  } else {
    node = static_cast<std::int32_t>(FNodes.size());
    FNodes.emplace_back();
  }
  TOctreeNode& n = FNodes[static_cast<std::size_t>(node)];
  if (level == FColorBits) {
    n.IsLeaf = true;
    ++FLeafCount;
  } else {
    n.Next = FReducibleNodes[static_cast<std::size_t>(level)];
    FReducibleNodes[static_cast<std::size_t>(level)] = node;
  }
  return node;
}

void TColorQuantizer::FreeNode(std::int32_t node) {
  TOctreeNode& n = FNodes[static_cast<std::size_t>(node)];
  for (std::int32_t& child : n.Child) {
    if (child != kNone) {
      FreeNode(child);
      child = kNone;
    }
  }
  FFreeNodes.push_back(node);
}

namespace {

// Spreads the 8 bits of a component three places apart, so that the bits of red, green and
// blue interleave into one 24-bit code whose 3-bit groups, from the top, are the child indices
// of levels 0..7.
constexpr std::array<std::uint32_t, 256> MakeSpread() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t v = 0; v < 256; ++v)
    for (int bit = 0; bit < 8; ++bit) table[v] |= ((v >> bit) & 1u) << (3 * bit);
  return table;
}
constexpr std::array<std::uint32_t, 256> kSpread = MakeSpread();

}  // namespace

void TColorQuantizer::AddPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::uint32_t path = (kSpread[red] << 2) | (kSpread[green] << 1) | kSpread[blue];
  TShortcut& shortcut = FShortcuts[path >> (3 * (8 - kShortcutLevel))];
  std::int32_t node;
  int level;
  if (shortcut.Epoch == FEpoch) {
    node = shortcut.Node;
    level = kShortcutLevel;
  } else {
    if (FTree == kNone) FTree = NewNode(0);
    node = FTree;
    level = 0;
  }
  for (;; ++level) {
    TOctreeNode* n = &FNodes[static_cast<std::size_t>(node)];
    if (n->IsLeaf) {
      ++n->PixelCount;
      n->RedSum += red;
      n->GreenSum += green;
      n->BlueSum += blue;
      // A leaf above the shortcut level ends the walk of every colour of the shortcut's cube:
      // it stands in for the node there (the walk from it stops at once).
      if (level < kShortcutLevel) shortcut = {node, FEpoch};
      break;
    }
    const auto index = static_cast<std::size_t>((path >> (3 * (7 - level))) & 7);
    std::int32_t child = n->Child[index];
    if (child == kNone) {
      child = NewNode(level + 1);  // may move the pool: n is stale after this
      FNodes[static_cast<std::size_t>(node)].Child[index] = child;
    }
    node = child;
    if (level + 1 == kShortcutLevel) shortcut = {node, FEpoch};
  }
  while (FLeafCount > FMaxColors && ReduceTree()) {
  }
}

bool TColorQuantizer::ProcessImage(const TBitmap& source) {
  const int step = source.PixelFormat() == TPixelFormat::pf32bit ? 4 : 3;
  for (int y = 0; y < source.GetHeight(); ++y) {
    const std::uint8_t* p = source.ScanLine(y);
    for (int x = 0; x < source.GetWidth(); ++x, p += step) AddPixel(p[2], p[1], p[0]);
  }
  return true;
}

// Merges the newest reducible node of the deepest level that has one into a single leaf.
bool TColorQuantizer::ReduceTree() {
  int level = FColorBits - 1;
  while (level > 0 && FReducibleNodes[static_cast<std::size_t>(level)] == kNone) --level;
  const std::int32_t node = FReducibleNodes[static_cast<std::size_t>(level)];
  if (node == kNone) return false;  // only the root is left, already a leaf
  TOctreeNode& n = FNodes[static_cast<std::size_t>(node)];
  FReducibleNodes[static_cast<std::size_t>(level)] = n.Next;
  n.Next = kNone;
  // Freeing children at or above the shortcut level makes every shortcut doubtful.
  if (level < kShortcutLevel) ++FEpoch;

  int children = 0;
  for (std::int32_t& child : n.Child) {
    if (child == kNone) continue;
    const TOctreeNode& c = FNodes[static_cast<std::size_t>(child)];
    n.RedSum += c.RedSum;
    n.GreenSum += c.GreenSum;
    n.BlueSum += c.BlueSum;
    n.PixelCount += c.PixelCount;
    ++children;
    FreeNode(child);
    child = kNone;
  }
  n.IsLeaf = true;
  FLeafCount -= children - 1;
  return true;
}

void TColorQuantizer::Walk(std::int32_t node, std::vector<TGIFColor>& table) const {
  const TOctreeNode& n = FNodes[static_cast<std::size_t>(node)];
  if (n.IsLeaf) {
    if (n.PixelCount == 0) {
      table.push_back({0, 0, 0});
    } else {
      table.push_back({static_cast<std::uint8_t>(n.RedSum / n.PixelCount),
                       static_cast<std::uint8_t>(n.GreenSum / n.PixelCount),
                       static_cast<std::uint8_t>(n.BlueSum / n.PixelCount)});
    }
    return;
  }
  for (std::int32_t child : n.Child) {
    if (child != kNone) Walk(child, table);
  }
}

std::vector<TGIFColor> TColorQuantizer::GetColorTable() const {
  std::vector<TGIFColor> table;
  if (FTree != kNone) Walk(FTree, table);
  return table;
}

}  // namespace gifimage
