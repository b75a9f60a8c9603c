// All module-wide state of Tamarisk, in one place. The host makes one call at
// a time on its own thread, so none of it is locked.
#pragma once

#include "base/path.h"
#include "base/text.h"
#include "host/host_abi.h"

namespace tamarisk {

// Filled by every Create of the scripting class; never cleared, so the most
// recent Create decides it.
struct ModuleContext {
  char baseDrive[kComponentLimit + 1];
  char baseDirectory[kComponentLimit + 1];
  InstanceHandle hostInstance;
  WindowHandle hostWindow;
};

// What outlives a handler's call, shared by both handlers and every instance.
struct HandlerState {
  Path dialogDirectory;  // where the save dialog opens; empty until the first copy
  bool running;          // a handler has not yet returned
};

extern ModuleContext moduleContext;
extern HandlerState handlerState;

// Interface objects in existence; the module may unload when it is 0.
extern int32 liveObjectCount;

}  // namespace tamarisk
