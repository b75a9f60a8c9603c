#include "tools/host/user.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "simhost/save_dialog_rules.h"
#include "tools/host/console.h"
#include "tools/host/text_encoding.h"

namespace tamarisk {
namespace cli {

namespace {

using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
using SaveDialogFn = BOOL(WINAPI*)(LPOPENFILENAMEW);
using ShowWindowFn = BOOL(WINAPI*)(HWND, int);
using SetDlgItemTextFn = BOOL(WINAPI*)(HWND, int, LPCSTR);
using DestroyWindowFn = BOOL(WINAPI*)(HWND);

// The replacements are plain functions: what they answer with is here.
UserMode userMode = UserMode::kScripted;
ScriptedAnswers scripted;
void* realMessageBox = nullptr;  // with --real-dialogs: the platform's own
void* realSaveDialog = nullptr;
LPOPENFILENAMEW askedRecord = nullptr;  // the module's own, for the platform's dialog
void* realShowWindow = nullptr;
void* realSetDlgItemText = nullptr;
void* realDestroyWindow = nullptr;
HWND progressWindow = nullptr;  // the module's, while it reports a long copy

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

int WINAPI PrintedMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Print("  [" + Cp932ToUtf8(caption) + "]\n      " + Indented(Cp932ToUtf8(text)) + "\n");
  if (userMode == UserMode::kReal) {
    const int answer = reinterpret_cast<MessageBoxFn>(realMessageBox)(owner, text, caption, type);
    std::printf("      answered %s\n", AnswerName(answer));
    return answer;
  }
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

// Like the platform's dialog: a relative name is in the folder shown, and a
// name without an extension gets one (save_dialog_rules.h).
std::string Completed(const std::string& typed, const OPENFILENAMEA& record) {
  std::string path = typed;
  const bool absolute =
      (path.size() > 1 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
  if (!absolute && record.lpstrInitialDir != nullptr)
    path = std::string(record.lpstrInitialDir) + path;
  const char* pattern =
      record.lpstrFilter != nullptr ? record.lpstrFilter + std::strlen(record.lpstrFilter) + 1 : "";
  return sim::WithDialogExtension(path, pattern, record.lpstrDefExt);
}

BOOL WINAPI AnsweredSaveDialog(LPOPENFILENAMEA record) {
  std::string filter;
  for (const char* f = record->lpstrFilter; f != nullptr && *f != '\0'; f += std::strlen(f) + 1) {
    filter += std::string(filter.empty() ? "" : "|") + f;
  }
  Print("  [save dialog] folder " +
        Cp932ToUtf8(record->lpstrInitialDir != nullptr ? record->lpstrInitialDir : "") +
        "\n      offered name: " + Cp932ToUtf8(record->lpstrFile) +
        "\n      filter: " + Cp932ToUtf8(filter + "|") + "\n");
  if (record->lpstrDefExt != nullptr)
    std::printf("      default extension: %s\n", record->lpstrDefExt);
  if (userMode == UserMode::kReal) {
    const BOOL chosen = reinterpret_cast<SaveDialogFn>(realSaveDialog)(askedRecord);
    char utf8[4 * MAX_PATH] = {};
    WideCharToMultiByte(CP_UTF8, 0, askedRecord->lpstrFile, -1, utf8, sizeof utf8, nullptr,
                        nullptr);
    Print(chosen ? "      chose " + std::string(utf8) + "\n" : std::string("      cancelled\n"));
    return chosen;
  }
  // The platform's dialog leaves the folder it showed as the current one.
  const std::string shown =
      sim::DialogFolder(record->lpstrInitialDir != nullptr ? record->lpstrInitialDir : "");
  if (!shown.empty()) SetCurrentDirectoryA(shown.c_str());
  // Like the platform's dialog, it asks before a file is replaced when the
  // flag says so, and after No stays open: a script's next --choose is the
  // next name typed, and without one the user cancels.
  for (;;) {
    std::string choice;
    if (userMode == UserMode::kInteractive) {
      std::string typed;
      ReadAnswer("      Save as (empty to cancel): ", &typed);
      Utf8ToCp932(typed, &choice);
    } else if (!scripted.choices.empty()) {
      choice = scripted.choices.front();
      scripted.choices.pop_front();
    }
    if (choice.empty()) {
      std::printf("      cancelled\n");
      return FALSE;
    }
    choice = Completed(choice, *record);
    if (choice.size() + 1 > record->nMaxFile) {
      std::printf("      the path is too long for the dialog: cancelled\n");
      return FALSE;
    }
    Print("      chose " + Cp932ToUtf8(choice) + "\n");
    const DWORD attributes = GetFileAttributesA(choice.c_str());
    const bool exists =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if ((record->Flags & OFN_OVERWRITEPROMPT) != 0 && exists &&
        PrintedMessageBox(record->hwndOwner,
                          (choice + " already exists.\nDo you want to replace it?").c_str(),
                          "Confirm Save As", MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
      continue;
    }
    std::memcpy(record->lpstrFile, choice.c_str(), choice.size() + 1);
    return TRUE;
  }
}

// The module asks in UTF-16; the printout and the stand-in work in CP932.
BOOL WINAPI AnsweredWideSaveDialog(LPOPENFILENAMEW record) {
  askedRecord = record;
  auto narrow = [](LPCWSTR wide, int length, std::string* out) {
    if (length < 0) length = lstrlenW(wide) + 1;
    out->assign(static_cast<std::size_t>(length) * 2 + 2, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, &(*out)[0], static_cast<int>(out->size()), nullptr,
                        nullptr);
  };
  std::string filter, initial, extension;
  int filterLength = 0;
  while (record->lpstrFilter[filterLength] != L'\0')
    filterLength += lstrlenW(record->lpstrFilter + filterLength) + 1;
  narrow(record->lpstrFilter, filterLength + 1, &filter);
  if (record->lpstrInitialDir != nullptr) narrow(record->lpstrInitialDir, -1, &initial);
  if (record->lpstrDefExt != nullptr) narrow(record->lpstrDefExt, -1, &extension);
  char file[2 * MAX_PATH] = {};
  WideCharToMultiByte(CP_ACP, 0, record->lpstrFile, -1, file, sizeof file, nullptr, nullptr);
  OPENFILENAMEA asked = {};
  asked.hwndOwner = record->hwndOwner;
  asked.lpstrFilter = filter.c_str();
  asked.lpstrFile = file;
  asked.nMaxFile = record->nMaxFile;
  asked.lpstrInitialDir = record->lpstrInitialDir != nullptr ? initial.c_str() : nullptr;
  asked.lpstrDefExt = record->lpstrDefExt != nullptr ? extension.c_str() : nullptr;
  asked.Flags = record->Flags;
  const BOOL chosen = AnsweredSaveDialog(&asked);
  if (chosen && userMode != UserMode::kReal) {
    MultiByteToWideChar(CP_ACP, 0, file, -1, record->lpstrFile, static_cast<int>(record->nMaxFile));
  }
  return chosen;
}

// ---- a long copy's progress --------------------------------------------------------
// The module shows one window of its own: a copy's progress, made once the
// copy has lasted a second, its percentage set with SetDlgItemTextA as the
// copy goes on, destroyed when it ends. Watching those three calls tells the
// terminal what the window tells the user, when the module decides, without
// another clock or guess. Shown to nobody in the stand-in modes, the window
// stays hidden (nothing would answer it, and nothing needs to: the copy just
// runs to its end); with --real-dialogs it shows as well.

// The window's texts: the name first, the percentage last.
void PrintProgress(HWND window) {
  std::vector<std::string> texts;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char kind[16] = {};
    char text[2 * MAX_PATH] = {};
    GetClassNameA(child, kind, sizeof kind);
    if (lstrcmpiA(kind, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0)
      texts.push_back(text);
  }
  std::string line = "\r  copying";
  for (const std::string& text : texts) line += " " + Cp932ToUtf8(text);
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

BOOL WINAPI ProgressUpdated(HWND window, int item, LPCSTR text) {
  const BOOL set = reinterpret_cast<SetDlgItemTextFn>(realSetDlgItemText)(window, item, text);
  if (window == progressWindow) PrintProgress(window);
  return set;
}

BOOL WINAPI ProgressClosed(HWND window) {
  if (window == progressWindow) {
    progressWindow = nullptr;
    Print("\n");
  }
  return reinterpret_cast<DestroyWindowFn>(realDestroyWindow)(window);
}

}  // namespace

UserWindows::UserWindows(HMODULE module, UserMode mode, const ScriptedAnswers& answers)
    : boxes_(module, "user32.dll", "MessageBoxA", reinterpret_cast<void*>(PrintedMessageBox)),
      dialogs_(module, "comdlg32.dll", "GetSaveFileNameW",
               reinterpret_cast<void*>(AnsweredWideSaveDialog)),
      progressShown_(module, "user32.dll", "ShowWindow", reinterpret_cast<void*>(ProgressShown)),
      progressUpdated_(module, "user32.dll", "SetDlgItemTextA",
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
