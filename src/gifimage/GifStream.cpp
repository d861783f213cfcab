#include "GifStream.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace gifimage {

namespace {
constexpr std::size_t kFileBufferSize = 64 * 1024;
}

void TMemoryStream::Write(const void* buffer, std::size_t count) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  FBytes.insert(FBytes.end(), bytes, bytes + count);
}

TFileStream::TFileStream(const std::string& fileName) : FFileName(fileName) {
  // A new name beside the target; O_EXCL makes sure no other file is reused, and the mode
  // gives the usual permissions under the user's umask.
  static std::atomic<unsigned> counter{0};  // several threads may save at once
  for (int attempt = 0; attempt < 100; ++attempt) {
    FTempName = fileName + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    FFd = ::open(FTempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (FFd >= 0 || errno != EEXIST) break;
  }
  if (FFd < 0) {
    const int error = errno;
    FTempName.clear();
    throw EStreamError("Cannot create file \"" + fileName + "\". " + std::strerror(error));
  }
  FBuffer.reserve(kFileBufferSize);
}

TFileStream::~TFileStream() {
  if (FFd >= 0) ::close(FFd);
  if (!FTempName.empty()) ::unlink(FTempName.c_str());
}

void TFileStream::Write(const void* buffer, std::size_t count) {
  if (FFd < 0) throw EStreamError("Stream write error");
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  if (FBuffer.size() + count > kFileBufferSize) Flush();
  if (count >= kFileBufferSize) {
    FBuffer.assign(bytes, bytes + count);
    Flush();
    return;
  }
  FBuffer.insert(FBuffer.end(), bytes, bytes + count);
}

void TFileStream::Flush() {
  std::size_t done = 0;
  while (done < FBuffer.size()) {
    const ssize_t n = ::write(FFd, FBuffer.data() + done, FBuffer.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write file", errno);
    }
    done += static_cast<std::size_t>(n);
  }
  FBuffer.clear();
}

void TFileStream::Commit() {
  Flush();
  if (::fsync(FFd) != 0) Fail("Cannot write file", errno);
  const int fd = FFd;
  FFd = -1;
  if (::close(fd) != 0) Fail("Cannot write file", errno);
  if (::rename(FTempName.c_str(), FFileName.c_str()) != 0) Fail("Cannot replace file", errno);
  FTempName.clear();
}

void TFileStream::Fail(const std::string& what, int error) {
  throw EStreamError(what + " \"" + FFileName + "\". " + std::strerror(error));
}

}  // namespace gifimage
