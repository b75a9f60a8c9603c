#include "platform/scoped.h"

#include <cerrno>
#include <cstring>

namespace tamarisk {
namespace platform {

int ReadingFile::Open(const char* path) {
  int error = 0;
  handle_ = OpenForReading(path, &error);
  return handle_ == -1 ? (error != 0 ? error : ENOENT) : 0;
}

bool OutputFile::Close() {
  if (stream_ != nullptr) {
    const bool closed = CloseOutput(stream_);
    stream_ = nullptr;
    ok_ = ok_ && closed;
  }
  return ok_;
}

void MadeFile::Made(const char* path) {
  const std::size_t length = strnlen(path, sizeof path_);
  if (length == sizeof path_) return;  // never a path that was cut
  std::memcpy(path_, path, length + 1);
}

}  // namespace platform
}  // namespace tamarisk
