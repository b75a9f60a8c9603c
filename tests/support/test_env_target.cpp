// The target build's files (real ones, under Wine) and user interface: the
// loaded module's imports of MessageBoxW (MessageBoxA in an older module)
// and GetSaveFileNameW answered by the script.
#include <windows.h>
#include <commdlg.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "support/target_module.h"
#include "support/test_env.h"

namespace tamarisk {
namespace test {

namespace {

// A text the module passes, empty when it passes none; an ANSI one reads as
// the process's code page decodes its bytes.
std::u16string Text16(LPCWSTR text) {
  return text != nullptr ? reinterpret_cast<const char16_t*>(text) : u"";
}
std::u16string Text16(LPCSTR text) { return Widened(text != nullptr ? text : ""); }

template <class Char>
int WINAPI ScriptedMessageBox(HWND owner, const Char* text, const Char* caption, UINT type) {
  return Ui().AnswerMessage(owner, Text16(text), Text16(caption), type);
}

// A window of another program, which takes the activation a dialog leaves.
HWND AnotherProgramsWindow() {
  static HWND window =
      CreateWindowExA(0, "STATIC", "another program", WS_OVERLAPPEDWINDOW, 0, 0, 100, 50, nullptr,
                      nullptr, GetModuleHandleA(nullptr), nullptr);
  ShowWindow(window, SW_SHOWNA);
  return window;
}

BOOL WINAPI ScriptedSaveDialog(LPOPENFILENAMEW record) {
  DialogSeen seen = {};
  seen.structSize = record->lStructSize;
  seen.owner = record->hwndOwner;
  seen.instance = record->hInstance;
  if (record->lpstrFilter != nullptr) {
    for (LPCWSTR field = record->lpstrFilter; *field != L'\0'; field += lstrlenW(field) + 1) {
      seen.filter.push_back(Narrowed(Text16(field)));
    }
  }
  seen.hasCustomFilter = record->lpstrCustomFilter != nullptr;
  seen.filterIndex = record->nFilterIndex;
  seen.offeredName = Narrowed(Text16(record->lpstrFile));
  seen.fileSize = record->nMaxFile;
  seen.wideDirectory = Text16(record->lpstrInitialDir);
  seen.hasTitle = record->lpstrTitle != nullptr;
  seen.hasDefaultExtension = record->lpstrDefExt != nullptr;
  seen.defaultExtension = Narrowed(Text16(record->lpstrDefExt));
  seen.flags = record->Flags;
  // As the platform's dialog does: it disables its owner while it shows,
  // and on closing enables it again only if it was enabled; an owner still
  // disabled then loses the activation to another program's window.
  const HWND owner = IsWindow(record->hwndOwner) ? record->hwndOwner : nullptr;
  seen.ownerEnabled = owner != nullptr && IsWindowEnabled(owner) != FALSE;
  if (seen.ownerEnabled) EnableWindow(owner, FALSE);
  struct Closing {
    HWND owner;
    bool enable;
    ~Closing() {
      if (owner == nullptr) return;
      if (enable) EnableWindow(owner, TRUE);
      SetActiveWindow(enable ? owner : AnotherProgramsWindow());
    }
  } closing{owner, seen.ownerEnabled};
  return Ui().AnswerDialog(seen, reinterpret_cast<char16_t*>(record->lpstrFile));
}

std::wstring Wide(const std::string& ansi) {
  return reinterpret_cast<const wchar_t*>(Widened(ansi).c_str());
}

// Gives `visit` each entry directly inside a folder, with its path; wide, so
// that names the ANSI code page lacks are found too.
template <class Visit>
void ForEachEntry(std::wstring folder, Visit visit) {
  if (folder.back() != L'\\') folder += L'\\';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") visit(folder + name, found);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// Everything in a folder: a folder in it emptied and removed, a file deleted,
// read-only or not.
void EmptyFolder(const std::wstring& path) {
  ForEachEntry(path, [](const std::wstring& child, const WIN32_FIND_DATAW& found) {
    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      EmptyFolder(child);
      RemoveDirectoryW(child.c_str());
    } else {
      DeleteFileW(child.c_str());
    }
  });
}

// Without a best-fit form: a character the code page lacks is its default.
std::string NarrowedTo(UINT codePage, const std::u16string& wide) {
  std::string narrow(2 * wide.size() + 1, '\0');
  WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, reinterpret_cast<LPCWSTR>(wide.c_str()), -1,
                      &narrow[0], static_cast<int>(narrow.size()), nullptr, nullptr);
  return narrow.c_str();
}

}  // namespace

StandIns responders;  // of the loaded module, until it is unloaded
void* realLwrite = nullptr;
std::vector<uint32> lowLevelWrites;

// Counts each _lwrite of the module and passes it on to the real one.
UINT WINAPI RecordedLwrite(HFILE file, LPCCH data, UINT count) {
  lowLevelWrites.push_back(count);
  return Real(&_lwrite, realLwrite)(file, data, count);
}

void InstallResponders() {
  if (realLwrite != nullptr) return;
  const bool box = responders.Patch("MessageBoxW", ScriptedMessageBox<WCHAR>, "user32.dll", true);
  const bool ansiBox =
      responders.Patch("MessageBoxA", ScriptedMessageBox<CHAR>, "user32.dll", true);
  const bool dialog =
      responders.Patch("GetSaveFileNameW", ScriptedSaveDialog, "comdlg32.dll", true);
  realLwrite = responders.Patch("_lwrite", RecordedLwrite, "kernel32.dll", true);
  if (!(box || ansiBox) || !dialog || realLwrite == nullptr) {
    std::fprintf(stderr,
                 "TAMARISK.x32 does not import MessageBoxW, GetSaveFileNameW and _lwrite\n");
    std::exit(2);
  }
}

AnsiCodePageScope::AnsiCodePageScope(uint32 codePage)
    : available_(codePage == 0 || codePage == GetACP()) {}

AnsiCodePageScope::~AnsiCodePageScope() {}

void RemoveResponders() {
  responders.Undo();
  realLwrite = nullptr;
}

std::u16string Widened(const std::string& cp932) {
  std::u16string wide(cp932.size() + 1, u'\0');
  wide.resize(MultiByteToWideChar(CP_ACP, 0, cp932.c_str(), -1, reinterpret_cast<LPWSTR>(&wide[0]),
                                  static_cast<int>(wide.size())));
  if (!wide.empty()) wide.pop_back();  // the NUL
  return wide;
}

std::string Narrowed(const std::u16string& wide) { return NarrowedTo(CP_ACP, wide); }

std::string Cp932Of(const std::u16string& wide) { return NarrowedTo(932, wide); }

void SetProcessNewHandler(NewHandler handler) {
  using Setter = NewHandler(__cdecl*)(NewHandler);
  const Setter set = reinterpret_cast<Setter>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("msvcrt.dll"), "?_set_new_handler@@YAP6AHI@ZP6AHI@Z@Z")));
  ASSERT_NE(nullptr, set) << "msvcrt exports no _set_new_handler";
  set(handler);
}

