#include "filecopy/save_dialog.h"

#include <cstring>

#include "common/message_box.h"
#include "common/module_state.h"
#include "base/path.h"
#include "platform/platform.h"
#include "platform/scoped.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

constexpr uint32 kHideReadOnly = 0x4;     // OFN_HIDEREADONLY
constexpr uint32 kOverwritePrompt = 0x2;  // OFN_OVERWRITEPROMPT
constexpr uint32 kExplorer = 0x80000;     // OFN_EXPLORER

using platform::WideChar;

// The bytes of a NUL-separated list up to the NUL that ends it.
std::size_t ListSize(const char* list) {
  std::size_t size = 0;
  while (list[size] != '\0') size += std::strlen(list + size) + 1;
  return size + 1;
}

// ANSI text widened into out, empty when it does not fit.
void Widen(const char* text, std::size_t size, WideChar* out, uint32 capacity) {
  if (platform::WideFromAnsi(text, static_cast<uint32>(size), out, capacity) == 0) out[0] = 0;
}

bool SameText(const WideChar* a, const WideChar* b) {
  std::size_t i = 0;
  while (a[i] != 0 && a[i] == b[i]) ++i;
  return a[i] == b[i];
}

enum class Answer { kChosen, kCancelled, kUnusable };

// The dialog answers in UTF-16; the module's paths are in the ANSI code page.
// A path is used only when each character there is the one chosen: a
// converted form would name another file (é as e) or another folder (¥ as
// the backslash).
Answer TakeChosenPath(const WideChar* path, Path* chosen) {
  char exact[2 * kDialogFileSize];  // a character takes at most two bytes
  if (!platform::AnsiFromWide(path, exact, sizeof exact)) return Answer::kUnusable;
  // Some characters map one way only: they do not come back.
  const std::size_t size = std::strlen(exact) + 1;
  WideChar back[kDialogFileSize];
  if (platform::WideFromAnsi(exact, static_cast<uint32>(size), back, kDialogFileSize) == 0 ||
      !SameText(back, path)) {
    return Answer::kUnusable;
  }
  // Too long for the module's buffer, the dialog failed as its ANSI form does.
  if (size > kDialogFileSize) return Answer::kCancelled;
  static_assert(kDialogFileSize <= Path::kCapacity, "a chosen path fits a path");
  std::memcpy(chosen->data(), exact, size);
  return Answer::kChosen;
}

// The dialog inside its own modal bracket. It disables its owner itself and
// enables it again only if it was enabled, so the owner is left enabled:
// one still disabled when the dialog goes loses the activation to another
// program.
bool ShowBracketed(HostUtilities* utilities, platform::SaveDialogRequest* request) {
  ModalBracket bracket(utilities);
  const WindowHandle focused = platform::FocusedWindow();
  const bool accepted = platform::ShowSaveDialog(request);
  if (focused != nullptr && platform::WindowExists(focused)) platform::FocusWindow(focused);
  return accepted;
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

bool ChooseDestination(HostUtilities* utilities, const char* initialName,
                       const char* defaultExtension, const char* filter, Path* chosen) {
  char filterList[kTextBufferSize];
  TranslateFilter(filter, filterList, sizeof filterList);
  char offeredName[kDialogFileSize];
  FitText(initialName, offeredName, sizeof offeredName);

  WideChar wideFilter[kTextBufferSize] = {};
  Widen(filterList, ListSize(filterList), wideFilter, kTextBufferSize);
  WideChar folder[kTextBufferSize];
  const char* directory = handlerState.dialogDirectory.c_str();
  Widen(directory, std::strlen(directory) + 1, folder, kTextBufferSize);
  WideChar extension[kTextBufferSize];
  if (defaultExtension != nullptr)
    Widen(defaultExtension, std::strlen(defaultExtension) + 1, extension, kTextBufferSize);
  WideChar file[kDialogFileSize];

  platform::SaveDialogRequest request;
  request.owner = moduleContext.hostWindow;
  request.instance = moduleContext.hostInstance;
  request.filter = wideFilter;
  request.file = file;
  request.fileSize = kDialogFileSize;
  request.initialDirectory = folder;
  request.defaultExtension = defaultExtension != nullptr ? extension : nullptr;
  request.flags = kHideReadOnly | kOverwritePrompt | kExplorer;
  for (;;) {
    Widen(offeredName, std::strlen(offeredName) + 1, file, kDialogFileSize);
    if (!ShowBracketed(utilities, &request)) return false;
    file[kDialogFileSize - 1] = 0;
    switch (TakeChosenPath(file, chosen)) {
      case Answer::kChosen: return true;
      case Answer::kCancelled: return false;
      case Answer::kUnusable: break;
    }
    // The user chooses again, in the folder they typed or went to, which
    // may itself be one that only the wide form can name.
    ShowBracketedMessage(utilities, kUnusableName, kUnusableNameCaption, kIconWarning);
    FolderOf(file, folder);
  }
}

}  // namespace tamarisk
