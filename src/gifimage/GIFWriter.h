// Cuts a byte stream into GIF data sub-blocks: a length byte (1..255) and that many bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "GifStream.h"

namespace gifimage {

class TGIFWriter {
 public:
  explicit TGIFWriter(TStream& stream) : FStream(stream) {}
  // Writes what is left as a last, shorter sub-block. When an error is already passing, a
  // failure of that write is dropped so that the first error reaches the caller.
  ~TGIFWriter() {
    if (FBufferCount == 1) return;
    try {
      Flush();
    } catch (...) {
    }
  }
  TGIFWriter(const TGIFWriter&) = delete;
  TGIFWriter& operator=(const TGIFWriter&) = delete;

  void WriteByte(std::uint8_t value) {
    FBuffer[FBufferCount++] = value;
    if (FBufferCount == sizeof FBuffer) Flush();
  }
  int Write(const void* buffer, int count) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    for (int done = 0; done < count;) {
      const int n = std::min<int>(count - done, static_cast<int>(sizeof FBuffer) - FBufferCount);
      std::memcpy(FBuffer + FBufferCount, bytes + done, static_cast<std::size_t>(n));
      FBufferCount += n;
      done += n;
      if (FBufferCount == sizeof FBuffer) Flush();
    }
    return count;
  }
  // Writes the pending sub-block now; may throw the stream's error.
  void Finish() {
    if (FBufferCount > 1) Flush();
  }

 private:
  void Flush() {
    FBuffer[0] = static_cast<std::uint8_t>(FBufferCount - 1);
    const int count = FBufferCount;
    FBufferCount = 1;
    FStream.Write(FBuffer, static_cast<std::size_t>(count));
  }

  TStream& FStream;
  std::uint8_t FBuffer[256];  // byte 0 is the length of the sub-block
  int FBufferCount = 1;  // bytes are pending while this is above 1
};

}  // namespace gifimage
