// A path as four components, split and joined double-byte aware: the trail
// byte of a character of the ANSI code page is never a separator or a dot.
#pragma once

#include <cstddef>

#include "base/text.h"

namespace tamarisk {

struct PathComponents {
  char drive[kComponentLimit + 1];      // empty, or a letter and a colon
  char directory[kComponentLimit + 1];  // ends with a separator when not empty
  char name[kComponentLimit + 1];
  char extension[kComponentLimit + 1];  // empty, or begins with a dot
};

// Splits a NUL-terminated path. A component longer than 255 bytes is cut
// (never inside a double-byte character); returns false when anything was cut.
bool SplitPath(const char* path, PathComponents* out);

// Joins components into buffer (capacity bytes including the NUL). Returns
// false, leaving an empty string, when the result would not fit.
bool JoinPath(const char* drive, const char* directory, const char* name, const char* extension,
              char* buffer, std::size_t capacity);

// A path is held as any text, and gives what its callers take from it.
class Path : public TextBuffer {
 public:
  // Its folder: the drive and the directory, with the final separator.
  Path Folder() const;
  // Its file name: the name and the extension, without drive or folders.
  Path FileName() const;
  // folder, name and extension (a dot put before one that lacks it); false,
  // leaving it empty, when that would not fit.
  bool Join(const char* folder, const char* name, const char* extension);
};

inline Path PathOf(const char* text) {
  Path path;
  FitText(text, path.data(), Path::kCapacity);
  return path;
}

// The folder of a wide path: up to and with its last separator.
void FolderOf(const WideChar* path, WideChar* folder);

}  // namespace tamarisk
