#include "support/ui_person.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace tamarisk {
namespace test {

namespace {

constexpr int kMessageTextId = 0xFFFF;          // the static control that holds a box's message
constexpr int kFileNameEditId = 0x480;          // edt1
constexpr int kFileNameComboId = 0x47C;         // cmb13, in dialogs whose name field is a combo box
constexpr int kFileTypeId = 0x470;              // cmb1
constexpr int kLookInId = 0x471;                // cmb2
constexpr UINT kGetFolderPath = WM_USER + 102;  // CDM_GETFOLDERPATH
constexpr UINT kReplyMs = 2000;                 // how long a window may take to answer a message
constexpr int kPollMs = 20;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Texts are asked in UTF-16, which also crosses to another process whole,
// and kept in CP932, where a character it lacks is '?', never a look-alike:
// CP932 whatever the ANSI code page, so that they read the same under any.
constexpr UINT kCp932 = 932;

std::string Narrow(const wchar_t* wide) {
  char text[2048] = {};
  WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

std::wstring Widen(const std::string& cp932) {
  wchar_t wide[1024] = {};
  MultiByteToWideChar(kCp932, 0, cp932.c_str(), -1, wide, 1024);
  return wide;
}

// What a window writes into the buffer a message carries, or "(no answer)"
// when it does not answer in time.
std::string Ask(HWND window, UINT message, WPARAM wParam = 1024) {
  wchar_t wide[1024] = {};
  DWORD_PTR length = 0;
  return SendMessageTimeoutW(window, message, wParam, reinterpret_cast<LPARAM>(wide),
                             SMTO_ABORTIFHUNG, kReplyMs, &length)
             ? Narrow(wide)
             : "(no answer)";
}

std::string TextOf(HWND window) { return window != nullptr ? Ask(window, WM_GETTEXT) : ""; }

std::string ComboSelection(HWND combo) {
  DWORD_PTR index = 0;
  DWORD_PTR length = 0;
  if (combo == nullptr ||
      !SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kReplyMs, &index) ||
      static_cast<LRESULT>(index) < 0 ||
      !SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, index, 0, SMTO_ABORTIFHUNG, kReplyMs, &length) ||
      static_cast<LRESULT>(length) < 0 || length > 1000) {
    return std::string();
  }
  return Ask(combo, CB_GETLBTEXT, index);
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// The edit field where the name is typed: edt1 itself, or the one inside
// the name combo box (cmb13, a ComboBoxEx holding a ComboBox).
HWND FileNameField(HWND dialog) {
  HWND field = GetDlgItem(dialog, kFileNameEditId);
  if (field != nullptr) return field;
  HWND outer = GetDlgItem(dialog, kFileNameComboId);
  for (int depth = 0; outer != nullptr && depth < 3; ++depth) {
    field = FindWindowExA(outer, nullptr, "Edit", nullptr);
    if (field != nullptr) return field;
    outer = FindWindowExA(outer, nullptr, "ComboBox", nullptr);
  }
  return nullptr;
}

// The static controls' texts, in order.
std::vector<std::string> StaticTexts(HWND window) {
  std::vector<std::string> texts;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == "Static") texts.push_back(TextOf(child));
  }
  return texts;
}

// A progress window has a Cancel button and a percentage, and nothing to type.
bool IsProgress(HWND window) {
  const std::vector<std::string> texts = StaticTexts(window);
  return GetDlgItem(window, IDCANCEL) != nullptr && !texts.empty() && !texts.back().empty() &&
         texts.back().back() == '%';
}

WindowSeen::Kind KindOf(HWND window) {
  if (GetDlgItem(window, kMessageTextId) != nullptr) return WindowSeen::kMessageBox;
  if (FileNameField(window) != nullptr) return WindowSeen::kSaveDialog;
  if (IsProgress(window)) return WindowSeen::kProgress;
  return WindowSeen::kOther;
}

struct Search {
  DWORD process;
  bool others;  // windows of every other process instead of this one
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if ((process == search->process) == search->others) return TRUE;
  if (ClassOf(window) != "#32770" || !IsWindowVisible(window)) return TRUE;
  search->found.push_back(window);
  return TRUE;
}

