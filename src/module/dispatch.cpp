#include "module/dispatch.h"

#include "castexport/export_handler.h"
#include "common/message_box.h"
#include "common/module_state.h"
#include "common/result.h"
#include "common/scripting_instance.h"
#include "filecopy/file_copy_handler.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

// A call that arrives while a handler runs (the host's messages are
// dispatched during a copy, a script may run from them) would overwrite
// the state the running handler works from: it is refused.
void Refuse(InterfaceObject* self, CallRecord* call) {
  HostUtilities* utilities = InstanceOf(self)->utilities;
  ShowBracketedMessage(utilities, kCopyBusy, kCopyFailedCaption, kIconWarning);
  utilities->ops->MakeIntegerValue(utilities, static_cast<int32>(Result::kFailed), &call->result);
}

}  // namespace

Status TAMARISK_CALL DispatchCall(InterfaceObject* self, CallRecord* call) {
  if (call->selector != kMessagePlovers && call->selector != kMessageAvocets) {
    return kOk;  // the constructor and unknown numbers do nothing
  }
  if (handlerState.running) {
    Refuse(self, call);
    return kOk;
  }
  handlerState.running = true;
  if (call->selector == kMessagePlovers) {
    Plovers(self, call);
  } else {
    Avocets(self, call);
  }
  handlerState.running = false;
  return kOk;
}

}  // namespace tamarisk
