#include "base/path.h"

#include <cstring>


namespace tamarisk {

namespace {

// Puts [begin, end) into a component, cut at a character boundary.
bool FitRange(const char* begin, const char* end, char* out) {
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

bool SplitPath(const char* path, PathComponents* out) {
  const char* start = path;
  bool whole = true;
  if (path[0] != '\0' && path[1] == ':') {
    whole &= FitRange(path, path + 2, out->drive);
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
  whole &= FitRange(start, afterSeparator, out->directory);
  whole &= FitRange(afterSeparator, extensionBegin, out->name);
  whole &= FitRange(extensionBegin, end, out->extension);
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

Path Path::Folder() const {
  PathComponents parts;
  SplitPath(c_str(), &parts);
  Path folder;
  JoinPath(parts.drive, parts.directory, "", "", folder.data(), kCapacity);
  return folder;
}

Path Path::FileName() const {
  PathComponents parts;
  SplitPath(c_str(), &parts);
  Path name;
  JoinPath("", "", parts.name, parts.extension, name.data(), kCapacity);
  return name;
}

bool Path::Join(const char* folder, const char* name, const char* extension) {
  return JoinPath("", folder, name, extension, data(), kCapacity);
}

// Wide text has no double-byte characters: every separator is one.
void FolderOf(const WideChar* path, WideChar* folder) {
  std::size_t end = 0;
  for (std::size_t i = 0; path[i] != 0; ++i) {
    if (path[i] == '\\' || path[i] == '/') end = i + 1;
  }
  for (std::size_t i = 0; i < end; ++i) folder[i] = path[i];
  folder[end] = 0;
}

}  // namespace tamarisk
