#include "filecopy/save_dialog.h"

#include <cstring>

#include "filecopy/copy_routine.h"
#include "filecopy/path_components.h"
#include "module/message_box.h"
#include "module/module_state.h"
#include "module/scripting_class.h"
#include "platform/platform.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

constexpr uint32 kDialogFileSize = 260;
constexpr uint32 kHideReadOnly = 0x4;      // OFN_HIDEREADONLY
constexpr uint32 kOverwritePrompt = 0x2;   // OFN_OVERWRITEPROMPT
constexpr uint32 kExplorer = 0x80000;      // OFN_EXPLORER

// Windows drops blanks and dots at the end of a name, and the dialog can
// hand back such a name: "notes.txt " when its filter is " *.TXT ".
void DropNameEnd(char* path) {
  std::size_t length = std::strlen(path);
  while (length > 0 && (path[length - 1] == ' ' || path[length - 1] == '.')) path[--length] = '\0';
}

// Whether two paths name the same file, as far as the text tells.
bool SameFile(const char* a, const char* b) {
  char left[kTextBufferSize];
  char right[kTextBufferSize];
  CopyText(a, left, sizeof left);
  CopyText(b, right, sizeof right);
  DropNameEnd(left);
  DropNameEnd(right);
  LowercasePath(left);
  LowercasePath(right);
  return std::strcmp(left, right) == 0;
}

// Steps after the user chose a path; returns with the result set.
void CopyToChosen(HostUtilities* utilities, const char* source, char* chosen,
                  const char* defaultExtension) {
  PathComponents parts;
  if (!SplitPath(chosen, &parts)) return Fail(utilities, kInvalidArguments, kInvalidRequest);
  JoinPath(parts.drive, parts.directory, "", "", handlerState.dialogDirectory,
           sizeof handlerState.dialogDirectory);

  char* destination = handlerState.destination;
  const char* extension = defaultExtension != nullptr ? defaultExtension : parts.extension;
  if (!JoinPath(parts.drive, parts.directory, parts.name, extension, destination, kTextBufferSize)) {
    return Fail(utilities, kInvalidArguments, kInvalidRequest);
  }
  // The dialog asked about the path the user typed; a file that only the
  // forced extension leads to has not been asked about yet.
  if (!SameFile(destination, chosen) &&
      platform::QueryFileStatus(destination) == platform::FileStatus::kRegularFile) {
    return AskAndOverwrite(utilities, source, destination);
  }
  CopyAndReport(utilities, source, destination,
                platform::QueryFileStatus(destination) == platform::FileStatus::kRegularFile);
}

}  // namespace

void TranslateFilter(const char* filter, char* out, std::size_t capacity) {
  if (capacity < 2) return;
  std::size_t used = 0;
  const char* p = filter;
  while (*p != '\0') {
    const std::size_t step = CharLength(p);
    if (used + step > capacity - 2) break;
    if (step == 1 && *p == '|') {
      out[used++] = '\0';
    } else {
      std::memcpy(out + used, p, step);
      used += step;
    }
    p += step;
  }
  out[used] = '\0';
  out[used + 1] = '\0';
}

void ChooseDestinationAndCopy(InterfaceObject* self, const char* source, const char* initialName,
                              const char* defaultExtension, const char* filter) {
  HostUtilities* utilities = InstanceOf(self)->utilities;

  char filterList[kTextBufferSize];
  TranslateFilter(filter, filterList, sizeof filterList);
  char file[kDialogFileSize];
  CopyText(initialName, file, sizeof file);

  platform::SaveDialogRequest request;
  request.owner = moduleContext.hostWindow;
  request.instance = moduleContext.hostInstance;
  request.filter = filterList;
  request.file = file;
  request.fileSize = kDialogFileSize;
  request.initialDirectory = handlerState.dialogDirectory;
  request.defaultExtension = defaultExtension;
  request.flags = kHideReadOnly | kOverwritePrompt | kExplorer;

  bool chosen = false;
  {
    ModalBracket bracket(utilities);
    const WindowHandle focused = platform::FocusedWindow();
    // The host's window takes no input while the dialog is up, and gets it
    // back after; one that was disabled already stays so.
    const WindowHandle owner = moduleContext.hostWindow;
    const bool disableOwner = owner != nullptr && platform::WindowEnabled(owner);
    if (disableOwner) platform::EnableWindowInput(owner, false);
    chosen = platform::ShowSaveDialog(&request);
    if (disableOwner) platform::EnableWindowInput(owner, true);
    if (focused != nullptr && platform::WindowExists(focused)) platform::FocusWindow(focused);
  }
  if (!chosen) return Fail(utilities, kNothingDone, kNothingDoneResult);

  file[kDialogFileSize - 1] = '\0';
  CopyToChosen(utilities, source, file, defaultExtension);
}

}  // namespace tamarisk
