// The Plovers handler: copy srcFile to dstFile.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

void Plovers(InterfaceObject* self, CallRecord* call);

}  // namespace tamarisk
