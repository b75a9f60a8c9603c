// The platform's resources as scopes: each is released by its destructor, so
// no path closes a file, unlocks a block or re-enables a window by hand.
#pragma once

#include <cstddef>

#include "base/text.h"
#include "platform/platform.h"

namespace tamarisk {
namespace platform {

// A platform handle, closed when the holder goes: the one place below the
// seam's callers where a handle is given back.
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(Handle handle) : handle_(handle) {}
  ~OwnedHandle() { Reset(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  Handle get() const { return handle_; }
  Handle* out() {  // for a call that opens one
    Reset();
    return &handle_;
  }
  Handle Release() {  // handed to another owner
    const Handle handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void Reset() {
    if (handle_ != nullptr) CloseHandleOf(handle_);
    handle_ = nullptr;
  }

 private:
  Handle handle_ = nullptr;
};

// A movable global memory block, locked while the holder lives.
class GlobalLock {
 public:
  explicit GlobalLock(HostHandle block)
      : block_(block), bytes_(static_cast<uint8*>(LockGlobal(block))) {}
  ~GlobalLock() {
    if (bytes_ != nullptr) UnlockGlobal(block_);
  }
  GlobalLock(const GlobalLock&) = delete;
  GlobalLock& operator=(const GlobalLock&) = delete;
  uint8* bytes() const { return bytes_; }

 private:
  HostHandle block_;
  uint8* bytes_;
};

// The buffered output stream a media writer fills, closed on every path. It
// remembers whether every step succeeded, so that a writer can report a file
// that was not created or not fully written.
class OutputFile {
 public:
  explicit OutputFile(const char* path) : stream_(OpenOutput(path)), ok_(stream_ != nullptr) {}
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool opened() const { return stream_ != nullptr; }
  // False once any step has failed.
  bool Write(const void* data, std::size_t size) {
    if (ok_ && size != 0) ok_ = WriteOutput(stream_, data, size);
    return ok_;
  }
  // True when the file was created and everything written and closed.
  bool Close();

 private:
  OutputStream* stream_;
  bool ok_;
};

// A file for _lwrite, created or truncated; closed on every path.
class LowLevelFile {
 public:
  explicit LowLevelFile(const char* path) { CreateForWriting(path, &file_); }
  ~LowLevelFile() {
    if (file_ != -1) CloseFile(file_);
  }
  LowLevelFile(const LowLevelFile&) = delete;
  LowLevelFile& operator=(const LowLevelFile&) = delete;
  int get() const { return file_; }

 private:
  int file_ = -1;
};

// A window that takes no input while the holder lives; one that was
// disabled already stays so.
class DisabledWindow {
 public:
  explicit DisabledWindow(WindowHandle window)
      : window_(window != nullptr && WindowEnabled(window) ? window : nullptr) {
    if (window_ != nullptr) EnableWindowInput(window_, false);
  }
  ~DisabledWindow() {
    if (window_ != nullptr) EnableWindowInput(window_, true);
  }
  DisabledWindow(const DisabledWindow&) = delete;
  DisabledWindow& operator=(const DisabledWindow&) = delete;

 private:
  WindowHandle window_;
};

// A file this scope made: removed when the scope ends unless it was kept
// (put in place as the user's file). It stays marked for deletion until it
// is whole, so that neither a failure nor a process that
// ends leaves it, and is removed through its own handle, which a folder that
// lets no one delete by name allows; by name only where the drive takes no
// mark.
class MadeFile {
 public:
  MadeFile() = default;
  ~MadeFile() { Remove(); }
  MadeFile(const MadeFile&) = delete;
  MadeFile& operator=(const MadeFile&) = delete;

  // Creates path new (CreateTarget) and marks it.
  FileError Create(const char* path);
  // The file is whole and stays when closed: false when the mark stays.
  bool Unmark();
  // It is the user's now: closed, never removed.
  void Keep();
  const char* path() const { return path_; }
  Handle handle() const { return file_.get(); }

 private:
  void Remove();

  OwnedHandle file_;
  bool marked_ = false;
  char path_[kTextBufferSize] = {};
};

}  // namespace platform
}  // namespace tamarisk
