// Helpers shared by the encoder's model, writer and LZW tests: byte sinks that count or fail,
// builders for small indexed frames, and a reader of GIF blocks and LZW code streams that
// knows nothing of the encoder's own code.
#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "gifimage.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// 64-bit FNV-1a of a byte string.
inline std::uint64_t Fnv1a64(const Bytes& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const std::uint8_t b : bytes) {
    hash ^= b;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

inline Bytes SaveBytes(gifimage::TGIFImage& image) {
  gifimage::TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.TakeBytes();
}

inline Bytes SaveBytes(gifimage::TGIFItem& item) {
  gifimage::TMemoryStream stream;
  item.SaveToStream(stream);
  return stream.TakeBytes();
}

// Keeps what it is given, like a memory stream, and throws EStreamError on its failAt-th
// Write (counted from 1); 0 never fails. Writes counts every call, the failing one included.
class TFailingStream final : public gifimage::TStream {
 public:
  explicit TFailingStream(int failAt) : FFailAt(failAt) {}
  void Write(const void* buffer, std::size_t count) override {
    ++Writes;
    if (Writes == FFailAt) throw gifimage::EStreamError("disk full (injected)");
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    Kept.insert(Kept.end(), bytes, bytes + count);
  }
  int Writes = 0;
  Bytes Kept;

 private:
  int FFailAt;
};

// Entry i is {i, 255 - i, 7 i}: every entry differs from every other.
inline std::vector<gifimage::TGIFColor> DistinctPalette(int count) {
  std::vector<gifimage::TGIFColor> palette;
  for (int i = 0; i < count; ++i)
    palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                       static_cast<std::uint8_t>(i * 7)});
  return palette;
}

// count pseudo-random indices below limit, the same for the same seed.
inline Bytes PseudoRandomIndices(std::size_t count, int limit, std::uint32_t seed = 1) {
  Bytes indices(count);
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (auto& v : indices) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<std::uint8_t>((state >> 16) % static_cast<std::uint32_t>(limit));
  }
  return indices;
}

// An 8-bit indexed bitmap with the given table and row-major indices.
inline gifimage::TBitmap IndexedBitmap(int width, int height, const std::vector<gifimage::TGIFColor>& palette,
                                       const Bytes& indices) {
  gifimage::TBitmap bitmap(width, height, gifimage::TPixelFormat::pf8bit);
  bitmap.Palette = palette;
  for (int y = 0; y < height; ++y)
    std::copy_n(indices.begin() + static_cast<std::ptrdiff_t>(y) * width, width, bitmap.ScanLine(y));
  return bitmap;
}

// Adds an 8-bit indexed frame and returns it.
inline gifimage::TGIFSubImage* AddIndexedFrame(gifimage::TGIFImage& image, int width, int height,
                                               const std::vector<gifimage::TGIFColor>& palette,
                                               const Bytes& indices) {
  const int index = image.Add(IndexedBitmap(width, height, palette, indices));
  return image.Images()[index];
}

// Collects the warnings an image reports.
struct TWarningLog {
  std::vector<std::string> Messages;
  void Attach(gifimage::TGIFImage& image) {
    image.OnWarning = [this](const void*, gifimage::TGIFSeverity, const std::string& message) {
      Messages.push_back(message);
    };
  }
  int CountOf(const std::string& message) const {
    return static_cast<int>(std::count(Messages.begin(), Messages.end(), message));
  }
};

// ---- reading what was written ----

// Data sub-blocks from position pos up to and including the zero-length terminator.
struct TSubBlocks {
  std::vector<int> Sizes;  // lengths of the non-empty sub-blocks
  Bytes Data;              // their contents joined
  std::size_t End = 0;     // position after the terminator
  bool Terminated = false;
};

inline TSubBlocks ReadSubBlocks(const Bytes& bytes, std::size_t pos) {
  TSubBlocks blocks;
  while (pos < bytes.size()) {
    const int n = bytes[pos++];
    if (n == 0) {
      blocks.Terminated = true;
      break;
    }
    blocks.Sizes.push_back(n);
    const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(n), bytes.size() - pos);
    blocks.Data.insert(blocks.Data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                       bytes.begin() + static_cast<std::ptrdiff_t>(pos + take));
    pos += take;
  }
  blocks.End = pos;
  return blocks;
}

// The top-level blocks of a GIF file, in file order.
struct TBlock {
  enum Kind { Header, Extension, Image, Trailer } Type;
  std::size_t Offset = 0;
  std::size_t Size = 0;
  int Label = 0;                    // extension label
  std::size_t ImageDataOffset = 0;  // image: position of the minimum code size byte
};

