#include "castexport/export_handler.h"

#include <cstdio>
#include <cstring>

#include "castexport/media_writers.h"
#include "castexport/member_properties.h"
#include "common/file_sinks.h"
#include "common/lettered_name.h"
#include "common/message_box.h"
#include "common/module_state.h"
#include "common/result.h"
#include "common/scripting_instance.h"
#include "filecopy/copy_routine.h"
#include "filecopy/path_components.h"
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
  bool nameFirst;  // the frame reads "name" before the writer's own reads
  // What media that could not be converted leads to.
  Result notConvertedResult;
  const char* notConvertedMessage;
  const char* notConvertedCaption;
};

namespace {

const ExportKind kExportKinds[] = {
    {"bitmap", WriteBitmapMember, true, "bmp", ".bmp", kBitmapFilter, false, Result::kNotConverted,
     kBitmapFailed, kMemberCaption},
    {"picture", WritePictureMember, false, "pic", ".pic", kPictureFilter, false, Result::kFailed,
     kCopyError, kCopyFailedCaption},
    {"field", WriteTextMember, false, "txt", ".txt", kTextFilter, true, Result::kFailed, kCopyError,
     kCopyFailedCaption},
    {"richText", WriteTextMember, false, "txt", ".txt", kTextFilter, true, Result::kFailed,
     kCopyError, kCopyFailedCaption},
};

// An outcome the handler decides itself: the message, shown after the
// references that the outcome releases are gone, and the result.
Result End(HostUtilities* utilities, Result result, const char* message, const char* caption) {
  if (message != nullptr) ShowBracketedMessage(utilities, message, caption, kIconWarning);
  return result;
}

enum class Lookup { kFound, kNotFound, kNotAnIndex, kTooLong };

// A cast in the movie, or a member in the cast, from a Lingo argument: a
// string is always a name, else an integer is the number itself. The
// container is released right after it has handed the item out, whatever
// the outcome; not found covers a name the host does not know and a number
// it does not accept. A name too long to hold whole is refused: cut, it may
// name another cast or member.
template <class Container, class Item>
Lookup LookUp(HostUtilities* utilities, const HostValue* argument, HostRef<Container>& container,
              Status(TAMARISK_CALL* find)(Container*, const char*, int32*),
              Status(TAMARISK_CALL* get)(Container*, int32, Item**), int32* index,
              HostRef<Item>& item) {
  char name[kTextBufferSize];
  *index = 0;
  const ArgumentText text = ReadArgumentText(utilities, argument, name);
  if (text == ArgumentText::kTooLong) {
    container.Reset();
    return Lookup::kTooLong;
  }
  if (text == ArgumentText::kText) {
    find(container.Get(), name, index);
    if (*index == 0) {
      container.Reset();
      return Lookup::kNotFound;
    }
  } else if (utilities->ops->ValueAsInteger(utilities, argument, index) != kOk) {
    container.Reset();
    return Lookup::kNotAnIndex;
  }
  const Status status = item.Acquire([&](Item** out) { return get(container.Get(), *index, out); });
  container.Reset();
  return status == kOk ? Lookup::kFound : Lookup::kNotFound;
}

// The member that the call's first two arguments name, with the cast's and
// the member's numbers; on failure the outcome, every reference gone.
struct FoundMember {
  HostRef<MemberAccess> member;
  int32 castIndex = 0;
  int32 memberIndex = 0;
};

bool FindMember(ScriptingInstance* instance, const CallRecord* call, FoundMember* found,
                Result* failure) {
  HostUtilities* utilities = instance->utilities;
  HostRef<MovieAccess> movie;
  MovieSource* source = instance->movieSource;
  if (movie.Acquire([&](MovieAccess** out) { return source->ops->GetCurrentMovie(source, out); }) !=
      kOk) {
    *failure = End(utilities, Result::kNoAnswer, nullptr, nullptr);  // no movie is playing
    return false;
  }
  HostRef<CastAccess> cast;
  switch (LookUp(utilities, &call->args[0], movie, movie->ops->FindCast, movie->ops->GetCast,
                 &found->castIndex, cast)) {
    case Lookup::kFound: break;
    case Lookup::kNotFound:
      *failure = End(utilities, Result::kNoSuchCast, kNoSuchCast, kMemberCaption);
      return false;
    case Lookup::kNotAnIndex:
    case Lookup::kTooLong:
      *failure = End(utilities, Result::kInvalid, kInvalidArguments, kMemberCaption);
      return false;
  }
  switch (LookUp(utilities, &call->args[1], cast, cast->ops->FindMember, cast->ops->GetMember,
                 &found->memberIndex, found->member)) {
    case Lookup::kFound: return true;
    case Lookup::kNotFound:
      *failure = End(utilities, Result::kNoSuchMember, kNoSuchMember, kMemberCaption);
      return false;
    case Lookup::kNotAnIndex:
    case Lookup::kTooLong: break;
  }
  *failure = End(utilities, Result::kInvalid, kInvalidArguments, kMemberCaption);
  return false;
}

// Creates the temporary export file, empty, in the current directory under
// "cx", a letter and the five lowest decimal digits of the thread's id: the
// first such name under which no file exists. path (512 bytes) receives its
// absolute path; false when no name is free or the file cannot be made.
bool ClaimTemporaryFile(char* path) {
  for (int letter = 0; letter < kNameLetters; ++letter) {
    char name[16];
    LetteredName("cx", letter, name, sizeof name);
    if (!platform::NameIsFree(name)) continue;
    // A path the platform cannot delete again is never made.
    const uint32 length = platform::FullPathName(name, path, kTextBufferSize);
    if (length == 0 || length > platform::kPlatformPathLimit) break;
    // Created new, so a file that appeared under the name meanwhile is never
    // truncated: the next letter is tried.
    const platform::FileError error = platform::CreateNewFile(path);
    if (error == platform::FileError::kNone) return true;
    if (error != platform::FileError::kExists) break;
  }
  path[0] = '\0';
  return false;
}

// The temporary export file, deleted when the export ends, whatever its
// outcome, by the path it was made under.
class TemporaryExportFile {
 public:
  bool Claim() {
    char path[kTextBufferSize];
    if (!ClaimTemporaryFile(path)) return false;
    file_.Made(path);
    return true;
  }
  const char* path() const { return file_.path(); }

