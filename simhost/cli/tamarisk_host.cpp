// tamarisk-host: loads TAMARISK.x32 the way the authoring host does, shows
// what the host sees when it registers the module, and runs Lingo calls
// against a movie described in a JSON file.
#include <windows.h>
#include <commdlg.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "common/result.h"
#include "host/host_ids.h"
#include "simhost/cli/lingo_call.h"
#include "simhost/cli/movie_file.h"
#include "simhost/cli/text_encoding.h"
#include "simhost/iat_patch.h"
#include "simhost/module_loader.h"
#include "simhost/save_dialog_rules.h"
#include "simhost/sim_host.h"

using namespace tamarisk;

namespace {

int Usage() {
  std::fprintf(
      stderr,
      "usage: tamarisk-host [options] [CALL ...]\n"
      "  Loads TAMARISK.x32 as the authoring host does, registers it and runs\n"
      "  each CALL, written as in a Lingo script: Plovers(\"a.txt\", \"b.txt\").\n"
      "  Without calls it prints the class table and the Lingo message table.\n"
      "options:\n"
      "  --module PATH    the module to load (default: TAMARISK.x32 beside this program)\n"
      "  --movie FILE     the movie: base path, casts and members (JSON)\n"
      "  --script FILE    calls to run, one per line (\"--\" starts a comment)\n"
      "  --base PATH      the host's base path (default: the movie's, else the current folder)\n"
      "  --folder DIR     the current folder while the calls run (created if missing)\n"
      "  --register       print the class table and message table too\n"
      "The user, three ways:\n"
      "  interactive      when standard input is a terminal, or with --interactive:\n"
      "                   questions and the save dialog are asked on the terminal\n"
      "  scripted         answers given in order by --yes, --no (overwrite questions;\n"
      "                   default No) and --choose PATH, --cancel (save dialogs;\n"
      "                   default cancel)\n"
      "  --real-dialogs   the platform's own message boxes and save dialog, owned\n"
      "                   by a window for the movie, as in the authoring host\n");
  return 2;
}

// ---- what the module shows the user -------------------------------------------

enum class UserMode { kScripted, kInteractive, kReal };

UserMode userMode = UserMode::kScripted;
std::deque<int> answers;
std::deque<std::string> choices;  // empty: cancel
std::vector<std::string> filesWritten;

using CopyFileFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, BOOL);
using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
using SaveDialogFn = BOOL(WINAPI*)(LPOPENFILENAMEW);
sim::ImportPatch* copyPatch = nullptr;
void* realMessageBox = nullptr;  // with --real-dialogs: the platform's own
void* realSaveDialog = nullptr;
LPOPENFILENAMEW askedRecord = nullptr;  // the module's own, for the platform's dialog

// Text for the user, in UTF-8. A console gets it as UTF-16, so that it shows
// whatever the console's code page; a pipe or file gets the UTF-8 bytes.
void Print(const std::string& utf8) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    std::fflush(stdout);
    const int wide =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], wide);
    DWORD written = 0;
    WriteConsoleW(out, w.data(), static_cast<DWORD>(w.size()), &written, nullptr);
  } else {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  }
}

std::string Indented(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '\n') out += "      ";
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
  return out;
}

bool inputEnded = false;

