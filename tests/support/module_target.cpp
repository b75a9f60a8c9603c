#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "simhost/module_loader.h"
#include "support/module_api.h"
#include "support/target_module.h"
#include "support/test_env.h"

namespace tamarisk {
namespace test {

namespace {

sim::LoadedModule& Loaded() {
  static sim::LoadedModule module;
  if (module.handle == nullptr) {
    // The module built beside this test program, or the one TAMARISK_DLL_WIN
    // names (a Windows path).
    const char* named = std::getenv("TAMARISK_DLL_WIN");
    const std::string path = named != nullptr ? named : sim::ModuleBesideProgram();
    std::string error;
    if (!sim::LoadModule(path, &module, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(2);
    }
  }
  return module;
}

}  // namespace

HMODULE LoadedModule() { return static_cast<HMODULE>(Loaded().handle); }

const sim::ModuleApi& TheModule() { return Loaded().api; }

void FreshModule() {
  RemoveResponders();
  const HMODULE old = LoadedModule();
  sim::UnloadModule(&Loaded());
  // A copy's work on the process's pool gives its own reference back just
  // after the call it served returned: until then the module stays mapped,
  // and loading it again would find the last test's state.
  char name[MAX_PATH];
  Eventually([&] { return GetModuleFileNameA(old, name, MAX_PATH) == 0; }, 200);
  Loaded();
}

bool IsRealDll() { return true; }

}  // namespace test
}  // namespace tamarisk