 private:
  platform::MadeFile file_;
};

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

// A converted member: written by its kind's writer into the temporary export
// file, which is then delivered to the destination. The member is released
// once its last property has been read.
Result ExportConverted(InterfaceObject* self, const ExportKind& kind, FoundMember* found,
                       char* destination) {
  ScriptingInstance* instance = InstanceOf(self);
  HostUtilities* utilities = instance->utilities;
  TemporaryExportFile temporary;
  if (!temporary.Claim()) {
    found->member.Reset();
    return End(utilities, Result::kFailed, kCopyError, kCopyFailedCaption);
  }
  char name[kTextBufferSize];
  if (kind.nameFirst) ReadTextProperty(utilities, found->member.Get(), "name", name);
  const WriteOutcome outcome = WriteToFile(kind, instance, found->member, temporary.path());
  if (!kind.nameFirst) ReadTextProperty(utilities, found->member.Get(), "name", name);
  found->member.Reset();

  // A file that was not written whole is not copied as if it were.
  if (outcome == WriteOutcome::kNotWritten)
    return End(utilities, Result::kFailed, kCopyError, kCopyFailedCaption);
  if (outcome == WriteOutcome::kNotConverted) {
    return End(utilities, kind.notConvertedResult, kind.notConvertedMessage,
               kind.notConvertedCaption);
  }
  char defaultName[kTextBufferSize];
  ComposeDefaultName(name, found->castIndex, found->memberIndex, kind, defaultName);
  // The copy routine rewrites its source; the temporary file keeps its own path.
  char source[kTextBufferSize];
  CopyText(temporary.path(), source, sizeof source);
  return CopyToDestination(self, source, destination, defaultName, kind.defaultExtension,
                           kind.filter);
}

Result SaveMember(InterfaceObject* self, const CallRecord* call) {
  ScriptingInstance* instance = InstanceOf(self);
  HostUtilities* utilities = instance->utilities;
  if (call->argCount < 2 || call->argCount > 3) {
    return End(utilities, Result::kInvalid, kInvalidArguments, kCopyFailedCaption);
  }
  FoundMember found;
  Result failure = Result::kInvalid;
  if (!FindMember(instance, call, &found, &failure)) return failure;

  // A destination that is not a string is no destination: the user is asked.
  char* destination = handlerState.destination;
  destination[0] = '\0';
  if (call->argCount == 3 &&
      ReadArgumentText(utilities, &call->args[2], destination) == ArgumentText::kTooLong) {
    found.member.Reset();
    return End(utilities, Result::kInvalid, kInvalidArguments, kCopyFailedCaption);
  }

  // Media in an external file is saved as that file, whatever the type.
  char* linked = handlerState.source;
  ReadTextProperty(utilities, found.member.Get(), "fileName", linked);
  if (linked[0] != '\0') {
    found.member.Reset();
    return CopyToDestination(self, linked, destination, nullptr, nullptr, kAllFilesFilter);
  }

  char typeName[kTextBufferSize];
  ReadSymbolProperty(utilities, found.member.Get(), "type", typeName);
  const ExportKind* kind = FindExportKind(typeName);
  if (kind == nullptr) {
    found.member.Reset();
    return End(utilities, Result::kInvalid, kUnsupportedMedia, kCopyFailedCaption);
  }
  return ExportConverted(self, *kind, &found, destination);
}

}  // namespace

const ExportKind* FindExportKind(const char* typeName) {
  for (const ExportKind& kind : kExportKinds) {
    if (std::strcmp(typeName, kind.typeName) == 0) return &kind;
  }
  return nullptr;
}

void ComposeDefaultName(const char* name, int32 castIndex, int32 memberIndex,
                        const ExportKind& kind, char* out) {
  if (name[0] == '\0') {
    std::snprintf(out, kTextBufferSize, "%d-%d%s", static_cast<int>(castIndex),
                  static_cast<int>(memberIndex), kind.appendedExtension);
    return;
  }
  // The base name: no drive prefix, no folders, nothing from the last dot on.
  PathComponents parts;
  SplitPath(name, &parts);
  JoinPath("", "", parts.name, kind.defaultExtension, out, kTextBufferSize);
}

void Avocets(InterfaceObject* self, CallRecord* call) {
  HostUtilities* utilities = InstanceOf(self)->utilities;
  utilities->ops->MakeIntegerValue(utilities, static_cast<int32>(SaveMember(self, call)),
                                   &call->result);
}

}  // namespace tamarisk
