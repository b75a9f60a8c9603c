#include "castexport/export_handler.h"

#include <cstdio>
#include <cstring>

#include "castexport/media_writers.h"
#include "castexport/member_properties.h"
#include "filecopy/copy_routine.h"
#include "filecopy/path_components.h"
#include "host/host_ref.h"
#include "module/message_box.h"
#include "module/module_state.h"
#include "module/scripting_class.h"
#include "platform/platform.h"
#include "res/messages.h"

namespace tamarisk {

struct ExportKind {
  const char* typeName;
  MediaWriter writer;
  const char* defaultExtension;
  const char* appendedExtension;
  const char* filter;
  bool nameFirst;  // the frame reads "name" before the writer's own reads
  // What media that could not be converted leads to.
  int32 notConvertedResult;
  const char* notConvertedMessage;
  const char* notConvertedCaption;
};

namespace {

const ExportKind kExportKinds[] = {
    {"bitmap", WriteBitmapMember, "bmp", ".bmp", kBitmapFilter, false, kBitmapConversionFailed,
     kBitmapFailed, kMemberCaption},
    {"picture", WritePictureMember, "pic", ".pic", kPictureFilter, false, kExportFailed, kCopyError,
     kCopyFailedCaption},
    {"field", WriteTextMember, "txt", ".txt", kTextFilter, true, kExportFailed, kCopyError,
     kCopyFailedCaption},
    {"richText", WriteTextMember, "txt", ".txt", kTextFilter, true, kExportFailed, kCopyError,
     kCopyFailedCaption},
};

constexpr int kLetters = 26;

// The temporary export file, deleted when the export ends, whatever its
// outcome; by the path as it was made, which the copy routine does not touch.
class TemporaryExportFile {
 public:
  TemporaryExportFile() = default;
  ~TemporaryExportFile() {
    if (path_[0] != '\0') platform::DeleteFileNamed(path_);
  }
  TemporaryExportFile(const TemporaryExportFile&) = delete;
  TemporaryExportFile& operator=(const TemporaryExportFile&) = delete;

  // Creates the file under a free name in the current folder.
  bool Claim() { return ClaimTemporaryFile(path_); }
  const char* path() const { return path_; }