std::vector<HWND> Dialogs(DWORD process, bool others) {
  Search search{process, others, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The one window that takes input now: the others wait behind it.
HWND Answerable(DWORD process, bool others) {
  for (HWND window : Dialogs(process, others)) {
    if (IsWindowEnabled(window)) return window;
  }
  return nullptr;
}

// Whether the window stays the one to answer for a while: it has filled
// its fields, and it is not a dialog that its own question just gave back
// and that is about to close.
bool Steady(HWND window, DWORD process, bool others) {
  for (int waited = 0; waited < 150; waited += kPollMs) {
    Pause(kPollMs);
    if (Answerable(process, others) != window) return false;
  }
  return true;
}

bool Answered(HWND window) {
  return !IsWindow(window) || !IsWindowVisible(window) || !IsWindowEnabled(window);
}

// A key as a keyboard gives it: to the control that has the focus in the
// window's thread (the window itself when none has), for that thread's
// loop to translate.
void Key(HWND window, WPARAM key) {
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  HWND focus = window;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) &&
      thread.hwndFocus != nullptr) {
    focus = thread.hwndFocus;
  }
  PostMessageW(focus, WM_KEYDOWN, key, 1);
  PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
}

void Press(HWND dialog, int id) {
  // Posted: a press may open another modal window, and the press's sender
  // must not wait for that to close. A window without the button is closed.
  const HWND button = GetDlgItem(dialog, id);
  PostMessageA(button != nullptr ? button : dialog, button != nullptr ? BM_CLICK : WM_CLOSE, 0, 0);
}

WindowSeen Read(HWND window, bool sameProcess) {
  WindowSeen seen;
  seen.kind = KindOf(window);
  seen.caption = TextOf(window);
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner != nullptr) {
    seen.ownerCaption = TextOf(owner);
    seen.ownerEnabled = IsWindowEnabled(owner) != FALSE;
  }
  if (seen.kind == WindowSeen::kMessageBox) {
    seen.text = TextOf(GetDlgItem(window, kMessageTextId));
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      if (ClassOf(child) == "Button" && IsWindowVisible(child))
        seen.buttons.push_back(GetDlgCtrlID(child));
    }
  } else if (seen.kind == WindowSeen::kProgress) {
    const std::vector<std::string> texts = StaticTexts(window);
    seen.text = texts.front();
    seen.percent = texts.back();
    seen.button = TextOf(GetDlgItem(window, IDCANCEL));
  } else if (seen.kind == WindowSeen::kSaveDialog) {
    seen.fileName = TextOf(FileNameField(window));
    seen.fileType = ComboSelection(GetDlgItem(window, kFileTypeId));
    seen.folder = ComboSelection(GetDlgItem(window, kLookInId));
    // The message carries a pointer, which only this process can follow.
    if (sameProcess) seen.folderPath = Ask(window, kGetFolderPath, MAX_PATH);
  }
  return seen;
}

std::string Utf8(const std::string& cp932) {
  char text[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, Widen(cp932).c_str(), -1, text, sizeof text, nullptr, nullptr);
  std::string line = text;
  std::replace(line.begin(), line.end(), '\n', '|');
  return line;
}

// What each step does, in the order of PersonStep::Action: its name, the
// button it presses or the key (0: none) and the windows it fits, by kind.
struct ActionRow {
  const char* name;
  int press;
  WPARAM key;
  bool fits[WindowSeen::kOther];  // a box, the dialog, a progress window
};
constexpr ActionRow kActions[] = {
    {"Yes", IDYES, 0, {true, false, false}},      {"No", IDNO, 0, {true, false, false}},
    {"OK", IDOK, 0, {true, true, false}},         {"Save", IDOK, 0, {false, true, false}},
    {"Cancel", IDCANCEL, 0, {false, true, true}}, {"Wait", 0, 0, {false, false, true}},
    {"Esc", 0, VK_ESCAPE, {false, false, true}},  {"Enter", 0, VK_RETURN, {false, false, true}},
};

