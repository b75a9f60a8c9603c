// The platform's save dialog, as the host's person shows it: the offer in
// the platform's wide text, and the answer taken only when the ANSI code
// page holds it exactly.
#pragma once

#include <cstddef>

#include "base/path.h"
#include "base/text.h"
#include "filecopy/person.h"
#include "host/host_abi.h"
#include "platform/platform.h"

namespace tamarisk {

constexpr uint32 kDialogFileSize = 260;  // the dialog's file buffer, NUL included

// "desc | pattern ||" to the platform's NUL-separated list: each bar that is
// a character of its own becomes a NUL. out always ends in two NULs.
void TranslateFilter(const char* filter, char* out, std::size_t capacity);

class SaveDialog {
 public:
  enum class Answer { kChosen, kCancelled, kUnusable };

  // Owned by owner, of the host's instance.
  SaveDialog(const DialogOffer& offer, WindowHandle owner, InstanceHandle instance);
  SaveDialog(const SaveDialog&) = delete;
  SaveDialog& operator=(const SaveDialog&) = delete;

  // Shows it, offering the name again; false when cancelled or failed.
  bool Show();
  // The path chosen, used only when each of its characters is the one
  // chosen: a converted form would name another file (é as e) or another
  // folder (¥ as the backslash). kUnusable otherwise; then the next Show
  // opens in the folder of that path, which only the wide form may name.
  Answer Take(Path* chosen);

 private:
  char offeredName_[kDialogFileSize];
  platform::WideChar filter_[kTextBufferSize] = {};
  platform::WideChar folder_[kTextBufferSize];
  platform::WideChar extension_[kTextBufferSize];
  platform::WideChar file_[kDialogFileSize];
  platform::SaveDialogRequest request_;
};

}  // namespace tamarisk
