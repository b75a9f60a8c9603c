#include "filecopy/safe_copy.h"

#include <cstring>

#include "base/path.h"
#include "copyengine/copy_engine.h"
#include "copyengine/free_names.h"
#include "platform/exact_text.h"
#include "platform/platform.h"
#include "platform/retrying.h"
#include "platform/scoped.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

using platform::FileError;

// What a replaced file keeps: the attributes a user sets (a read-only file
// is never replaced).
constexpr uint32 kKeptAttributes = 0x2 | 0x4 | 0x2000;  // hidden, system, not indexed
constexpr uint32 kReadOnly = 0x1;

// The attributes a copy takes (the source's for a new file, the old file's
// for a replacement); archive, which the file system gives every file it
// writes so that a backup takes it, is always kept.
constexpr uint32 kTakenAttributes = kReadOnly | 0x2 | 0x4 | 0x2000;
constexpr uint32 kArchive = 0x20;

// Copies the job's source into a new file of a free name in target's
// folder, which beside then holds. kTooLong when no such name fits the
// platform's paths.
FileError CopyBeside(CopyJob* job, const char* target, platform::MadeFile* beside,
                     platform::SourceFacts* facts) {
  Path candidate;
  // Created new: a file that appeared under the name meanwhile is not ours.
  return ClaimFreeName(PathOf(target).Folder().c_str(), "~tm", ".tmp", job->callerThread(),
                       &candidate,
                       [&](const char* path) { return CopyIntoNewFile(job, path, beside, facts); });
}

// Writes over the old file's own bytes, which every name of it then shows.
// The old file is touched only once every new byte is in hand, in a file of
// the user's temporary folder named as the target.
FileError CopyInPlace(CopyJob* job, const char* target) {
  Path temporaryFolder;
  Path inTemporary;
  if (!platform::CanWriteInPlace(target) ||
      !platform::TemporaryFolder(temporaryFolder.data(), Path::kCapacity) ||
      !inTemporary.Join(temporaryFolder.c_str(), PathOf(target).FileName().c_str(), "")) {
    return FileError::kOther;
  }
  platform::MadeFile copy;
  platform::SourceFacts facts = {};
  const FileError error = CopyBeside(job, inTemporary.c_str(), &copy, &facts);
  if (error != FileError::kNone) return error;
  return WriteInPlace(job, &copy, target, facts.lastWrite);
}

// A whole copy made as made, given what it takes of its source, then put in
// place: kept where it was made (target null) or renamed onto target. The
// job commits first: a cancel asked before leaves nothing.
FileError PutInPlace(CopyJob* job, platform::MadeFile* made, const platform::SourceFacts& facts,
                     const char* target, uint32 attributes) {
  // Replacing, the new bytes are on the disk before they take the old
  // file's place.
  if (target != nullptr) {
    const FileError flushed = platform::FlushToDisk(made->handle());
    if (flushed != FileError::kNone) return flushed;
  }
  if (!job->progress()->Commit()) return FileError::kCancelled;
  if (!made->Unmark()) return FileError::kOther;
  TakeMarkAndTime(job->source(), made->path(), made->handle(), facts.lastWrite, false);
  // Where the drive takes them: one that refuses them (a FAT drive of a
  // file-system driver, a share that lets the user write files but not
  // attributes) is no reason to fail; a scanner may hold the file a moment.
  const uint32 wanted = (attributes & kTakenAttributes) | kArchive;
  if (wanted != kArchive) {
    platform::Retrying([&] { return platform::SetAttributes(made->path(), wanted); });
  }
  if (target != nullptr) {
    const FileError error =
        platform::Retrying([&] { return platform::MoveOnto(made->path(), target, true); });
    if (error != FileError::kNone) return error;
  }
  made->Keep();
  return FileError::kNone;
}

using platform::WideChar;

// The longest final path worth asking for: a share's answer ("\\?\UNC\" for
// "\\") of a path at the platform's limit, and its NUL.
constexpr uint32 kFinalCapacity = platform::kPlatformPathLimit + 7;

// Names compare as the file system does for ASCII; any other difference
// counts, which at worst writes in place where a rename would have done.
bool SameName(const WideChar* a, const WideChar* b) {
  const auto lower = [](WideChar c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; };
  std::size_t i = 0;
  while (a[i] != 0 && lower(a[i]) == lower(b[i])) ++i;
  return lower(a[i]) == lower(b[i]);
}

// The path a final path's answer names: "\\?\C:\x" is C:\x, and
// "\\?\UNC\server\share\x" is \\server\share\x.
const WideChar* Unprefixed(WideChar* answer) {
  const auto startsWith = [&](const char* prefix) {
    std::size_t i = 0;
    while (prefix[i] != '\0' && answer[i] == static_cast<WideChar>(prefix[i])) ++i;
    return prefix[i] == '\0';
  };
  if (startsWith("\\\\?\\UNC\\")) {
    answer[6] = '\\';
    return answer + 6;
  }
  return startsWith("\\\\?\\") ? answer + 4 : answer;
}