// A line from the user, in UTF-8.
std::string ReadAnswer(const char* prompt) {
  Print(prompt);
  std::fflush(stdout);
  std::string answer;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(in, &mode)) {
    wchar_t line[1024];
    DWORD got = 0;
    if (!ReadConsoleW(in, line, 1023, &got, nullptr) || got == 0) {
      inputEnded = true;
      return std::string();
    }
    const int narrow =
        WideCharToMultiByte(CP_UTF8, 0, line, static_cast<int>(got), nullptr, 0, nullptr, nullptr);
    answer.assign(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line, static_cast<int>(got), &answer[0], narrow, nullptr,
                        nullptr);
  } else {
    char line[1024];
    if (std::fgets(line, sizeof line, stdin) == nullptr) {
      inputEnded = true;
      return std::string();
    }
    answer = line;
  }
  while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
  return answer;
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
  Print("  [" + cli::Cp932ToUtf8(caption) + "]\n      " + Indented(cli::Cp932ToUtf8(text)) + "\n");
  if (userMode == UserMode::kReal) {
    const int answer = reinterpret_cast<MessageBoxFn>(realMessageBox)(owner, text, caption, type);
    std::printf("      answered %s\n", AnswerName(answer));
    return answer;
  }
  if ((type & 0xF) != MB_YESNO) return IDOK;
  int answer = IDNO;
  if (userMode == UserMode::kInteractive) {
    for (;;) {
      const std::string reply = ReadAnswer("      Yes or No? [y/n] ");
      if (reply == "y" || reply == "Y" || reply == "yes") {
        answer = IDYES;
        break;
      }
      if (reply == "n" || reply == "N" || reply == "no" || inputEnded) break;
    }
  } else if (!answers.empty()) {
    answer = answers.front();
    answers.pop_front();
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
        cli::Cp932ToUtf8(record->lpstrInitialDir != nullptr ? record->lpstrInitialDir : "") +
        "\n      offered name: " + cli::Cp932ToUtf8(record->lpstrFile) +
        "\n      filter: " + cli::Cp932ToUtf8(filter + "|") + "\n");
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
      std::string typed = ReadAnswer("      Save as (empty to cancel): ");
      cli::Utf8ToCp932(typed, &choice);
    } else if (!choices.empty()) {
      choice = choices.front();
      choices.pop_front();
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
    Print("      chose " + cli::Cp932ToUtf8(choice) + "\n");
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

// The copies the module makes are the files it writes for the user.
BOOL WINAPI ObservedCopyFile(LPCSTR from, LPCSTR to, BOOL failIfExists) {
  const BOOL copied = reinterpret_cast<CopyFileFn>(copyPatch->original())(from, to, failIfExists);
  if (copied) filesWritten.push_back(to);
  return copied;
}

// The platform's own boxes and dialog need a real window to own them, as
// the authoring host's stage does: one titled with the movie's name.
HWND MakeStage(const std::string& basePath) {
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
  if (stage != nullptr) {
    ShowWindow(stage, SW_SHOW);
    UpdateWindow(stage);
  }
  return stage;
}

// ---- registration -------------------------------------------------------------

const char* InterfaceName(const Guid& id) {
  if (SameGuid(id, kClassFactoryInterfaceId)) return "class factory";
  if (SameGuid(id, kRegistrationInterfaceId)) return "registration interface";
  if (SameGuid(id, kScriptingInterfaceId)) return "scripting interface";
  return "unknown interface";
}

const char* ClassName(const Guid& id) {
  if (SameGuid(id, kRegistrationClassId)) return "registration class";
  if (SameGuid(id, kScriptingClassId)) return "scripting class";
  return "unknown class";
}

bool PrintClassTable(sim::SimHost& host) {
  ClassInfoEntry* table = nullptr;
  if (host.module().getClassInfo(host.allocator(), &table) != kOk || table == nullptr) {
    std::printf("DllGetClassInfo failed\n");
    return false;
  }
  const Guid none = {};
  std::printf("Class table (DllGetClassInfo):\n");
  for (ClassInfoEntry* e = table; !(SameGuid(e->classId, none) && SameGuid(e->interfaceId, none));
       ++e) {
    std::printf("  %s v%u  %-20s  %s v%u  (%s)\n", sim::GuidText(e->classId).c_str(),
                static_cast<unsigned>(e->classVersion), ClassName(e->classId),
                sim::GuidText(e->interfaceId).c_str(), static_cast<unsigned>(e->interfaceVersion),
                InterfaceName(e->interfaceId));
  }
  host.allocator()->ops->FreeBlock(host.allocator(), table);
  std::printf("Instance sizes (DllGetClassForm):\n");
  for (const Guid* id : {&kRegistrationClassId, &kScriptingClassId}) {
    uint32 size = 0;
    CreateFn create = nullptr;
    DestroyFn destroy = nullptr;
    if (host.module().getClassForm(id, &size, &create, &destroy) != kOk) return false;
    std::printf("  %s %-20s %u bytes\n", sim::GuidText(*id).c_str(), ClassName(*id),
                static_cast<unsigned>(size));
  }
  return true;
}

// Registers the module as the host does; the message table is then known.
bool Register(sim::SimHost& host, bool print) {
  sim::SimInstance* instance = host.NewInstance(kRegistrationClassId);
  InterfaceObject* object = nullptr;
  if (instance == nullptr ||
      host.GetInterface(instance, kRegistrationInterfaceId, &object) != kOk) {
    std::fprintf(stderr, "tamarisk-host: the module offers no registration interface\n");
    return false;
  }
  const RegistrationInterfaceOps* ops = static_cast<const RegistrationInterfaceOps*>(object->ops);
  const Status status = ops->PublishMessageTable(object, host.registrar(), nullptr);
  ops->Release(object);
  host.DeleteInstance(instance);
  if (status != kOk || host.dictionaryEntries.empty()) {
    std::fprintf(stderr, "tamarisk-host: PublishMessageTable failed: 0x%08X\n",
                 static_cast<unsigned>(status));
    return false;
  }
  if (!print) return true;
  const sim::DictionaryEntry& entry = host.dictionaryEntries[0];
  std::printf("Lingo message table (\"%s\", entry type %d, for the %s):\n", entry.key.c_str(),
              static_cast<int>(entry.type), ClassName(entry.classId));
  std::size_t start = 0;
  int number = -1;
  while (start < entry.text.size()) {
    std::size_t end = entry.text.find('\n', start);
    if (end == std::string::npos) end = entry.text.size();
    const std::string line = entry.text.substr(start, end - start);
    if (number < 0) {
      std::printf("      %s\n", line.c_str());
    } else {
      std::printf("  %2d  %s\n", number, line.c_str());
    }
    ++number;
    start = end + 1;
  }
  return true;
}

// ---- calls ----------------------------------------------------------------------

const char* Meaning(const std::string& handler, int32 code) {
  const bool exporting = handler == "Avocets";
  switch (static_cast<Result>(code)) {
    case Result::kCopied: return "copied";
    case Result::kNothingDone: return "nothing done (No, or the dialog was cancelled)";
    case Result::kInvalid:
      return exporting ? "invalid request, destination is the source, or unsupported media"
                       : "invalid request, or the destination is the source";
    case Result::kNotFound: return "source file not found";
    case Result::kFailed:
      return exporting
                 ? "error: not readable, not written, not copied, or the destination is a folder"
                 : "error: not readable, not copied, or the destination is a folder";
    case Result::kNoAnswer:
      return exporting ? "no current movie, or the question could not be shown"
                       : "the question could not be shown";
    case Result::kNoSuchCast: return "no such cast";
    case Result::kNoSuchMember: return "no such cast member";
    case Result::kNotConverted: return "the bitmap could not be converted";
  }
  return "not a result of this module";
}

int32 SelectorOf(const sim::SimHost& host, const std::string& name) {
  const std::string& table = host.dictionaryEntries[0].text;
  int32 number = -1;  // the first line names the Xtra
  std::size_t start = 0;
  while (start < table.size()) {
    const std::size_t end = table.find('\n', start);
    if (table.compare(start, name.size() + 4, "* " + name + " *") == 0) return number;
    ++number;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return -1;
}

std::string FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return "?";
  return std::to_string((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) |
                        data.nFileSizeLow);
}

bool RunCalls(sim::SimHost& host, const std::vector<std::string>& lines) {
  // Every call is checked before the module is called.
  std::vector<cli::LingoCall> calls;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    cli::LingoCall call;
    std::string error;
    if (!cli::ParseLingoCall(lines[n], &call, &error)) {
      std::fprintf(stderr, "tamarisk-host: call %u, %s: %s\n", static_cast<unsigned>(n + 1),
                   lines[n].c_str(), error.c_str());
      return false;
    }
    if (SelectorOf(host, call.handler) < 0) {
      std::fprintf(stderr, "tamarisk-host: call %u, %s: the module has no handler %s\n",
                   static_cast<unsigned>(n + 1), lines[n].c_str(), call.handler.c_str());
      return false;
    }
    for (cli::LingoArgument& argument : call.arguments) {
      std::string converted;
      if (argument.isString && !cli::Utf8ToCp932(argument.text, &converted)) {
        std::fprintf(stderr, "tamarisk-host: call %u: a string has characters that CP932 lacks\n",
                     static_cast<unsigned>(n + 1));
        return false;
      }
      argument.text = converted;
    }
    calls.push_back(call);
  }
  Status status = kOk;
  sim::SimInstance* instance = host.NewInstance(kScriptingClassId, &status);
  InterfaceObject* scripting = nullptr;
  if (instance == nullptr || status != kOk ||
      host.GetInterface(instance, kScriptingInterfaceId, &scripting) != kOk) {
    std::fprintf(stderr, "tamarisk-host: the scripting instance could not be created (0x%08X)\n",
                 static_cast<unsigned>(status));
    return false;
  }
  for (std::size_t n = 0; n < calls.size(); ++n) {
    const cli::LingoCall& call = calls[n];
    std::vector<HostValue> args;
    for (const cli::LingoArgument& a : call.arguments) {
      args.push_back(a.isString ? host.StringValue(a.text) : host.IntegerValue(a.integer));
    }
    Print(lines[n] + "\n");
    filesWritten.clear();
    HostValue result = host.VoidValue();
    host.Call(scripting, SelectorOf(host, call.handler), args, &result);
    for (const std::string& file : filesWritten) {
      Print("  wrote " + cli::Cp932ToUtf8(file) + " (" + FileSize(file) + " bytes)\n");
    }
    const int32 code = host.IntegerOf(result);
    std::printf("  => %d: %s\n", static_cast<int>(code), Meaning(call.handler, code));
  }
  static_cast<const ScriptingInterfaceOps*>(scripting->ops)->Release(scripting);
  host.DeleteInstance(instance);
  return true;
}

