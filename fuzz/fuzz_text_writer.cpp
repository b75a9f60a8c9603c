// The text writer over arbitrary member texts: the file must be the text
// with every line end (CR, CR LF, or LF after anything but CR) written as
// CR LF, nothing else. The first byte sets the size of the writer's block,
// so that line ends fall at every place of it, and the second where the
// text starts within a machine word.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "castexport/media_writers.h"
#include "platform/scoped.h"
#include "tests/doubles/native_fs.h"

using namespace tamarisk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::vector<char> block(64 + data[0]);
  const std::size_t start = data[1] % 8;
  std::string bytes(start, 'f');
  bytes.append(reinterpret_cast<const char*>(data + 2), size - 2);
  const char* text = bytes.c_str() + start;

  sim::NativeFs().Reset();
  {
    platform::OutputFile file("C:\\out.txt");
    WriteTextWithCrLf(text, file, block.data(), block.size());
    if (!file.Close()) std::abort();
  }
  std::string expected;
  for (std::size_t i = 0; text[i] != '\0'; ++i) {
    if (text[i] == '\n' && i > 0 && text[i - 1] == '\r') continue;
    if (text[i] == '\r' || text[i] == '\n') {
      expected += "\r\n";
    } else {
      expected += text[i];
    }
  }
  if (sim::NativeFs().Find("C:\\out.txt")->bytes != expected) std::abort();
  return 0;
}
