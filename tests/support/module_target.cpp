#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "simhost/module_loader.h"
#include "support/module_api.h"
#include "support/target_module.h"

namespace tamarisk {
namespace test {

namespace {

// The module built beside this test program, or the one TAMARISK_DLL_WIN
// names (a Windows path).
const sim::LoadedModule& Loaded() {
  static const sim::LoadedModule module = [] {
    const char* named = std::getenv("TAMARISK_DLL_WIN");
    const std::string path = named != nullptr ? named : sim::ModuleBesideProgram();
    sim::LoadedModule loaded;
    std::string error;
    if (!sim::LoadModule(path, &loaded, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(2);
    }
    return loaded;
  }();
  return module;
}

}  // namespace

HMODULE LoadedModule() { return static_cast<HMODULE>(Loaded().handle); }

const sim::ModuleApi& TheModule() { return Loaded().api; }

bool IsRealDll() { return true; }

}  // namespace test
}  // namespace tamarisk
