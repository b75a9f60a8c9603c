#include "filecopy/save_dialog.h"

#include <cstring>

#include "common/message_box.h"
#include "common/module_state.h"
#include "filecopy/path_components.h"
#include "platform/platform.h"
#include "platform/scoped.h"

namespace tamarisk {

namespace {

constexpr uint32 kHideReadOnly = 0x4;     // OFN_HIDEREADONLY
constexpr uint32 kOverwritePrompt = 0x2;  // OFN_OVERWRITEPROMPT
constexpr uint32 kExplorer = 0x80000;     // OFN_EXPLORER

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
                       const char* defaultExtension, const char* filter, char* chosen) {
  char filterList[kTextBufferSize];
  TranslateFilter(filter, filterList, sizeof filterList);
  CopyText(initialName, chosen, kDialogFileSize);

  platform::SaveDialogRequest request;
  request.owner = moduleContext.hostWindow;
  request.instance = moduleContext.hostInstance;
  request.filter = filterList;
  request.file = chosen;
  request.fileSize = kDialogFileSize;
  request.initialDirectory = handlerState.dialogDirectory;
  request.defaultExtension = defaultExtension;
  request.flags = kHideReadOnly | kOverwritePrompt | kExplorer;

  ModalBracket bracket(utilities);
  const WindowHandle focused = platform::FocusedWindow();
  bool accepted = false;
  {
    // The host's window takes no input while the dialog is up.
    platform::DisabledWindow owner(moduleContext.hostWindow);
    accepted = platform::ShowSaveDialog(&request);
  }
  if (focused != nullptr && platform::WindowExists(focused)) platform::FocusWindow(focused);
  chosen[kDialogFileSize - 1] = '\0';
  return accepted;
}

}  // namespace tamarisk
