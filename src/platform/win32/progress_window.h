// The window a long copy shows: the file's name, a bar with the percentage,
// how much of how much is copied, about how long is left, and a cancel
// button that sets the copy's cancelled flag.
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace tamarisk {
namespace platform {

class ProgressWindow {
 public:
  ProgressWindow(const CopyWatch& watch, HWND owner) : watch_(watch), owner_(owner) {}
  ~ProgressWindow() { Close(); }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  HWND handle() const { return window_; }
  bool tried() const { return tried_; }

  // Makes and shows it; one that cannot be made leaves the copy running unseen.
  void Show(DWORD elapsedMs);
  // Its texts and bar as the copy stands now.
  void Update(DWORD elapsedMs);
  void Close();

 private:
  void SetText(int item, const char* text, char* shown);

  const CopyWatch& watch_;
  HWND owner_;
  HWND window_ = nullptr;
  bool tried_ = false;
  bool cancelDisabled_ = false;
  LONG shownPermille_ = -1;
  char shownPercent_[8] = {};
  char shownAmount_[32] = {};
  char shownLeft_[32] = {};
};

}  // namespace platform
}  // namespace tamarisk
