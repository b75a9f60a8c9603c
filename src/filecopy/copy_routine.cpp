#include "filecopy/copy_routine.h"

#include <cerrno>
#include <cstring>

#include "common/message_box.h"
#include "common/module_state.h"
#include "common/scripting_instance.h"
#include "filecopy/path_components.h"
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

// Joins parts into a 512-byte buffer and lowercases it; false when too long.
bool JoinLowercased(const PathComponents& parts, char* path) {
  if (!JoinPath(parts.drive, parts.directory, parts.name, parts.extension, path, kTextBufferSize)) {
    return false;
  }
  LowercasePath(path);
  return true;
}

// The same file however it is written (".\", "..\", doubled separators,
// slashes, trailing dots and blanks, which the dialog can hand back as in
// "notes.txt " for the filter " *.TXT "): both made full, then compared
// without regard to ASCII case.
bool SameFile(const char* source, const char* destination) {
  const auto full = [](const char* path, char* out) {
    const uint32 length = platform::FullPathName(path, out, kTextBufferSize);
    if (length == 0 || length >= kTextBufferSize) CopyText(path, out, kTextBufferSize);
    LowercasePath(out);
  };
  char fullSource[kTextBufferSize];
  char fullDestination[kTextBufferSize];
  full(source, fullSource);
  full(destination, fullDestination);
  return std::strcmp(fullSource, fullDestination) == 0;
}

// Shows the routine's warning (caption "copy failed"); returns result.
Result Fail(HostUtilities* utilities, const char* message, Result result) {
  ShowBracketedMessage(utilities, message, kCopyFailedCaption, kIconWarning);
  return result;
}

// Copies, replacing an existing destination, and reports a failure; a
// cancelled copy is as a cancelled dialog.
Result CopyAndReport(HostUtilities* utilities, const char* source, const char* destination,
                     bool replace) {
  switch (CopySafely(utilities, source, destination, replace)) {
    case platform::FileError::kNone: return Result::kCopied;
    case platform::FileError::kCancelled:
      return Fail(utilities, kNothingDone, Result::kNothingDone);
    default: return Fail(utilities, kCopyError, Result::kFailed);
  }
}

// Asks before destination is replaced; copies on Yes.
Result AskAndOverwrite(HostUtilities* utilities, const char* source, const char* destination) {
  char question[kTextBufferSize + 64];
  question[0] = '\0';
  std::strncat(question, destination, kTextLimit);
  std::strcat(question, "\n");
  std::strcat(question, kOverwriteQuestion);
  const int answer =
      ShowBracketedMessage(utilities, question, kOverwriteCaption, kIconWarningYesNo);
  if (answer == kAnswerYes) return CopyAndReport(utilities, source, destination, true);
  if (answer == kAnswerNo) return Fail(utilities, kNothingDone, Result::kNothingDone);
  // 0 on Windows, -1 under Wine: the box never showed, so neither can another.
  return Result::kNoAnswer;
}

// After the user chose a path in the dialog: its folder is remembered, the
// forced extension applied, and the file copied.
Result CopyToChosen(HostUtilities* utilities, const char* source, const char* chosen,
                    const char* defaultExtension) {
  PathComponents parts;
  if (!SplitPath(chosen, &parts)) return Fail(utilities, kInvalidArguments, Result::kInvalid);
  JoinPath(parts.drive, parts.directory, "", "", handlerState.dialogDirectory,
           sizeof handlerState.dialogDirectory);

  char* destination = handlerState.destination;
  const char* extension = defaultExtension != nullptr ? defaultExtension : parts.extension;
  if (!JoinPath(parts.drive, parts.directory, parts.name, extension, destination,
                kTextBufferSize)) {
    return Fail(utilities, kInvalidArguments, Result::kInvalid);
  }
  // The dialog asked about the path the user typed; a file that only the
  // forced extension leads to has not been asked about yet.
  const bool exists = platform::QueryFileStatus(destination) == platform::FileStatus::kRegularFile;
  if (exists && !SameFile(destination, chosen)) {
    return AskAndOverwrite(utilities, source, destination);
  }
  return CopyAndReport(utilities, source, destination, exists);
}

// A destination the caller gave: completed from the source's folder, refused
// when it is the source or a folder, and asked about when it exists.
Result CopyToGiven(HostUtilities* utilities, const char* source, const PathComponents& src,
                   const char* offeredName, char* destination, const char* defaultExtension) {
  PathComponents dst;
  if (!SplitAndComplete(destination, src.drive, src.directory, &dst)) {
    return Fail(utilities, kInvalidArguments, Result::kInvalid);
  }
  if (dst.name[0] == '\0') {
    if (dst.extension[0] != '\0') return Fail(utilities, kInvalidArguments, Result::kInvalid);
    // Only a folder or a drive: the offered name goes there.
    PathComponents offered;
    SplitPath(offeredName, &offered);
    std::memcpy(dst.name, offered.name, sizeof dst.name);
    std::memcpy(dst.extension, offered.extension, sizeof dst.extension);
  }
  if (defaultExtension != nullptr) CopyText(defaultExtension, dst.extension, sizeof dst.extension);
  if (!JoinLowercased(dst, destination))
    return Fail(utilities, kInvalidArguments, Result::kInvalid);

  if (SameFile(source, destination)) return Fail(utilities, kSameAsSource, Result::kInvalid);
  switch (platform::QueryFileStatus(destination)) {
    case platform::FileStatus::kNotFound:
      return CopyAndReport(utilities, source, destination, false);
    case platform::FileStatus::kRegularFile: return AskAndOverwrite(utilities, source, destination);
    case platform::FileStatus::kOther: return Fail(utilities, kDirectoryExists, Result::kFailed);
    case platform::FileStatus::kFailed: break;
  }
  return Fail(utilities, kCopyError, Result::kFailed);
}

}  // namespace

Result CopyToDestination(InterfaceObject* self, char* source, char* destination,
                         const char* initialName, const char* defaultExtension,
                         const char* filter) {
  HostUtilities* utilities = InstanceOf(self)->utilities;

  PathComponents src;
  if (!SplitAndComplete(source, moduleContext.baseDrive, moduleContext.baseDirectory, &src)) {
    return Fail(utilities, kInvalidArguments, Result::kInvalid);
  }
  // The first copy of either handler, whatever its outcome, sets where the
  // dialog first opens.
  if (handlerState.dialogDirectory[0] == '\0') {
    JoinPath(src.drive, src.directory, "", "", handlerState.dialogDirectory,
             sizeof handlerState.dialogDirectory);
  }
  char offeredName[kTextBufferSize];
  if (initialName != nullptr) {
    CopyText(initialName, offeredName, sizeof offeredName);
  } else {
    JoinPath("", "", src.name, src.extension, offeredName, sizeof offeredName);
  }
  if (!JoinLowercased(src, source)) return Fail(utilities, kInvalidArguments, Result::kInvalid);

  // Held open until the copy is made, so that it is not taken away meanwhile.
  platform::ReadingFile reading;
  if (const int error = reading.Open(source)) {
    return error == EACCES ? Fail(utilities, kCopyError, Result::kFailed)
                           : Fail(utilities, kFileNotFound, Result::kNotFound);
  }
  if (destination[0] != '\0') {
    return CopyToGiven(utilities, source, src, offeredName, destination, defaultExtension);
  }
  char chosen[kDialogFileSize];
  if (!ChooseDestination(utilities, offeredName, defaultExtension, filter, chosen)) {
    return Fail(utilities, kNothingDone, Result::kNothingDone);
  }
  return CopyToChosen(utilities, source, chosen, defaultExtension);
}

}  // namespace tamarisk
