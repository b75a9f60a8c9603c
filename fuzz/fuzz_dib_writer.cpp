// The DIB file writer over arbitrary blocks: whatever the header claims, it
// reads nothing past the block, and a file it reports as written is the
// 14-byte header followed by exactly the DIB's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dib/dib_writer.h"
#include "tests/doubles/native_global.h"
#include "tests/support/memory_sink.h"
#include "tests/support/packed_dib.h"

using namespace tamarisk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  // Make the header plausible often enough to reach the writing.
  if (bytes.size() >= 4 && (bytes[0] & 1)) test::Put(bytes, 0, 40, 4);
  sim::NativeGlobalBlock* block = sim::NativeGlobalAlloc(bytes);
  test::MemorySink sink;
  const WriteOutcome result = WriteDibFile(block, sink);
  if (block->locks != 0) std::abort();
  if (result != WriteOutcome::kWritten && !sink.bytes.empty()) std::abort();
  if (result == WriteOutcome::kWritten) {
    const std::string& out = sink.bytes;
    if (out.size() < 14 + 40 || out[0] != 'B' || out[1] != 'M') std::abort();
    std::uint32_t fileSize;
    std::memcpy(&fileSize, out.data() + 2, 4);
    if (fileSize != out.size() || out.size() - 14 > bytes.size()) std::abort();
    if (std::memcmp(out.data() + 14, block->bytes.data(), out.size() - 14) != 0) std::abort();
  }
  sim::NativeGlobalFree(block);
  return 0;
}
