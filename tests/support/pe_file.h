// Reads the parts of a PE32 DLL that the tests check (exports, imports,
// version resource, timestamp) straight from its bytes. Portable on purpose:
// the native tests inspect the cross-built DLL without loading it.
#ifndef TAMARISK_TESTS_SUPPORT_PE_FILE_H
#define TAMARISK_TESTS_SUPPORT_PE_FILE_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tamarisk::test {

struct PeFile {
  std::string exportDllName;
  std::vector<std::string> exportNames;     // in name-table order
  std::vector<std::string> importDllNames;  // as spelled in the file
  std::vector<std::string> importedFunctions;  // "DLLNAME!Function", by name only
  bool hasVersion = false;
  uint32_t fileVersionMS = 0;
  uint32_t fileVersionLS = 0;
  uint32_t productVersionMS = 0;
  uint32_t productVersionLS = 0;
  // String-table block name (e.g. "041104b0") -> key -> value, as UTF-8.
  std::map<std::string, std::map<std::string, std::string>> versionStrings;
  // (language, code page) pairs from VarFileInfo\Translation.
  std::vector<std::pair<uint16_t, uint16_t>> translations;
  uint32_t timeDateStamp = 0;
};

// Returns false with a message in *error (if non-null) on malformed input;
// *out is reset first and is only meaningful on success.
bool ReadPeFile(const std::vector<uint8_t>& bytes, PeFile* out,
                std::string* error);

bool ReadPeFileFromPath(const std::string& path, PeFile* out,
                        std::string* error);

}  // namespace tamarisk::test

#endif  // TAMARISK_TESTS_SUPPORT_PE_FILE_H
