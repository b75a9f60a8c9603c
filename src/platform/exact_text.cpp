#include "platform/exact_text.h"

#include <cstring>

#include "platform/platform.h"

namespace tamarisk {
namespace platform {

bool ExactAnsi(const WideChar* text, char* out, uint32 capacity) {
  if (!AnsiFromWide(text, out, capacity)) return false;
  WideChar back[2 * kTextBufferSize];
  if (WideFromAnsi(out, static_cast<uint32>(std::strlen(out) + 1), back, 2 * kTextBufferSize) ==
      0) {
    return false;
  }
  std::size_t i = 0;
  while (text[i] != 0 && text[i] == back[i]) ++i;
  return text[i] == back[i];
}

}  // namespace platform
}  // namespace tamarisk
