// The module under test, as its five entry points: linked in (native build)
// or loaded from TAMARISK.x32 (the real DLL, under Wine).
#pragma once

#include <string>

#include "simhost/sim_host.h"

namespace tamarisk {
namespace test {

const sim::ModuleApi& TheModule();

// True when the entry points come from the real DLL.
bool IsRealDll();

}  // namespace test
}  // namespace tamarisk
