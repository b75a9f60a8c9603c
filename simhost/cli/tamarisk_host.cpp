// tamarisk-host: loads TAMARISK.x32 the way the authoring host does, shows
// what the host sees when it registers the module, and runs Lingo calls.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <commdlg.h>

#include <cctype>
#include <deque>

#include "host/host_ids.h"
#include "simhost/iat_patch.h"
#include "simhost/module_loader.h"
#include "simhost/sim_host.h"

using namespace tamarisk;

namespace {

int WINAPI PrintedMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type);
BOOL WINAPI ScriptedSaveDialog(LPOPENFILENAMEA record);

// The module's message boxes and save dialog, answered on the terminal.
class ImportPatchScope {
 public:
  explicit ImportPatchScope(HMODULE module)
      : box_(module, "user32.dll", "MessageBoxA", reinterpret_cast<void*>(PrintedMessageBox)),
        dialog_(module, "comdlg32.dll", "GetSaveFileNameA", reinterpret_cast<void*>(ScriptedSaveDialog)) {}

 private:
  tamarisk::sim::ImportPatch box_;
  tamarisk::sim::ImportPatch dialog_;
};

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

int Usage() {
  std::fprintf(stderr,
               "usage: tamarisk-host [options] [CALL ...]\n"
               "  Loads TAMARISK.x32 as the authoring host does, registers it and runs\n"
               "  each CALL, written as in a Lingo script: Plovers(\"a.txt\", \"b.txt\").\n"
               "  Without calls it prints the class table and the Lingo message table.\n"
               "options:\n"
               "  --module PATH    the module to load (default: TAMARISK.x32 beside this program)\n"
               "  --base PATH      the host's base path (default: the current folder)\n"
               "  --yes | --no     the answer to the next overwrite question (default: no)\n"
               "  --choose PATH    the path the user picks in the next save dialog\n"
               "  --cancel         the user cancels the next save dialog (the default)\n"
               "  --register       print the tables even when calls are given\n");
  return 2;
}

bool PrintClassTable(sim::SimHost& host) {
  ClassInfoEntry* table = nullptr;
  if (host.module().getClassInfo(host.allocator(), &table) != kOk || table == nullptr) {
    std::printf("DllGetClassInfo failed\n");
    return false;
  }
  const Guid none = {};
  std::printf("Class table (DllGetClassInfo):\n");
  for (ClassInfoEntry* e = table; !(SameGuid(e->classId, none) && SameGuid(e->interfaceId, none)); ++e) {
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

bool PrintMessageTable(sim::SimHost& host, bool print) {
  sim::SimInstance* instance = host.NewInstance(kRegistrationClassId);
  InterfaceObject* object = nullptr;
  if (instance == nullptr || host.GetInterface(instance, kRegistrationInterfaceId, &object) != kOk) {
    std::printf("no registration interface\n");
    return false;
  }
  const RegistrationInterfaceOps* ops = static_cast<const RegistrationInterfaceOps*>(object->ops);
  const Status status = ops->PublishMessageTable(object, host.registrar(), nullptr);
  ops->Release(object);
  host.DeleteInstance(instance);
  if (status != kOk || host.dictionaryEntries.empty()) {
    std::printf("PublishMessageTable failed: 0x%08X\n", static_cast<unsigned>(status));
    return false;
  }
  for (const sim::DictionaryEntry& entry : host.dictionaryEntries) {
    if (!print) break;
    std::printf("Lingo message table (\"%s\", entry type %d, for %s):\n", entry.key.c_str(),
                static_cast<int>(entry.type), ClassName(entry.classId));
    std::size_t start = 0;
    int number = 0;
    while (start < entry.text.size()) {
      std::size_t end = entry.text.find('\n', start);
      if (end == std::string::npos) end = entry.text.size();
      const std::string line = entry.text.substr(start, end - start);
      if (start == 0) {
        std::printf("      %s\n", line.c_str());
      } else {
        std::printf("  %2d  %s\n", number++, line.c_str());
      }
      start = end + 1;
    }
  }
  return true;
}

// ---- the user, scripted ---------------------------------------------------

std::deque<int> answers;
std::deque<std::string> choices;  // empty string: cancel
sim::SimHost* activeHost = nullptr;

std::string Utf8FromAnsi(const std::string& text) {
  const int wide = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &w[0], wide);
  const int narrow = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(narrow), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &out[0], narrow, nullptr, nullptr);
  out.resize(std::strlen(out.c_str()));
  return out;
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

int WINAPI PrintedMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  std::printf("  [box] %s\n      %s\n", Utf8FromAnsi(caption).c_str(), Indented(Utf8FromAnsi(text)).c_str());
  if ((type & 0xF) != MB_YESNO) return IDOK;
  int answer = IDNO;
  if (!answers.empty()) {
    answer = answers.front();
    answers.pop_front();
  }
  std::printf("      answered %s\n", answer == IDYES ? "Yes" : answer == IDNO ? "No" : "nothing (the box failed)");
  return answer;
}

