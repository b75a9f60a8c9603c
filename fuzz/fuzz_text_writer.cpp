// The text writer over arbitrary member texts: the file must be the text
// with every CR written as CR LF and every LF dropped, nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "castexport/media_writers.h"
#include "platform/scoped.h"
#include "simhost/native_fs.h"

using namespace tamarisk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();
  sim::NativeFs().Reset();
  {
    platform::OutputFile file("C:\\out.txt");
    WriteTextWithCrLf(text.c_str(), file);
    if (!file.Close()) std::abort();
  }
  std::string expected;
  for (char c : text) {
    if (c == '\n') continue;
    expected += c;
    if (c == '\r') expected += '\n';
  }
  if (sim::NativeFs().Find("C:\\out.txt")->bytes != expected) std::abort();
  return 0;
}
