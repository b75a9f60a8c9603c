#include "module/dispatch.h"

#include "castexport/export_handler.h"
#include "common/module_state.h"
#include "common/outcome.h"
#include "common/scripting_instance.h"
#include "copyengine/copy_engine.h"
#include "filecopy/file_copy_handler.h"
#include "filecopy/host_person.h"

namespace tamarisk {

Status TAMARISK_CALL DispatchCall(InterfaceObject* self, CallRecord* call) {
  if (call->selector != kMessagePlovers && call->selector != kMessageAvocets) {
    return kOk;  // the constructor and unknown numbers do nothing
  }
  // A call that arrives while a handler runs (the host's messages are
  // dispatched during a copy, and a script may run from them) would share
  // the dialog's folder and the user's attention with it: it is refused.
  // So is one while a cancelled copy's worker still waits for a read that
  // hangs: the file it made is not gone yet.
  if (handlerState.running || CopiesStillRunning()) {
    EndCall(InstanceOf(self)->utilities, call, Outcome::kBusy);
    return kOk;
  }
  handlerState.running = true;
  // What a process that ended mid-write left, or a write whose drive was gone.
  RecoverInterruptedWrites();
  ScriptingInstance* instance = InstanceOf(self);
  HostPerson person(instance->utilities, moduleContext.hostWindow, moduleContext.hostInstance);
  const CallContext context = {&person, moduleContext.baseDrive, moduleContext.baseDirectory,
                               handlerState.dialogDirectory.c_str()};
  const CopyResult result = call->selector == kMessagePlovers
                                ? Plovers(context, instance->utilities, call)
                                : Avocets(context, instance, call);
  RememberDialogFolder(result, &handlerState.dialogDirectory);
  EndCall(instance->utilities, call, result.outcome);
  handlerState.running = false;
  return kOk;
}

}  // namespace tamarisk
