// Where a writer puts the bytes of the file it makes: a file of the
// platform, or memory in tests and fuzzers, so that the same writer serves
// both.
#pragma once

#include <cstddef>

namespace tamarisk {

class ByteSink {
 public:
  // Appends size bytes; false once any write has failed, after which
  // nothing more is written.
  virtual bool Write(const void* data, std::size_t size) = 0;
  // Ends the output: true when every byte is written and the file closed.
  virtual bool Finish() = 0;

 protected:
  // Never deleted through the interface: no virtual destructor, which would
  // bring the runtime's operator delete, and its exceptions, into the module.
  ~ByteSink() = default;
};

// What became of the file a writer was to fill.
enum class WriteOutcome {
  kWritten,       // complete
  kNotWritten,    // the file could not be opened or written whole
  kNotConverted,  // the member's media could not be turned into the file's format
};

}  // namespace tamarisk
