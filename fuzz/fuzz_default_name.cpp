// Default file names composed from arbitrary member names and indexes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "castexport/export_kinds.h"
#include "base/text.h"

using namespace tamarisk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  int32 castIndex;
  int32 memberIndex;
  std::memcpy(&castIndex, data, 4);
  std::memcpy(&memberIndex, data + 4, 4);
  static const char* const kTypes[] = {"bitmap", "picture", "field", "richText"};
  const ExportKind* kind = FindExportKind(kTypes[data[8] % 4]);
  std::string name(reinterpret_cast<const char*>(data + 9), size - 9);
  name = name.c_str();
  if (name.size() > 511) name.resize(511);

  TextBuffer composed;
  std::memcpy(composed.data(), name.c_str(), name.size() + 1);
  // The name and the result may share the buffer.
  ComposeDefaultName(composed.c_str(), castIndex, memberIndex, *kind, &composed);
  const char* buffer = composed.c_str();
  const std::size_t length = std::strlen(buffer);
  if (length > kTextLimit) std::abort();
  if (name.empty()) {
    const std::string expected = std::to_string(castIndex) + "-" + std::to_string(memberIndex);
    if (std::string(buffer).rfind(expected, 0) != 0) std::abort();
  }
  // The name always ends in the kind's extension.
  if (length < 4 || buffer[length - 4] != '.') std::abort();
  return 0;
}
