// The five exported entry points through which the host discovers the
// module's classes and obtains interface objects.
#include "module/entry_points.h"

#include <cstring>

#include "module/module_state.h"
#include "copyengine/copy_engine.h"
#include "host/host_ids.h"
#include "module/class_table.h"

using namespace tamarisk;

namespace {

// A null class ID names every class.
bool Names(const Guid* classId, const ClassDescription& cls) {
  return classId == nullptr || SameGuid(*classId, *cls.id);
}

// Each class's factory, then its interfaces.
int ClassInfoEntryCount() {
  int count = 0;
  for (const ClassDescription& cls : kClassTable) count += 1 + cls.interfaceCount;
  return count;
}

void PutEntry(ClassInfoEntry** next, const ClassInfoEntry& entry) {
  std::memcpy(*next, &entry, sizeof entry);
  ++*next;
}

}  // namespace

extern "C" {

Status TAMARISK_CALL DllGetClassObject(const Guid*, const Guid*, void**) {
  return kNoClass;  // no COM class factory is offered
}

// Not while a copy's worker runs: its code is this module's.
Status TAMARISK_CALL DllCanUnloadNow() {
  return liveObjectCount == 0 && !CopiesStillRunning() ? kOk : kStillInUse;
}

Status TAMARISK_CALL DllGetClassForm(const Guid* classId, uint32* instanceSize, CreateFn* create,
                                     DestroyFn* destroy) {
  for (const ClassDescription& cls : kClassTable) {
    if (!Names(classId, cls)) continue;
    *instanceSize = cls.instanceSize;
    *create = cls.create;
    *destroy = cls.destroy;
    return kOk;
  }
  return kNoClass;
}

Status TAMARISK_CALL DllGetInterface(void* instance, const Guid* classId, const Guid* interfaceId,
                                     void** out) {
  for (const ClassDescription& cls : kClassTable) {
    if (!Names(classId, cls)) continue;
    for (int i = 0; i < cls.interfaceCount; ++i) {
      const InterfaceDescription& iface = cls.interfaces[i];
      if (SameGuid(*iface.id, *interfaceId)) return iface.create(instance, out);
    }
  }
  return kNoInterface;
}

Status TAMARISK_CALL DllGetClassInfo(HostAllocator* allocator, ClassInfoEntry** out) {
  const uint32 size = static_cast<uint32>(ClassInfoEntryCount() + 1) * sizeof(ClassInfoEntry);
  ClassInfoEntry* table =
      static_cast<ClassInfoEntry*>(allocator->ops->AllocateBlock(allocator, size));
  *out = table;
  if (table == nullptr) return kOutOfMemory;
  ClassInfoEntry* next = table;
  for (const ClassDescription& cls : kClassTable) {
    PutEntry(&next, ClassInfoEntry{*cls.id, cls.version, kClassFactoryInterfaceId, 1});
    for (int i = 0; i < cls.interfaceCount; ++i) {
      PutEntry(&next, ClassInfoEntry{*cls.id, cls.version, *cls.interfaces[i].id,
                                     cls.interfaces[i].version});
    }
  }
  std::memset(next, 0, sizeof(ClassInfoEntry));  // null class and interface IDs end it
  return kOk;
}

}  // extern "C"