// Whether destination's own entry is a link to the file final names: its
// folder's final path and its name do not make final. False when that
// cannot be told.
bool NamesALink(const char* destination, const WideChar* final) {
  const Path path = PathOf(destination);
  WideChar expected[kFinalCapacity];
  uint32 length = platform::FinalPathName(path.Folder().c_str(), expected, kFinalCapacity);
  if (length == 0) return false;
  const Path name = path.FileName();
  WideChar* end = expected + length;
  if (end[-1] != '\\') *end++ = '\\';
  const uint32 room = static_cast<uint32>(expected + kFinalCapacity - end);
  if (platform::WideFromAnsi(name.c_str(), static_cast<uint32>(std::strlen(name.c_str()) + 1), end,
                             room) == 0) {
    return false;
  }
  return !SameName(Unprefixed(expected), final);
}

// Where a replacement is written: the file destination reaches (a symbolic
// link's target) under its stored name, by its final path (answer, of
// answerLength characters) when the ANSI code page holds that exactly and it
// fits the platform's limit. Otherwise through destination itself, in place
// when that is a link, whose target only writing through it reaches.
void FindTarget(const char* destination, WideChar* answer, uint32 answerLength, char* target,
                bool* inPlace) {
  FitText(destination, target, kTextBufferSize);
  *inPlace = false;
  // None on volumes without a drive letter, or a share's folder that may not be listed.
  if (answerLength == 0) return;
  const WideChar* final = Unprefixed(answer);
  char exact[kTextBufferSize];
  if (platform::ExactAnsi(final, exact, sizeof exact) &&
      std::strlen(exact) <= platform::kPlatformPathLimit) {
    FitText(exact, target, kTextBufferSize);
    return;
  }
  *inPlace = NamesALink(destination, final);
}

// Everything the job does to files: where the copy goes is decided here,
// on the job's thread, since finding the file a name reaches opens it.
FileError PlaceCopy(CopyJob* job) {
  platform::MadeFile made;
  platform::SourceFacts facts = {};
  char target[kTextBufferSize];
  bool throughLink = false;
  platform::ReachedFile reached = {};
  if (job->replace()) {
    WideChar answer[kFinalCapacity];
    if (!platform::QueryReachedFile(job->destination(), answer, kFinalCapacity, &reached))
      return FileError::kOther;
    FindTarget(job->destination(), answer, reached.finalLength, target, &throughLink);
  }
  const platform::FileFacts& old = reached.facts;
  const DestinationFacts known = {(old.attributes & kReadOnly) != 0, old.links, throughLink,
                                  reached.replaceable};
  switch (PlacementFor(job->replace(), known)) {
    case Placement::kNewFile: {
      const FileError error = CopyIntoNewFile(job, job->destination(), &made, &facts);
      return error != FileError::kNone ? error
                                       : PutInPlace(job, &made, facts, nullptr, facts.attributes);
    }
    case Placement::kInPlace: return CopyInPlace(job, target);
    case Placement::kRefused: return FileError::kOther;
    case Placement::kBeside: break;
  }
  const FileError error = CopyBeside(job, target, &made, &facts);
  if (error != FileError::kNone) {
    return PlacementAfterBeside(error) == Placement::kInPlace ? CopyInPlace(job, target) : error;
  }
  return PutInPlace(job, &made, facts, target, old.attributes & kKeptAttributes);
}

}  // namespace

Placement PlacementFor(bool replace, const DestinationFacts& facts) {
  if (!replace) return Placement::kNewFile;
  if (facts.readOnly) return Placement::kRefused;
  // A rename would part this name from the others, or replace the link.
  if (facts.links > 1 || facts.throughLink) return Placement::kInPlace;
  // Held open by another program: asking the platform to try would fail
  // half-way.
  return facts.replaceable ? Placement::kBeside : Placement::kRefused;
}

Placement PlacementAfterBeside(FileError besideError) {
  return besideError == FileError::kAccessDenied || besideError == FileError::kTooLong
             ? Placement::kInPlace
             : Placement::kRefused;
}

FileError CopySafely(Person* person, const char* source, const char* destination, bool replace,
                     Path* keptAt) {
  CopyJob* job = CopyJob::Start(PlaceCopy, source, destination, replace);
  if (job == nullptr) return FileError::kOther;
  // Left before its end only when it will never commit: it removes what it
  // made on its own.
  const FileError verdict = person->Watch(job, PathOf(destination).FileName().c_str())
                                ? job->verdict()
                                : FileError::kCancelled;
  FitText(job->keptAt(), keptAt->data(), Path::kCapacity);
  job->LetGo();
  return verdict;
}

}  // namespace tamarisk
