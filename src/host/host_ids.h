// Class and interface identifiers, defined once for the module and its hosts.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

extern const Guid kRegistrationClassId;
extern const Guid kScriptingClassId;
extern const Guid kClassFactoryInterfaceId;

extern const Guid kRegistrationInterfaceId;
extern const Guid kScriptingInterfaceId;

extern const Guid kHostUtilitiesId;
extern const Guid kMovieSourceId;
extern const Guid kMediaServicesId;
extern const Guid kHandleServicesId;
extern const Guid kHostPathsId;

}  // namespace tamarisk
