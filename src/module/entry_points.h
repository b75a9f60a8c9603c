// Declarations of the exported entry points, for the native build's hosts.
#pragma once

#include "host/host_abi.h"

extern "C" {
tamarisk::Status TAMARISK_CALL DllGetClassObject(const tamarisk::Guid*, const tamarisk::Guid*,
                                                 void**);
tamarisk::Status TAMARISK_CALL DllCanUnloadNow();
tamarisk::Status TAMARISK_CALL DllGetClassForm(const tamarisk::Guid*, tamarisk::uint32*,
                                               tamarisk::CreateFn*, tamarisk::DestroyFn*);
tamarisk::Status TAMARISK_CALL DllGetInterface(void*, const tamarisk::Guid*, const tamarisk::Guid*,
                                               void**);
tamarisk::Status TAMARISK_CALL DllGetClassInfo(tamarisk::HostAllocator*,
                                               tamarisk::ClassInfoEntry**);
}
