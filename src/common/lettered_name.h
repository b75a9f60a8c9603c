// The names of the files the module makes for a moment: a prefix, a letter
// and the five lowest decimal digits of the calling thread's id, the letter
// tried from a to z until a name is free.
#pragma once

#include <cstddef>

namespace tamarisk {

constexpr int kNameLetters = 26;

// prefix, the letter of index letter (0 is "a") and the five lowest digits
// of threadId, most significant first, into out (size bytes).
void LetteredName(const char* prefix, int letter, unsigned threadId, char* out, std::size_t size);
// The same for the calling thread.
void LetteredName(const char* prefix, int letter, char* out, std::size_t size);

}  // namespace tamarisk