// The command line as typed, in UTF-8 like a script: the ANSI argv would
// hold CP932 bytes, with what the code page lacks already lost.
std::vector<std::string> CommandLineArguments() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; wide != nullptr && i < count; ++i) {
    const int length = static_cast<int>(std::wcslen(wide[i]));
    const int narrow =
        WideCharToMultiByte(CP_UTF8, 0, wide[i], length, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(narrow), '\0');
    if (narrow > 0)
      WideCharToMultiByte(CP_UTF8, 0, wide[i], length, &arg[0], narrow, nullptr, nullptr);
    args.push_back(arg);
  }
  LocalFree(wide);
  return args;
}

bool ReadScript(const std::string& path, std::vector<std::string>* calls) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!cli::IsScriptComment(line)) calls->push_back(line);
  }
  return true;
}

// What the command line asks for.
struct Options {
  std::string modulePath = sim::ModuleBesideProgram();
  std::string basePath;
  std::string moviePath;
  std::string folder;
  bool registerTables = false;
  bool interactive = _isatty(_fileno(stdin)) != 0;
  bool realDialogs = false;
  std::vector<std::string> calls;
};

// Reads the options into options, the answers into the module-wide queues.
// 0 when the run can go on, else the exit status.
int ParseArguments(const std::vector<std::string>& args, Options* options) {
  bool unmappable = false;
  std::size_t i = 1;
  // Files and folders are named to the ANSI calls, in CP932.
  auto pathValue = [&]() {
    std::string cp932;
    if (!cli::Utf8ToCp932(args[++i], &cp932)) unmappable = true;
    return cp932;
  };
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--module" && hasValue) {
      options->modulePath = pathValue();
    } else if (arg == "--movie" && hasValue) {
      options->moviePath = pathValue();
    } else if (arg == "--script" && hasValue) {
      const std::string script = pathValue();
      if (unmappable || !ReadScript(script, &options->calls)) {
        std::fprintf(stderr, "tamarisk-host: cannot read the script %s\n", args[i].c_str());
        return 2;
      }
    } else if (arg == "--base" && hasValue) {
      options->basePath = pathValue();
    } else if (arg == "--folder" && hasValue) {
      options->folder = pathValue();
    } else if (arg == "--yes" || arg == "--no") {
      answers.push_back(arg == "--yes" ? IDYES : IDNO);
      options->interactive = false;
    } else if (arg == "--choose" && hasValue) {
      choices.push_back(pathValue());
      options->interactive = false;
    } else if (arg == "--cancel") {
      choices.push_back("");
      options->interactive = false;
    } else if (arg == "--interactive") {
      options->interactive = true;
    } else if (arg == "--real-dialogs") {
      options->realDialogs = true;
    } else if (arg == "--register") {
      options->registerTables = true;
    } else if (!arg.empty() && arg[0] == '-' && arg.size() > 1 && arg[1] == '-') {
      return Usage();
    } else {
      options->calls.push_back(arg);
    }
  }
  if (unmappable) {
    std::fprintf(stderr, "tamarisk-host: a file or folder name has characters that CP932 lacks\n");
    return 2;
  }
  return 0;
}

