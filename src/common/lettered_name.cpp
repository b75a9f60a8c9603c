#include "common/lettered_name.h"

#include <cstdio>

#include "platform/platform.h"

namespace tamarisk {

void LetteredName(const char* prefix, int letter, unsigned threadId, char* out, std::size_t size) {
  std::snprintf(out, size, "%s%c%05u", prefix, 'a' + letter, threadId % 100000);
}

void LetteredName(const char* prefix, int letter, char* out, std::size_t size) {
  LetteredName(prefix, letter, platform::CurrentThreadId(), out, size);
}

}  // namespace tamarisk
