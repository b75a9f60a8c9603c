#include "castexport/export_handler.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "castexport/media_writers.h"
#include "castexport/member_properties.h"
#include "common/file_sinks.h"
#include "copyengine/free_names.h"
#include "common/outcome.h"
#include "common/scripting_instance.h"
#include "filecopy/copy_routine.h"
#include "base/path.h"
#include "host/host_ref.h"
#include "platform/platform.h"
#include "platform/scoped.h"
#include "res/messages.h"

namespace tamarisk {

struct ExportKind {
  const char* typeName;
  MediaWriter writer;
  bool piecewise;  // written in _lwrite pieces, as bitmap files always were
  const char* defaultExtension;
  const char* appendedExtension;
  const char* filter;
  Outcome notConverted;  // what media that could not be converted leads to
};

namespace {

const ExportKind kExportKinds[] = {
    {"bitmap", WriteBitmapMember, true, "bmp", ".bmp", kBitmapFilter, Outcome::kNotConverted},
    {"picture", WritePictureMember, false, "pic", ".pic", kPictureFilter, Outcome::kCopyError},
    {"field", WriteTextMember, false, "txt", ".txt", kTextFilter, Outcome::kCopyError},
    {"richText", WriteTextMember, false, "txt", ".txt", kTextFilter, Outcome::kCopyError},
};

enum class Lookup { kFound, kNotFound, kNotAName };

// A cast in the movie, or a member in the cast, from a Lingo argument: a
// string is always a name, else an integer is the number itself. Not found
// covers a name the host does not know and a number it does not accept. A
// name too long to hold whole is none: cut, it may name another.
template <class Container, class Item>
Lookup LookUp(HostUtilities* utilities, const HostValue* argument, Container* container,
              Status(TAMARISK_CALL* find)(Container*, const char*, int32*),
              Status(TAMARISK_CALL* get)(Container*, int32, Item**), int32* index,
              HostRef<Item>* item) {
  TextBuffer name;
  *index = 0;
  switch (ReadArgumentText(utilities, argument, &name)) {
    case ArgumentText::kTooLong: return Lookup::kNotAName;
    case ArgumentText::kText:
      find(container, name.c_str(), index);
      if (*index == 0) return Lookup::kNotFound;
      break;
    case ArgumentText::kNotText:
      if (utilities->ops->ValueAsInteger(utilities, argument, index) != kOk)
        return Lookup::kNotAName;
      break;
  }
  const Status status = item->Acquire([&](Item** out) { return get(container, *index, out); });
  return status == kOk ? Lookup::kFound : Lookup::kNotFound;
}

// The steps that lead to a delivery return why the call ends, if it does.
using Refusal = std::optional<Outcome>;

// What a lookup means for the call: nothing when it found the item.
Refusal RefusalOf(Lookup lookup, Outcome notFound) {
  if (lookup == Lookup::kFound) return std::nullopt;
  return lookup == Lookup::kNotFound ? notFound : Outcome::kInvalidMember;
}

// The member that the call's first two arguments name, with the cast's and
// the member's numbers.
struct FoundMember {
  HostRef<MemberAccess> member;
  int32 castIndex = 0;
  int32 memberIndex = 0;
};

// The cast of the current movie that argument names; the movie is let go
// once it has handed the cast out.
Refusal FindCast(ScriptingInstance* instance, const HostValue* argument,
                 HostRef<CastAccess>* cast, int32* index) {
  HostRef<MovieAccess> movie;
  MovieSource* source = instance->movieSource;
  if (movie.Acquire([&](MovieAccess** out) { return source->ops->GetCurrentMovie(source, out); }) !=
      kOk) {
    return Outcome::kNoMovie;
  }
  return RefusalOf(LookUp(instance->utilities, argument, movie.Get(), movie->ops->FindCast,
                          movie->ops->GetCast, index, cast),
                   Outcome::kNoSuchCast);
}

Refusal FindMember(ScriptingInstance* instance, const CallRecord* call, FoundMember* found) {
  HostRef<CastAccess> cast;
  if (Refusal refusal = FindCast(instance, &call->args[0], &cast, &found->castIndex)) {
    return refusal;
  }
  return RefusalOf(LookUp(instance->utilities, &call->args[1], cast.Get(), cast->ops->FindMember,
                          cast->ops->GetMember, &found->memberIndex, &found->member),
                   Outcome::kNoSuchMember);
}

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

const ExportKind* FindExportKind(const char* typeName) {
  for (const ExportKind& kind : kExportKinds) {
    if (std::strcmp(typeName, kind.typeName) == 0) return &kind;
  }
  return nullptr;
}

void ComposeDefaultName(const char* name, int32 castIndex, int32 memberIndex,
                        const ExportKind& kind, TextBuffer* out) {
  if (name[0] == '\0') {
    std::snprintf(out->data(), TextBuffer::kCapacity, "%d-%d%s", static_cast<int>(castIndex),
                  static_cast<int>(memberIndex), kind.appendedExtension);
    return;
  }
  // The base name: no drive prefix, no folders, nothing from the last dot on.
  PathComponents parts;
  SplitPath(name, &parts);
  JoinPath("", "", parts.name, kind.defaultExtension, out->data(), TextBuffer::kCapacity);
}

CopyResult Avocets(const CallContext& context, ScriptingInstance* instance,
                   const CallRecord* call) {
  return SaveMember(context, instance, call);
}

}  // namespace tamarisk
