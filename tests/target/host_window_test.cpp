// The save dialog with a real host window: the window takes no input while
// the dialog shows, and the keyboard focus comes back to where it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "res/progress_ids.h"
#include "simhost/iat_patch.h"
#include "support/host_fixture.h"
#include "support/target_module.h"
#include "support/window_probe.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;

class HostWindow : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    frame_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, frame_);
    field_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, frame_, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, field_);
    ShowWindow(frame_, SW_SHOW);
    host.window = frame_;
    WriteFile(Root() + "\\a.txt", "a");
    NewScripting();
  }
  void TearDown() override {
    standIns.Undo();
    DestroyWindow(frame_);
    HostTest::TearDown();
  }

  HWND frame_ = nullptr;
  HWND field_ = nullptr;
  StandIns standIns;
};

// The dialog disables its owner itself and enables it again only if it was
// enabled (the responder does as the platform documents): given the window
// enabled, the host's window is the active one again afterwards, whether or
// not a part of it had the focus, which comes back.
TEST_F(HostWindow, IsGivenEnabledToTheDialogAndActiveAfterwards) {
  for (const HWND focused : {field_, HWND{nullptr}}) {
    SCOPED_TRACE(focused != nullptr ? "a field had the focus" : "nothing had it");
    Ui().Reset(&host);
    SetActiveWindow(frame_);
    SetFocus(focused);
    ASSERT_EQ(focused, GetFocus());
    Ui().choices = {{true, ""}};
    EXPECT_EQ(1, CallPlovers(Root() + "\\a.txt"));
    ASSERT_EQ(1u, Ui().dialogs.size());
    EXPECT_EQ(static_cast<WindowHandle>(frame_), Ui().dialogs[0].owner);
    EXPECT_TRUE(Ui().dialogs[0].ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(frame_));
    EXPECT_EQ(frame_, GetActiveWindow());
    EXPECT_EQ(focused, GetFocus());
  }
}

// ---- a long copy's window, seen through the module's own calls --------------------

struct WindowWatch {
  HWND frame = nullptr;
  HWND window = nullptr;  // the progress window, once shown
  std::string shown;      // at ShowWindow: its owner, and whether the frame takes input
  std::string closed;     // at DestroyWindow: its texts, and whether the frame takes input
  void* realRead = nullptr;
  void* realShow = nullptr;
  void* realDestroy = nullptr;
} watch;

std::string Taking(HWND frame) {
  return IsWindowEnabled(frame) ? "frame enabled" : "frame disabled";
}

