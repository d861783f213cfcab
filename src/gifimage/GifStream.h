// Byte sinks the writer saves to. The writer only appends: nothing is read back and the
// stream is never repositioned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace gifimage {

// Raised by a stream that cannot take the bytes (disk full, access denied, ...). It passes
// through the encoder unchanged.
class EStreamError : public std::runtime_error {
 public:
  explicit EStreamError(const std::string& message) : std::runtime_error(message) {}
};

class TStream {
 public:
  virtual ~TStream() = default;
  // Appends count bytes or throws; a sink never accepts part of a buffer silently.
  virtual void Write(const void* buffer, std::size_t count) = 0;
  void WriteByte(std::uint8_t value) { Write(&value, 1); }
};

class TMemoryStream final : public TStream {
 public:
  void Write(const void* buffer, std::size_t count) override;
  const std::vector<std::uint8_t>& Bytes() const { return FBytes; }
  std::vector<std::uint8_t> TakeBytes() { return std::move(FBytes); }

 private:
  std::vector<std::uint8_t> FBytes;
};

// Writes a file through a temporary file beside it, which replaces the target only when
// Commit succeeds. A stream destroyed without Commit removes the temporary file, so a failed
// save never leaves a truncated file behind and never destroys the previous one.
class TFileStream final : public TStream {
 public:
  explicit TFileStream(const std::string& fileName);  // throws EStreamError
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  void Write(const void* buffer, std::size_t count) override;
  // Flushes, syncs and moves the file into place; throws EStreamError on any failure.
  void Commit();

 private:
  void Flush();
  [[noreturn]] void Fail(const std::string& what, int error);

  std::string FFileName;
  std::string FTempName;
  int FFd = -1;
  std::vector<std::uint8_t> FBuffer;
};

}  // namespace gifimage
