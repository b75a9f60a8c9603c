#include "filecopy/file_copy_handler.h"

#include "common/message_box.h"
#include "common/module_state.h"
#include "common/scripting_instance.h"
#include "filecopy/copy_routine.h"
#include "host/host_ref.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

Result CopyFile(InterfaceObject* self, const CallRecord* call) {
  HostUtilities* utilities = InstanceOf(self)->utilities;
  char* source = handlerState.source;
  char* destination = handlerState.destination;
  source[0] = '\0';
  destination[0] = '\0';
  const bool valid = call->argCount >= 1 && call->argCount <= 2 &&
                     ReadArgumentText(utilities, &call->args[0], source) == ArgumentText::kText &&
                     (call->argCount == 1 || ReadArgumentText(utilities, &call->args[1],
                                                              destination) == ArgumentText::kText);
  if (!valid) {
    source[0] = '\0';
    destination[0] = '\0';
    ShowBracketedMessage(utilities, kInvalidArguments, kCopyFailedCaption, kIconWarning);
    return Result::kInvalid;
  }
  return CopyToDestination(self, source, destination, nullptr, nullptr, kAllFilesFilter);
}

}  // namespace

void Plovers(InterfaceObject* self, CallRecord* call) {
  HostUtilities* utilities = InstanceOf(self)->utilities;
  utilities->ops->MakeIntegerValue(utilities, static_cast<int32>(CopyFile(self, call)),
                                   &call->result);
}

}  // namespace tamarisk
