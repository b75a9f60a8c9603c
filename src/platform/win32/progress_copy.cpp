// The copy that leaves the calling thread free: a worker thread moves the
// bytes while this thread runs a message loop, so the host's windows keep
// painting and answering; a long copy shows its progress and can be
// cancelled. Wine's CopyFileExA never calls a progress routine, so the
// worker copies piece by piece itself, as CopyFileA does.
#include <windows.h>

#include <initializer_list>

#include "platform/platform.h"
#include "platform/retrying.h"
#include "platform/win32/last_error.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this module's instance

namespace tamarisk {
namespace platform {

namespace {

// A piece takes about 20 ms from a CD-ROM's 12 MB/s: a cancel is seen soon.
constexpr DWORD kPieceBytes = 256 * 1024;
constexpr DWORD kShowAfterMs = 1000;  // a copy that ends sooner shows nothing
constexpr DWORD kUpdateMs = 50;       // how often the window shows the progress
constexpr int kNameId = 100;
constexpr int kBarId = 101;
constexpr int kPercentId = 102;

// What the two threads share; the counters are changed with Interlocked calls.
struct CopyJob {
  HANDLE source;
  HANDLE target;
  ULONGLONG total;
  volatile LONG permille;   // of the bytes written
  volatile LONG cancelled;  // set by the cancel button
  DWORD error;              // the worker's: 0 when the copy is whole
};

DWORD CopyPieces(CopyJob* job) {
  void* buffer = VirtualAlloc(nullptr, kPieceBytes, MEM_COMMIT, PAGE_READWRITE);
  if (buffer == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  ULONGLONG done = 0;
  DWORD error = 0;
  while (error == 0) {
    if (InterlockedCompareExchange(&job->cancelled, 0, 0) != 0) {
      error = ERROR_CANCELLED;
      break;
    }
    DWORD read = 0;
    if (!ReadFile(job->source, buffer, kPieceBytes, &read, nullptr)) {
      error = GetLastError();
    } else if (read == 0) {
      break;
    } else {
      DWORD written = 0;
      if (!WriteFile(job->target, buffer, read, &written, nullptr)) {
        error = GetLastError();
      } else if (written != read) {
        error = ERROR_DISK_FULL;
      }
      done += written;
      const ULONGLONG permille = job->total == 0 ? 1000 : done * 1000 / job->total;
      InterlockedExchange(&job->permille, static_cast<LONG>(permille > 1000 ? 1000 : permille));
    }
  }
  VirtualFree(buffer, 0, MEM_RELEASE);
  return error;
}

DWORD WINAPI CopyThread(void* data) {
  CopyJob* job = static_cast<CopyJob*>(data);
  job->error = CopyPieces(job);
  return 0;
}

// The window's layout in dialog units, as a dialog template in memory: the
// dialog manager then gives it the platform's dialog font, look and keys
// (Esc and Enter press Cancel) without comctl32; the bar is drawn here.
class WindowTemplate {
 public:
  WindowTemplate() {
    constexpr DWORD kStyle =
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER;
    Header(kStyle, 4, 200, 58);
    Item(SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 0x82, kNameId, 8, 7, 184, 9);
    Item(SS_OWNERDRAW, WS_EX_STATICEDGE, 0x82, kBarId, 8, 20, 150, 10);
    Item(SS_RIGHT, 0, 0x82, kPercentId, 160, 21, 32, 9);
    Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 0x80, IDCANCEL, 75, 37, 50, 14);
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_); }

 private:
  void Word(unsigned value) { words_[size_++] = static_cast<WORD>(value); }
  void Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Header(DWORD style, unsigned items, unsigned width, unsigned height) {
    Dword(style);
    Dword(0);
    for (unsigned value : {items, 0u, 0u, width, height}) Word(value);
    Word(0);  // no menu
    Word(0);  // the dialog class
    Word(0);  // the caption, set once made
    Word(9);  // points
    for (const wchar_t* c = L"MS Shell Dlg"; *c != 0; ++c) Word(*c);
    Word(0);
  }
  void Item(DWORD style, DWORD exStyle, unsigned atom, int id, unsigned x, unsigned y,
            unsigned width, unsigned height) {
    if (size_ % 2 != 0) Word(0);  // every item starts on a DWORD
    Dword(WS_CHILD | WS_VISIBLE | style);
    Dword(exStyle);
    for (unsigned value : {x, y, width, height}) Word(value);
    Word(static_cast<unsigned>(id));
    Word(0xFFFF);
    Word(atom);  // 0x80 a button, 0x82 a static
    Word(0);     // the text, set once made
    Word(0);     // no creation data
  }

  alignas(4) WORD words_[128] = {};
  int size_ = 0;
};

INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: SetWindowLongPtrA(window, DWLP_USER, lParam); return TRUE;
    case WM_COMMAND:
      // The button, Esc, Enter or the close box.
      if (LOWORD(wParam) == IDCANCEL) {
        CopyJob* job = reinterpret_cast<CopyJob*>(GetWindowLongPtrA(window, DWLP_USER));
        InterlockedExchange(&job->cancelled, 1);
      }
      return TRUE;
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      const CopyJob* job = reinterpret_cast<const CopyJob*>(GetWindowLongPtrA(window, DWLP_USER));
      RECT done = item->rcItem;
      RECT rest = item->rcItem;
      done.right = done.left + (item->rcItem.right - item->rcItem.left) * job->permille / 1000;
      rest.left = done.right;
      FillRect(item->hDC, &done, GetSysColorBrush(COLOR_HIGHLIGHT));
      FillRect(item->hDC, &rest, GetSysColorBrush(COLOR_WINDOW));
      return TRUE;
    }
    default: return FALSE;
  }
}

