// The sinks that write a file of the platform: through the runtime's
// buffered stream, or in _lwrite pieces of at most 32767 bytes, as the
// bitmap file has always been written.
#pragma once

#include "dib/byte_sink.h"
#include "platform/scoped.h"

namespace tamarisk {

class StreamFileSink : public ByteSink {
 public:
  explicit StreamFileSink(const char* path) : file_(path) {}
  bool opened() const { return file_.opened(); }
  bool Write(const void* data, std::size_t size) override;
  bool Finish() override { return file_.Close(); }

 private:
  platform::OutputFile file_;
};

class PiecewiseFileSink : public ByteSink {
 public:
  static constexpr uint32 kPieceSize = 32767;

  explicit PiecewiseFileSink(const char* path) : file_(path), ok_(file_.get() != -1) {}
  bool opened() const { return file_.get() != -1; }
  bool Write(const void* data, std::size_t size) override;
  bool Finish() override { return ok_; }

 private:
  platform::LowLevelFile file_;
  bool ok_;
};

}  // namespace tamarisk
