#include "ui/host_person.h"

#include <cstring>

#include "ui/message_box.h"
#include "copyengine/copy_engine.h"
#include "ui/save_dialog.h"
#include "ui/progress_texts.h"
#include "platform/platform.h"
#include "res/messages.h"

namespace tamarisk {

Person::Reply HostPerson::AskToOverwrite(const char* path) {
  ModalBracket bracket(utilities_);
  switch (ShowModuleMessage(window_, path, kOverwriteQuestion, kOverwriteCaption,
                            kIconWarningYesNo)) {
    case kAnswerYes: return Reply::kYes;
    case kAnswerNo: return Reply::kNo;
    // 0 on Windows, -1 under Wine: the box never showed, so neither can another.
    default: return Reply::kNoAnswer;
  }
}

bool HostPerson::ChooseDestination(const DialogOffer& offer, Path* chosen) {
  SaveDialog dialog(offer, window_, instance_);
  for (;;) {
    bool shown = false;
    {
      // The dialog disables its owner itself and enables it again only if it
      // was enabled, so the owner is left as it is: one still disabled when
      // the dialog goes loses the activation to another program.
      ModalBracket bracket(utilities_);
      const WindowHandle focused = platform::FocusedWindow();
      shown = dialog.Show();
      if (focused != nullptr && platform::WindowExists(focused)) platform::FocusWindow(focused);
    }
    if (!shown) return false;
    switch (dialog.Take(chosen)) {
      case SaveDialog::Answer::kChosen: return true;
      case SaveDialog::Answer::kCancelled: return false;
      case SaveDialog::Answer::kUnusable: break;
    }
    // Told why, the person chooses again in the folder they typed or went to.
    ModalBracket bracket(utilities_);
    ShowModuleMessage(window_, nullptr, kUnusableName, kUnusableNameCaption, kIconWarning);
  }
}

void HostPerson::Tell(const char* text, const char* caption, const char* path) {
  ModalBracket bracket(utilities_);
  ShowModuleMessage(window_, path, text, caption, kIconWarning);
}

bool HostPerson::Watch(CopyJob* job, const char* shownName) {
  if (job->worker() == nullptr) return true;  // made on this thread: over
  // Held from the copy's first moment: the host's loop runs inside the copy's.
  ModalBracket bracket(utilities_);
  return platform::WatchCopy({job->worker(), job->progress(), window_, kCopyingCaption,
                              kCancelButton, shownName, DescribeCopyProgress}) ==
         platform::WatchEnd::kEnded;
}

}  // namespace tamarisk
