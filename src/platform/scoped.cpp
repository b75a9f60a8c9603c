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

FileError MadeFile::Create(const char* path) {
  Remove();
  const std::size_t length = strnlen(path, sizeof path_);
  if (length == sizeof path_) return FileError::kTooLong;  // never a path that was cut
  const FileError error = CreateTarget(path, file_.out());
  if (error != FileError::kNone) return error;
  std::memcpy(path_, path, length + 1);
  marked_ = MarkForDeletion(file_.get(), true);
  return FileError::kNone;
}

bool MadeFile::Unmark() {
  if (marked_ && MarkForDeletion(file_.get(), false)) marked_ = false;
  return !marked_;
}

void MadeFile::Keep() {
  file_.Reset();
  path_[0] = '\0';
}

void MadeFile::Remove() {
  if (path_[0] == '\0') return;
  if (file_.get() != nullptr && !marked_) marked_ = MarkForDeletion(file_.get(), true);
  file_.Reset();
  if (!marked_) {
    constexpr uint32 kNormal = 0x80;  // FILE_ATTRIBUTE_NORMAL
    Retrying([&] {
      // Only a read-only file needs it; the delete tells whether it was enough.
      SetAttributes(path_, kNormal);
      return DeleteFileNamed(path_);
    });
  }
  marked_ = false;
  path_[0] = '\0';
}

}  // namespace platform
}  // namespace tamarisk
