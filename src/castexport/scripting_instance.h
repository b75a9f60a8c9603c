// The scripting class's instance record, as every handler reaches it.
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

// What a handler reaches through the interface object it is given.
inline ScriptingInstance* InstanceOf(InterfaceObject* self) {
  return static_cast<ScriptingInstance*>(self->outer);
}

}  // namespace tamarisk
