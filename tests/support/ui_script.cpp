#include "support/test_env.h"

namespace tamarisk {
namespace test {

UiScript& Ui() {
  static UiScript script;
  return script;
}

void UiScript::Reset(sim::SimHost* host) {
  host_ = host;
  answers.clear();
  choices.clear();
  messages.clear();
  dialogs.clear();
}

int UiScript::AnswerMessage(const MessageSeen& seen) {
  messages.push_back(seen);
  messages.back().modalDepth = host_ != nullptr ? host_->modalDepth : -1;
  messages.back().liveMovieObjects = host_ != nullptr ? host_->LiveMovieObjects() : -1;
  // Nothing scripted: OK, or No to a question (its box has no OK).
  if (answers.empty()) return (seen.type & 0xF) == 4 /* MB_YESNO */ ? 7 : 1;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

bool UiScript::AnswerDialog(const DialogSeen& seen, std::string* path) {
  dialogs.push_back(seen);
  dialogs.back().modalDepth = host_ != nullptr ? host_->modalDepth : -1;
  dialogs.back().liveMovieObjects = host_ != nullptr ? host_->LiveMovieObjects() : -1;
  if (choices.empty()) return false;
  const DialogChoice choice = choices.front();
  choices.pop_front();
  if (choice.cancel) return false;
  *path = choice.typed;
  // Like the platform's dialog: a name without an extension gets the default one.
  const std::size_t name = path->find_last_of("\\/");
  const std::size_t dot = path->find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (name == std::string::npos || dot > name);
  if (!hasExtension && seen.hasDefaultExtension) *path += "." + seen.defaultExtension;
  return true;
}

}  // namespace test
}  // namespace tamarisk