// Every read of the copy that brings bytes takes 150 ms, as from a slow
// drive; the one that finds the end comes at once, so the copy ends right
// after its last piece.
BOOL WINAPI SlowRead(HANDLE file, LPVOID data, DWORD size, LPDWORD done, LPOVERLAPPED at) {
  const BOOL read = Real(&::ReadFile, watch.realRead)(file, data, size, done, at);
  if (read && *done != 0) Sleep(150);
  return read;
}
// The bar drawn on a surface of our own, 100 pixels wide: the pixels that
// show the part done. The percentage shown was read first, so no fewer.
std::string Bar(HWND window) {
  char percent[8] = {};
  GetDlgItemTextA(window, TAMARISK_PROGRESS_PERCENT, percent, sizeof percent);
  BITMAPINFO picture = {};
  picture.bmiHeader = {sizeof picture.bmiHeader, 100, 1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* pixels = nullptr;
  const HDC surface = CreateCompatibleDC(nullptr);
  const HBITMAP bitmap = CreateDIBSection(surface, &picture, DIB_RGB_COLORS, &pixels, nullptr, 0);
  const HGDIOBJ previous = SelectObject(surface, bitmap);
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_STATIC;
  item.CtlID = TAMARISK_PROGRESS_BAR;
  item.hwndItem = GetDlgItem(window, TAMARISK_PROGRESS_BAR);
  item.hDC = surface;
  item.rcItem = {0, 0, 100, 1};
  SendMessageW(window, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
  GdiFlush();
  int done = 0;
  for (int x = 0; x < 100; ++x) {
    const BYTE* pixel = static_cast<const BYTE*>(pixels) + 4 * x;  // blue, green, red
    done += RGB(pixel[2], pixel[1], pixel[0]) == GetSysColor(COLOR_HIGHLIGHT) ? 1 : 0;
  }
  SelectObject(surface, previous);
  DeleteObject(bitmap);
  DeleteDC(surface);
  return done >= std::atoi(percent) ? ", the bar at its percentage"
                                    : ", the bar at " + std::to_string(done) + "% for " + percent;
}

BOOL WINAPI WatchedShow(HWND window, int show) {
  watch.window = window;
  watch.shown = std::string(GetWindow(window, GW_OWNER) == watch.frame ? "owned by the frame, "
                                                                       : "owned otherwise, ") +
                Taking(watch.frame) + Bar(window);
  return Real(&ShowWindow, watch.realShow)(window, show);
}
// Its caption, then its controls' texts, as the user reads them.
BOOL WINAPI WatchedDestroy(HWND window) {
  const auto read = [](HWND shown) {
    char16_t text[64] = {};
    GetWindowTextW(shown, reinterpret_cast<LPWSTR>(text), 64);
    watch.closed += Cp932Of(text) + "|";
  };
  read(window);
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    read(child);
  }
  watch.closed += Taking(watch.frame);
  return Real(&DestroyWindow, watch.realDestroy)(window);
}

// After a second the window shows, its bar drawn as far as its percentage,
// owned by the host's top-level window, which takes no input meanwhile, even
// where the host gave a part of it as its window; the window goes with the
// last piece's figures shown, after the frame takes input again.
TEST_F(HostWindow, ALongCopysWindowFromFirstToLast) {
  WriteFile(Root() + "\\big.bin", std::string(2000000, 'b'));  // 8 pieces of 150 ms
  watch = WindowWatch{frame_, nullptr, "", "", standIns.Patch("ReadFile", SlowRead)};
  watch.realShow = standIns.Patch("ShowWindow", WatchedShow, "user32.dll");
  watch.realDestroy = standIns.Patch("DestroyWindow", WatchedDestroy, "user32.dll");
  for (const HWND given : {frame_, field_}) {
    SCOPED_TRACE(given == frame_ ? "the frame given" : "a part of it given");
    host.window = given;
    InterfaceObject* scripting = NewScripting();  // the latest instance tells the module
    watch.shown = watch.closed = "";
    const std::string name = given == frame_ ? "one.bin" : "two.bin";
    const std::string copy = Root() + "\\" + name;
    EXPECT_EQ(0,
              CallHandler(kPlovers, {Argument(Root() + "\\big.bin"), Argument(copy)}, scripting));
    EXPECT_EQ("owned by the frame, frame disabled, the bar at its percentage", watch.shown);
    EXPECT_EQ(std::string(x::kCopyingCaption) + "|" + name + "||2.0 / 2.0 MB||100%|" +
                  x::kCancelButton + "|frame enabled",
              watch.closed);
    EXPECT_TRUE(IsWindowEnabled(frame_));
    EXPECT_TRUE(IsWindowEnabled(field_));
    EXPECT_EQ(std::string(2000000, 'b'), Content(copy));
  }
}

// ---- the steps of a copy that take their time, all on the copy's thread ----------

// Each write waits as a 12 MB/s USB stick would.
void* realWrite = nullptr;
BOOL WINAPI StickWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED at) {
  Sleep(size / 12000);
  return Real(&::WriteFile, realWrite)(file, data, size, done, at);
}
// A scanner holds the file a rename replaces for most of a second.
void* realMove = nullptr;
DWORD firstMove = 0;
BOOL WINAPI HeldMove(LPCSTR from, LPCSTR to, DWORD flags) {
  if (firstMove == 0) firstMove = GetTickCount();
  if (GetTickCount() - firstMove < 900) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  return Real(&MoveFileExA, realMove)(from, to, flags);
}
// A share that takes 2.5 s to answer for the attributes of the finished copy,
// while the person presses Cancel once the window shows.
std::string cancelSeen;  // whether the button took the press
int attributeCalls = 0;
BOOL WINAPI SlowAttributesCancelled(LPCSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  if (attributeCalls++ != 0) return FALSE;  // the retries are refused at once
  const DWORD started = GetTickCount();
  while (watch.window == nullptr && GetTickCount() - started < 2000) Sleep(10);
  if (watch.window != nullptr) {
    const HWND cancel = GetDlgItem(watch.window, IDCANCEL);
    cancelSeen = IsWindowEnabled(cancel) ? "cancel enabled" : "cancel disabled";
    PostMessageA(watch.window, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(cancel));
  }
  Sleep(2500 - (GetTickCount() - started));
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

// A window whose thread does nothing but answer: how long a busy machine
// keeps any window waiting, which the host's is not blamed for.
struct IdleWindow {
  IdleWindow() {
    thread = std::thread([this] {
      window = CreateWindowExA(0, "STATIC", "idle", 0, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
      ready = true;
      MSG message;
      while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
      DestroyWindow(window);
    });
    while (!ready) Sleep(1);
  }
  ~IdleWindow() {
    PostMessageA(window, WM_QUIT, 0, 0);
    thread.join();
  }
  std::atomic<bool> ready{false};
  HWND window = nullptr;
  std::thread thread;
};

// The progress window is made on the host's thread, whose window owns it;
// the time the platform takes to make it (a few milliseconds on Windows,
// more under Wine on a loaded machine) is the platform's, not a step's.
void* realCreateDialog = nullptr;
double dialogSeconds = 0;
HWND WINAPI TimedCreateDialog(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC procedure,
                              LPARAM parameter) {
  const DWORD started = GetTickCount();
  const HWND made =
      Real(&CreateDialogParamW, realCreateDialog)(instance, name, owner, procedure, parameter);
  dialogSeconds += (GetTickCount() - started) / 1000.0;
  return made;
}

// Whatever a step of the copy waits for, the host's window answers
// throughout: the copy's thread does every step, the in-place write, the
// rename a scanner holds and the attributes a share refuses among them.
TEST_F(HostWindow, TheHostAnswersThroughEveryStepOfACopy) {
  struct Row {
    const char* what;
    const char* function;
    void* standIn;
    void** real;
    std::size_t size;
    bool hardLink;  // the destination has a second name: written in place
    bool hidden;    // the destination's attributes are kept
  } rows[] = {
      {"an in-place write of 24 MB at 12 MB/s", "WriteFile", reinterpret_cast<void*>(StickWrite),
       &realWrite, 24000000, true, false},
      {"a rename a scanner holds for a second", "MoveFileExA", reinterpret_cast<void*>(HeldMove),
       &realMove, 1000, false, false},
      {"attributes a share refuses", "SetFileAttributesA", Refusing(&SetFileAttributesA),
       &refusal.real, 1000, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string incoming(row.size, 'n');
    WriteFile(Root() + "\\new.bin", incoming);
    RemoveFile(Root() + "\\one.bin");
    RemoveFile(Root() + "\\two.bin");
    WriteFile(Root() + "\\one.bin", "old");
    if (row.hardLink) {
      ASSERT_TRUE(Linked(Root() + "\\two.bin", Root() + "\\one.bin"));
    }
    if (row.hidden) SetFileAttributesA((Root() + "\\one.bin").c_str(), FILE_ATTRIBUTE_HIDDEN);
    refusal = {ERROR_ACCESS_DENIED, 0};  // a share that takes no attributes
    standIns.Undo();
    *row.real = standIns.Patch(row.function, row.standIn);
    firstMove = 0;
    Ui().Reset(&host);
    Ui().answers = {x::kIdYes};
    realCreateDialog = standIns.Patch("CreateDialogParamW", TimedCreateDialog, "user32.dll");
    dialogSeconds = 0;
    IdleWindow idle;
    WindowProbe control(idle.window);
    WindowProbe probe(frame_);
    EXPECT_EQ(0, CallPlovers(Root() + "\\new.bin", Root() + "\\one.bin"));
    const double longest = probe.Stop();
    const double machine = control.Stop();
    EXPECT_LT(longest, 0.05 + machine + dialogSeconds) << "the host's window went unanswered";
    EXPECT_TRUE(Content(Root() + "\\one.bin") == incoming);
  }
}

// Cancel pressed once the copy has committed (its last step waits on a slow
// share) is refused, as the disabled button shows: the result agrees with
// the folder, then and later.
TEST_F(HostWindow, ACancelAfterTheCopyCommittedChangesNothing) {
  WriteFile(Root() + "\\new.bin", "new");
  SetFileAttributesA((Root() + "\\new.bin").c_str(), FILE_ATTRIBUTE_READONLY);
  standIns.Patch("SetFileAttributesA", SlowAttributesCancelled);
  watch = WindowWatch{frame_, nullptr, "",
                      "",     nullptr, standIns.Patch("ShowWindow", WatchedShow, "user32.dll")};
  cancelSeen.clear();
  attributeCalls = 0;
  std::vector<std::string> after = Names(Root());
  after.push_back("copy.bin");
  std::sort(after.begin(), after.end());
  EXPECT_EQ(0, CallPlovers(Root() + "\\new.bin", Root() + "\\copy.bin"));
  EXPECT_EQ("cancel disabled", cancelSeen);
  for (int look = 0; look < 2; ++look) {
    if (look != 0) Sleep(3000);  // and a few seconds later
    EXPECT_EQ("new", Content(Root() + "\\copy.bin"));
    EXPECT_EQ(after, Names(Root())) << "the copy, and nothing else of it";
  }
  SetFileAttributesA((Root() + "\\new.bin").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A source that no retry can mend is refused at once; one another program
// holds is tried again for a second while the host's window answers.
TEST_F(HostWindow, ASourceThatCannotBeReadFreezesNothing) {
  MakeDirectory(Root() + "\\Folder");
  ExclusiveHold hold(Root() + "\\a.txt");
  struct Row {
    const char* what;
    std::string source;
    DWORD within;
  } rows[] = {{"a folder", Root() + "\\Folder", 500}, {"held", Root() + "\\a.txt", 2000}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Ui().Reset(&host);
    WindowProbe probe(frame_);
    const DWORD started = GetTickCount();
    EXPECT_EQ(4, CallPlovers(row.source, Root() + "\\copy.bin"));
    const DWORD took = GetTickCount() - started;
    const double longest = probe.Stop();
    EXPECT_LT(took, row.within);
    EXPECT_LT(longest, 0.5) << "the host's window went unanswered";
    EXPECT_FALSE(Exists(Root() + "\\copy.bin"));
  }
}

TEST_F(HostWindow, AWindowDisabledBeforeStaysDisabled) {
  EnableWindow(frame_, FALSE);
  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, CallPlovers(Root() + "\\a.txt"));
  EXPECT_FALSE(IsWindowEnabled(frame_));
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
