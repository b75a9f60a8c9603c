// The module under test, as its five entry points: linked in (native build)
// or loaded from TAMARISK.x32 (the real DLL, under Wine).
#pragma once

#include <string>

#include "simhost/sim_host.h"

namespace tamarisk {
namespace test {

// The entry points; the reference stays valid across FreshModule().
const sim::ModuleApi& TheModule();

// Starts the module afresh, as when the host loads it: module-wide state
// back to its initial values. Under Wine the DLL is unloaded and loaded again.
void FreshModule();

// True when the entry points come from the real DLL.
bool IsRealDll();

}  // namespace test
}  // namespace tamarisk
