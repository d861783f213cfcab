#include "LZWEncoder.h"

#include <cstring>

#include "GIFException.h"

namespace gifimage {

static_assert(THashTable::kMaxProbes == 4005);

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
  // Pixels are bytes: a code size above 8 would only waste codes (and from 12 on leave none).
  if (bitsPerPixel > 8) throw GIFException(msg::InvalidBitsPerPixel);
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
  // Locals: the bytes written below could alias the members as far as the compiler knows.
  std::uint32_t bucket = OutputBucket;
  int bits = OutputBits;
  if (bits > 0) {
    bucket = (bucket & ((1u << bits) - 1)) | (static_cast<std::uint32_t>(code) << bits);
  } else {
    bucket = static_cast<std::uint32_t>(code);
  }
  bits += BitsPerCode;
  TGIFWriter& writer = *GIFStream;
  while (bits >= 8) {
    writer.WriteByte(static_cast<std::uint8_t>(bucket & 0xFF));
    bucket >>= 8;
    bits -= 8;
  }
  if (code == EOFCode) {
    while (bits > 0) {  // the last byte is padded with zero bits
      writer.WriteByte(static_cast<std::uint8_t>(bucket & 0xFF));
      bucket >>= 8;
      bits -= 8;
    }
  }
  OutputBucket = bucket;
  OutputBits = bits;
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

template <class TTable>
void TLZWEncoder::Clear(TTable& table) {
  ClearFlag = true;
  Output(ClearCode);
  table.Clear();
  FreeEntry = ClearCode + 2;
}

// rows yields (pointer, count) runs of pixels in the order they are stored.
template <bool CheckColours, class TTable, class TRows>
void TLZWEncoder::CompressRows(TTable& table, const TRows& rows) {
  // The string being matched and the next free code live in locals between codes; the
  // members are brought up to date before Output and Clear, which read them.
  Clear(table);  // the first code of every frame is a clear code
  const int maxColor = MaxColor;
  bool first = true;
  int prefix = 0;
  int freeEntry = FreeEntry;
  rows([&](const std::uint8_t* p, const std::uint8_t* end) {
    if (first && p < end) {
      if (CheckColours && *p >= maxColor) throw GIFException(msg::ColorNotInTable);
      prefix = *p++;
      first = false;
    }
    for (; p < end; ++p) {
      const int c = *p;
      if (CheckColours && c >= maxColor) throw GIFException(msg::ColorNotInTable);
      const auto key = (static_cast<std::uint32_t>(prefix) << 8) | static_cast<std::uint32_t>(c);
      int freeSlot;
      const int code = table.Find(key, freeSlot);
      if (code >= 0) {
        prefix = code;
        continue;
      }
      FreeEntry = freeEntry;
      Output(prefix);
      prefix = c;
      // Code 4095 is never assigned. A probe sequence with no free slot counts as a full
      // table too; that can only happen with small tables, whose codes start low.
      if (freeEntry >= 4095 || freeSlot < 0) {
        Clear(table);
        freeEntry = FreeEntry;
      } else {
        table.InsertAt(freeSlot, key, freeEntry);
        ++freeEntry;
      }
    }
  });
  FreeEntry = freeEntry;
  Prefix = prefix;
  Output(Prefix);
}

void TLZWEncoder::DoCompress() {
  FreeEntry = 0;
  if (!Data || Width <= 0 || Height <= 0) {
    Output(EOFCode);  // no pixels: the end code alone, no clear code
    return;
  }
  std::vector<int> order;
  if (Interlace) order = InterlacedRowOrder(Height);
  auto rows = [&](auto&& run) {
    if (!Interlace) {
      run(Data, Data + static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height));
      return;
    }
    for (const int y : order) {
      const std::uint8_t* row = Data + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width);
      run(row, row + Width);
    }
  };
  // With a full table every byte is a colour of it, and the per-pixel check can go.
  if (BitsPerPixel >= 7 && !FReferenceTable) {
    TFastHashTable table;
    if (MaxColor >= 256) {
      CompressRows<false>(table, rows);
    } else {
      CompressRows<true>(table, rows);
    }
  } else {
    THashTable table;
    CompressRows<true>(table, rows);
  }
  Output(EOFCode);
}

}  // namespace gifimage
