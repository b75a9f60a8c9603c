#include "filecopy/safe_copy.h"

#include <cstring>

#include "base/path.h"
#include "common/lettered_name.h"
#include "copyengine/copy_engine.h"
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
constexpr uint32 kKeptAttributes =
    0x2 | 0x4 | 0x20 | 0x2000;    // hidden, system, archive, not indexed
constexpr uint32 kNormal = 0x80;  // FILE_ATTRIBUTE_NORMAL
constexpr uint32 kReadOnly = 0x1;

// Copies source to the new file to while the person watches: a long copy
// shows its progress, named by the file they named (target), and may be
// cancelled. What a copy that did not finish made is gone; flush when the
// copy is to replace a file.
FileError CopyWatched(Person* person, const char* source, const char* to, const char* target,
                      bool flush) {
  return person->WatchCopy(source, to, PathOf(target).FileName().c_str(), flush);
}

// Copies source into a new file of a free name in target's folder, which
// beside then holds. kTooLong when no such name fits the platform's paths.
FileError CopyBeside(Person* person, const char* source, const char* target, bool replace,
                     platform::MadeFile* beside) {
  const Path folder = PathOf(target).Folder();
  for (int letter = 0; letter < kNameLetters; ++letter) {
    char name[16];
    LetteredName("~tm", letter, name, sizeof name);
    Path candidate;
    // A name the platform cannot delete again is never made.
    if (!candidate.Join(folder.c_str(), name, ".tmp") ||
        std::strlen(candidate.c_str()) > platform::kPlatformPathLimit) {
      return FileError::kTooLong;
    }
    if (!platform::NameIsFree(candidate.c_str())) continue;
    // Created new: a file that appeared under the name meanwhile is not ours.
    const FileError error = CopyWatched(person, source, candidate.c_str(), target, replace);
    if (error == FileError::kExists) continue;
    if (error == FileError::kNone) beside->Made(candidate.c_str());
    return error;
  }
  return FileError::kOther;
}

// Writes over the old file's own bytes, which every name of it then shows.
// The old file is touched only once every new byte is in hand, in a file of
// the user's temporary folder (a copy the user watches and may cancel), and
// known to fit where the old file is.
FileError CopyInPlace(Person* person, const char* source, const char* target) {
  // Named as the target, which the progress window shows.
  Path temporaryFolder;
  Path inTemporary;
  if (!platform::CanWriteInPlace(target) ||
      !platform::TemporaryFolder(temporaryFolder.data(), Path::kCapacity) ||
      !inTemporary.Join(temporaryFolder.c_str(), PathOf(target).FileName().c_str(), "")) {
    return FileError::kOther;
  }
  platform::MadeFile copy;
  const FileError error = CopyBeside(person, source, inTemporary.c_str(), false, &copy);
  if (error != FileError::kNone) return error;
  // Room is counted by what the old file really occupies: a compressed or
  // sparse one frees less than its size.
  platform::FileFacts incoming;
  std::uint64_t occupied = 0;
  std::uint64_t available = 0;
  if (!platform::QueryFileFacts(copy.path(), &incoming) ||
      !platform::OccupiedSize(target, &occupied) ||
      !platform::FreeSpace(PathOf(target).Folder().c_str(), &available) ||
      available + occupied < incoming.size) {
    return FileError::kOther;
  }
  // Stopped halfway it would leave neither file: no window, no cancel.
  return platform::Retrying([&] { return CopyOverExistingFile(copy.path(), target); });
}

// A new file whose folder's path leaves no room for a name beside it: the
// copy itself makes it.
FileError CopyToNewFile(Person* person, const char* source, const char* target) {
  return CopyWatched(person, source, target, target, false);
}

// beside takes target's place by one rename, tried again while a scanner
// holds either file.
FileError Rename(platform::MadeFile* beside, const char* target, bool replace) {
  // A symbolic link to a file that does not exist is no file to the check
  // that found the name free, and Wine's rename would put a plain file in
  // its place: the link is left as it is.
  if (!replace && platform::ProbeNewName(target) == FileError::kExists) return FileError::kExists;
  const FileError error =
      platform::Retrying([&] { return platform::MoveOnto(beside->path(), target, replace); });
  if (error == FileError::kNone) beside->Keep();
  return error;
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
// link's target) under its stored name, by its final path when the ANSI
// code page holds that exactly and it fits the platform's limit. Otherwise
// through destination itself, in place when that is a link, whose target
// only writing through it reaches.
void FindTarget(const char* destination, char* target, bool* inPlace) {
  FitText(destination, target, kTextBufferSize);
  *inPlace = false;
  WideChar answer[kFinalCapacity];
  // None on volumes without a drive letter, or a share's folder that may not be listed.
  if (platform::FinalPathName(destination, answer, kFinalCapacity) == 0) return;
  const WideChar* final = Unprefixed(answer);
  char exact[kTextBufferSize];
  if (platform::ExactAnsi(final, exact, sizeof exact) &&
      std::strlen(exact) <= platform::kPlatformPathLimit) {
    FitText(exact, target, kTextBufferSize);
    return;
  }
  *inPlace = NamesALink(destination, final);
}

}  // namespace

FileError CopySafely(Person* person, const char* source, const char* destination, bool replace) {
  char target[kTextBufferSize];
  platform::FileFacts old = {};
  bool throughLink = false;
  if (!replace) {
    FitText(destination, target, sizeof target);
  } else {
    FindTarget(destination, target, &throughLink);
    // A read-only file is the user's word that it stays as it is.
    if (!platform::QueryFileFacts(target, &old) || (old.attributes & kReadOnly) != 0)
      return FileError::kOther;
    // A rename would part this name from the others, or replace the link.
    if (old.links > 1 || throughLink) return CopyInPlace(person, source, target);
    // Held open by another program: asking the platform to try would fail
    // half-way.
    if (!platform::CanReplace(target)) return FileError::kOther;
  }

  platform::MadeFile beside;
  switch (const FileError error = CopyBeside(person, source, target, replace, &beside)) {
    case FileError::kNone: break;
    case FileError::kAccessDenied:
      // The folder lets no new file be made; a writable file is still
      // replaced the only way left.
      return replace ? CopyInPlace(person, source, target) : error;
    case FileError::kTooLong:
      return replace ? CopyInPlace(person, source, target) : CopyToNewFile(person, source, target);
    default: return error;
  }
  if (replace) {
    // The old file's attributes where the drive takes them: one that refuses
    // them (a FAT drive of a file-system driver, a share that lets the user
    // write files but not attributes) is no reason to keep the old data.
    const uint32 kept = old.attributes & kKeptAttributes;
    platform::Retrying(
        [&] { return platform::SetAttributes(beside.path(), kept != 0 ? kept : kNormal); });
  }
  return Rename(&beside, target, replace);
}

}  // namespace tamarisk