// Throws std::runtime_error on anything it does not expect.
inline std::vector<TBlock> SplitBlocks(const Bytes& bytes) {
  std::vector<TBlock> blocks;
  auto need = [&](std::size_t end) {
    if (end > bytes.size()) throw std::runtime_error("GIF data ends early");
  };
  need(13);
  std::size_t pos = 13;
  if (bytes[10] & 0x80) pos += 3u << ((bytes[10] & 7) + 1);
  need(pos);
  blocks.push_back({TBlock::Header, 0, pos});
  for (;;) {
    need(pos + 1);
    const std::size_t start = pos;
    const std::uint8_t introducer = bytes[pos];
    if (introducer == 0x3B) {
      blocks.push_back({TBlock::Trailer, start, 1});
      if (pos + 1 != bytes.size()) throw std::runtime_error("bytes after the trailer");
      return blocks;
    }
    if (introducer == 0x21) {
      need(pos + 2);
      const TSubBlocks body = ReadSubBlocks(bytes, pos + 2);
      if (!body.Terminated) throw std::runtime_error("extension without terminator");
      blocks.push_back({TBlock::Extension, start, body.End - start, bytes[pos + 1]});
      pos = body.End;
    } else if (introducer == 0x2C) {
      need(pos + 10);
      pos += 10;
      if (bytes[start + 9] & 0x80) pos += 3u << ((bytes[start + 9] & 7) + 1);
      need(pos + 1);
      const std::size_t dataOffset = pos;
      const TSubBlocks data = ReadSubBlocks(bytes, pos + 1);
      if (!data.Terminated) throw std::runtime_error("image data without terminator");
      TBlock block{TBlock::Image, start, data.End - start};
      block.ImageDataOffset = dataOffset;
      blocks.push_back(block);
      pos = data.End;
    } else {
      throw std::runtime_error("unknown block 0x" + std::to_string(introducer));
    }
  }
}

inline std::string Kinds(const std::vector<TBlock>& blocks) {
  std::string kinds;
  for (const TBlock& b : blocks) {
    switch (b.Type) {
      case TBlock::Header: kinds += 'H'; break;
      case TBlock::Image: kinds += 'I'; break;
      case TBlock::Trailer: kinds += 'T'; break;
      case TBlock::Extension:
        kinds += b.Label == 0xF9 ? 'G' : b.Label == 0xFF ? 'A' : b.Label == 0xFE ? 'C' : 'X';
        break;
    }
  }
  return kinds;
}

// A plain GIF LZW decoder over the joined sub-block data of one frame. It follows the usual
// decoder rule for the code width: after a code, the width grows by one when the next free
// code no longer fits it, up to 12 bits.
struct TLZWCodes {
  std::vector<int> Codes;  // every code read, clear and end codes included
  Bytes Pixels;            // the indices in stored order
  std::string Error;       // empty for a valid code stream
};

inline TLZWCodes DecodeLZW(int minCodeSize, const Bytes& data) {
  TLZWCodes out;
  const int clear = 1 << minCodeSize, eof = clear + 1;
  int width = minCodeSize + 1, next = clear + 2, prev = -1;
  std::vector<int> prefix(4096, -1);
  Bytes suffix(4096), first(4096);
  for (int i = 0; i < clear; ++i) suffix[i] = first[i] = static_cast<std::uint8_t>(i);
  std::size_t bit = 0;
  Bytes string;
  auto append = [&](int code) {
    string.clear();
    for (int c = code; c >= 0; c = prefix[static_cast<std::size_t>(c)]) string.push_back(suffix[static_cast<std::size_t>(c)]);
    out.Pixels.insert(out.Pixels.end(), string.rbegin(), string.rend());
  };
  for (;;) {
    if (bit + static_cast<std::size_t>(width) > data.size() * 8) {
      out.Error = "no end code";
      break;
    }
    int code = 0;
    for (int b = 0; b < width; ++b, ++bit)
      if ((data[bit / 8] >> (bit % 8)) & 1) code |= 1 << b;
    out.Codes.push_back(code);
    if (code == clear) {
      width = minCodeSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == eof) break;
    if (prev < 0) {
      if (code >= clear) {
        out.Error = "first code after a clear is not a root";
        break;
      }
      append(code);
    } else {
      if (code > next) {
        out.Error = "code " + std::to_string(code) + " beyond the table (" + std::to_string(next) + ")";
        break;
      }
      const std::uint8_t head = code < next ? first[static_cast<std::size_t>(code)] : first[static_cast<std::size_t>(prev)];
      if (next < 4096) {
        prefix[static_cast<std::size_t>(next)] = prev;
        suffix[static_cast<std::size_t>(next)] = head;
        first[static_cast<std::size_t>(next)] = first[static_cast<std::size_t>(prev)];
        ++next;
      }
      append(code);
    }
    prev = code;
    if (next >= (1 << width) && width < 12) ++width;
  }
  return out;
}

// The number of data codes (neither clear nor end) between consecutive clear codes.
inline std::vector<int> SegmentLengths(const TLZWCodes& decoded, int minCodeSize) {
  const int clear = 1 << minCodeSize, eof = clear + 1;
  std::vector<int> lengths;
  for (const int code : decoded.Codes) {
    if (code == clear) {
      lengths.push_back(0);
    } else if (code != eof && !lengths.empty()) {
      ++lengths.back();
    }
  }
  return lengths;
}

inline std::uint16_t Le16(const Bytes& bytes, std::size_t pos) {
  return static_cast<std::uint16_t>(bytes[pos] | (bytes[pos + 1] << 8));
}

}  // namespace testsupport
