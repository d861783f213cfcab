// LZW compression of one frame's colour indices into GIF image data: the minimum code size
// byte, the codes packed least significant bit first into data sub-blocks, and 0x00.
#pragma once

#include <array>
#include <cstring>
#include <cstdint>
#include <vector>

#include "GIFWriter.h"
#include "GifStream.h"

namespace gifimage {

// The multiplicative order of 2 modulo an odd modulus.
constexpr int OrderOf2(int modulus) {
  int order = 1;
  for (long value = 2 % modulus; value != 1; value = value * 2 % modulus) ++order;
  return order;
}

// The string table: 8009 slots of key * 4096 + code, a key being prefix code * 256 + pixel.
// A slot whose upper 20 bits are all ones is empty.
class THashTable {
 public:
  static constexpr int kSize = 8009;
  // From slot i the probe goes to 2i mod 8009 (and from 0 to 8008), so a sequence from any
  // other slot runs through a cycle as long as the order of 2 modulo 8009, and one from slot 0
  // reaches that cycle after one step. After kMaxProbes probes every slot that a sequence can
  // reach was seen.
  static constexpr int kMaxProbes = OrderOf2(kSize) + 1;

  THashTable() { Clear(); }
  void Clear();
  // False when every slot of the key's probe sequence is taken: the table counts as full.
  bool Insert(std::uint32_t key, int code) {
    int slot = Hash(key);
    for (int probe = 0; probe < kMaxProbes; ++probe) {
      std::uint32_t& entry = HashTable[static_cast<std::size_t>(slot)];
      if (IsEmpty(entry)) {
        entry = (key << 12) | (static_cast<std::uint32_t>(code) & 0xFFF);
        return true;
      }
      slot = NextSlot(slot);
    }
    return false;
  }
  // The key's code, or -1 with freeSlot set to the first empty slot of the key's probe
  // sequence (the slot Insert would take), or -1 when the sequence has none.
  int Find(std::uint32_t key, int& freeSlot) const {
    int slot = Hash(key);
    for (int probe = 0; probe < kMaxProbes; ++probe) {
      const std::uint32_t entry = HashTable[static_cast<std::size_t>(slot)];
      if (IsEmpty(entry)) {
        freeSlot = slot;
        return -1;
      }
      if ((entry >> 12) == key) return static_cast<int>(entry & 0xFFF);
      slot = NextSlot(slot);
    }
    freeSlot = -1;
    return -1;
  }
  // Stores the key at a slot that Find reported free.
  void InsertAt(int slot, std::uint32_t key, int code) {
    HashTable[static_cast<std::size_t>(slot)] = (key << 12) | (static_cast<std::uint32_t>(code) & 0xFFF);
  }
  // The key's code, or -1.
  int Lookup(std::uint32_t key) const {
    int slot = Hash(key);
    for (int probe = 0; probe < kMaxProbes; ++probe) {
      const std::uint32_t entry = HashTable[static_cast<std::size_t>(slot)];
      if (IsEmpty(entry)) return -1;
      if ((entry >> 12) == key) return static_cast<int>(entry & 0xFFF);
      slot = NextSlot(slot);
    }
    return -1;
  }

  static int Hash(std::uint32_t key) { return static_cast<int>(((key >> 4) ^ key) % kSize); }
  static int NextSlot(int i) {
    const int d = i == 0 ? 1 : kSize - i;
    i -= d;
    return i < 0 ? i + kSize : i;
  }

 private:
  static bool IsEmpty(std::uint32_t entry) { return (entry >> 12) == 0xFFFFF; }
  std::array<std::uint32_t, kSize> HashTable;
};

// The same string table for tables of 7 or 8 bits per pixel, laid out for speed: 8192 slots,
// a multiplicative hash and linear probing. Its answers are those of THashTable as long as no
// probe sequence of THashTable fills up, which needs at least 4004 entries; from a minimum
// code size of 7 on, codes start at 130 and a table never holds more than 3965.
class TFastHashTable {
 public:
  TFastHashTable() { Clear(); }
  void Clear() { std::memset(FSlots.data(), 0xFF, sizeof FSlots); }
  int Find(std::uint32_t key, int& freeSlot) const {
    std::uint32_t slot = (key * 2654435761u) >> 19;
    for (;;) {
      const std::uint32_t entry = FSlots[slot];
      if (entry == kEmpty) {
        freeSlot = static_cast<int>(slot);
        return -1;
      }
      if ((entry >> 12) == key) return static_cast<int>(entry & 0xFFF);
      slot = (slot + 1) & (kSlots - 1);
    }
  }
  void InsertAt(int slot, std::uint32_t key, int code) {
    FSlots[static_cast<std::size_t>(slot)] = (key << 12) | (static_cast<std::uint32_t>(code) & 0xFFF);
  }

 private:
  static constexpr std::uint32_t kSlots = 8192;
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  std::array<std::uint32_t, kSlots> FSlots;
};

class TGIFEncoder {
 public:
  virtual ~TGIFEncoder() = default;
  // Writes the whole image data of one frame. Pixels must be below maxColor, else
  // "Color not in color table" is raised; the bytes written up to then stay in the stream.
  // bitsPerPixel below 2 is written as 2.
  void Compress(TStream& stream, int bitsPerPixel, int width, int height, bool interlace,
                const std::uint8_t* data, int maxColor);

 protected:
  virtual void DoCompress() = 0;

  int MaxColor = 0;
  std::uint8_t BitsPerPixel = 0;
  TStream* Stream = nullptr;
  int Width = 0, Height = 0;
  bool Interlace = false;
  const std::uint8_t* Data = nullptr;
  TGIFWriter* GIFStream = nullptr;
  std::uint32_t OutputBucket = 0;
  int OutputBits = 0;
  bool ClearFlag = false;
  int BitsPerCode = 0, InitialBitsPerCode = 0;
  int MaxCode = 0;
  int ClearCode = 0, EOFCode = 0, BaseCode = 0;
};

class TLZWEncoder final : public TGIFEncoder {
 public:
  // referenceTable: always use THashTable, also where the faster table gives the same codes
  // (for tests that compare the two).
  explicit TLZWEncoder(bool referenceTable = false) : FReferenceTable(referenceTable) {}

 protected:
  void DoCompress() override;

 private:
  void Output(int code);
  template <class TTable>
  void Clear(TTable& table);
  template <bool CheckColours, class TTable, class TRows>
  void CompressRows(TTable& table, const TRows& rows);

  int Prefix = 0;
  int FreeEntry = 0;
  bool FReferenceTable;
};

// Rows in the order the four interlace passes store them: every 8th row from 0, every 8th
// from 4, every 4th from 2, every 2nd from 1.
std::vector<int> InterlacedRowOrder(int height);

}  // namespace gifimage
