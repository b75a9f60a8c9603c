#include "filecopy/copy_routine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "filecopy/path_components.h"
#include "filecopy/save_dialog.h"
#include "module/message_box.h"
#include "module/module_state.h"
#include "module/scripting_class.h"
#include "platform/platform.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

// The source held open for reading while the routine runs, so that it is
// not taken away between the test and the copy.
class SourceReadHandle {
 public:
  SourceReadHandle() = default;
  ~SourceReadHandle() {
    if (handle_ != -1) platform::CloseReading(handle_);
  }
  SourceReadHandle(const SourceReadHandle&) = delete;
  SourceReadHandle& operator=(const SourceReadHandle&) = delete;

  // 0 when opened, else the runtime's errno.
  int Open(const char* path) {
    int error = 0;
    handle_ = platform::OpenForReading(path, &error);
    return handle_ == -1 ? (error != 0 ? error : ENOENT) : 0;
  }

 private:
  int handle_ = -1;
};

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

// The same file however it is written (".\\", "..\\", doubled separators,
// trailing dots and blanks, slashes): both made full, then compared without
// regard to ASCII case.
bool SameFile(const char* source, const char* destination) {
  char fullSource[kTextBufferSize];
  char fullDestination[kTextBufferSize];
  const auto full = [](const char* path, char* out) {
    const uint32 length = platform::FullPathName(path, out, kTextBufferSize);
    if (length == 0 || length >= kTextBufferSize) CopyText(path, out, kTextBufferSize);
    LowercasePath(out);
  };
  full(source, fullSource);
  full(destination, fullDestination);
  return std::strcmp(fullSource, fullDestination) == 0;
}

constexpr int kBesideLetters = 26;

// The new file written beside the destination before it takes its place;
// deleted when the scope ends unless it was put in place.
class BesideFile {
 public:
  BesideFile() = default;
  ~BesideFile() {
    if (path_[0] != '\0') platform::DeleteFileNamed(path_);
  }
  BesideFile(const BesideFile&) = delete;
  BesideFile& operator=(const BesideFile&) = delete;

  // Copies source into a file of a free name in destination's folder.
  platform::FileError CopyFrom(const char* source, const char* destination) {
    PathComponents parts;
    SplitPath(destination, &parts);
    const uint32 digits = platform::CurrentThreadId() % 100000;
    for (int letter = 0; letter < kBesideLetters; ++letter) {
      char name[16];
      std::snprintf(name, sizeof name, "~tm%c%05u", 'a' + letter, static_cast<unsigned>(digits));
      char candidate[sizeof path_];
      if (!JoinPath(parts.drive, parts.directory, name, ".tmp", candidate, sizeof candidate)) break;
      if (!platform::NameIsFree(candidate)) continue;
      // Fail-if-exists: a file that appeared under the name meanwhile is not ours.
      const platform::FileError error = platform::CopyExistingFile(source, candidate, true);
      if (error == platform::FileError::kExists) continue;
      // Whatever a failed copy left under the free name is ours to delete.
      if (error != platform::FileError::kAccessDenied) std::memcpy(path_, candidate, sizeof path_);
      return error;
    }
    return platform::FileError::kOther;
  }
  const char* path() const { return path_; }
  void Placed() { path_[0] = '\0'; }

 private:
  char path_[kTextBufferSize + 16] = {};
};

// A destination is only ever the old file unchanged or the new file whole:
// the copy goes to a new file beside it, which then takes its place.
bool CopySafely(const char* source, const char* destination, bool replace) {
  // A file that is read-only or held open by another program cannot be
  // replaced; asking the platform to try may leave its own files behind.
  if (replace && !platform::CanWriteInPlace(destination)) return false;
  BesideFile beside;
  switch (beside.CopyFrom(source, destination)) {
    case platform::FileError::kNone:
      break;
    case platform::FileError::kAccessDenied:
      // The folder lets no new file be made; a writable file is still
      // replaced the only way left, in place.
      return replace && platform::CanWriteInPlace(destination) &&
             platform::CopyExistingFile(source, destination, false) == platform::FileError::kNone;
    default:
      return false;
  }
  // Neither way replaces a file that appeared meanwhile under a new name.
  const bool placed = replace ? platform::ReplaceExistingFile(destination, beside.path())
                              : platform::MoveToNewName(beside.path(), destination);
  if (placed) beside.Placed();
  return placed;
}

