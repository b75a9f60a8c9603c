// Movable global memory blocks of the native build, shared by the simulated
// host (which hands them out as "winDIB" media) and the native platform seam
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

}  // namespace sim
}  // namespace tamarisk
