#include "support/test_env.h"

#include <algorithm>

#include "simhost/save_dialog_rules.h"

namespace tamarisk {
namespace test {

UiScript& Ui() {
  static UiScript script;
  return script;
}

void UiScript::Reset(sim::SimHost* host) {
  host_ = host;
  answers.clear();
  history = nullptr;
  choices.clear();
  messages.clear();
  dialogs.clear();
}

int UiScript::AnswerMessage(WindowHandle owner, const std::u16string& text,
                            const std::u16string& caption, uint32 type) {
  messages.push_back(MessageSeen{owner, Cp932Of(text), Cp932Of(caption), type,
                                 host_ != nullptr ? host_->modalDepth : -1,
                                 host_ != nullptr ? host_->LiveMovieObjects() : -1, text});
  // Nothing scripted: OK, or No to a question (its box has no OK).
  if (answers.empty()) return (type & 0xF) == 4 /* MB_YESNO */ ? 7 : 1;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

bool UiScript::AnswerDialog(const DialogSeen& seen, char16_t* file) {
  dialogs.push_back(seen);
  dialogs.back().initialDirectory = Narrowed(seen.wideDirectory);
  dialogs.back().modalDepth = host_ != nullptr ? host_->modalDepth : -1;
  dialogs.back().liveMovieObjects = host_ != nullptr ? host_->LiveMovieObjects() : -1;
  const std::u16string opens =
      history != nullptr ? history->Opens(seen.wideDirectory) : seen.wideDirectory;
  dialogs.back().opensIn = Narrowed(opens);
  // Like the platform's dialog, which makes the folder it shows the current one.
  const std::string shown = sim::DialogFolder(dialogs.back().opensIn);
  if (!shown.empty() && Widened(dialogs.back().opensIn) == opens) SetCurrentFolder(shown);
  if (choices.empty()) return false;
  const DialogChoice choice = choices.front();
  choices.pop_front();
  if (choice.cancel) return false;
  const std::u16string path =
      sim::WithDialogExtension(choice.wide.empty() ? Widened(choice.typed) : choice.wide,
                               seen.filter.size() > 1 ? seen.filter[1] : "",
                               seen.hasDefaultExtension ? seen.defaultExtension.c_str() : nullptr);
  if (history != nullptr) history->Chose(path);
  if (path.size() + 1 > seen.fileSize) return false;  // the platform refuses too
  std::copy(path.c_str(), path.c_str() + path.size() + 1, file);
  return true;
}

}  // namespace test
}  // namespace tamarisk
