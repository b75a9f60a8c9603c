// A sink that keeps what a writer writes in memory, and can play a disk
// that fills up after a given number of bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dib/byte_sink.h"

namespace tamarisk {
namespace test {

class MemorySink : public ByteSink {
 public:
  bool Write(const void* data, std::size_t size) override {
    writes.push_back(size);
    if (failed) return false;
    const std::size_t taken = size < room - bytes.size() ? size : room - bytes.size();
    bytes.append(static_cast<const char*>(data), taken);
    failed = taken < size;
    return !failed;
  }
  bool Finish() override {
    ++finishes;
    return !failed;
  }

  std::string bytes;
  std::size_t room = static_cast<std::size_t>(-1);  // bytes it takes in all
  bool failed = false;
  std::vector<std::size_t> writes;  // the size of each write asked for
  int finishes = 0;
};

// The text with CR LF line ends, a byte at a time: the reference the
// module's fast writer is checked against.
inline void WriteTextWithCrLfByBytes(const char* text, ByteSink& sink) {
  for (const char* in = text; *in != '\0'; ++in) {
    if (*in == '\n' && in > text && in[-1] == '\r') continue;  // the end of a CR LF
    const bool lineEnd = *in == '\r' || *in == '\n';
    sink.Write(lineEnd ? "\r\n" : in, lineEnd ? 2 : 1);
  }
}

}  // namespace test
}  // namespace tamarisk
