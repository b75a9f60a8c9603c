// The five exported entry points through which the host discovers the
// module's classes and obtains interface objects.
#include "module/entry_points.h"

#include <cstring>

#include "common/module_state.h"
#include "host/host_ids.h"
#include "module/class_table.h"

using namespace tamarisk;

namespace {

struct ClassFormQuery {
  uint32* instanceSize;
  CreateFn* create;
  DestroyFn* destroy;
  bool found;
};

int WriteClassForm(const ClassDescription& cls, void* context) {
  ClassFormQuery* query = static_cast<ClassFormQuery*>(context);
  *query->instanceSize = cls.instanceSize;
  *query->create = cls.create;
  *query->destroy = cls.destroy;
  query->found = true;
  return 1;  // the first passing class wins
}

struct InterfaceQuery {
  const Guid* interfaceId;
  InterfaceCreateFn create;
};

int FindInterface(const ClassDescription&, const InterfaceDescription& iface, void* context) {
  InterfaceQuery* query = static_cast<InterfaceQuery*>(context);
  if (!SameGuid(*iface.id, *query->interfaceId)) return 0;
  query->create = iface.create;
  return 1;
}

struct ClassInfoCursor {
  int count;
  ClassInfoEntry* next;  // null while only counting
};

void PutEntry(ClassInfoCursor* cursor, const ClassInfoEntry& entry) {
  ++cursor->count;
  if (cursor->next != nullptr) {
    std::memcpy(cursor->next, &entry, sizeof entry);
    ++cursor->next;
  }
}

int AddClassEntry(const ClassDescription& cls, void* context) {
  PutEntry(static_cast<ClassInfoCursor*>(context),
           ClassInfoEntry{*cls.id, cls.version, kClassFactoryInterfaceId, 1});
  return 0;
}

int AddInterfaceEntry(const ClassDescription& cls, const InterfaceDescription& iface,
                      void* context) {
  PutEntry(static_cast<ClassInfoCursor*>(context),
           ClassInfoEntry{*cls.id, cls.version, *iface.id, iface.version});
  return 0;
}

}  // namespace

extern "C" {

Status TAMARISK_CALL DllGetClassObject(const Guid*, const Guid*, void**) {
  return kNoClass;  // no COM class factory is offered
}

Status TAMARISK_CALL DllCanUnloadNow() { return liveObjectCount == 0 ? kOk : kStillInUse; }

Status TAMARISK_CALL DllGetClassForm(const Guid* classId, uint32* instanceSize, CreateFn* create,
                                     DestroyFn* destroy) {
  ClassFormQuery query = {instanceSize, create, destroy, false};
  WalkClassTable(classId, WriteClassForm, nullptr, &query);
  return query.found ? kOk : kNoClass;
}

Status TAMARISK_CALL DllGetInterface(void* instance, const Guid* classId, const Guid* interfaceId,
                                     void** out) {
  InterfaceQuery query = {interfaceId, nullptr};
  WalkClassTable(classId, nullptr, FindInterface, &query);
  if (query.create == nullptr) return kNoInterface;
  return query.create(instance, out);
}

Status TAMARISK_CALL DllGetClassInfo(HostAllocator* allocator, ClassInfoEntry** out) {
  ClassInfoCursor cursor = {0, nullptr};
  WalkClassTable(nullptr, AddClassEntry, AddInterfaceEntry, &cursor);
  const uint32 size = static_cast<uint32>(cursor.count + 1) * sizeof(ClassInfoEntry);
  ClassInfoEntry* table =
      static_cast<ClassInfoEntry*>(allocator->ops->AllocateBlock(allocator, size));
  *out = table;
  if (table == nullptr) return kOutOfMemory;
  cursor = {0, table};
  WalkClassTable(nullptr, AddClassEntry, AddInterfaceEntry, &cursor);
  std::memset(cursor.next, 0, sizeof(ClassInfoEntry));  // null class and interface IDs end it
  return kOk;
}

}  // extern "C"
