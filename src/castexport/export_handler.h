// The Avocets handler: save a cast member to a file.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

void Avocets(InterfaceObject* self, CallRecord* call);

}  // namespace tamarisk