const char* ActionName(PersonStep::Action action) { return kActions[action].name; }

// The window as it is on the screen, saved as a 24-bit bitmap file.
bool SavePicture(HWND window, const std::string& path) {
  RECT area;
  if (!GetWindowRect(window, &area)) return false;
  const LONG width = area.right - area.left;
  const LONG height = area.bottom - area.top;
  BITMAPINFOHEADER header = {sizeof header, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* pixels = nullptr;
  HBITMAP picture = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                     &pixels, nullptr, 0);
  bool saved = false;
  if (picture != nullptr) {
    HGDIOBJ previous = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD bytes = static_cast<DWORD>((width * 3 + 3) / 4 * 4 * height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + bytes;
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      saved = WriteFile(out, &file, sizeof file, &written, nullptr) &&
              WriteFile(out, &header, sizeof header, &written, nullptr) &&
              WriteFile(out, pixels, bytes, &written, nullptr);
      CloseHandle(out);
    }
    SelectObject(memory, previous);
    DeleteObject(picture);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
}

// The dialogs on the screen, one line each, for failure messages.
std::string OnScreen() {
  std::string lines;
  for (bool others : {false, true}) {
    for (HWND window : Dialogs(GetCurrentProcessId(), others)) {
      WindowSeen seen = Read(window, !others);
      lines +=
          "  " + seen.Describe() + (IsWindowEnabled(window) ? "\n" : " (waiting behind another)\n");
    }
  }
  return lines.empty() ? "  nothing\n" : lines;
}

}  // namespace

std::string WindowSeen::Describe() const {
  std::string line;
  switch (kind) {
    case kMessageBox: {
      line = "box [" + Utf8(caption) + "] \"" + Utf8(text) + "\" buttons";
      for (int id : buttons) line += " " + std::to_string(id);
      break;
    }
    case kSaveDialog:
      line = "dialog [" + Utf8(caption) + "] name \"" + Utf8(fileName) + "\" type \"" +
             Utf8(fileType) + "\" folder \"" + Utf8(folder) + "\"";
      break;
    case kProgress:
      line = "progress [" + Utf8(caption) + "] \"" + Utf8(text) + "\" " + percent + " [" +
             Utf8(button) + "]";
      break;
    case kOther: line = "window [" + Utf8(caption) + "]"; break;
  }
  if (!ownerCaption.empty())
    line += " owner [" + Utf8(ownerCaption) + (ownerEnabled ? "] enabled" : "] disabled");
  if (!done.empty()) line += " -> " + Utf8(done);
  return line;
}

Person::Person(std::vector<PersonStep> steps, bool otherProcesses, int timeoutMs,
               std::string picturesFolder)
    : steps_(std::move(steps)),
      others_(otherProcesses),
      timeoutMs_(timeoutMs),
      picturesFolder_(std::move(picturesFolder)) {
  thread_ = std::thread([this] { Run(); });
}

Person::~Person() { Finish(); }

const std::vector<WindowSeen>& Person::Finish() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return seen_;
}

const std::vector<WindowSeen>& Person::FinishWhenDone() {
  while (!stepsDone_) Pause(kPollMs);
  Pause(500);  // anything more is shown at once, or not at all
  return Finish();
}

std::string Person::Problems() {
  std::lock_guard<std::mutex> lock(mutex_);
  return problems_;
}

void Person::Problem(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  problems_ += text;
}

HWND Person::WaitForWindow(bool* stopped) {
  const DWORD process = GetCurrentProcessId();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
  *stopped = false;
  // This process's windows come, or the call ends: no time is too long.
  while (!others_ || std::chrono::steady_clock::now() < deadline) {
    HWND window = Answerable(process, others_);
    if (window != nullptr) {
      if (Steady(window, process, others_)) return window;
      continue;
    }
    if (stop_) {
      *stopped = true;
      return nullptr;
    }
    Pause(kPollMs);
  }
  return nullptr;
}