void ResetFiles() {
  SetCurrentFolder("C:\\");  // a folder that is the current one cannot be removed
  EmptyFolder(Wide(Root()));
  CreateDirectoryA(Root().c_str(), nullptr);  // on the first run
  SetCurrentFolder(Root());
}

void SetCurrentFolder(const std::string& path) { SetCurrentDirectoryA(path.c_str()); }

void WriteFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

bool ReadFile(const std::string& path, std::string* bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char chunk[65536];
  DWORD got = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes->append(chunk, got);
  CloseHandle(file);
  return true;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeDirectory(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

void RemoveFile(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

std::string NameOnDisk(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::string();
  FindClose(search);
  return found.cFileName;
}

bool CanOpenExclusively(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

void SetReadOnly(const std::string& path, bool readOnly) {
  SetFileAttributesA(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

void SetHidden(const std::string& path) {
  SetFileAttributesA(path.c_str(), GetFileAttributesA(path.c_str()) | FILE_ATTRIBUTE_HIDDEN);
}

std::string CopiedFacts(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return "<missing>";
  return std::string(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY ? "read-only " : "") +
         (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN ? "hidden " : "") +
         std::to_string(data.ftLastWriteTime.dwHighDateTime) + ":" +
         std::to_string(data.ftLastWriteTime.dwLowDateTime);
}

bool MarkedForBackup(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_ARCHIVE) != 0;
}

ExclusiveHold::ExclusiveHold(const std::string& path) : path_(path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  handle_ = file == INVALID_HANDLE_VALUE ? nullptr : file;
}

ExclusiveHold::~ExclusiveHold() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

std::string TemporaryDigits() {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%05lu", GetCurrentThreadId() % 100000);
  return digits;
}

// Drive R: of the test prefix maps a folder of /proc, where not even root
// can create a file.
std::string UnwritableFolder() { return "R:\\"; }

std::string SmallDrive() {
  if (GetDriveTypeA("T:\\") == DRIVE_NO_ROOT_DIR) return "";
  EmptyFolder(L"T:");
  return "T:";
}

std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> listing;
  ForEachEntry(Wide(folder), [&](const std::wstring&, const WIN32_FIND_DATAW& found) {
    // The name as FindFirstFileA gives it: best fitted to the ANSI code page.
    char name[2 * MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, found.cFileName, -1, name, sizeof name, nullptr, nullptr);
    char facts[80] = "\\";
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      std::snprintf(facts, sizeof facts, " %lu %lu:%lu", found.nFileSizeLow,
                    found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime);
    }
    listing.push_back(name + std::string(facts));
  });
  std::sort(listing.begin(), listing.end());
  return listing;
}

std::vector<uint32> LowLevelWrites() { return lowLevelWrites; }

void ResetLowLevelWrites() { lowLevelWrites.clear(); }

}  // namespace test
}  // namespace tamarisk
