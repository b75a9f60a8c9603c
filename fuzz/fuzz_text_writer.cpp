// The text writer over arbitrary member texts, by sixteen bytes and by
// words, against its byte-at-a-time reference: the file must be the text
// with every line end (CR, CR LF, or LF after anything but CR) written as
// CR LF, nothing else. The first byte sets the size of the writer's block,
// so that line ends fall at every place of it, and the second where the
// text starts within a chunk of sixteen bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "castexport/media_writers.h"
#include "tests/support/memory_sink.h"

using namespace tamarisk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::vector<char> block(64 + data[0]);
  const std::size_t start = data[1] % 16;
  std::string bytes(start, 'f');
  bytes.append(reinterpret_cast<const char*>(data + 2), size - 2);
  const char* text = bytes.c_str() + start;

  test::MemorySink reference;
  test::WriteTextWithCrLfByBytes(text, reference);
  test::MemorySink fast;
  WriteTextWithCrLf(text, fast, block.data(), block.size());
  test::MemorySink words;
  WriteTextWithCrLfByWords(text, words, block.data(), block.size());
  if (fast.bytes != reference.bytes || words.bytes != reference.bytes) std::abort();
  return 0;
}
