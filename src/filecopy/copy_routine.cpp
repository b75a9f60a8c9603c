#include "filecopy/copy_routine.h"

#include <cstring>

#include "common/message_box.h"
#include "common/module_state.h"
#include "common/scripting_instance.h"
#include "base/path.h"
#include "filecopy/safe_copy.h"
#include "filecopy/save_dialog.h"
#include "platform/platform.h"
#include "platform/scoped.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; }

// A relative directory is completed with prefix when the drive letters agree
// (ignoring case), else from the root of its drive. False when it would not fit.
bool CompleteDirectory(PathComponents* parts, const char* referenceDrive, const char* prefix) {
  if (IsSeparator(parts->directory[0])) return true;
  const char* base = AsciiLower(parts->drive[0]) == AsciiLower(referenceDrive[0]) ? prefix : "\\";
  const std::size_t baseLength = std::strlen(base);
  const std::size_t length = std::strlen(parts->directory);
  if (baseLength + length > kComponentLimit) return false;
  std::memmove(parts->directory + baseLength, parts->directory, length + 1);
  std::memcpy(parts->directory, base, baseLength);
  return true;
}

// Splits path and completes it from a reference drive and directory; a
// network path is used as given: no drive of ours belongs in front of it.
// False when it was too long or would not fit.
bool SplitAndComplete(const char* path, const char* drive, const char* directory,
                      PathComponents* parts) {
  if (!SplitPath(path, parts)) return false;
  if (IsNetworkPath(path)) return true;
  if (parts->drive[0] == '\0') std::memcpy(parts->drive, drive, sizeof parts->drive);
  return CompleteDirectory(parts, drive, directory);
}

// Joins parts into path and lowercases it; false when too long.
bool JoinLowercased(const PathComponents& parts, Path* path) {
  if (!JoinPath(parts.drive, parts.directory, parts.name, parts.extension, path->data(),
                Path::kCapacity)) {
    return false;
  }
  LowercasePath(path->data());
  return true;
}

// The same file however it is written (".\", "..\", doubled separators,
// slashes, trailing dots and blanks, which the dialog can hand back as in
// "notes.txt " for the filter " *.TXT "): both made full, then compared
// without regard to ASCII case.
bool SameFile(const char* source, const char* destination) {
  const auto full = [](const char* path, char* out) {
    if (!platform::FullPathName(path, out, kTextBufferSize)) FitText(path, out, kTextBufferSize);
    LowercasePath(out);
  };
  char fullSource[kTextBufferSize];
  char fullDestination[kTextBufferSize];
  full(source, fullSource);
  full(destination, fullDestination);
  return std::strcmp(fullSource, fullDestination) == 0;
}

// Copies, replacing an existing destination; a cancelled copy is as a
// cancelled dialog.
Outcome Copy(HostUtilities* utilities, const Path& source, const char* destination, bool replace) {
  switch (CopySafely(utilities, source.c_str(), destination, replace)) {
    case platform::FileError::kNone: return Outcome::kCopied;
    case platform::FileError::kCancelled: return Outcome::kNothingDone;
    default: return Outcome::kCopyError;
  }
}

// Asks before destination is replaced; copies on Yes.
Outcome AskAndOverwrite(HostUtilities* utilities, const Path& source, const char* destination) {
  char question[kTextBufferSize + 64];
  question[0] = '\0';
  std::strncat(question, destination, kTextLimit);
  std::strcat(question, "\n");
  std::strcat(question, kOverwriteQuestion);
  const int answer =
      ShowBracketedMessage(utilities, question, kOverwriteCaption, kIconWarningYesNo);
  if (answer == kAnswerYes) return Copy(utilities, source, destination, true);
  if (answer == kAnswerNo) return Outcome::kNothingDone;
  // 0 on Windows, -1 under Wine: the box never showed, so neither can another.
  return Outcome::kNoAnswer;
}

