// A path as four components, split and joined double-byte aware: the trail
// byte of a character of the ANSI code page is never a separator or a dot.
#pragma once

#include <cstddef>

#include "host/text_limits.h"

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

// ASCII capitals to lower case; the bytes of a double-byte character stay.
void LowercasePath(char* path);

// A backslash or a slash.
bool IsSeparator(char c);
// A path that begins with two separators names a network share.
bool IsNetworkPath(const char* path);

// Copies text into buffer, cut at a character boundary to fit; returns false
// when it was cut.
bool CopyText(const char* text, char* buffer, std::size_t capacity);

// The byte length of the character at text (1 or 2), never past the NUL.
std::size_t CharLength(const char* text);

}  // namespace tamarisk
