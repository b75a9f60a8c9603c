// Translating arbitrary filter strings into the dialog's list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ui/save_dialog.h"

using namespace tamarisk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the output capacity, the rest is the filter.
  const std::size_t capacity = 2 + data[0];
  std::string filter(reinterpret_cast<const char*>(data + 1), size - 1);
  filter = filter.c_str();
  std::vector<char> out(capacity + 16, '\x7F');
  TranslateFilter(filter.c_str(), out.data(), capacity);
  for (std::size_t i = capacity; i < out.size(); ++i) {
    if (out[i] != '\x7F') std::abort();  // nothing written past the capacity
  }
  // The list ends in two NULs inside the capacity.
  std::size_t end = 0;
  while (!(out[end] == '\0' && out[end + 1] == '\0')) {
    if (++end + 1 >= capacity) std::abort();
  }
  // Apart from bars turned into NULs, the bytes are the filter's, in order.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < end; ++i) {
    const char expected = filter[kept++];
    if (out[i] != expected && !(out[i] == '\0' && expected == '|')) std::abort();
  }
  return 0;
}
