// The registration class: it only publishes the Lingo message table.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

Status TAMARISK_CALL CreateRegistrationInstance(void* instance);
void TAMARISK_CALL DestroyRegistrationInstance(void* instance);
Status TAMARISK_CALL PublishMessageTable(InterfaceObject* self, HostRegistrar* registrar,
                                         void* context);

}  // namespace tamarisk
