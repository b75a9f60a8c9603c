#include "tools/host/calls.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "filecopy/result.h"
#include "host/host_ids.h"
#include "simhost/iat_patch.h"
#include "tools/host/console.h"
#include "tools/host/lingo_call.h"
#include "tools/host/text_encoding.h"

namespace tamarisk {
namespace cli {

namespace {

// ---- the files the module writes for the user -----------------------------------

using CopyFileFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, BOOL);
using CreateFileFn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                     HANDLE);
using MoveFileFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);

std::vector<std::string> filesWritten;
sim::ImportPatch* copyPatch = nullptr;
sim::ImportPatch* createPatch = nullptr;
sim::ImportPatch* movePatch = nullptr;

// The copies the module makes, the new files it copies into and the files
// it opens to write over are the files it writes for the user; one made
// beside the destination then takes the destination's name. Its temporary
// files are gone when the call ends.
BOOL WINAPI ObservedCopyFile(LPCSTR from, LPCSTR to, BOOL failIfExists) {
  const BOOL copied = reinterpret_cast<CopyFileFn>(copyPatch->original())(from, to, failIfExists);
  if (copied) filesWritten.push_back(to);
  return copied;
}

HANDLE WINAPI ObservedCreateFile(LPCSTR path, DWORD access, DWORD sharing,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE model) {
  const HANDLE file = reinterpret_cast<CreateFileFn>(createPatch->original())(
      path, access, sharing, security, disposition, flags, model);
  if (file != INVALID_HANDLE_VALUE && (disposition == CREATE_NEW || disposition == OPEN_EXISTING) &&
      (access & GENERIC_WRITE) != 0) {
    filesWritten.push_back(path);
  }
  return file;
}

void Renamed(const char* from, const char* to) {
  for (std::string& file : filesWritten) {
    if (file == from) file = to;
  }
}

BOOL WINAPI ObservedMoveFile(LPCSTR from, LPCSTR to, DWORD flags) {
  const BOOL moved = reinterpret_cast<MoveFileFn>(movePatch->original())(from, to, flags);
  if (moved) Renamed(from, to);
  return moved;
}

// While it exists, the module's copies and renames are observed.
class FileObserver {
 public:
  explicit FileObserver(HMODULE module)
      : copies_(module, "kernel32.dll", "CopyFileA", reinterpret_cast<void*>(ObservedCopyFile)),
        creations_(module, "kernel32.dll", "CreateFileA",
                   reinterpret_cast<void*>(ObservedCreateFile)),
        moves_(module, "kernel32.dll", "MoveFileExA", reinterpret_cast<void*>(ObservedMoveFile)) {
    copyPatch = &copies_;
    createPatch = &creations_;
    movePatch = &moves_;
  }
  ~FileObserver() { copyPatch = createPatch = movePatch = nullptr; }
  FileObserver(const FileObserver&) = delete;
  FileObserver& operator=(const FileObserver&) = delete;

 private:
  sim::ImportPatch copies_;
  sim::ImportPatch creations_;
  sim::ImportPatch moves_;
};

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

// The file a path names when the call returns: which one it is (its volume
// and index, whatever name reached it) and its size. False when there is
// none: a temporary file, gone.
bool FileLeft(const std::string& path, std::string* identity, std::string* size) {
  const HANDLE file =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION about;
  const bool known = GetFileInformationByHandle(file, &about) != FALSE;
  CloseHandle(file);
  if (!known) return false;
  const auto joined = [](DWORD high, DWORD low) {
    return std::to_string((static_cast<unsigned long long>(high) << 32) | low);
  };
  *identity = std::to_string(about.dwVolumeSerialNumber) + ":" +
              joined(about.nFileIndexHigh, about.nFileIndexLow);
  *size = joined(about.nFileSizeHigh, about.nFileSizeLow);
  return true;
}

// Every call is checked before the module is called: parsed, its handler
// known, its strings in CP932. False, with the reason printed, when one is not.
bool CheckCalls(const sim::SimHost& host, const std::vector<std::string>& lines,
                std::vector<LingoCall>* calls) {
  for (std::size_t n = 0; n < lines.size(); ++n) {
    LingoCall call;
    std::string error;
    if (!ParseLingoCall(lines[n], &call, &error)) {
      std::fprintf(stderr, "tamarisk-host: call %u, %s: %s\n", static_cast<unsigned>(n + 1),
                   lines[n].c_str(), error.c_str());
      return false;
    }
    if (SelectorOf(host, call.handler) < 0) {
      std::fprintf(stderr, "tamarisk-host: call %u, %s: the module has no handler %s\n",
                   static_cast<unsigned>(n + 1), lines[n].c_str(), call.handler.c_str());
      return false;
    }
    for (LingoArgument& argument : call.arguments) {
      std::string converted;
      if (argument.isString && !Utf8ToCp932(argument.text, &converted)) {
        std::fprintf(stderr, "tamarisk-host: call %u: a string has characters that CP932 lacks\n",
                     static_cast<unsigned>(n + 1));
        return false;
      }
      argument.text = converted;
    }
    calls->push_back(call);
  }
  return true;
}

// Calls the handler and prints what the user got: the files and the result.
void RunCall(sim::SimHost& host, InterfaceObject* scripting, const std::string& line,
             const LingoCall& call) {
  std::vector<HostValue> args;
  for (const LingoArgument& a : call.arguments) {
    args.push_back(a.isString ? host.StringValue(a.text) : host.IntegerValue(a.integer));
  }
  Print(line + "\n");
  filesWritten.clear();
  HostValue result = host.VoidValue();
  host.Call(scripting, SelectorOf(host, call.handler), args, &result);
  const int32 code = host.IntegerOf(result);
  // A failed call may have made files on its way, but gave the user none.
  // Each file is told once, though the module opened it more than once.
  std::vector<std::string> told;
  for (const std::string& file : filesWritten) {
    std::string identity;
    std::string size;
    if (code != static_cast<int32>(Result::kCopied) || !FileLeft(file, &identity, &size) ||
        std::find(told.begin(), told.end(), identity) != told.end()) {
      continue;
    }
    told.push_back(identity);
    Print("  wrote " + Cp932ToUtf8(file) + " (" + size + " bytes)\n");
  }
  std::printf("  => %d: %s\n", static_cast<int>(code), Meaning(call.handler, code));
}

}  // namespace

bool RunCalls(sim::SimHost& host, HMODULE module, const std::vector<std::string>& lines) {
  std::vector<LingoCall> calls;
  if (!CheckCalls(host, lines, &calls)) return false;
  Status status = kOk;
  sim::SimInstance* instance = host.NewInstance(kScriptingClassId, &status);
  InterfaceObject* scripting = nullptr;
  if (instance == nullptr || status != kOk ||
      host.GetInterface(instance, kScriptingInterfaceId, &scripting) != kOk) {
    std::fprintf(stderr, "tamarisk-host: the scripting instance could not be created (0x%08X)\n",
                 static_cast<unsigned>(status));
    return false;
  }
  FileObserver observer(module);
  for (std::size_t n = 0; n < calls.size(); ++n) RunCall(host, scripting, lines[n], calls[n]);
  static_cast<const ScriptingInterfaceOps*>(scripting->ops)->Release(scripting);
  host.DeleteInstance(instance);
  return true;
}

}  // namespace cli
}  // namespace tamarisk
