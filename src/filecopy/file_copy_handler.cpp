#include "filecopy/file_copy_handler.h"

#include "filecopy/copy_routine.h"
#include "module/module_state.h"
#include "module/scripting_class.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

// A Lingo argument as text into a 512-byte buffer; false when the host
// cannot convert it. The buffer never keeps an earlier call's text.
bool ArgumentText(HostUtilities* utilities, const HostValue* value, char* buffer) {
  buffer[0] = '\0';
  const Status status = utilities->ops->ValueAsText(utilities, value, buffer, kTextLimit);
  buffer[kTextLimit] = '\0';
  if (status != kOk) buffer[0] = '\0';
  return status == kOk;
}

}  // namespace

void Plovers(InterfaceObject* self, CallRecord* call) {
  HostUtilities* utilities = InstanceOf(self)->utilities;
  char* source = handlerState.source;
  char* destination = handlerState.destination;
  const bool countOk = call->argCount >= 1 && call->argCount <= 2;
  bool textOk = countOk && ArgumentText(utilities, &call->args[0], source);
  if (textOk && call->argCount == 2) {
    textOk = ArgumentText(utilities, &call->args[1], destination);
  } else {
    destination[0] = '\0';
  }
  if (!textOk) {
    source[0] = '\0';
    destination[0] = '\0';
    Fail(utilities, kInvalidArguments, kInvalidRequest);
    utilities->ops->MakeIntegerValue(utilities, handlerState.result, &call->result);
    return;
  }
  CopyToDestination(self, call, source, destination, nullptr, nullptr, kAllFilesFilter);
}

}  // namespace tamarisk
