// The text writer over arbitrary member texts: the file must be the text
// with every line end (CR, CR LF, or LF after anything but CR) written as
// CR LF, nothing else. The first two bytes give a filler that shifts the
// rest across the writer's blocks and the scan's words.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "castexport/media_writers.h"
#include "castexport/output_file.h"
#include "simhost/native_fs.h"

using namespace tamarisk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::string text(data[0] | (data[1] & 0x7F) << 8, 'f');
  text.append(reinterpret_cast<const char*>(data + 2), size - 2);
  text = text.c_str();
  sim::NativeFs().Reset();
  {
    OutputFile file("C:\\out.txt");
    WriteTextWithCrLf(text.c_str(), file);
    if (!file.Close()) std::abort();
  }
  std::string expected;
  for (std::size_t i = 0; i < text.size(); ++i) {
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
