// Reads a fuzzer's bytes as a sequence of small fields. Past the end every field reads as
// zero, so any input, however short, describes a complete case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fuzzsupport {

class TFuzzInput {
 public:
  TFuzzInput(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}

  std::uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }
  std::uint16_t Word() {
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | (Byte() << 8));
  }
  bool Flag(std::uint8_t flags, int bit) const { return ((flags >> bit) & 1) != 0; }

  // count bytes taken from the unread rest, repeated as often as needed (zeros when nothing
  // is left). Large frames thus cost a short input; the rest is not consumed.
  std::vector<std::uint8_t> Tiled(std::size_t count) const {
    std::vector<std::uint8_t> bytes(count);
    const std::size_t left = FSize - FPos;
    if (left == 0) return bytes;
    for (std::size_t i = 0; i < count; ++i) bytes[i] = FData[FPos + i % left];
    return bytes;
  }
  void Skip(std::size_t count) { FPos += count < FSize - FPos ? count : FSize - FPos; }

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FPos = 0;
};

// Ends the run so that libFuzzer reports the input: a mismatch between what was written and
// what was meant.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

}  // namespace fuzzsupport
