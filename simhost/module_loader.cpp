#include "simhost/module_loader.h"

#include <windows.h>

namespace tamarisk {
namespace sim {

namespace {

template <class Fn>
bool Find(HMODULE module, const char* name, Fn* out, std::string* error) {
  FARPROC address = GetProcAddress(module, name);
  if (address == nullptr) {
    *error = std::string("the module does not export ") + name;
    return false;
  }
  *out = reinterpret_cast<Fn>(reinterpret_cast<void*>(address));
  return true;
}

}  // namespace

bool LoadModule(const std::string& path, LoadedModule* out, std::string* error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    *error = "LoadLibraryA(" + path + ") failed with error " + std::to_string(GetLastError());
    return false;
  }
  ModuleApi api;
  if (!Find(module, "DllGetClassObject", &api.getClassObject, error) ||
      !Find(module, "DllCanUnloadNow", &api.canUnloadNow, error) ||
      !Find(module, "DllGetClassForm", &api.getClassForm, error) ||
      !Find(module, "DllGetInterface", &api.getInterface, error) ||
      !Find(module, "DllGetClassInfo", &api.getClassInfo, error)) {
    FreeLibrary(module);
    return false;
  }
  out->handle = module;
  out->api = api;
  return true;
}

void UnloadModule(LoadedModule* module) {
  if (module->handle != nullptr) FreeLibrary(static_cast<HMODULE>(module->handle));
  module->handle = nullptr;
}

std::string ModuleBesideProgram() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string folder(self);
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder + "TAMARISK.x32";
}

}  // namespace sim
}  // namespace tamarisk
