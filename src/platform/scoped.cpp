#include "platform/scoped.h"

#include <cstring>

#include "platform/retrying.h"

namespace tamarisk {
namespace platform {

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

void MadeFile::Remove() {
  if (path_[0] == '\0') return;
  constexpr uint32 kNormal = 0x80;  // FILE_ATTRIBUTE_NORMAL
  Retrying([&] {
    // Only a read-only file needs it; the delete tells whether it was enough.
    SetAttributes(path_, kNormal);
    return DeleteFileNamed(path_);
  });
  path_[0] = '\0';
}

}  // namespace platform
}  // namespace tamarisk
