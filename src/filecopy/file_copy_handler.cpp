#include "filecopy/file_copy_handler.h"

#include "filecopy/copy_routine.h"
#include "module/module_state.h"
#include "module/scripting_class.h"
#include "res/messages.h"

namespace tamarisk {

void Plovers(InterfaceObject* self, CallRecord* call) {
  HostUtilities* utilities = InstanceOf(self)->utilities;
  char* source = handlerState.source;
  char* destination = handlerState.destination;
  source[0] = '\0';
  destination[0] = '\0';
  bool valid = call->argCount >= 1 && call->argCount <= 2 &&
               ReadArgumentText(utilities, &call->args[0], source) == ArgumentText::kText;
  if (valid && call->argCount == 2) {
    valid = ReadArgumentText(utilities, &call->args[1], destination) == ArgumentText::kText;
  }
  if (!valid) {
    source[0] = '\0';
    destination[0] = '\0';
    Fail(utilities, kInvalidArguments, kInvalidRequest);
    utilities->ops->MakeIntegerValue(utilities, handlerState.result, &call->result);
    return;
  }
  CopyToDestination(self, call, source, destination, nullptr, nullptr, kAllFilesFilter);
}

}  // namespace tamarisk
