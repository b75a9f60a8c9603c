// Splitting, joining and lowercasing arbitrary bytes as paths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "filecopy/path_components.h"
#include "platform/platform.h"

using namespace tamarisk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string path(reinterpret_cast<const char*>(data), size);
  path = path.c_str();  // up to the first NUL, as the module gets it
  if (path.size() > 511) path.resize(511);

  PathComponents parts;
  const bool whole = SplitPath(path.c_str(), &parts);
  char joined[kTextBufferSize];
  const bool fits = JoinPath(parts.drive, parts.directory, parts.name, parts.extension, joined, sizeof joined);
  // A path split whole joins back to itself.
  if (whole && fits && path != joined) std::abort();
  if (!fits && joined[0] != '\0') std::abort();

  char lowered[kTextBufferSize];
  std::memcpy(lowered, path.c_str(), path.size() + 1);
  LowercasePath(lowered);
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char before = static_cast<unsigned char>(path[i]);
    const unsigned char after = static_cast<unsigned char>(lowered[i]);
    const unsigned char previous = i == 0 ? 0 : static_cast<unsigned char>(path[i - 1]);
    const bool afterLead = (previous >= 0x81 && previous <= 0x9F) || (previous >= 0xE0 && previous <= 0xFD);
    const bool eligible = before >= 'A' && before <= 'Z' && (i == 0 || !afterLead);
    if (after != (eligible ? before + 0x20 : before)) std::abort();
  }
  if (lowered[path.size()] != '\0') std::abort();
  return 0;
}
