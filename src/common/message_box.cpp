#include "common/message_box.h"

#include "common/module_state.h"
#include "platform/platform.h"

namespace tamarisk {

ModalBracket::ModalBracket(HostUtilities* utilities) : utilities_(utilities) {
  utilities_->ops->BeginModal(utilities_, &token_);
}

ModalBracket::~ModalBracket() { utilities_->ops->EndModal(utilities_, token_); }

int ShowBracketedMessage(HostUtilities* utilities, const char* text, const char* caption,
                         uint32 type) {
  ModalBracket bracket(utilities);
  return platform::ShowMessageBox(moduleContext.hostWindow, text, caption, type);
}

}  // namespace tamarisk
