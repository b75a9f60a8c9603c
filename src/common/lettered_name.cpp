#include "common/lettered_name.h"

#include <cstdio>

#include "platform/platform.h"

namespace tamarisk {

void LetteredName(const char* prefix, int letter, char* out, std::size_t size) {
  const unsigned digits = static_cast<unsigned>(platform::CurrentThreadId() % 100000);
  std::snprintf(out, size, "%s%c%05u", prefix, 'a' + letter, digits);
}

}  // namespace tamarisk
