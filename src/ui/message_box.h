// Message boxes and the save dialog sit inside the host's modal bracket, so
// the host holds its own event processing while the user answers.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

constexpr uint32 kIconWarning = 0x30;       // MB_ICONWARNING with an OK button
constexpr uint32 kIconWarningYesNo = 0x34;  // MB_ICONWARNING | MB_YESNO
constexpr int kAnswerYes = 6;               // IDYES
constexpr int kAnswerNo = 7;                // IDNO

// A box owned by owner, shown wide so that it reads on a system of any code
// page: the module's text and caption converted from CP932, after path (when
// given) and a line feed, converted on its own from the ANSI code page, in
// which the file calls read it. 0, as for a box that could not be shown,
// when path is no text of that code page: it would name another file.
int ShowModuleMessage(WindowHandle owner, const char* path, const char* text, const char* caption,
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
