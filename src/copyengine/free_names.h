// The names of the files the module makes for a moment: a prefix, a letter
// and the five lowest decimal digits of the calling thread's id, the letter
// tried from a to z until a name is free and taken.
#pragma once

#include <cstddef>
#include <cstring>

#include "base/path.h"
#include "platform/platform.h"

namespace tamarisk {

constexpr int kNameLetters = 26;

// prefix, the letter of index letter (0 is "a") and the five lowest digits
// of threadId, most significant first, into out (size bytes).
void LetteredName(const char* prefix, int letter, unsigned threadId, char* out, std::size_t size);

// The full path of name (with suffix) in folder, or in the current folder
// when folder is empty; false when it would pass the platform's limit, so
// that nothing is made that the platform could not delete again.
bool NameInFolder(const char* folder, const char* name, const char* suffix, Path* path);

// The first lettered name in folder that no file has and that claim(path)
// takes: a name another program took meanwhile (kExists) is passed over.
// kTooLong when the names do not fit the platform's paths, kExists when none
// is free; otherwise what claim gave, path then holding the name.
template <class Claim>
platform::FileError ClaimFreeName(const char* folder, const char* prefix, const char* suffix,
                                  unsigned threadId, Path* path, Claim claim) {
  for (int letter = 0; letter < kNameLetters; ++letter) {
    char name[16];
    LetteredName(prefix, letter, threadId, name, sizeof name);
    if (!NameInFolder(folder, name, suffix, path)) return platform::FileError::kTooLong;
    if (!platform::NameIsFree(path->c_str())) continue;
    const platform::FileError error = claim(path->c_str());
    if (error != platform::FileError::kExists) return error;
  }
  path->Clear();
  return platform::FileError::kExists;
}

}  // namespace tamarisk