BOOL WINAPI ScriptedSaveDialog(LPOPENFILENAMEA record) {
  std::string filter;
  for (const char* f = record->lpstrFilter; f != nullptr && *f != '\0'; f += std::strlen(f) + 1) {
    filter += std::string(filter.empty() ? "" : " | ") + f;
  }
  std::printf("  [save dialog] in %s, offering \"%s\", filter \"%s\"%s%s\n",
              Utf8FromAnsi(record->lpstrInitialDir != nullptr ? record->lpstrInitialDir : "").c_str(),
              Utf8FromAnsi(record->lpstrFile).c_str(), Utf8FromAnsi(filter).c_str(),
              record->lpstrDefExt != nullptr ? ", default extension " : "",
              record->lpstrDefExt != nullptr ? record->lpstrDefExt : "");
  std::string choice;
  if (!choices.empty()) {
    choice = choices.front();
    choices.pop_front();
  }
  if (choice.empty() || choice.size() + 1 > record->nMaxFile) {
    std::printf("      cancelled\n");
    return FALSE;
  }
  std::printf("      chose %s\n", choice.c_str());
  std::memcpy(record->lpstrFile, choice.c_str(), choice.size() + 1);
  return TRUE;
}

// ---- calls ------------------------------------------------------------------

struct ParsedCall {
  std::string name;
  std::vector<std::string> strings;  // per argument; integers below
  std::vector<bool> isString;
  std::vector<int32> integers;
};

bool ParseCall(const std::string& text, ParsedCall* call, std::string* error) {
  std::size_t i = 0;
  auto skip = [&] { while (i < text.size() && text[i] == ' ') ++i; };
  skip();
  while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_')) call->name += text[i++];
  skip();
  if (call->name.empty() || i >= text.size() || text[i] != '(') {
    *error = "expected a handler name and \"(\"";
    return false;
  }
  ++i;
  skip();
  if (i < text.size() && text[i] == ')') return ++i, true;
  for (int position = 1;; ++position) {
    skip();
    if (i < text.size() && text[i] == '"') {
      std::string value;
      ++i;
      while (i < text.size() && text[i] != '"') value += text[i++];
      if (i >= text.size()) {
        *error = "argument " + std::to_string(position) + ": unterminated string";
        return false;
      }
      ++i;
      call->strings.push_back(value);
      call->isString.push_back(true);
      call->integers.push_back(0);
    } else {
      std::size_t start = i;
      if (i < text.size() && text[i] == '-') ++i;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      if (i == start || (text[start] == '-' && i == start + 1)) {
        *error = "argument " + std::to_string(position) + ": expected a \"string\" or an integer";
        return false;
      }
      call->strings.push_back("");
      call->isString.push_back(false);
      call->integers.push_back(static_cast<int32>(std::stol(text.substr(start, i - start))));
    }
    skip();
    if (i < text.size() && text[i] == ',') {
      ++i;
      continue;
    }
    if (i < text.size() && text[i] == ')') {
      ++i;
      skip();
      if (i != text.size()) {
        *error = "unexpected text after \")\"";
        return false;
      }
      return true;
    }
    *error = "argument " + std::to_string(position) + ": expected \",\" or \")\"";
    return false;
  }
}

const char* Meaning(int32 code) {
  switch (code) {
    case 0: return "copied";
    case 1: return "nothing done";
    case 2: return "invalid request (arguments, destination is the source, or unsupported media)";
    case 3: return "source file not found";
    case 4: return "error (access denied, copy failed, or destination is a directory)";
    case 5: return "the question could not be shown, or no current movie";
    case 10: return "no such cast";
    case 11: return "no such cast member";
    case 12: return "bitmap conversion failed";
    default: return "unknown";
  }
}