// The movie, the current folder and the base path the calls run with. 0
// when they are ready, else the exit status.
int PrepareMovie(Options* options, cli::MovieFile* movie) {
  if (!options->moviePath.empty()) {
    char full[MAX_PATH] = {};
    GetFullPathNameA(options->moviePath.c_str(), MAX_PATH, full, nullptr);
    std::string error;
    if (!cli::LoadMovieFile(full, movie, &error)) {
      std::fprintf(stderr, "tamarisk-host: %s\n", error.c_str());
      return 2;
    }
  }
  if (!options->folder.empty()) {
    CreateDirectoryA(options->folder.c_str(), nullptr);
    if (!SetCurrentDirectoryA(options->folder.c_str())) {
      std::fprintf(stderr, "tamarisk-host: cannot use the folder %s\n", options->folder.c_str());
      return 2;
    }
  }
  if (options->basePath.empty()) options->basePath = movie->basePath;
  if (options->basePath.empty()) {
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    options->basePath = std::string(current) +
                        (current[std::strlen(current) - 1] == '\\' ? "" : "\\") + "movie.dir";
  }
  return 0;
}

// Registers the loaded module with a simulated host serving the movie and
// runs the calls; the exit status.
int RunWithModule(const sim::LoadedModule& module, const Options& options,
                  const cli::MovieFile& movie) {
  int exitCode = 0;
  const HMODULE handle = static_cast<HMODULE>(module.handle);
  sim::ImportPatch observeCopies(handle, "kernel32.dll", "CopyFileA",
                                 reinterpret_cast<void*>(ObservedCopyFile));
  copyPatch = &observeCopies;
  // Every box and dialog is printed; with --real-dialogs it is then shown.
  sim::ImportPatch boxes(handle, "user32.dll", "MessageBoxA",
                         reinterpret_cast<void*>(PrintedMessageBox));
  sim::ImportPatch dialogs(handle, "comdlg32.dll", "GetSaveFileNameW",
                           reinterpret_cast<void*>(AnsweredWideSaveDialog));
  realMessageBox = boxes.original();
  realSaveDialog = dialogs.original();
  sim::SimHost host(module.api);
  host.basePath = options.basePath;
  host.casts = movie.casts;
  host.hostInstance = GetModuleHandleA(nullptr);
  HWND stage = nullptr;
  if (userMode == UserMode::kReal && !options.calls.empty()) {
    stage = MakeStage(options.basePath);
    if (stage == nullptr) {
      std::fprintf(stderr, "tamarisk-host: the stage window could not be made (error %lu)\n",
                   GetLastError());
      exitCode = 1;
    }
    host.window = stage;
  }
  const bool showTables = options.registerTables || options.calls.empty();
  if (showTables) {
    std::printf("Module: %s\n", options.modulePath.c_str());
    if (!PrintClassTable(host)) exitCode = 1;
  }
  if (exitCode == 0 && !Register(host, showTables)) exitCode = 1;
  if (exitCode == 0 && !options.calls.empty() && !RunCalls(host, options.calls)) exitCode = 2;
  const std::string audit = host.Audit();
  if (!audit.empty()) {
    std::printf("The host's audit found:\n%s", audit.c_str());
    exitCode = 1;
  }
  copyPatch = nullptr;
  if (stage != nullptr) DestroyWindow(stage);
  return exitCode;
}

}  // namespace

int main() {
  Options options;
  if (const int status = ParseArguments(CommandLineArguments(), &options)) return status;
  userMode = options.realDialogs   ? UserMode::kReal
             : options.interactive ? UserMode::kInteractive
                                   : UserMode::kScripted;
  cli::MovieFile movie;
  if (const int status = PrepareMovie(&options, &movie)) return status;

  sim::LoadedModule module;
  std::string error;
  if (!sim::LoadModule(options.modulePath, &module, &error)) {
    std::fprintf(stderr, "tamarisk-host: %s\n", error.c_str());
    return 1;
  }
  int exitCode = RunWithModule(module, options, movie);
  if (module.api.canUnloadNow() != kOk) {
    std::printf("The module refuses to unload: interface objects are alive\n");
    exitCode = 1;
  }
  sim::UnloadModule(&module);
  return exitCode;
}
