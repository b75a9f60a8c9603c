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

const ClassDescription kClassTable[] = {
    {&kRegistrationClassId, 1, sizeof(InstanceHeader), CreateRegistrationInstance,
     DestroyRegistrationInstance, kRegistrationInterfaces, 1},
    {&kScriptingClassId, 1, sizeof(ScriptingInstance), CreateScriptingInstance,
     DestroyScriptingInstance, kScriptingInterfaces, 1},
};

}  // namespace

int WalkClassTable(const Guid* filter, ClassVisitor classVisitor, InterfaceVisitor interfaceVisitor,
                   void* context) {
  for (const ClassDescription& cls : kClassTable) {
    if (filter != nullptr && !SameGuid(*filter, *cls.id)) continue;
    if (classVisitor != nullptr) {
      if (int stop = classVisitor(cls, context)) return stop;
    }
    if (interfaceVisitor != nullptr) {
      for (int i = 0; i < cls.interfaceCount; ++i) {
        if (int stop = interfaceVisitor(cls, cls.interfaces[i], context)) return stop;
      }
    }
  }
  return 0;
}

}  // namespace tamarisk