void Person::Run() {
  const DWORD process = GetCurrentProcessId();
  for (std::size_t n = 0; n < steps_.size(); ++n) {
    bool stopped = false;
    HWND window = WaitForWindow(&stopped);
    if (window == nullptr) {
      std::string missing;
      for (std::size_t m = n; m < steps_.size(); ++m)
        missing += std::string(" ") + ActionName(steps_[m].action);
      Problem(stopped ? "the call ended before these answers were wanted:" + missing + "\n"
                      : "no window to answer within " + std::to_string(timeoutMs_) +
                            " ms; still to answer:" + missing + "; on screen:\n" + OnScreen());
      break;
    }
    Take(window, &steps_[n]);
  }
  stepsDone_ = true;
  // Anything shown after the last answer is a window nobody expected.
  while (!stop_) {
    HWND window = Answerable(process, others_);
    if (window != nullptr && Steady(window, process, others_)) Take(window, nullptr);
    Pause(kPollMs);
  }
}

// Reads the window, then answers it as the step says; without a step, or
// when the step does not fit the window, it is closed the safe way (No,
// Cancel) and counted as a problem.
void Person::Take(HWND window, const PersonStep* step) {
  WindowSeen seen = Read(window, !others_);
  if (!picturesFolder_.empty()) {
    Pause(500);  // painted, title bar and all
    const std::string file = picturesFolder_ + "\\" + std::to_string(++pictures_) + ".bmp";
    if (!SavePicture(window, file)) Problem("no picture of the window in " + file + "\n");
  }
  const bool box = seen.kind == WindowSeen::kMessageBox;
  const ActionRow* row = step != nullptr ? &kActions[step->action] : nullptr;
  const bool fits = row != nullptr && seen.kind != WindowSeen::kOther && row->fits[seen.kind];
  int press = IDCANCEL;
  if (fits) {
    press = row->press;
    if (row->key != 0) Key(window, row->key);
    if (step->action == PersonStep::kSave) {
      // Typed in UTF-16, as a keyboard does: what SetWindowTextW does, sent
      // so that it also reaches a field of another process. Save is the
      // dialog's OK button.
      const std::wstring typed = step->wide.empty() ? Widen(step->typed) : step->wide;
      SendMessageTimeoutW(FileNameField(window), WM_SETTEXT, 0,
                          reinterpret_cast<LPARAM>(typed.c_str()), SMTO_ABORTIFHUNG, kReplyMs,
                          nullptr);
      seen.done = "typed " + Narrow(typed.c_str()) + ", ";
    }
    seen.done += ActionName(step->action);
  } else {
    // A box the safe way: the first it has of No, Cancel, OK.
    for (int id : {IDNO, IDCANCEL, IDOK}) {
      if (box && GetDlgItem(window, id) != nullptr) {
        press = id;
        break;
      }
    }
    seen.done = "closed with button " + std::to_string(press);
    Problem(std::string(step != nullptr ? "expected a window for " +
                                              std::string(ActionName(step->action)) + ", found: "
                                        : "a window nobody expected: ") +
            seen.Describe() + "\n");
  }
  if (box && GetDlgItem(window, press) == nullptr) {
    Problem("the box has no button " + std::to_string(press) + ": " + seen.Describe() + "\n");
    press = seen.buttons.empty() ? IDCANCEL : seen.buttons.back();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.push_back(seen);
  }
  if (press != 0) Press(window, press);
  WaitUntilAnswered(window, seen);
}

// The window closed, or waits behind a new one, or (a dialog given a
// folder's name) went into another folder.
void Person::WaitUntilAnswered(HWND window, const WindowSeen& seen) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
  const HWND lookIn =
      seen.kind == WindowSeen::kSaveDialog ? GetDlgItem(window, kLookInId) : nullptr;
  while (!Answered(window) && (lookIn == nullptr || ComboSelection(lookIn) == seen.folder)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      Problem("still waiting after " + std::to_string(timeoutMs_) + " ms: " + seen.Describe() +
              "\n");
      return;
    }
    Pause(kPollMs);
  }
}

}  // namespace test
}  // namespace tamarisk
