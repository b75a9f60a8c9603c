#include "filecopy/file_copy_handler.h"

#include "common/outcome.h"
#include "common/scripting_instance.h"
#include "filecopy/copy_routine.h"
#include "host/host_ref.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

// The call's one or two string arguments, each whole.
bool ReadArguments(HostUtilities* utilities, const CallRecord* call, Path* source,
                   Path* destination) {
  return call->argCount >= 1 && call->argCount <= 2 &&
         ReadArgumentText(utilities, &call->args[0], source) == ArgumentText::kText &&
         (call->argCount == 1 ||
          ReadArgumentText(utilities, &call->args[1], destination) == ArgumentText::kText);
}

Outcome CopyFile(InterfaceObject* self, const CallRecord* call) {
  Path source;
  Path destination;
  if (!ReadArguments(InstanceOf(self)->utilities, call, &source, &destination))
    return Outcome::kInvalidArguments;
  return CopyToDestination(self, &source, &destination, nullptr, nullptr, kAllFilesFilter);
}

}  // namespace

void Plovers(InterfaceObject* self, CallRecord* call) {
  EndCall(InstanceOf(self)->utilities, call, CopyFile(self, call));
}

}  // namespace tamarisk
