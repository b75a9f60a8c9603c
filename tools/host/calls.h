// Lingo calls against the registered module, as a script runs them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "simhost/sim_host.h"

namespace tamarisk {
namespace cli {

// Checks every call, then runs them on one scripting instance of module,
// printing each with the files it wrote and its result. False when a call
// is refused or the instance cannot be made.
bool RunCalls(sim::SimHost& host, HMODULE module, const std::vector<std::string>& lines);

}  // namespace cli
}  // namespace tamarisk
