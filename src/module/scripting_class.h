// The scripting class: acquires the host services the handlers need and
// fills the module context.
#pragma once

#include "common/scripting_instance.h"
#include "host/host_abi.h"

namespace tamarisk {

// The host path selector that yields the base path of relative file names.
constexpr int32 kBasePathSelector = 4;

Status TAMARISK_CALL CreateScriptingInstance(void* instance);
void TAMARISK_CALL DestroyScriptingInstance(void* instance);

}  // namespace tamarisk