// Steps from the split source to the copy; returns with the result set.
void Deliver(InterfaceObject* self, char* source, char* destination, const char* initialName,
             const char* defaultExtension, const char* filter) {
  HostUtilities* utilities = InstanceOf(self)->utilities;

  PathComponents src;
  if (!SplitPath(source, &src)) return Fail(utilities, kInvalidArguments, kInvalidRequest);
  // A network path is used as given: no drive of ours belongs in front of it.
  if (!IsNetworkPath(source)) {
    if (src.drive[0] == '\0') std::memcpy(src.drive, moduleContext.baseDrive, sizeof src.drive);
    if (!CompleteDirectory(&src, moduleContext.baseDrive, moduleContext.baseDirectory)) {
      return Fail(utilities, kInvalidArguments, kInvalidRequest);
    }
  }
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

  if (!JoinPath(src.drive, src.directory, src.name, src.extension, source, kTextBufferSize)) {
    return Fail(utilities, kInvalidArguments, kInvalidRequest);
  }
  LowercasePath(source);

  SourceReadHandle reading;
  if (const int error = reading.Open(source)) {
    return error == EACCES ? Fail(utilities, kCopyError, kCopyFailed)
                           : Fail(utilities, kFileNotFound, kSourceNotFound);
  }

  if (destination[0] == '\0') {
    return ChooseDestinationAndCopy(self, source, offeredName, defaultExtension, filter);
  }

  PathComponents dst;
  if (!SplitPath(destination, &dst)) return Fail(utilities, kInvalidArguments, kInvalidRequest);
  if (!IsNetworkPath(destination)) {
    if (dst.drive[0] == '\0') std::memcpy(dst.drive, src.drive, sizeof dst.drive);
    if (!CompleteDirectory(&dst, src.drive, src.directory)) {
      return Fail(utilities, kInvalidArguments, kInvalidRequest);
    }
  }
  if (dst.name[0] == '\0') {
    if (dst.extension[0] != '\0') return Fail(utilities, kInvalidArguments, kInvalidRequest);
    // Only a folder or a drive: the offered name goes there.
    PathComponents offered;
    SplitPath(offeredName, &offered);
    std::memcpy(dst.name, offered.name, sizeof dst.name);
    std::memcpy(dst.extension, offered.extension, sizeof dst.extension);
  }
  if (defaultExtension != nullptr) CopyText(defaultExtension, dst.extension, sizeof dst.extension);

  if (!JoinPath(dst.drive, dst.directory, dst.name, dst.extension, destination, kTextBufferSize)) {
    return Fail(utilities, kInvalidArguments, kInvalidRequest);
  }
  LowercasePath(destination);

  if (SameFile(source, destination)) return Fail(utilities, kSameAsSource, kInvalidRequest);

  switch (platform::QueryFileStatus(destination)) {
    case platform::FileStatus::kNotFound:
      return CopyAndReport(utilities, source, destination, false);
    case platform::FileStatus::kFailed:
      return Fail(utilities, kCopyError, kCopyFailed);
    case platform::FileStatus::kRegularFile:
      return AskAndOverwrite(utilities, source, destination);
    case platform::FileStatus::kOther:
      return Fail(utilities, kDirectoryExists, kCopyFailed);
  }
}

}  // namespace

void Fail(HostUtilities* utilities, const char* message, int32 result) {
  ShowBracketedMessage(utilities, message, kCopyFailedCaption, kIconWarning);
  handlerState.result = result;
}

void CopyAndReport(HostUtilities* utilities, const char* source, const char* destination,
                   bool replace) {
  if (CopySafely(source, destination, replace)) {
    handlerState.result = kCopied;
  } else {
    Fail(utilities, kCopyError, kCopyFailed);
  }
}

void AskAndOverwrite(HostUtilities* utilities, const char* source, const char* destination) {
  char question[kTextBufferSize + 64];
  question[0] = '\0';
  std::strncat(question, destination, kTextLimit);
  std::strcat(question, "\n");
  std::strcat(question, kOverwriteQuestion);
  const int answer = ShowBracketedMessage(utilities, question, kOverwriteCaption, kIconWarningYesNo);
  if (answer == kAnswerYes) {
    CopyAndReport(utilities, source, destination, true);
  } else if (answer == kAnswerNo) {
    Fail(utilities, kNothingDone, kNothingDoneResult);
  } else {
    // 0 on Windows, -1 under Wine: the box never showed, so neither can another.
    handlerState.result = kNoAnswer;
  }
}

void CopyToDestination(InterfaceObject* self, CallRecord* call, char* source, char* destination,
                       const char* initialName, const char* defaultExtension, const char* filter) {
  Deliver(self, source, destination, initialName, defaultExtension, filter);
  HostUtilities* utilities = InstanceOf(self)->utilities;
  utilities->ops->MakeIntegerValue(utilities, handlerState.result, &call->result);
}

}  // namespace tamarisk