// After the user chose a path in the dialog: its folder is remembered, the
// forced extension applied, and the file copied.
Outcome CopyToChosen(HostUtilities* utilities, const Path& source, const Path& chosen,
                     const char* defaultExtension) {
  PathComponents parts;
  if (!SplitPath(chosen.c_str(), &parts)) return Outcome::kInvalidArguments;
  JoinPath(parts.drive, parts.directory, "", "", handlerState.dialogDirectory.data(),
           Path::kCapacity);

  Path destination;
  const char* extension = defaultExtension != nullptr ? defaultExtension : parts.extension;
  if (!JoinPath(parts.drive, parts.directory, parts.name, extension, destination.data(),
                Path::kCapacity)) {
    return Outcome::kInvalidArguments;
  }
  // The source itself, chosen in the dialog, cannot be copied onto itself.
  if (SameFile(source.c_str(), destination.c_str())) return Outcome::kCopyError;
  // The dialog asked about the path the user typed; a file that only the
  // forced extension leads to has not been asked about yet.
  const bool exists =
      platform::QueryFileStatus(destination.c_str()) == platform::FileStatus::kRegularFile;
  if (exists && !SameFile(destination.c_str(), chosen.c_str())) {
    return AskAndOverwrite(utilities, source, destination.c_str());
  }
  return Copy(utilities, source, destination.c_str(), exists);
}

// A destination the caller gave: completed from the source's folder, refused
// when it is the source or a folder, and asked about when it exists.
Outcome CopyToGiven(HostUtilities* utilities, const Path& source, const PathComponents& src,
                    const char* offeredName, Path* destination, const char* defaultExtension) {
  PathComponents dst;
  if (!SplitAndComplete(destination->c_str(), src.drive, src.directory, &dst))
    return Outcome::kInvalidArguments;
  if (dst.name[0] == '\0') {
    if (dst.extension[0] != '\0') return Outcome::kInvalidArguments;
    // Only a folder or a drive: the offered name goes there.
    PathComponents offered;
    SplitPath(offeredName, &offered);
    std::memcpy(dst.name, offered.name, sizeof dst.name);
    std::memcpy(dst.extension, offered.extension, sizeof dst.extension);
  }
  if (defaultExtension != nullptr) FitText(defaultExtension, dst.extension, sizeof dst.extension);
  if (!JoinLowercased(dst, destination)) return Outcome::kInvalidArguments;

  if (SameFile(source.c_str(), destination->c_str())) return Outcome::kSameAsSource;
  switch (platform::QueryFileStatus(destination->c_str())) {
    case platform::FileStatus::kNotFound:
      return Copy(utilities, source, destination->c_str(), false);
    case platform::FileStatus::kRegularFile:
      return AskAndOverwrite(utilities, source, destination->c_str());
    case platform::FileStatus::kOther: return Outcome::kDirectoryExists;
    case platform::FileStatus::kFailed: break;
  }
  return Outcome::kCopyError;
}

}  // namespace

Outcome CopyToDestination(InterfaceObject* self, Path* source, Path* destination,
                          const char* initialName, const char* defaultExtension,
                          const char* filter) {
  HostUtilities* utilities = InstanceOf(self)->utilities;

  PathComponents src;
  if (!SplitAndComplete(source->c_str(), moduleContext.baseDrive, moduleContext.baseDirectory,
                        &src)) {
    return Outcome::kInvalidArguments;
  }
  // The first copy of either handler, whatever its outcome, sets where the
  // dialog first opens.
  if (handlerState.dialogDirectory.empty()) {
    JoinPath(src.drive, src.directory, "", "", handlerState.dialogDirectory.data(),
             Path::kCapacity);
  }
  char offeredName[kTextBufferSize];
  if (initialName != nullptr) {
    FitText(initialName, offeredName, sizeof offeredName);
  } else {
    JoinPath("", "", src.name, src.extension, offeredName, sizeof offeredName);
  }
  if (!JoinLowercased(src, source)) return Outcome::kInvalidArguments;

  // Opened to see that it can be read, and closed again here, not held: a
  // handle on a drive that hangs would hang the host's thread as it closes.
  // One held by another program (a scanner that has just seen it written)
  // is there: the copy opens it again once it is let go.
  platform::OwnedHandle opened;
  switch (platform::OpenSource(source->c_str(), opened.out(), nullptr)) {
    case platform::FileError::kNone:
    case platform::FileError::kInUse: break;
    case platform::FileError::kAccessDenied: return Outcome::kCopyError;
    default: return Outcome::kNotFound;
  }
  opened.Reset();
  if (!destination->empty()) {
    return CopyToGiven(utilities, *source, src, offeredName, destination, defaultExtension);
  }
  Path chosen;
  if (!ChooseDestination(utilities, offeredName, defaultExtension, filter, &chosen))
    return Outcome::kNothingDone;
  return CopyToChosen(utilities, *source, chosen, defaultExtension);
}

}  // namespace tamarisk
