// The module's interface objects: small records taken from the host's
// allocator that forward identity and lifetime to their outer instance.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

// Creation functions reached through DllGetInterface.
Status CreateRegistrationInterface(void* outer, void** out);
Status CreateScriptingInterface(void* outer, void** out);

}  // namespace tamarisk
