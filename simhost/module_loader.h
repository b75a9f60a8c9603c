// Loads a module file and finds its five entry points, as a host does.
#pragma once

#include <string>

#include "simhost/sim_host.h"

namespace tamarisk {
namespace sim {

struct LoadedModule {
  void* handle = nullptr;  // HMODULE
  ModuleApi api;
};

// False, with a reason in error, when the file cannot be loaded or lacks an
// entry point.
bool LoadModule(const std::string& path, LoadedModule* out, std::string* error);
void UnloadModule(LoadedModule* module);

// The TAMARISK.x32 beside the running program.
std::string ModuleBesideProgram();

}  // namespace sim
}  // namespace tamarisk
