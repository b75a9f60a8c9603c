#include "base/text.h"

#include <cstring>

namespace tamarisk {

std::size_t CharLength(const char* text) {
  if (platform::IsLeadByte(static_cast<unsigned char>(text[0])) && text[1] != '\0') return 2;
  return 1;
}

bool FitText(const char* text, char* buffer, std::size_t capacity) {
  std::size_t length = 0;
  while (text[length] != '\0') {
    const std::size_t step = CharLength(text + length);
    if (length + step >= capacity) break;
    length += step;
  }
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return text[length] == '\0';
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsNetworkPath(const char* path) { return IsSeparator(path[0]) && IsSeparator(path[1]); }

// Walked by characters from the start, as everywhere in the module: a lead
// byte takes the next byte with it. (This replaces an older rule that judged
// each byte by the one before it alone, which mistook a trail byte in the
// lead range, as in 0x82 0x9F, for a lead and left the next letter capital.)
void LowercasePath(char* path) {
  for (char* p = path; *p != '\0'; p += CharLength(p)) {
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p + 0x20);
  }
}

}  // namespace tamarisk
