// The module's fixed table of classes and the one walk that serves the
// entry points' lookups.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

struct InterfaceDescription {
  const Guid* id;
  uint32 version;
  InterfaceCreateFn create;
};

struct ClassDescription {
  const Guid* id;
  uint32 version;
  uint32 instanceSize;
  CreateFn create;
  DestroyFn destroy;
  const InterfaceDescription* interfaces;
  int interfaceCount;
};

using ClassVisitor = int (*)(const ClassDescription& cls, void* context);
using InterfaceVisitor = int (*)(const ClassDescription& cls, const InterfaceDescription& iface,
                                 void* context);

// Visits the classes that pass the filter (null: all) in table order; a
// visitor's nonzero return ends the walk with that value.
int WalkClassTable(const Guid* filter, ClassVisitor classVisitor, InterfaceVisitor interfaceVisitor,
                   void* context);

}  // namespace tamarisk
