// Texts in the ANSI code page (CP932 on the target): the size of every text
// buffer of the module and of a path's components, and the walk by
// characters. A double-byte character's trail byte may be a backslash
// (0x5C), so a text is never walked a byte at a time.
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

// A UTF-16 code unit, the platform's wide text.
#ifdef _WIN32
using WideChar = wchar_t;
#else
using WideChar = char16_t;
#endif

namespace platform {
// IsDBCSLeadByte: a lead byte of a double-byte character in the ANSI code
// page. The platform's binding defines it (the native build: the doubles').
bool IsLeadByte(unsigned char byte);
}  // namespace platform

// The byte length of the character at text (1 or 2), never past the NUL.
std::size_t CharLength(const char* text);

// Puts text into buffer, cut at a character boundary to fit; returns false
// when it was cut.
bool FitText(const char* text, char* buffer, std::size_t capacity);

// ASCII capitals to lower case; the bytes of a double-byte character stay.
void LowercasePath(char* path);

// A backslash or a slash.
bool IsSeparator(char c);
// A path that begins with two separators names a network share.
bool IsNetworkPath(const char* path);

}  // namespace tamarisk