 private:
  char path_[kTextBufferSize] = {};
};
constexpr uint32 kDigitsModulus = 100000;

// The handler's own outcome: the message (after the references that the
// outcome releases are gone) and the result.
void End(HostUtilities* utilities, CallRecord* call, int32 result, const char* message, const char* caption) {
  if (message != nullptr) ShowBracketedMessage(utilities, message, caption, kIconWarning);
  handlerState.result = result;
  utilities->ops->MakeIntegerValue(utilities, result, &call->result);
}

enum class Lookup { kFound, kNotFound, kNotAnIndex };

// A cast in the movie, or a member in the cast, from a Lingo argument: a
// string is always a name, else an integer is the number itself. The
// container is released right after it has handed the item out, whatever
// the outcome; not found covers a name the host does not know and a number
// it does not accept.
template <class Container, class Item>
Lookup Acquire(HostUtilities* utilities, const HostValue* argument, HostRef<Container>& container,
               Status(TAMARISK_CALL* find)(Container*, const char*, int32*),
               Status(TAMARISK_CALL* get)(Container*, int32, Item**), char* lookup, int32* index,
               HostRef<Item>& item) {
  lookup[0] = '\0';
  *index = 0;
  if (utilities->ops->ValueAsText(utilities, argument, lookup, kTextLimit) == kOk) {
    lookup[kTextLimit] = '\0';
    find(container.Get(), lookup, index);
    if (*index == 0) {
      container.Reset();
      return Lookup::kNotFound;
    }
  } else if (utilities->ops->ValueAsInteger(utilities, argument, index) != kOk) {
    lookup[0] = '\0';
    container.Reset();
    return Lookup::kNotAnIndex;
  }
  const Status status = get(container.Get(), *index, item.Receive());
  container.Reset();
  if (status != kOk) {
    item.Forget();
    return Lookup::kNotFound;
  }
  return Lookup::kFound;
}

}  // namespace

const ExportKind* FindExportKind(const char* typeName) {
  for (const ExportKind& kind : kExportKinds) {
    if (std::strcmp(typeName, kind.typeName) == 0) return &kind;
  }
  return nullptr;
}

void ComposeDefaultName(const char* name, int32 castIndex, int32 memberIndex, const ExportKind& kind,
                        char* out) {
  if (name[0] == '\0') {
    std::snprintf(out, kTextBufferSize, "%d-%d%s", static_cast<int>(castIndex), static_cast<int>(memberIndex),
                  kind.appendedExtension);
    return;
  }
  // The base name: no drive prefix, no folders, nothing from the last dot on.
  PathComponents parts;
  SplitPath(name, &parts);
  JoinPath("", "", parts.name, kind.defaultExtension, out, kTextBufferSize);
}

bool ClaimTemporaryFile(char* path) {
  const uint32 digits = platform::CurrentThreadId() % kDigitsModulus;
  for (int letter = 0; letter < kLetters; ++letter) {
    char name[16];
    std::snprintf(name, sizeof name, "cx%c%05u", 'a' + letter, static_cast<unsigned>(digits));
    if (!platform::NameIsFree(name)) continue;
    const uint32 length = platform::FullPathName(name, path, kTextBufferSize);
    if (length == 0 || length >= kTextBufferSize) break;
    // Created new, so a file that appeared under the name meanwhile is never
    // truncated: the next letter is tried.
    const platform::FileError error = platform::CreateNewFile(path);
    if (error == platform::FileError::kNone) return true;
    if (error != platform::FileError::kExists) break;
  }
  path[0] = '\0';
  return false;
}

void Avocets(InterfaceObject* self, CallRecord* call) {
  ScriptingInstance* instance = InstanceOf(self);
  HostUtilities* utilities = instance->utilities;
  char lookup[kTextBufferSize] = {};
  char defaultName[kTextBufferSize] = {};

  if (call->argCount < 2 || call->argCount > 3) {
    return End(utilities, call, kExportInvalid, kInvalidArguments, kCopyFailedCaption);
  }

  HostRef<MovieAccess> movie;
  if (instance->movieSource->ops->GetCurrentMovie(instance->movieSource, movie.Receive()) != kOk) {
    movie.Forget();
    return End(utilities, call, kNoMovie, nullptr, nullptr);
  }

  int32 castIndex = 0;
  HostRef<CastAccess> cast;
  switch (Acquire(utilities, &call->args[0], movie, movie->ops->FindCast, movie->ops->GetCast, lookup,
                  &castIndex, cast)) {
    case Lookup::kFound:
      break;
    case Lookup::kNotFound:
      return End(utilities, call, kNoSuchCastResult, kNoSuchCast, kMemberCaption);
    case Lookup::kNotAnIndex:
      return End(utilities, call, kExportInvalid, kInvalidArguments, kMemberCaption);
  }

  int32 memberIndex = 0;
  HostRef<MemberAccess> member;
  switch (Acquire(utilities, &call->args[1], cast, cast->ops->FindMember, cast->ops->GetMember, lookup,
                  &memberIndex, member)) {
    case Lookup::kFound:
      break;
    case Lookup::kNotFound:
      return End(utilities, call, kNoSuchMemberResult, kNoSuchMember, kMemberCaption);
    case Lookup::kNotAnIndex:
      return End(utilities, call, kExportInvalid, kInvalidArguments, kMemberCaption);
  }

  // A destination that is not a string is no destination: the user is asked.
  char* destination = handlerState.destination;
  destination[0] = '\0';
  if (call->argCount == 3 &&
      ReadArgumentText(utilities, &call->args[2], destination) == ArgumentText::kTooLong) {
    member.Reset();
    return End(utilities, call, kExportInvalid, kInvalidArguments, kCopyFailedCaption);
  }

  char* source = handlerState.source;
  ReadTextProperty(utilities, member.Get(), "fileName", source);
  if (source[0] != '\0') {
    member.Reset();
    return CopyToDestination(self, call, source, destination, nullptr, nullptr, kAllFilesFilter);
  }

  ReadSymbolProperty(utilities, member.Get(), "type", lookup);
  const ExportKind* kind = FindExportKind(lookup);
  if (kind == nullptr) {
    member.Reset();
    return End(utilities, call, kExportInvalid, kUnsupportedMedia, kCopyFailedCaption);
  }

  TemporaryExportFile temporary;
  if (!temporary.Claim()) {
    member.Reset();
    return End(utilities, call, kExportFailed, kCopyError, kCopyFailedCaption);
  }

  if (kind->nameFirst) ReadTextProperty(utilities, member.Get(), "name", defaultName);
  const WriteOutcome outcome = kind->writer(instance, member, temporary.path());
  if (!kind->nameFirst) ReadTextProperty(utilities, member.Get(), "name", defaultName);
  member.Reset();

  // A file that was not written whole is not copied as if it were.
  if (outcome == WriteOutcome::kNotWritten) {
    return End(utilities, call, kExportFailed, kCopyError, kCopyFailedCaption);
  }
  if (outcome == WriteOutcome::kNotConverted) {
    return End(utilities, call, kind->notConvertedResult, kind->notConvertedMessage,
               kind->notConvertedCaption);
  }
  ComposeDefaultName(defaultName, castIndex, memberIndex, *kind, defaultName);
  CopyText(temporary.path(), lookup, sizeof lookup);  // the copy routine rewrites its source
  CopyToDestination(self, call, lookup, destination, defaultName, kind->defaultExtension, kind->filter);
}

}  // namespace tamarisk
