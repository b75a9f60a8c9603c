// The user the module talks to: its message boxes and save dialog, printed
// and then answered by a script, at the terminal or by the platform's own
// windows; and a long copy's progress, shown on the terminal.
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
  std::deque<std::string> choices;  // a save dialog's name in UTF-8; empty or none left: cancel
};

// While it exists, the module's boxes and dialogs reach the user as mode
// says, and a long copy's progress shows on the terminal.
class UserWindows {
 public:
  UserWindows(HMODULE module, UserMode mode, const ScriptedAnswers& answers);
  ~UserWindows();
  UserWindows(const UserWindows&) = delete;
  UserWindows& operator=(const UserWindows&) = delete;

 private:
  sim::ImportPatch boxes_;
  sim::ImportPatch dialogs_;
  sim::ImportPatch progressShown_;
  sim::ImportPatch progressUpdated_;
  sim::ImportPatch progressClosed_;
};

// The platform's own windows need a real window to own them, as the
// authoring host's stage does: one titled with the movie's name, hidden
// unless shown.
HWND MakeStage(const std::string& basePath, bool shown);

}  // namespace cli
}  // namespace tamarisk
