#include "copyengine/free_names.h"

#include <cstdio>

namespace tamarisk {

void LetteredName(const char* prefix, int letter, unsigned threadId, char* out, std::size_t size) {
  std::snprintf(out, size, "%s%c%05u", prefix, 'a' + letter, threadId % 100000);
}

bool NameInFolder(const char* folder, const char* name, const char* suffix, Path* path) {
  const bool placed = folder[0] == '\0' ? platform::FullPathName(name, path->data(), Path::kCapacity)
                                        : path->Join(folder, name, suffix);
  return placed && std::strlen(path->c_str()) <= platform::kPlatformPathLimit;
}

}  // namespace tamarisk
