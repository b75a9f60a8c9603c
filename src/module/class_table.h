// The module's fixed table of classes, read by the entry points.
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

// The module's classes, in the order the host is told them.
constexpr int kClassCount = 2;
extern const ClassDescription kClassTable[kClassCount];

}  // namespace tamarisk
