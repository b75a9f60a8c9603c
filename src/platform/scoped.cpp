#include "platform/scoped.h"

#include <cerrno>
#include <cstring>

#include "platform/retrying.h"

namespace tamarisk {
namespace platform {

int ReadingFile::Open(const char* path) {
  int error = 0;
  // The runtime reports a sharing violation as EACCES: a file just written
  // may be held by a scanner for a moment.
  Retrying([&] {
    handle_ = OpenForReading(path, &error);
    return handle_ == -1 && error == EACCES ? FileError::kInUse : FileError::kNone;
  });
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

void MadeFile::Remove() {
  if (path_[0] == '\0') return;
  constexpr uint32 kNormal = 0x80;  // FILE_ATTRIBUTE_NORMAL
  Retrying([&] {
    const FileError error = SetAttributes(path_, kNormal);
    return error == FileError::kNone ? DeleteFileNamed(path_) : error;
  });
  path_[0] = '\0';
}

}  // namespace platform
}  // namespace tamarisk
