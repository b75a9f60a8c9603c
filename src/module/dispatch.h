// The scripting interface's one operation: each Lingo call to its handler.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

// Message numbers of the Lingo message table; 0 is the constructor.
enum MessageNumber : int32 { kMessagePlovers = 1, kMessageAvocets = 2 };

// Runs the handler of the call's message number; the outcome travels only as
// the record's result, so the host call always succeeds.
Status TAMARISK_CALL DispatchCall(InterfaceObject* self, CallRecord* call);

}  // namespace tamarisk
