#include "filecopy/copy_routine.h"

#include <cerrno>
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
  if (parts->directory[0] == '\\') return true;
  const char* base = AsciiLower(parts->drive[0]) == AsciiLower(referenceDrive[0]) ? prefix : "\\";
  const std::size_t baseLength = std::strlen(base);
  const std::size_t length = std::strlen(parts->directory);
  if (baseLength + length > kComponentLimit) return false;
  std::memmove(parts->directory + baseLength, parts->directory, length + 1);
  std::memcpy(parts->directory, base, baseLength);
  return true;
}

// Steps from the split source to the copy; returns with the result set.
void Deliver(InterfaceObject* self, char* source, char* destination, const char* initialName,
             const char* defaultExtension, const char* filter) {
  HostUtilities* utilities = InstanceOf(self)->utilities;

  PathComponents src;
  if (!SplitPath(source, &src)) return Fail(utilities, kInvalidArguments, kInvalidRequest);
  if (src.drive[0] == '\0') std::memcpy(src.drive, moduleContext.baseDrive, sizeof src.drive);
  if (!CompleteDirectory(&src, moduleContext.baseDrive, moduleContext.baseDirectory)) {
    return Fail(utilities, kInvalidArguments, kInvalidRequest);
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
  if (dst.drive[0] == '\0') std::memcpy(dst.drive, src.drive, sizeof dst.drive);
  if (!CompleteDirectory(&dst, src.drive, src.directory)) {
    return Fail(utilities, kInvalidArguments, kInvalidRequest);
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

  if (std::strcmp(source, destination) == 0) return Fail(utilities, kSameAsSource, kInvalidRequest);

  switch (platform::QueryFileStatus(destination)) {
    case platform::FileStatus::kNotFound:
      return CopyAndReport(utilities, source, destination, true);
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
                   bool failIfExists) {
  if (platform::CopyExistingFile(source, destination, failIfExists)) {
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
    CopyAndReport(utilities, source, destination, false);
  } else if (answer != 0) {
    Fail(utilities, kNothingDone, kNothingDoneResult);
  } else {
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
