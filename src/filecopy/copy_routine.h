// CopyToDestination: the copy routine that both handlers deliver files with.
#pragma once

#include "common/result.h"
#include "host/host_abi.h"

namespace tamarisk {

// Copies source to destination (empty: the user chooses in the save dialog),
// showing the user what went wrong, and returns the outcome. source and
// destination are writable 512-byte buffers, rewritten in place to their
// absolute, lowercased forms. initialName and defaultExtension may be null.
Result CopyToDestination(InterfaceObject* self, char* source, char* destination,
                         const char* initialName, const char* defaultExtension, const char* filter);

}  // namespace tamarisk