// The progress window, made only when the copy has lasted a second.
class ProgressWindow {
 public:
  ProgressWindow(const ProgressCopy& copy, CopyJob* job) : copy_(copy), job_(job) {}
  ~ProgressWindow() { Close(); }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  HWND handle() const { return window_; }
  bool tried() const { return tried_; }

  // Shows it; a window that cannot be made leaves the copy running unseen.
  void Show() {
    tried_ = true;
    copy_.observer->WindowShowing();
    const WindowTemplate layout;
    window_ = CreateDialogIndirectParamA(reinterpret_cast<HINSTANCE>(&__ImageBase), layout.get(),
                                         static_cast<HWND>(copy_.owner), ProgressProc,
                                         reinterpret_cast<LPARAM>(job_));
    if (window_ == nullptr) {
      copy_.observer->WindowClosing();
      return;
    }
    SetWindowTextA(window_, copy_.caption);
    SetDlgItemTextA(window_, kNameId, copy_.shownName);
    SetDlgItemTextA(window_, IDCANCEL, copy_.cancelText);
    Update();
    ShowWindow(window_, SW_SHOW);
  }

  void Update() {
    if (window_ == nullptr) return;
    const LONG percent = InterlockedCompareExchange(&job_->permille, 0, 0) / 10;
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    char text[16];
    wsprintfA(text, "%ld%%", percent);
    SetDlgItemTextA(window_, kPercentId, text);
    InvalidateRect(GetDlgItem(window_, kBarId), nullptr, FALSE);
  }

  // The owner takes input again first, so that it, not another program,
  // becomes the active window.
  void Close() {
    if (window_ == nullptr) return;
    copy_.observer->WindowClosing();
    DestroyWindow(window_);
    window_ = nullptr;
  }

 private:
  const ProgressCopy& copy_;
  CopyJob* job_;
  HWND window_ = nullptr;
  bool tried_ = false;
  LONG shownPercent_ = -1;
};

// Runs this thread's messages until the worker has ended. A WM_QUIT is
// kept for the host's own loop, which sees it once the copy is over.
void RunMessagesUntilDone(const ProgressCopy& copy, CopyJob* job, HANDLE worker) {
  const DWORD started = GetTickCount();
  ProgressWindow window(copy, job);
  bool quit = false;
  WPARAM quitCode = 0;
  for (;;) {
    const DWORD elapsed = GetTickCount() - started;
    const DWORD untilShown = elapsed < kShowAfterMs ? kShowAfterMs - elapsed : 0;
    const DWORD wait = window.tried() ? kUpdateMs : untilShown;
    const DWORD woke = MsgWaitForMultipleObjects(1, &worker, FALSE, wait, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
      } else if (window.handle() == nullptr || !IsDialogMessageA(window.handle(), &message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
    if (!window.tried() && GetTickCount() - started >= kShowAfterMs) window.Show();
    window.Update();
  }
  WaitForSingleObject(worker, INFINITE);
  window.Update();  // the last piece's percentage, before it goes
  window.Close();
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

FileError CopyOpenFiles(const ProgressCopy& copy, CopyJob* job) {
  const HANDLE worker = CreateThread(nullptr, 0, CopyThread, job, 0, nullptr);
  if (worker == nullptr) {
    job->error = CopyPieces(job);  // then here, as CopyFileA would
  } else {
    RunMessagesUntilDone(copy, job, worker);
    CloseHandle(worker);
  }
  switch (job->error) {
    case 0: return FileError::kNone;
    case ERROR_CANCELLED: return FileError::kCancelled;
    default: return FileError::kOther;
  }
}

}  // namespace

FileError CopyWithProgress(const ProgressCopy& copy) {
  const HANDLE source =
      CreateFileA(copy.from, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (source == INVALID_HANDLE_VALUE) return LastFileError();
  BY_HANDLE_FILE_INFORMATION about;
  if (!GetFileInformationByHandle(source, &about)) {
    CloseHandle(source);
    return FileError::kOther;
  }
  // Made plain: a cancelled copy of a read-only file can still be deleted.
  const HANDLE target =
      CreateFileA(copy.to, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (target == INVALID_HANDLE_VALUE) {
    const FileError error = LastFileError();
    CloseHandle(source);
    return error;
  }
  CopyJob job = {
      source, target, (static_cast<ULONGLONG>(about.nFileSizeHigh) << 32) | about.nFileSizeLow,
      0,      0,      0};
  const FileError error = CopyOpenFiles(copy, &job);
  if (error == FileError::kNone) SetFileTime(target, nullptr, nullptr, &about.ftLastWriteTime);
  CloseHandle(target);
  CloseHandle(source);
  // The source's own attributes (read-only, hidden), once the copy is whole;
  // a scanner may hold the file it has just seen closed.
  constexpr DWORD kPlain = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
  if (error == FileError::kNone && (about.dwFileAttributes & ~kPlain) != 0) {
    Retrying([&] {
      return SetFileAttributesA(copy.to, about.dwFileAttributes) != FALSE ? FileError::kNone
                                                                          : LastFileError();
    });
  }
  return error;
}

}  // namespace platform
}  // namespace tamarisk
