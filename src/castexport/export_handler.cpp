#include "castexport/export_handler.h"

#include <cstring>

#include "castexport/export_kinds.h"
#include "castexport/file_sinks.h"
#include "castexport/member_lookup.h"
#include "castexport/member_properties.h"
#include "copyengine/free_names.h"
#include "filecopy/copy_routine.h"
#include "filecopy/outcome.h"
#include "base/path.h"
#include "host/host_ref.h"
#include "platform/platform.h"
#include "platform/scoped.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

// Creates the temporary export file, empty, in the current directory under
// "cx", a letter and the five lowest decimal digits of the thread's id: the
// first such name under which no file exists. It goes when keeper is
// closed, or the process ends, whatever happens meanwhile. False when no
// name is free or the file cannot be made.
bool ClaimTemporaryFile(Path* path, platform::OwnedHandle* keeper) {
  // Created new, so a file that appeared under the name meanwhile is never
  // truncated: the next letter is tried.
  const bool claimed =
      ClaimFreeName("", "cx", "", platform::CurrentThreadId(), path, [&](const char* full) {
        return platform::ClaimPassingFile(full, keeper->out());
      }) == platform::FileError::kNone;
  if (!claimed) path->Clear();
  return claimed;
}

// The kind's writer writing the file at path, through the kind's sink.
WriteOutcome WriteToFile(const ExportKind& kind, ScriptingInstance* instance,
                         HostRef<MemberAccess>& member, const char* path) {
  if (kind.piecewise) {
    PiecewiseFileSink sink(path);
    return sink.opened() ? kind.writer(instance, member, sink) : WriteOutcome::kNotWritten;
  }
  StreamFileSink sink(path);
  return sink.opened() ? kind.writer(instance, member, sink) : WriteOutcome::kNotWritten;
}

// What an export hands the copy routine once every host reference is gone:
// the file to deliver (the member's linked file, or the temporary export
// file, deleted when this ends), and how to offer it: a linked file as it
// is, a converted member under its default name with its kind's extension.
struct Delivery {
  platform::OwnedHandle temporary;  // the temporary export file's keeper
  Path source;
  Path destination;  // empty: the user chooses
  TextBuffer offeredName;
  const char* initialName = nullptr;  // null: the source's own name
  const char* defaultExtension = nullptr;
  const char* filter = kAllFilesFilter;
};

// A converted member: written by its kind's writer into the temporary export
// file, offered under its default name.
Refusal WriteMember(ScriptingInstance* instance, const ExportKind& kind, FoundMember* found,
                    Delivery* delivery) {
  if (!ClaimTemporaryFile(&delivery->source, &delivery->temporary)) return Outcome::kCopyError;
  // Read first: a writer may let go of the member after its own last read.
  TextBuffer name;
  ReadTextProperty(instance->utilities, found->member.Get(), "name", &name);
  const WriteOutcome outcome = WriteToFile(kind, instance, found->member, delivery->source.c_str());
  switch (outcome) {
    case WriteOutcome::kWritten: break;
    // A file that was not written whole is not copied as if it were.
    case WriteOutcome::kNotWritten: return Outcome::kCopyError;
    case WriteOutcome::kNotConverted: return kind.notConverted;
  }
  ComposeDefaultName(name.c_str(), found->castIndex, found->memberIndex, kind,
                     &delivery->offeredName);
  delivery->initialName = delivery->offeredName.c_str();
  delivery->defaultExtension = kind.defaultExtension;
  delivery->filter = kind.filter;
  return std::nullopt;
}

// Decides, holding the movie's references: the member, its destination,
// and its file; what to deliver is in delivery unless the call ends.
Refusal PrepareDelivery(ScriptingInstance* instance, const CallRecord* call, Delivery* delivery) {
  HostUtilities* utilities = instance->utilities;
  FoundMember found;
  if (Refusal refusal = FindMember(instance, call, &found)) return refusal;
  // A destination that is not a string is no destination: the user is asked.
  if (call->argCount == 3 && ReadArgumentText(utilities, &call->args[2], &delivery->destination) ==
                                 ArgumentText::kTooLong) {
    return Outcome::kInvalidArguments;
  }
  // Media in an external file is saved as that file, whatever the type.
  ReadTextProperty(utilities, found.member.Get(), "fileName", &delivery->source);
  if (!delivery->source.empty()) return std::nullopt;

  TextBuffer typeName;
  ReadSymbolProperty(utilities, found.member.Get(), "type", &typeName);
  const ExportKind* kind = FindExportKind(typeName.c_str());
  if (kind == nullptr) return Outcome::kUnsupportedMedia;
  return WriteMember(instance, *kind, &found, delivery);
}

CopyResult SaveMember(const CallContext& context, ScriptingInstance* instance,
                      const CallRecord* call) {
  if (call->argCount < 2 || call->argCount > 3) return {Outcome::kInvalidArguments, {}, {}, {}};
  Delivery delivery;
  if (Refusal refusal = PrepareDelivery(instance, call, &delivery)) return {*refusal, {}, {}, {}};
  return CopyToDestination(context, {delivery.source.c_str(), delivery.destination.c_str(),
                                     delivery.initialName, delivery.defaultExtension,
                                     delivery.filter});
}

}  // namespace

CopyResult Avocets(const CallContext& context, ScriptingInstance* instance,
                   const CallRecord* call) {
  return SaveMember(context, instance, call);
}

}  // namespace tamarisk
