// The buffered output stream a media writer fills, closed on every path.
// It remembers whether every step succeeded, so that a writer can report a
// file that was not created or not fully written.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace tamarisk {

class OutputFile {
 public:
  explicit OutputFile(const char* path) : stream_(platform::OpenOutput(path)), ok_(stream_ != nullptr) {}
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(const void* data, std::size_t size) {
    if (ok_ && size != 0) ok_ = platform::WriteOutput(stream_, data, size);
  }
  void Flush() {
    if (ok_) ok_ = platform::FlushOutput(stream_);
  }
  // True when the file was created and everything written and closed.
  bool Close() {
    if (stream_ != nullptr) {
      const bool closed = platform::CloseOutput(stream_);
      stream_ = nullptr;
      ok_ = ok_ && closed;
    }
    return ok_;
  }

 private:
  platform::OutputStream* stream_;
  bool ok_;
};

}  // namespace tamarisk
