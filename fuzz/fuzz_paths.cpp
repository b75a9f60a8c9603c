// Splitting, joining and lowercasing arbitrary bytes as paths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/path.h"
#include "platform/platform.h"

using namespace tamarisk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string path(reinterpret_cast<const char*>(data), size);
  path = path.c_str();  // up to the first NUL, as the module gets it
  if (path.size() > 511) path.resize(511);

  PathComponents parts;
  const bool whole = SplitPath(path.c_str(), &parts);
  char joined[kTextBufferSize];
  const bool fits =
      JoinPath(parts.drive, parts.directory, parts.name, parts.extension, joined, sizeof joined);
  // A path split whole joins back to itself.
  if (whole && fits && path != joined) std::abort();
  if (!fits && joined[0] != '\0') std::abort();

  char lowered[kTextBufferSize];
  std::memcpy(lowered, path.c_str(), path.size() + 1);
  LowercasePath(lowered);
  // Characters by the code page's lead bytes: a pair passes unchanged, a
  // single byte changes only from A-Z to a-z.
  for (std::size_t i = 0; i < path.size();) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (platform::IsLeadByte(c) && i + 1 < path.size()) {
      if (lowered[i] != path[i] || lowered[i + 1] != path[i + 1]) std::abort();
      i += 2;
      continue;
    }
    const unsigned char expected = c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 0x20) : c;
    if (static_cast<unsigned char>(lowered[i]) != expected) std::abort();
    ++i;
  }
  if (lowered[path.size()] != '\0') std::abort();
  return 0;
}
