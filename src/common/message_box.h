// Message boxes and the save dialog sit inside the host's modal bracket, so
// the host holds its own event processing while the user answers.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

constexpr uint32 kIconWarning = 0x30;       // MB_ICONWARNING with an OK button
constexpr uint32 kIconWarningYesNo = 0x34;  // MB_ICONWARNING | MB_YESNO
constexpr int kAnswerYes = 6;               // IDYES
constexpr int kAnswerNo = 7;                // IDNO

// BeginModal, MessageBoxA owned by the host window, EndModal; the answer.
int ShowBracketedMessage(HostUtilities* utilities, const char* text, const char* caption,
                         uint32 type);

// The modal bracket as a scope, for the save dialog: BeginModal when made,
// EndModal with the token it gave when gone.
class ModalBracket {
 public:
  explicit ModalBracket(HostUtilities* utilities);
  ~ModalBracket();
  ModalBracket(const ModalBracket&) = delete;
  ModalBracket& operator=(const ModalBracket&) = delete;

 private:
  HostUtilities* utilities_;
  int32 token_ = 0;
};

}  // namespace tamarisk
