// The native build's stand-in for the platform seam: the ANSI code page is
// CP932, as on the Japanese systems the module is written for.
#include "platform/platform.h"
#include "simhost/native_global.h"

namespace tamarisk {
namespace platform {

bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace platform

namespace sim {

NativeGlobalBlock* NativeGlobalAlloc(const std::vector<std::uint8_t>& bytes) {
  NativeGlobalBlock* block = new NativeGlobalBlock;
  block->bytes = bytes;
  return block;
}

void NativeGlobalFree(NativeGlobalBlock* block) { delete block; }

}  // namespace sim
}  // namespace tamarisk
