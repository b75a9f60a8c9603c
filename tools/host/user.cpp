#include "tools/host/user.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "simhost/save_dialog_rules.h"
#include "tools/host/console.h"

namespace tamarisk {
namespace cli {

namespace {

using MessageBoxFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
using SaveDialogFn = BOOL(WINAPI*)(LPOPENFILENAMEW);
using ShowWindowFn = BOOL(WINAPI*)(HWND, int);
using SetDlgItemTextFn = BOOL(WINAPI*)(HWND, int, LPCWSTR);
using DestroyWindowFn = BOOL(WINAPI*)(HWND);

// The replacements are plain functions: what they answer with is here.
UserMode userMode = UserMode::kScripted;
ScriptedAnswers scripted;
void* realMessageBox = nullptr;  // with --real-dialogs: the platform's own
void* realSaveDialog = nullptr;
void* realShowWindow = nullptr;
void* realSetDlgItemText = nullptr;
void* realDestroyWindow = nullptr;
HWND progressWindow = nullptr;  // the module's, while it reports a long copy
std::size_t printed = 0;         // the length of its line on the terminal

std::string Indented(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '\n') out += "      ";
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
  return out;
}

const char* AnswerName(int answer) {
  switch (answer) {
    case IDOK: return "OK";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case 0: return "nothing: the box could not be shown";
    default: return "another button";
  }
}

void PrintBox(const std::string& caption, const std::string& text) {
  Print("  [" + caption + "]\n      " + Indented(text) + "\n");
}

// A printed box's answer from the script or the person at the terminal.
int AnswerBox(UINT type) {
  if ((type & 0xF) != MB_YESNO) return IDOK;
  int answer = IDNO;
  if (userMode == UserMode::kInteractive) {
    for (;;) {
      std::string reply;
      const bool read = ReadAnswer("      Yes or No? [y/n] ", &reply);
      if (reply == "y" || reply == "Y" || reply == "yes") {
        answer = IDYES;
        break;
      }
      if (reply == "n" || reply == "N" || reply == "no" || !read) break;
    }
  } else if (!scripted.questions.empty()) {
    answer = scripted.questions.front();
    scripted.questions.pop_front();
  }
  std::printf("      answered %s\n", answer == IDYES ? "Yes" : "No");
  return answer;
}

// The module's boxes are wide: printed as they read, whatever the code pages.
int WINAPI PrintedMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  PrintBox(Utf8Of(caption), Utf8Of(text));
  if (userMode == UserMode::kReal) {
    const int answer = reinterpret_cast<MessageBoxFn>(realMessageBox)(owner, text, caption, type);
    std::printf("      answered %s\n", AnswerName(answer));
    return answer;
  }
  return AnswerBox(type);
}

std::wstring OrEmpty(LPCWSTR text) { return text != nullptr ? text : L""; }

// Like the platform's dialog: a relative name is in the folder shown, and a
// name without an extension gets one (save_dialog_rules.h).
std::wstring Completed(const std::wstring& typed, const OPENFILENAMEW& record) {
  std::wstring path = typed;
  const bool absolute = (path.size() > 1 && path[1] == L':') ||
                        (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
  if (!absolute) path = OrEmpty(record.lpstrInitialDir) + path;
  const std::string pattern = record.lpstrFilter != nullptr
                                  ? Utf8Of(record.lpstrFilter + lstrlenW(record.lpstrFilter) + 1)
                                  : "";
  const std::string extension = Utf8Of(OrEmpty(record.lpstrDefExt));
  return sim::WithDialogExtension(path, pattern,
                                  record.lpstrDefExt != nullptr ? extension.c_str() : nullptr);
}

// The dialog answers in UTF-16, as the user typed: a name that CP932 cannot
// hold reaches the module as it is, which refuses it and asks again, as it
// does with the platform's dialog.
BOOL WINAPI AnsweredSaveDialog(LPOPENFILENAMEW record) {
  std::wstring filter;
  for (LPCWSTR f = record->lpstrFilter; f != nullptr && *f != L'\0'; f += lstrlenW(f) + 1) {
    filter += (filter.empty() ? L"" : L"|") + std::wstring(f);
  }
  Print("  [save dialog] folder " + Utf8Of(OrEmpty(record->lpstrInitialDir)) +
        "\n      offered name: " + Utf8Of(record->lpstrFile) +
        "\n      filter: " + Utf8Of(filter + L"|") + "\n");
  if (record->lpstrDefExt != nullptr)
    Print("      default extension: " + Utf8Of(record->lpstrDefExt) + "\n");
  if (userMode == UserMode::kReal) {
    const BOOL chosen = reinterpret_cast<SaveDialogFn>(realSaveDialog)(record);
    Print(chosen ? "      chose " + Utf8Of(record->lpstrFile) + "\n"
                 : std::string("      cancelled\n"));
    return chosen;
  }
  // The platform's dialog leaves the folder it showed as the current one.
  const std::wstring shown = sim::DialogFolder(OrEmpty(record->lpstrInitialDir));
  if (!shown.empty()) SetCurrentDirectoryW(shown.c_str());
  // Like the platform's dialog, it asks before a file is replaced when the
  // flag says so, and after No stays open: a script's next --choose is the
  // next name typed, and without one the user cancels.
  for (;;) {
    std::string typed;
    if (userMode == UserMode::kInteractive) {
      ReadAnswer("      Save as (empty to cancel): ", &typed);
    } else if (!scripted.choices.empty()) {
      typed = scripted.choices.front();
      scripted.choices.pop_front();
    }
    if (typed.empty()) {
      std::printf("      cancelled\n");
      return FALSE;
    }
    const std::wstring choice = Completed(WideOf(typed), *record);
    if (choice.size() + 1 > record->nMaxFile) {
      std::printf("      the path is too long for the dialog: cancelled\n");
      return FALSE;
    }
    Print("      chose " + Utf8Of(choice) + "\n");
    const DWORD attributes = GetFileAttributesW(choice.c_str());
    const bool exists =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if ((record->Flags & OFN_OVERWRITEPROMPT) != 0 && exists) {
      PrintBox("Confirm Save As", Utf8Of(choice) + " already exists.\nDo you want to replace it?");
      if (AnswerBox(MB_YESNO | MB_ICONEXCLAMATION) != IDYES) continue;
    }
    std::copy(choice.c_str(), choice.c_str() + choice.size() + 1, record->lpstrFile);
    return TRUE;
  }
}

// ---- a long copy's progress --------------------------------------------------------
// The module shows one window of its own: a copy's progress, made once the
// copy has lasted a second, its percentage set with SetDlgItemTextW as the
// copy goes on, destroyed when it ends. Watching those three calls tells the
// terminal what the window tells the user, when the module decides, without
// another clock or guess. Shown to nobody in the stand-in modes, the window
// stays hidden (nothing would answer it, and nothing needs to: the copy just
// runs to its end); with --real-dialogs it shows as well.

// The window's texts: the name first, the percentage last, the figures
// between (how much of how much, the time left); printed as name,
// percentage, figures.
void PrintProgress(HWND window) {
  std::vector<std::string> texts;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char kind[16] = {};
    wchar_t text[2 * MAX_PATH] = {};
    GetClassNameA(child, kind, sizeof kind);
    if (lstrcmpiA(kind, "Static") == 0 && GetWindowTextW(child, text, 2 * MAX_PATH) > 0)
      texts.push_back(Utf8Of(text));
  }
  if (!texts.empty()) std::rotate(texts.begin() + 1, texts.end() - 1, texts.end());
  std::string line = "\r  copying";
  for (const std::string& text : texts) line += " " + text;
  // A shorter line (less time left) covers what the longer one left.
  const std::size_t length = line.size();
  if (length < printed) line.append(printed - length, ' ');
  printed = length;
  Print(line);
  std::fflush(stdout);
}

BOOL WINAPI ProgressShown(HWND window, int show) {
  if (show != SW_HIDE) {
    progressWindow = window;
    PrintProgress(window);
    if (userMode != UserMode::kReal) return FALSE;  // it was hidden, and stays so
  }
  return reinterpret_cast<ShowWindowFn>(realShowWindow)(window, show);
}

BOOL WINAPI ProgressUpdated(HWND window, int item, LPCWSTR text) {
  const BOOL set = reinterpret_cast<SetDlgItemTextFn>(realSetDlgItemText)(window, item, text);
  if (window == progressWindow) PrintProgress(window);
  return set;
}

BOOL WINAPI ProgressClosed(HWND window) {
  if (window == progressWindow) {
    progressWindow = nullptr;
    printed = 0;
    Print("\n");
  }
  return reinterpret_cast<DestroyWindowFn>(realDestroyWindow)(window);
}

}  // namespace

