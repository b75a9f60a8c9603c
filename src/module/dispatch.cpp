#include "module/dispatch.h"

#include "castexport/export_handler.h"
#include "module/module_state.h"
#include "filecopy/outcome.h"
#include "castexport/scripting_instance.h"
#include "copyengine/copy_engine.h"
#include "filecopy/file_copy_handler.h"
#include "ui/host_person.h"

namespace tamarisk {

namespace {

// Ends a Lingo call: the person told how it ended, once every host reference
// the handler held is gone, and the result stored in the call.
void EndCall(Person* person, HostUtilities* utilities, CallRecord* call, Outcome outcome,
             const Path& keptAt) {
  const OutcomeText& text = TextOf(outcome);
  if (text.message != nullptr) {
    person->Tell(text.message, text.caption, keptAt.empty() ? nullptr : keptAt.c_str());
  }
  utilities->ops->MakeIntegerValue(utilities, static_cast<int32>(text.result), &call->result);
}

}  // namespace

Status TAMARISK_CALL DispatchCall(InterfaceObject* self, CallRecord* call) {
  if (call->selector != kMessagePlovers && call->selector != kMessageAvocets) {
    return kOk;  // the constructor and unknown numbers do nothing
  }
  // A call that arrives while a handler runs (the host's messages are
  // dispatched during a copy, and a script may run from them) would share
  // the dialog's folder and the user's attention with it: it is refused.
  // So is one while a cancelled copy's worker still waits for a read that
  // hangs: the file it made is not gone yet.
  ScriptingInstance* instance = InstanceOf(self);
  HostPerson person(instance->utilities, moduleContext.hostWindow, moduleContext.hostInstance);
  if (handlerState.running || CopiesStillRunning()) {
    EndCall(&person, instance->utilities, call, Outcome::kBusy, Path());
    return kOk;
  }
  handlerState.running = true;
  // What a process that ended mid-write left, or a write whose drive was gone.
  RecoverInterruptedWrites();
  const CallContext context = {&person, moduleContext.baseDrive, moduleContext.baseDirectory,
                               handlerState.dialogDirectory.c_str()};
  const CopyResult result = call->selector == kMessagePlovers
                                ? Plovers(context, instance->utilities, call)
                                : Avocets(context, instance, call);
  RememberDialogFolder(result, &handlerState.dialogDirectory);
  EndCall(&person, instance->utilities, call, result.outcome, result.keptAt);
  handlerState.running = false;
  return kOk;
}

}  // namespace tamarisk
