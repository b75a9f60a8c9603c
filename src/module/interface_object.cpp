#include "module/interface_object.h"

#include "module/module_state.h"
#include "module/dispatch.h"
#include "module/registration_class.h"
#include "platform/platform.h"

namespace tamarisk {

namespace {

InstanceHeader* OuterOf(InterfaceObject* self) { return static_cast<InstanceHeader*>(self->outer); }

Status TAMARISK_CALL QueryInterface(InterfaceObject* self, const Guid* id, void** out) {
  // The host's instance answers for all of its interfaces.
  InstanceHeader* outer = OuterOf(self);
  return outer->ops->QueryInterface(outer, id, out);
}

uint32 TAMARISK_CALL AddRef(InterfaceObject* self) {
  InstanceHeader* outer = OuterOf(self);
  outer->ops->AddRef(outer);
  return static_cast<uint32>(++self->refCount);
}

uint32 TAMARISK_CALL Release(InterfaceObject* self) {
  InstanceHeader* outer = OuterOf(self);
  const int32 count = --self->refCount;
  if (count == 0) {
    outer->allocator->ops->FreeBlock(outer->allocator, self);
    --liveObjectCount;
    outer->ops->Release(outer);  // the reference for the object's existence
  }
  outer->ops->Release(outer);  // the reference paired with this call
  return static_cast<uint32>(count);
}

// AllocateBlock, retried through the installed new-handler while it fails.
void* AllocateRetrying(HostAllocator* allocator, uint32 size) {
  for (;;) {
    void* block = allocator->ops->AllocateBlock(allocator, size);
    if (block != nullptr) return block;
    // A handler that answers 0 could free nothing: retrying would never end.
    if (!platform::CallNewHandler(size)) return nullptr;
  }
}

const RegistrationInterfaceOps kRegistrationOps = {QueryInterface, AddRef, Release,
                                                   PublishMessageTable};
const ScriptingInterfaceOps kScriptingOps = {QueryInterface, AddRef, Release, DispatchCall};

Status CreateInterfaceObject(void* outer, void** out, const void* ops) {
  InstanceHeader* header = static_cast<InstanceHeader*>(outer);
  void* block = AllocateRetrying(header->allocator, sizeof(InterfaceObject));
  if (block == nullptr) {
    *out = nullptr;
    return kOutOfMemory;
  }
  InterfaceObject* object = static_cast<InterfaceObject*>(block);
  object->outer = outer;
  object->refCount = 1;
  header->ops->AddRef(header);
  header->ops->AddRef(header);
  ++liveObjectCount;
  object->ops = ops;
  *out = object;
  return kOk;
}

}  // namespace

Status CreateRegistrationInterface(void* outer, void** out) {
  return CreateInterfaceObject(outer, out, &kRegistrationOps);
}

Status CreateScriptingInterface(void* outer, void** out) {
  return CreateInterfaceObject(outer, out, &kScriptingOps);
}

}  // namespace tamarisk
