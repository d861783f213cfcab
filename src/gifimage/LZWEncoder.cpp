#include "LZWEncoder.h"

#include <cstring>

#include "GIFException.h"

namespace gifimage {

namespace {

constexpr int MultiplicativeOrderOf2(int modulus) {
  int order = 1;
  for (long value = 2 % modulus; value != 1; value = value * 2 % modulus) ++order;
  return order;
}

}  // namespace

// A sequence from a slot other than 0 runs through the powers of 2 times that slot, a cycle
// of the order of 2; from slot 0 it first goes to 8008 and then around that cycle.
const int THashTable::kMaxProbes = MultiplicativeOrderOf2(THashTable::kSize) + 1;
static_assert(MultiplicativeOrderOf2(THashTable::kSize) == 4004);

void THashTable::Clear() { std::memset(HashTable.data(), 0xFF, sizeof HashTable); }

std::vector<int> InterlacedRowOrder(int height) {
  std::vector<int> rows;
  rows.reserve(static_cast<std::size_t>(height > 0 ? height : 0));
  static constexpr int kFirst[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kFirst[pass]; y < height; y += kStep[pass]) rows.push_back(y);
  return rows;
}

void TGIFEncoder::Compress(TStream& stream, int bitsPerPixel, int width, int height, bool interlace,
                           const std::uint8_t* data, int maxColor) {
  MaxColor = maxColor;
  BitsPerPixel = static_cast<std::uint8_t>(bitsPerPixel < 2 ? 2 : bitsPerPixel);
  Stream = &stream;
  Width = width;
  Height = height;
  Interlace = interlace;
  Data = data;
  stream.WriteByte(BitsPerPixel);

  InitialBitsPerCode = BitsPerCode = BitsPerPixel + 1;
  MaxCode = (1 << BitsPerCode) - 1;
  ClearCode = 1 << BitsPerPixel;
  EOFCode = ClearCode + 1;
  BaseCode = ClearCode + 2;
  OutputBucket = 0;
  OutputBits = 0;
  ClearFlag = false;

  TGIFWriter writer(stream);
  GIFStream = &writer;
  DoCompress();
  writer.Finish();
  GIFStream = nullptr;
  stream.WriteByte(0);
}

inline void TLZWEncoder::Output(int code) {
  if (OutputBits > 0) {
    OutputBucket = (OutputBucket & ((1u << OutputBits) - 1)) | (static_cast<std::uint32_t>(code) << OutputBits);
  } else {
    OutputBucket = static_cast<std::uint32_t>(code);
  }
  OutputBits += BitsPerCode;
  while (OutputBits >= 8) {
    GIFStream->WriteByte(static_cast<std::uint8_t>(OutputBucket & 0xFF));
    OutputBucket >>= 8;
    OutputBits -= 8;
  }
  if (code == EOFCode) {
    while (OutputBits > 0) {  // the last byte is padded with zero bits
      GIFStream->WriteByte(static_cast<std::uint8_t>(OutputBucket & 0xFF));
      OutputBucket >>= 8;
      OutputBits -= 8;
    }
  }
  // The width changes only after the code is written, so a code always goes out with the
  // width in force before the entry it creates is counted.
  if (FreeEntry > MaxCode || ClearFlag) {
    if (ClearFlag) {
      BitsPerCode = InitialBitsPerCode;
      MaxCode = (1 << BitsPerCode) - 1;
      ClearFlag = false;
    } else {
      ++BitsPerCode;
      MaxCode = BitsPerCode == 12 ? 4096 : (1 << BitsPerCode) - 1;
    }
  }
}

inline void TLZWEncoder::Clear() {
  ClearFlag = true;
  Output(ClearCode);
  HashTable->Clear();
  FreeEntry = ClearCode + 2;
}

// rows yields (pointer, count) runs of pixels in the order they are stored.
template <class TRows>
void TLZWEncoder::CompressRows(const TRows& rows) {
  bool first = true;
  rows([&](const std::uint8_t* p, const std::uint8_t* end) {
    if (first && p < end) {
      if (*p >= MaxColor) throw GIFException(msg::ColorNotInTable);
      Prefix = *p++;
      first = false;
    }
    for (; p < end; ++p) {
      const int c = *p;
      if (c >= MaxColor) throw GIFException(msg::ColorNotInTable);
      const auto key = (static_cast<std::uint32_t>(Prefix) << 8) | static_cast<std::uint32_t>(c);
      const int code = HashTable->Lookup(key);
      if (code >= 0) {
        Prefix = code;
        continue;
      }
      Output(Prefix);
      Prefix = c;
      // Code 4095 is never assigned. A probe sequence with no free slot counts as a full
      // table too; that can only happen with small tables, whose codes start low.
      if (FreeEntry >= 4095 || !HashTable->Insert(key, FreeEntry)) {
        Clear();
      } else {
        ++FreeEntry;
      }
    }
  });
  Output(Prefix);
}

void TLZWEncoder::DoCompress() {
  FreeEntry = 0;
  if (!Data || Width <= 0 || Height <= 0) {
    Output(EOFCode);  // no pixels: the end code alone, no clear code
    return;
  }
  THashTable table;
  HashTable = &table;
  Clear();
  if (!Interlace) {
    const std::uint8_t* begin = Data;
    const std::uint8_t* end = Data + static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
    CompressRows([&](auto&& run) { run(begin, end); });
  } else {
    const std::vector<int> order = InterlacedRowOrder(Height);
    CompressRows([&](auto&& run) {
      for (const int y : order) {
        const std::uint8_t* row = Data + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width);
        run(row, row + Width);
      }
    });
  }
  Output(EOFCode);
  HashTable = nullptr;
}

}  // namespace gifimage
