// The user the module talks to: its message boxes and save dialog, printed
// and then answered by a script, at the terminal or by the platform's own
// windows.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

#include "simhost/iat_patch.h"

namespace tamarisk {
namespace cli {

enum class UserMode { kScripted, kInteractive, kReal };

// A script's answers, taken in order.
struct ScriptedAnswers {
  std::deque<int> questions;        // IDYES or IDNO; No when none is left
  std::deque<std::string> choices;  // a save dialog's name; empty or none left: cancel
};

// While it exists, the module's boxes and dialogs reach the user as mode says.
class UserWindows {
 public:
  UserWindows(HMODULE module, UserMode mode, const ScriptedAnswers& answers);
  ~UserWindows();
  UserWindows(const UserWindows&) = delete;
  UserWindows& operator=(const UserWindows&) = delete;

 private:
  sim::ImportPatch boxes_;
  sim::ImportPatch dialogs_;
};

// The platform's own boxes and dialog need a real window to own them, as
// the authoring host's stage does: one titled with the movie's name.
HWND MakeStage(const std::string& basePath);

}  // namespace cli
}  // namespace tamarisk
