// CopyToDestination: the copy routine that both handlers deliver files with.
#pragma once

#include "common/outcome.h"
#include "host/host_abi.h"
#include "base/text.h"

namespace tamarisk {

// Copies source to destination (empty: the user chooses in the save dialog)
// and returns the outcome, which the caller reports. source, and a given
// destination, are rewritten to their absolute, lowercased forms.
// initialName and defaultExtension may be null.
Outcome CopyToDestination(InterfaceObject* self, Path* source, Path* destination,
                          const char* initialName, const char* defaultExtension,
                          const char* filter);

}  // namespace tamarisk
