// The scripting class: acquires the host services the handlers need, fills
// the module context and routes each Lingo call to its handler.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

struct ScriptingInstance {
  InstanceHeader header;
  HostUtilities* utilities;
  MovieSource* movieSource;
  MediaServices* mediaServices;
  HandleServices* handleServices;
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ScriptingInstance) == 40, "header and four interface fields");
#endif

// Message numbers of the Lingo message table.
enum MessageNumber : int32 { kMessageNew = 0, kMessagePlovers = 1, kMessageAvocets = 2 };

// The host path selector that yields the base path of relative file names.
constexpr int32 kBasePathSelector = 4;

Status TAMARISK_CALL CreateScriptingInstance(void* instance);
void TAMARISK_CALL DestroyScriptingInstance(void* instance);
Status TAMARISK_CALL DispatchCall(InterfaceObject* self, CallRecord* call);

// What a handler reaches through the interface object it is given.
inline ScriptingInstance* InstanceOf(InterfaceObject* self) {
  return static_cast<ScriptingInstance*>(self->outer);
}

}  // namespace tamarisk
