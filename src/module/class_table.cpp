#include "module/class_table.h"

#include "host/host_ids.h"
#include "module/interface_object.h"
#include "module/registration_class.h"
#include "module/scripting_class.h"

namespace tamarisk {

namespace {

const InterfaceDescription kRegistrationInterfaces[] = {
    {&kRegistrationInterfaceId, 1, CreateRegistrationInterface},
};
const InterfaceDescription kScriptingInterfaces[] = {
    {&kScriptingInterfaceId, 1, CreateScriptingInterface},
};

}  // namespace

const ClassDescription kClassTable[kClassCount] = {
    {&kRegistrationClassId, 1, sizeof(InstanceHeader), CreateRegistrationInstance,
     DestroyRegistrationInstance, kRegistrationInterfaces, 1},
    {&kScriptingClassId, 1, sizeof(ScriptingInstance), CreateScriptingInstance,
     DestroyScriptingInstance, kScriptingInterfaces, 1},
};

}  // namespace tamarisk
