#include "filecopy/safe_copy.h"

#include <cstring>

#include "common/lettered_name.h"
#include "common/message_box.h"
#include "common/module_state.h"
#include "copyengine/copy_engine.h"
#include "filecopy/path_components.h"
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

// Copies source to the new file to, inside the host's modal bracket from
// its first moment; a long copy shows its progress, named by the file the
// user named (target), and the user may cancel it. What a copy that did not
// finish made is gone; flush when the copy is to replace a file.
FileError CopyWatched(HostUtilities* utilities, const char* source, const char* to,
                      const char* target, bool flush) {
  PathComponents parts;
  SplitPath(target, &parts);
  char shownName[kTextBufferSize];
  JoinPath("", "", parts.name, parts.extension, shownName, sizeof shownName);
  ModalBracket bracket(utilities);
  return CopyIntoNewFile({source, to, moduleContext.hostWindow, shownName, flush});
}

// Copies source into a new file of a free name in target's folder, which
// beside then holds. kTooLong when no such name fits the platform's paths.
FileError CopyBeside(HostUtilities* utilities, const char* source, const char* target, bool replace,
                     platform::MadeFile* beside) {
  PathComponents parts;
  SplitPath(target, &parts);
  for (int letter = 0; letter < kNameLetters; ++letter) {
    char name[16];
    LetteredName("~tm", letter, name, sizeof name);
    char candidate[kTextBufferSize];
    // A name the platform cannot delete again is never made.
    if (!JoinPath(parts.drive, parts.directory, name, ".tmp", candidate, sizeof candidate) ||
        std::strlen(candidate) > platform::kPlatformPathLimit) {
      return FileError::kTooLong;
    }
    if (!platform::NameIsFree(candidate)) continue;
    // Created new: a file that appeared under the name meanwhile is not ours.
    const FileError error = CopyWatched(utilities, source, candidate, target, replace);
    if (error == FileError::kExists) continue;
    if (error == FileError::kNone) beside->Made(candidate);
    return error;
  }
  return FileError::kOther;
}

// The folder of a path, with its final separator.
void FolderOf(const char* path, char* folder) {
  PathComponents parts;
  SplitPath(path, &parts);
  JoinPath(parts.drive, parts.directory, "", "", folder, kTextBufferSize);
}

// Writes over the old file's own bytes, which every name of it then shows;
// only when the new bytes are known to fit, so that a full drive never
// leaves part of them where the old file was.
FileError CopyInPlace(const char* source, const char* target, const platform::FileFacts& old) {
  platform::FileFacts incoming;
  char folder[kTextBufferSize];
  FolderOf(target, folder);
  std::uint64_t available = 0;
  if (!platform::CanWriteInPlace(target) || !platform::QueryFileFacts(source, &incoming) ||
      !platform::FreeSpace(folder, &available) || available + old.size < incoming.size) {
    return FileError::kOther;
  }
  // Stopped halfway it would leave neither file: no window, no cancel.
  return platform::CopyExistingFile(source, target, false);
}

// A new file whose folder's path leaves no room for a name beside it: the
// copy itself makes it.
FileError CopyToNewFile(HostUtilities* utilities, const char* source, const char* target) {
  return CopyWatched(utilities, source, target, target, false);
}

// beside takes target's place by one rename, tried again while a scanner
// holds either file.
FileError Rename(platform::MadeFile* beside, const char* target, bool replace) {
  const FileError error =
      platform::Retrying([&] { return platform::MoveOnto(beside->path(), target, replace); });
  if (error == FileError::kNone) beside->Keep();
  return error;
}

}  // namespace

FileError CopySafely(HostUtilities* utilities, const char* source, const char* destination,
                     bool replace) {
  // The file written is the one the name reaches (a symbolic link's
  // target) under its stored name, so its letter case stays as it was.
  char target[kTextBufferSize];
  platform::FileFacts old = {};
  if (!replace) {
    CopyText(destination, target, sizeof target);
  } else if (!platform::FinalPathName(destination, target, sizeof target) ||
             !platform::QueryFileFacts(target, &old) || (old.attributes & kReadOnly) != 0) {
    // A read-only file is the user's word that it stays as it is.
    return FileError::kOther;
  } else if (old.links > 1) {
    // A rename would part this name from the others.
    return CopyInPlace(source, target, old);
  } else if (!platform::CanReplace(target)) {
    // Held open by another program: asking the platform to try would fail
    // half-way.
    return FileError::kOther;
  }

  platform::MadeFile beside;
  switch (const FileError error = CopyBeside(utilities, source, target, replace, &beside)) {
    case FileError::kNone: break;
    case FileError::kAccessDenied:
      // The folder lets no new file be made; a writable file is still
      // replaced the only way left.
      return replace ? CopyInPlace(source, target, old) : error;
    case FileError::kTooLong:
      return replace ? CopyInPlace(source, target, old) : CopyToNewFile(utilities, source, target);
    default: return error;
  }
  if (replace) {
    const uint32 kept = old.attributes & kKeptAttributes;
    const FileError error = platform::Retrying(
        [&] { return platform::SetAttributes(beside.path(), kept != 0 ? kept : kNormal); });
    if (error != FileError::kNone) return error;
  }
  return Rename(&beside, target, replace);
}

}  // namespace tamarisk
