// The thread a copy runs on, one of the process's pool, and the loop the
// calling thread runs meanwhile: the host's windows keep painting and
// answering, and its own loop gets the call back as soon as the copy has
// ended, however many messages keep coming (a movie that plays posts its
// frames without pause).
#include <windows.h>

#include "platform/platform.h"
#include "platform/scoped.h"
#include "platform/win32/progress_window.h"

namespace tamarisk {
namespace platform {

namespace {

constexpr DWORD kShowAfterMs = kShowProgressAfterMs;
constexpr DWORD kUpdateMs = 50;  // how often the window shows the progress
constexpr DWORD kRoundMs = 50;   // the longest run of messages between two looks at the copy

struct WorkerStart {
  void (*work)(void*);
  void* data;
  HMODULE module;  // the work's own reference to this module
  HANDLE ended;    // the work's own handle of the event the caller waits on
};

void CALLBACK WorkerMain(PTP_CALLBACK_INSTANCE instance, void* raw) {
  const WorkerStart start = *static_cast<WorkerStart*>(raw);
  HeapFree(GetProcessHeap(), 0, raw);
  // Given back by the pool once this function has returned, so that the
  // module stays loaded under the code that is still running here.
  FreeLibraryWhenCallbackReturns(instance, start.module);
  start.work(start.data);
  // Set and closed here, not by the pool afterwards: the caller may close
  // its own handle meanwhile, and a copy left to end on its own has no caller.
  SetEvent(start.ended);
  CloseHandle(start.ended);
}

bool Ended(HANDLE worker) { return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }

// The loop itself; the window is shown, updated and cancelled from here.
class Watcher {
 public:
  Watcher(const CopyWatch& watch, ProgressWindow* window)
      : watch_(watch), window_(window), started_(GetTickCount()) {}

  WatchEnd Run() {
    for (;;) {
      const DWORD elapsed = GetTickCount() - started_;
      if (watch_.progress->cancelAsked() && !cancelSeen_) {
        cancelSeen_ = true;
        cancelledAt_ = elapsed;
      }
      const DWORD sinceCancel = elapsed - cancelledAt_;
      if (MayStopWaiting(*watch_.progress, sinceCancel)) return WatchEnd::kAbandoned;
      if (!window_->tried() && elapsed >= kShowAfterMs) window_->Show(elapsed);
      window_->Update(elapsed);

      DWORD wait = window_->tried() ? kUpdateMs : kShowAfterMs - elapsed;
      if (cancelSeen_ && kCancelGraceMs - sinceCancel < wait) wait = kCancelGraceMs - sinceCancel;
      HANDLE worker = watch_.worker;
      const DWORD woke =
          MsgWaitForMultipleObjectsEx(1, &worker, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (woke == WAIT_OBJECT_0 || Ended(worker)) return WatchEnd::kEnded;
      if (RunMessages()) return WatchEnd::kEnded;
    }
  }

  // The last piece's percentage, before the window goes.
  void ShowLast() const { window_->Update(GetTickCount() - started_); }

  // Kept for the host's own loop, which sees it once the call is over.
  void RepostQuit() const {
    if (quit_) PostQuitMessage(static_cast<int>(quitCode_));
  }

 private:
  // One round of the messages waiting, bounded in time; true when the copy
  // has ended meanwhile.
  bool RunMessages() {
    const DWORD round = GetTickCount();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit_ = true;
        quitCode_ = message.wParam;
      } else if (window_->handle() == nullptr || !IsDialogMessageA(window_->handle(), &message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
      if (Ended(watch_.worker)) return true;
      if (GetTickCount() - round >= kRoundMs) break;
    }
    return false;
  }

  const CopyWatch& watch_;
  ProgressWindow* window_;
  const DWORD started_;
  bool cancelSeen_ = false;
  DWORD cancelledAt_ = 0;
  bool quit_ = false;
  WPARAM quitCode_ = 0;
};

}  // namespace

Handle StartWorker(void (*work)(void*), void* data) {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCSTR>(&WorkerMain), &self)) {
    return nullptr;
  }
  // Not the runtime's operator new, which would bring its exception machinery.
  WorkerStart* start =
      static_cast<WorkerStart*>(HeapAlloc(GetProcessHeap(), 0, sizeof(WorkerStart)));
  HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE own = nullptr;
  if (start != nullptr && ended != nullptr &&
      DuplicateHandle(GetCurrentProcess(), ended, GetCurrentProcess(), &own, 0, FALSE,
                      DUPLICATE_SAME_ACCESS)) {
    *start = WorkerStart{work, data, self, own};
    // A thread of the process's pool, kept warm between copies, costs far
    // less than a thread made for each; a copy may take minutes.
    TP_CALLBACK_ENVIRON environment;
    InitializeThreadpoolEnvironment(&environment);
    SetThreadpoolCallbackRunsLong(&environment);
    const bool submitted = TrySubmitThreadpoolCallback(WorkerMain, start, &environment) != FALSE;
    DestroyThreadpoolEnvironment(&environment);
    if (submitted) return ended;
  }
  if (own != nullptr) CloseHandle(own);
  if (ended != nullptr) CloseHandle(ended);
  if (start != nullptr) HeapFree(GetProcessHeap(), 0, start);
  FreeLibrary(self);
  return nullptr;
}

WatchEnd WatchCopy(const CopyWatch& watch) {
  // A host may give a child window as its own: the whole top-level window
  // takes no input, never a part of it.
  const HWND owner =
      watch.owner != nullptr ? GetAncestor(static_cast<HWND>(watch.owner), GA_ROOT) : nullptr;
  const HWND focused = GetFocus();
  WatchEnd end;
  {
    ProgressWindow window(watch, owner);
    // Declared after the window, so gone before it: the owner takes input
    // again first, so that it, not another program, becomes the active window.
    DisabledWindow disabled(owner);
    Watcher watcher(watch, &window);
    end = watcher.Run();
    watcher.ShowLast();
    watcher.RepostQuit();
  }
  if (focused != nullptr && IsWindow(focused)) SetFocus(focused);
  return end;
}

}  // namespace platform
}  // namespace tamarisk
