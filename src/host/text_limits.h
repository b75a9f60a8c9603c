// The size of every text buffer of the module and of a path's components.
#pragma once

#include <cstddef>

namespace tamarisk {

constexpr int kTextBufferSize = 512;  // 511 bytes of text and a NUL
constexpr int kTextLimit = kTextBufferSize - 1;
constexpr int kComponentLimit = 255;  // drive, directory, name, extension

// A text of at most 511 bytes and its NUL: every Lingo argument, property
// text and path the module holds, as a type rather than a buffer whose
// size only a comment gives.
class TextBuffer {
 public:
  static constexpr std::size_t kCapacity = kTextBufferSize;

  char* data() { return bytes_; }
  const char* c_str() const { return bytes_; }
  bool empty() const { return bytes_[0] == '\0'; }
  void Clear() { bytes_[0] = '\0'; }

 private:
  char bytes_[kCapacity] = {};
};

// A path is held the same way.
using Path = TextBuffer;

}  // namespace tamarisk
