// Replaces a function that a loaded module imports by rewriting the module's
// import address table, so target tests can observe or fake calls that the
// module makes into Windows (e.g. MessageBoxA) without touching the callee.
#pragma once

#if !defined(_WIN32)
#error "import patches are for the Windows build only"
#endif

#include <windows.h>

#include <string>
#include <vector>

namespace tamarisk {
namespace sim {

// Points every IAT slot of `module` that imports `functionName` by name from
// `dllName` (case-insensitive) at `replacement`. Returns the previous value
// of the first such slot, or nullptr if the module has no such import.
void* PatchImport(HMODULE module, const char* dllName, const char* functionName, void* replacement);

// Names of the functions `module` imports by name from `dllName`.
std::vector<std::string> ImportedFunctions(HMODULE module, const char* dllName);

// Installs a patch for its lifetime; the destructor puts the original back.
class ImportPatch {
 public:
  ImportPatch(HMODULE module, const char* dllName, const char* functionName, void* replacement);
  ~ImportPatch();
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  bool installed() const { return original_ != nullptr; }
  void* original() const { return original_; }

 private:
  HMODULE module_;
  std::string dllName_;
  std::string functionName_;
  void* original_;
};

}  // namespace sim
}  // namespace tamarisk
