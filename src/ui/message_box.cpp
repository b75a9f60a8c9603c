#include "ui/message_box.h"

#include "platform/platform.h"

namespace tamarisk {

ModalBracket::ModalBracket(HostUtilities* utilities) : utilities_(utilities) {
  utilities_->ops->BeginModal(utilities_, &token_);
}

ModalBracket::~ModalBracket() { utilities_->ops->EndModal(utilities_, token_); }

int ShowModuleMessage(WindowHandle owner, const char* path, const char* text, const char* caption,
                      uint32 type) {
  using platform::WideChar;
  WideChar wideText[2 * kTextBufferSize];
  WideChar wideCaption[kTextBufferSize];
  uint32 used = 0;
  if (path != nullptr) {
    used = platform::WideFromAnsiStrictly(path, wideText, kTextBufferSize);
    if (used == 0) return 0;
    wideText[used - 1] = '\n';  // in place of the path's NUL
  }
  if (platform::WideFromModuleText(text, wideText + used, 2 * kTextBufferSize - used) == 0 ||
      platform::WideFromModuleText(caption, wideCaption, kTextBufferSize) == 0) {
    return 0;
  }
  return platform::ShowMessageBox(owner, wideText, wideCaption, type);
}

}  // namespace tamarisk