UserWindows::UserWindows(HMODULE module, UserMode mode, const ScriptedAnswers& answers)
    : boxes_(module, "user32.dll", "MessageBoxW", reinterpret_cast<void*>(PrintedMessageBox)),
      dialogs_(module, "comdlg32.dll", "GetSaveFileNameW",
               reinterpret_cast<void*>(AnsweredSaveDialog)),
      progressShown_(module, "user32.dll", "ShowWindow", reinterpret_cast<void*>(ProgressShown)),
      progressUpdated_(module, "user32.dll", "SetDlgItemTextW",
                       reinterpret_cast<void*>(ProgressUpdated)),
      progressClosed_(module, "user32.dll", "DestroyWindow",
                      reinterpret_cast<void*>(ProgressClosed)) {
  userMode = mode;
  scripted = answers;
  realMessageBox = boxes_.original();
  realSaveDialog = dialogs_.original();
  realShowWindow = progressShown_.original();
  realSetDlgItemText = progressUpdated_.original();
  realDestroyWindow = progressClosed_.original();
}

UserWindows::~UserWindows() {
  realMessageBox = realSaveDialog = nullptr;
  realShowWindow = realSetDlgItemText = realDestroyWindow = nullptr;
  progressWindow = nullptr;
}

HWND MakeStage(const std::string& basePath, bool shown) {
  std::size_t name = 0;
  for (std::size_t i = 0; i < basePath.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(basePath[i]))) {
      ++i;
    } else if (basePath[i] == '\\' || basePath[i] == '/' || basePath[i] == ':') {
      name = i + 1;
    }
  }
  WNDCLASSA kind = {};
  kind.lpfnWndProc = DefWindowProcA;
  kind.hInstance = GetModuleHandleA(nullptr);
  kind.hCursor = LoadCursor(nullptr, IDC_ARROW);
  kind.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  kind.lpszClassName = "TamariskStage";
  RegisterClassA(&kind);
  HWND stage = CreateWindowExA(0, kind.lpszClassName, basePath.substr(name).c_str(),
                               WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr,
                               nullptr, kind.hInstance, nullptr);
  if (stage != nullptr && shown) {
    ShowWindow(stage, SW_SHOW);
    UpdateWindow(stage);
  }
  return stage;
}

}  // namespace cli
}  // namespace tamarisk
