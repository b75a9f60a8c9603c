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

// A file this scope made: deleted when the scope ends, by the path it was
// made under, unless it was kept (put in place as the user's file).
class MadeFile {
 public:
  MadeFile() = default;
  ~MadeFile() { Remove(); }
  MadeFile(const MadeFile&) = delete;
  MadeFile& operator=(const MadeFile&) = delete;

  // The path of the file that now exists and is this scope's (at most 511 bytes).
  void Made(const char* path);
  void Keep() { path_[0] = '\0'; }
  const char* path() const { return path_; }

 private:
  // Read-only or held by a scanner for a moment, it is still removed.
  void Remove();

  char path_[kTextBufferSize] = {};
};

}  // namespace platform
}  // namespace tamarisk
