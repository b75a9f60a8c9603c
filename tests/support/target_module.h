// The loaded TAMARISK.x32, for tests that patch or inspect it.
#pragma once

#include <windows.h>

namespace tamarisk {
namespace test {

HMODULE LoadedModule();

}  // namespace test
}  // namespace tamarisk
