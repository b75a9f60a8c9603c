// Process-wide memory of the native build. Movable global memory blocks of the native build, shared
// by the simulated host (which hands them out as "winDIB" media) and the native platform seam
// (which locks them for the module).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tamarisk {
namespace sim {

struct NativeGlobalBlock {
  std::vector<std::uint8_t> bytes;
  int locks = 0;
  bool lockFails = false;  // injected: GlobalLock returns null
};

NativeGlobalBlock* NativeGlobalAlloc(const std::vector<std::uint8_t>& bytes);
void NativeGlobalFree(NativeGlobalBlock* block);

// The memory the native memory query calls readable: the host's handles
// register their bytes while they exist.
void NativeMarkReadable(const void* begin, std::size_t size);
void NativeForgetReadable(const void* begin);

// The process-wide new-handler, as the C runtime's would be; null: none.
using NativeNewHandlerFn = int (*)(std::size_t size);
NativeNewHandlerFn& NativeNewHandler();

}  // namespace sim
}  // namespace tamarisk
