#include "filecopy/copy_routine.h"

#include <cstring>

#include "base/path.h"
#include "filecopy/safe_copy.h"
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
  if (parts->drive[0] == '\0') FitText(drive, parts->drive, sizeof parts->drive);
  return CompleteDirectory(parts, drive, directory);
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
Outcome Copy(Person* person, const Path& source, const char* destination, bool replace,
             Path* keptAt) {
  switch (CopySafely(person, source.c_str(), destination, replace, keptAt)) {
    case platform::FileError::kNone: return Outcome::kCopied;
    case platform::FileError::kCancelled: return Outcome::kNothingDone;
    default: return keptAt->empty() ? Outcome::kCopyError : Outcome::kOldBytesKept;
  }
}

// Asks before destination is replaced; copies on Yes.
Outcome AskAndOverwrite(Person* person, const Path& source, const char* destination,
                        Path* keptAt) {
  switch (person->AskToOverwrite(destination)) {
    case Person::Reply::kYes: return Copy(person, source, destination, true, keptAt);
    case Person::Reply::kNo: return Outcome::kNothingDone;
    case Person::Reply::kNoAnswer: break;
  }
  return Outcome::kNoAnswer;
}

// After the person chose a path in the dialog: the forced extension applied,
// and the file copied. savedFolder: the chosen path's folder.
Outcome CopyToChosen(Person* person, const Path& source, const Path& chosen,
                     const char* defaultExtension, Path* savedFolder, Path* keptAt) {
  PathComponents parts;
  if (!SplitPath(chosen.c_str(), &parts)) return Outcome::kInvalidArguments;
  *savedFolder = chosen.Folder();

  Path destination;
  const char* extension = defaultExtension != nullptr ? defaultExtension : parts.extension;
  if (!JoinPath(parts.drive, parts.directory, parts.name, extension, destination.data(),
                Path::kCapacity)) {
    return Outcome::kInvalidArguments;
  }
  // The source itself, chosen in the dialog, cannot be copied onto itself.
  if (SameFile(source.c_str(), destination.c_str())) return Outcome::kCopyError;
  // The dialog asked about the path the person typed; a file that only the
  // forced extension leads to has not been asked about yet.
  const bool exists =
      platform::QueryFileStatus(destination.c_str()) == platform::FileStatus::kRegularFile;
  if (exists && !SameFile(destination.c_str(), chosen.c_str())) {
    return AskAndOverwrite(person, source, destination.c_str(), keptAt);
  }
  return Copy(person, source, destination.c_str(), exists, keptAt);
}

// A destination the caller gave: refused when it is the source or a folder,
// and asked about when it exists.
Outcome CopyToGiven(Person* person, const Path& source, const Path& destination, Path* keptAt) {
  if (SameFile(source.c_str(), destination.c_str())) return Outcome::kSameAsSource;
  switch (platform::QueryFileStatus(destination.c_str())) {
    case platform::FileStatus::kNotFound:
      return Copy(person, source, destination.c_str(), false, keptAt);
    case platform::FileStatus::kRegularFile:
      return AskAndOverwrite(person, source, destination.c_str(), keptAt);
    case platform::FileStatus::kOther: return Outcome::kDirectoryExists;
    case platform::FileStatus::kFailed: break;
  }
  return Outcome::kCopyError;
}

// Whether the source can be read: opened, and closed again here, not held:
// a handle on a drive that hangs would hang the host's thread as it closes.
// One held by another program (a scanner that has just seen it written) is
// there: the copy opens it again once it is let go.
Outcome CheckSource(const Path& source) {
  platform::OwnedHandle opened;
  switch (platform::OpenSource(source.c_str(), opened.out(), nullptr)) {
    case platform::FileError::kNone:
    case platform::FileError::kInUse: return Outcome::kCopied;
    case platform::FileError::kAccessDenied: return Outcome::kCopyError;
    default: return Outcome::kNotFound;
  }
}

}  // namespace

bool ResolveDestination(const char* given, const char* sourceDrive, const char* sourceDirectory,
                        const char* offeredName, const char* defaultExtension, Path* destination) {
  PathComponents dst;
  PathComponents offered;
  if (!SplitAndComplete(given, sourceDrive, sourceDirectory, &dst)) return false;
  const char* extension = defaultExtension != nullptr ? defaultExtension : dst.extension;
  if (dst.name[0] == '\0') {
    if (dst.extension[0] != '\0') return false;
    // Only a folder or a drive: the offered name goes there.
    SplitPath(offeredName, &offered);
    std::memcpy(dst.name, offered.name, sizeof dst.name);
    if (defaultExtension == nullptr) extension = offered.extension;
  }
  if (!JoinPath(dst.drive, dst.directory, dst.name, extension, destination->data(),
                Path::kCapacity)) {
    return false;
  }
  LowercasePath(destination->data());
  return true;
}

void RememberDialogFolder(const CopyResult& result, Path* dialogFolder) {
  if (dialogFolder->empty()) *dialogFolder = result.sourceFolder;
  if (!result.savedFolder.empty()) *dialogFolder = result.savedFolder;
}

CopyResult CopyToDestination(const CallContext& call, const CopyRequest& request) {
  CopyResult result = {Outcome::kInvalidArguments, {}, {}, {}};
  PathComponents src;
  if (!SplitAndComplete(request.source, call.baseDrive, call.baseDirectory, &src)) return result;
  // Even a source too long to copy has set where the dialog first opens.
  JoinPath(src.drive, src.directory, "", "", result.sourceFolder.data(), Path::kCapacity);
  Path source;
  const bool joined =
      JoinPath(src.drive, src.directory, src.name, src.extension, source.data(), Path::kCapacity);
  const Path offeredName =
      request.offeredName != nullptr ? PathOf(request.offeredName) : source.FileName();
  if (!joined) return result;
  LowercasePath(source.data());
  result.outcome = CheckSource(source);
  if (result.outcome != Outcome::kCopied) return result;

  if (request.destination[0] != '\0') {
    Path destination;
    result.outcome = ResolveDestination(request.destination, src.drive, src.directory,
                                        offeredName.c_str(), request.defaultExtension, &destination)
                         ? CopyToGiven(call.person, source, destination, &result.keptAt)
                         : Outcome::kInvalidArguments;
    return result;
  }
  // The first copy's source folder until the person has saved somewhere.
  const char* folder =
      call.dialogFolder[0] != '\0' ? call.dialogFolder : result.sourceFolder.c_str();
  const char* filter = request.filter != nullptr ? request.filter : kAllFilesFilter;
  Path chosen;
  if (!call.person->ChooseDestination(
          {offeredName.c_str(), request.defaultExtension, filter, folder}, &chosen)) {
    result.outcome = Outcome::kNothingDone;
    return result;
  }
  result.outcome = CopyToChosen(call.person, source, chosen, request.defaultExtension,
                                &result.savedFolder, &result.keptAt);
  return result;
}

}  // namespace tamarisk