int32 SelectorOf(const sim::SimHost& host, const std::string& name) {
  if (host.dictionaryEntries.empty()) return -1;
  const std::string& table = host.dictionaryEntries[0].text;
  int32 number = -1;  // the first line names the Xtra
  std::size_t start = 0;
  while (start < table.size()) {
    const std::size_t end = table.find('\n', start);
    const std::string line = table.substr(start, end - start);
    if (line.rfind("* " + name + " *", 0) == 0) return number;
    ++number;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return -1;
}

bool RunCalls(sim::SimHost& host, const std::vector<std::string>& calls) {
  // Every call is checked before the module is called.
  std::vector<ParsedCall> parsed;
  for (const std::string& text : calls) {
    ParsedCall call;
    std::string error;
    if (!ParseCall(text, &call, &error)) {
      std::fprintf(stderr, "tamarisk-host: %s: %s\n", text.c_str(), error.c_str());
      return false;
    }
    if (SelectorOf(host, call.name) < 0) {
      std::fprintf(stderr, "tamarisk-host: %s: the module has no handler %s\n", text.c_str(), call.name.c_str());
      return false;
    }
    parsed.push_back(call);
  }
  Status status = kOk;
  sim::SimInstance* instance = host.NewInstance(kScriptingClassId, &status);
  InterfaceObject* scripting = nullptr;
  if (instance == nullptr || status != kOk || host.GetInterface(instance, kScriptingInterfaceId, &scripting) != kOk) {
    std::fprintf(stderr, "tamarisk-host: the scripting instance could not be created\n");
    return false;
  }
  for (std::size_t n = 0; n < parsed.size(); ++n) {
    const ParsedCall& call = parsed[n];
    std::vector<HostValue> args;
    for (std::size_t a = 0; a < call.isString.size(); ++a) {
      args.push_back(call.isString[a] ? host.StringValue(call.strings[a]) : host.IntegerValue(call.integers[a]));
    }
    std::printf("%s\n", calls[n].c_str());
    HostValue result = host.VoidValue();
    host.Call(scripting, SelectorOf(host, call.name), args, &result);
    const int32 code = host.IntegerOf(result);
    std::printf("  => %d: %s\n", static_cast<int>(code), Meaning(code));
  }
  static_cast<const ScriptingInterfaceOps*>(scripting->ops)->Release(scripting);
  host.DeleteInstance(instance);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string modulePath = sim::ModuleBesideProgram();
  std::string basePath;
  bool registerTables = false;
  std::vector<std::string> calls;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--module" && i + 1 < argc) {
      modulePath = argv[++i];
    } else if (arg == "--base" && i + 1 < argc) {
      basePath = argv[++i];
    } else if (arg == "--yes" || arg == "--no") {
      answers.push_back(arg == "--yes" ? IDYES : IDNO);
    } else if (arg == "--choose" && i + 1 < argc) {
      choices.push_back(argv[++i]);
    } else if (arg == "--cancel") {
      choices.push_back("");
    } else if (arg == "--register") {
      registerTables = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      calls.push_back(arg);
    }
  }
  if (basePath.empty()) {
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    basePath = std::string(folder) + "\\movie.dir";
  }
  sim::LoadedModule module;
  std::string error;
  if (!sim::LoadModule(modulePath, &module, &error)) {
    std::fprintf(stderr, "tamarisk-host: %s\n", error.c_str());
    return 1;
  }
  int exitCode = 0;
  {
    ImportPatchScope patches(static_cast<HMODULE>(module.handle));
    sim::SimHost host(module.api);
    host.basePath = basePath;
    activeHost = &host;
    const bool showTables = registerTables || calls.empty();
    if (showTables) std::printf("Module: %s\n", modulePath.c_str());
    if ((showTables && !PrintClassTable(host)) || !PrintMessageTable(host, showTables)) exitCode = 1;
    if (exitCode == 0 && !calls.empty() && !RunCalls(host, calls)) exitCode = 2;
    const std::string audit = host.Audit();
    if (!audit.empty()) {
      std::printf("Host audit:\n%s", audit.c_str());
      exitCode = 1;
    }
  }
  if (module.api.canUnloadNow() != kOk) {
    std::printf("The module refuses to unload: interface objects are alive\n");
    exitCode = 1;
  }
  sim::UnloadModule(&module);
  return exitCode;
}
