// The scripting class: acquires the host services the handlers need and
// fills the module context.
#pragma once

#include "castexport/scripting_instance.h"
#include "host/host_abi.h"

namespace tamarisk {

Status TAMARISK_CALL CreateScriptingInstance(void* instance);
void TAMARISK_CALL DestroyScriptingInstance(void* instance);

}  // namespace tamarisk
