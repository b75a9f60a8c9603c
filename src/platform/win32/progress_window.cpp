#include "platform/win32/progress_window.h"

#include <cstring>

#include "res/progress_ids.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this module's instance: its resources

namespace tamarisk {
namespace platform {

namespace {

LONG Permille(const CopyProgress& progress) {
  const std::uint64_t total = progress.total.load();
  if (total == 0) return 0;
  const std::uint64_t done = progress.done.load();
  return done >= total ? 1000 : static_cast<LONG>(done * 1000 / total);
}

INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: SetWindowLongPtrW(window, DWLP_USER, lParam); return TRUE;
    case WM_COMMAND:
      // The button, Esc, Enter or the close box; refused once the copy has
      // committed, which the disabled button shows.
      if (LOWORD(wParam) == IDCANCEL) {
        reinterpret_cast<CopyProgress*>(GetWindowLongPtrW(window, DWLP_USER))->AskToCancel();
      }
      return TRUE;
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      const CopyProgress* progress =
          reinterpret_cast<const CopyProgress*>(GetWindowLongPtrW(window, DWLP_USER));
      RECT done = item->rcItem;
      RECT rest = item->rcItem;
      done.right =
          done.left + (item->rcItem.right - item->rcItem.left) * Permille(*progress) / 1000;
      rest.left = done.right;
      FillRect(item->hDC, &done, GetSysColorBrush(COLOR_HIGHLIGHT));
      FillRect(item->hDC, &rest, GetSysColorBrush(COLOR_WINDOW));
      return TRUE;
    }
    default: return FALSE;
  }
}

// Shown wide, so that the texts read on a system of any code page: the
// module's own from CP932, a file name from the ANSI code page (left empty
// when it is no text there).
void SetWideText(HWND window, int item, const char* text, bool isName) {
  WCHAR wide[2 * MAX_PATH];
  const uint32 written = isName ? WideFromAnsiStrictly(text, wide, 2 * MAX_PATH)
                                : WideFromModuleText(text, wide, 2 * MAX_PATH);
  if (written == 0) wide[0] = L'\0';
  if (item == 0) {
    SetWindowTextW(window, wide);
  } else {
    SetDlgItemTextW(window, item, wide);
  }
}

}  // namespace

void ProgressWindow::Show(DWORD elapsedMs) {
  tried_ = true;
  // A wide window, whose texts never pass through the ANSI code page.
  window_ = CreateDialogParamW(reinterpret_cast<HINSTANCE>(&__ImageBase),
                               MAKEINTRESOURCEW(TAMARISK_PROGRESS_DIALOG), owner_, ProgressProc,
                               reinterpret_cast<LPARAM>(watch_.progress));
  if (window_ == nullptr) return;
  SetWideText(window_, 0, watch_.caption, false);
  SetWideText(window_, TAMARISK_PROGRESS_NAME, watch_.shownName, true);
  SetWideText(window_, IDCANCEL, watch_.cancelText, false);
  Update(elapsedMs);
  ShowWindow(window_, SW_SHOW);
}

void ProgressWindow::SetText(int item, const char* text, char* shown) {
  if (std::strcmp(text, shown) == 0) return;
  std::strcpy(shown, text);
  SetWideText(window_, item, text, false);
}

void ProgressWindow::Update(DWORD elapsedMs) {
  if (window_ == nullptr) return;
  const CopyProgress& progress = *watch_.progress;
  char amount[sizeof shownAmount_] = {};
  char left[sizeof shownLeft_] = {};
  watch_.describe(progress.done.load(), progress.total.load(), elapsedMs, amount, left,
                  sizeof amount);
  SetText(TAMARISK_PROGRESS_AMOUNT, amount, shownAmount_);
  SetText(TAMARISK_PROGRESS_LEFT, left, shownLeft_);
  if (progress.committed() && !cancelDisabled_) {
    cancelDisabled_ = true;
    EnableWindow(GetDlgItem(window_, IDCANCEL), FALSE);
  }
  const LONG permille = Permille(progress);
  if (permille == shownPermille_) return;
  shownPermille_ = permille;
  char percent[sizeof shownPercent_];
  wsprintfA(percent, "%ld%%", permille / 10);
  SetText(TAMARISK_PROGRESS_PERCENT, percent, shownPercent_);
  InvalidateRect(GetDlgItem(window_, TAMARISK_PROGRESS_BAR), nullptr, FALSE);
}

void ProgressWindow::Close() {
  if (window_ == nullptr) return;
  DestroyWindow(window_);
  window_ = nullptr;
}

}  // namespace platform
}  // namespace tamarisk
