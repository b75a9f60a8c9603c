// The Plovers handler: copy srcFile to dstFile.
#pragma once

#include "filecopy/copy_routine.h"
#include "filecopy/person.h"
#include "host/host_abi.h"

namespace tamarisk {

CopyResult Plovers(const CallContext& context, HostUtilities* utilities, const CallRecord* call);

}  // namespace tamarisk
