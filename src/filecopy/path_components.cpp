#include "filecopy/path_components.h"

#include <cstring>

#include "platform/platform.h"

namespace tamarisk {

namespace {

// Copies [begin, end) into a component, cut at a character boundary.
bool CopyRange(const char* begin, const char* end, char* out) {
  std::size_t length = 0;
  const std::size_t wanted = static_cast<std::size_t>(end - begin);
  while (length < wanted) {
    const std::size_t step = CharLength(begin + length);
    if (length + step > kComponentLimit) break;
    length += step;
  }
  std::memcpy(out, begin, length);
  out[length] = '\0';
  return length == wanted;
}

class Appender {
 public:
  Appender(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}
  void Append(const char* text, std::size_t length) {
    if (!fits_ || length >= capacity_ - used_) {
      fits_ = false;
      return;
    }
    std::memcpy(buffer_ + used_, text, length);
    used_ += length;
  }
  void Append(const char* text) { Append(text, std::strlen(text)); }
  bool Finish() {
    buffer_[fits_ ? used_ : 0] = '\0';
    return fits_;
  }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  bool fits_ = true;
};

}  // namespace

std::size_t CharLength(const char* text) {
  if (platform::IsLeadByte(static_cast<unsigned char>(text[0])) && text[1] != '\0') return 2;
  return 1;
}

bool CopyText(const char* text, char* buffer, std::size_t capacity) {
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

bool SplitPath(const char* path, PathComponents* out) {
  const char* start = path;
  bool whole = true;
  if (path[0] != '\0' && path[1] == ':') {
    whole &= CopyRange(path, path + 2, out->drive);
    start = path + 2;
  } else {
    out->drive[0] = '\0';
  }
  const char* afterSeparator = start;
  const char* lastDot = nullptr;
  const char* p = start;
  while (*p != '\0') {
    if (IsSeparator(*p)) {
      afterSeparator = p + 1;
      lastDot = nullptr;
    } else if (*p == '.') {
      lastDot = p;
    }
    p += CharLength(p);
  }
  const char* end = p;
  const char* extensionBegin = lastDot != nullptr ? lastDot : end;
  whole &= CopyRange(start, afterSeparator, out->directory);
  whole &= CopyRange(afterSeparator, extensionBegin, out->name);
  whole &= CopyRange(extensionBegin, end, out->extension);
  return whole;
}

bool JoinPath(const char* drive, const char* directory, const char* name, const char* extension,
              char* buffer, std::size_t capacity) {
  Appender out(buffer, capacity);
  if (drive[0] != '\0') {
    out.Append(drive, 1);
    out.Append(":", 1);
  }
  if (directory[0] != '\0') {
    out.Append(directory);
    char last = '\0';
    for (const char* p = directory; *p != '\0'; p += CharLength(p)) {
      last = CharLength(p) == 1 ? *p : '\0';
    }
    if (!IsSeparator(last)) out.Append("\\", 1);
  }
  out.Append(name);
  if (extension[0] != '\0') {
    if (extension[0] != '.') out.Append(".", 1);
    out.Append(extension);
  }
  return out.Finish();
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
