// The Win32 binding of the platform seam: each function is the real call.
#include <windows.h>
#include <commdlg.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/scoped.h"
#include "platform/win32/last_error.h"

namespace tamarisk {
namespace platform {

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

void CloseHandleOf(Handle handle) { CloseHandle(handle); }

namespace {
// A handle CreateFileA gave, owned; empty when it failed (GetLastError stays).
Handle Owned(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }

// A handle CreateFileA gave, handed to the caller, or how the open failed.
FileError Opened(HANDLE handle, Handle* file) {
  if (handle == INVALID_HANDLE_VALUE) return LastFileError();
  *file = handle;
  return FileError::kNone;
}

std::uint64_t Joined(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

// What a copy asks of an open file. Not GetFileInformationByHandle, which
// also asks the volume for its serial number: on Wine a round trip to
// another process that costs a small copy half its time.
struct OpenFacts {
  uint32 attributes;
  std::uint64_t size;
  std::uint64_t lastWrite;
  uint32 links;
};
bool FactsOf(HANDLE file, OpenFacts* facts) {
  FILE_BASIC_INFO basic;
  FILE_STANDARD_INFO standard;
  if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
      !GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
    return false;
  }
  facts->attributes = basic.FileAttributes;
  facts->size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  facts->lastWrite = static_cast<std::uint64_t>(basic.LastWriteTime.QuadPart);
  facts->links = standard.NumberOfLinks;
  return true;
}
}  // namespace

FileError OpenSource(const char* path, Handle* file, SourceFacts* facts) {
  const FileError error = Opened(
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr),
      file);
  if (error != FileError::kNone || facts == nullptr) return error;
  OpenFacts about;
  if (!FactsOf(*file, &about)) return FileError::kOther;
  facts->size = about.size;
  facts->attributes = about.attributes;
  facts->lastWrite = about.lastWrite;
  return FileError::kNone;
}

FileError CreateTarget(const char* path, Handle* file) {
  // Never through a symbolic link that is already there (to a missing file):
  // the link itself is the name taken.
  return Opened(CreateFileA(path, GENERIC_READ | GENERIC_WRITE | DELETE,
                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
                file);
}

FileError OpenAlone(const char* path, Handle* file) {
  return Opened(CreateFileA(path, GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr),
                file);
}

bool MarkForDeletion(Handle file, bool marked) {
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = marked ? TRUE : FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                    sizeof disposition) != FALSE;
}

bool MoveTo(Handle file, std::uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

FileError LockWholeFile(Handle file) {
  OVERLAPPED from = {};
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                    MAXDWORD, &from) != FALSE
             ? FileError::kNone
             : LastFileError();
}

void UnlockWholeFile(Handle file) {
  OVERLAPPED from = {};
  UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &from);
}

bool IdentityOf(Handle file, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION about;
  if (!GetFileInformationByHandle(file, &about)) return false;
  identity->volume = about.dwVolumeSerialNumber;
  identity->index = Joined(about.nFileIndexHigh, about.nFileIndexLow);
  identity->size = Joined(about.nFileSizeHigh, about.nFileSizeLow);
  identity->lastWrite =
      Joined(about.ftLastWriteTime.dwHighDateTime, about.ftLastWriteTime.dwLowDateTime);
  return true;
}

void ForEachFile(const char* pattern, void (*visit)(const char* name, void* data), void* data) {
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) visit(found.cFileName, data);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

namespace {
// "\\?\C:\x:stream" or "\\?\UNC\server\share\x:stream": no length limit
// but the file system's. False when it does not fit or the path does not convert.
bool StreamPath(const char* path, const char* stream, WCHAR* out, int capacity) {
  const bool network = (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
  const WCHAR* prefix = network ? L"\\\\?\\UNC\\" : L"\\\\?\\";
  const int prefixLength = lstrlenW(prefix);
  lstrcpyW(out, prefix);
  const char* from = network ? path + 2 : path;
  const int written =
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, from, -1, out + prefixLength,
                          capacity - prefixLength);
  if (written == 0) return false;
  WCHAR* end = out + prefixLength + written - 1;
  for (WCHAR* at = out + prefixLength; at < end; ++at) {
    if (*at == L'/') *at = L'\\';  // the prefix takes the path as it is, separators too
  }
  const int left = capacity - static_cast<int>(end - out);
  const int streamLength = lstrlenA(stream);
  if (streamLength + 2 > left) return false;
  *end++ = L':';
  for (int i = 0; i <= streamLength; ++i) end[i] = static_cast<WCHAR>(stream[i]);
  return true;
}
}  // namespace

FileError OpenStream(const char* path, const char* stream, bool write, Handle* file) {
  WCHAR name[kTextBufferSize + 64];
  if (!StreamPath(path, stream, name, static_cast<int>(sizeof name / sizeof name[0])))
    return FileError::kTooLong;
  return Opened(write ? CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)
                      : CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr),
                file);
}

FileError DeleteStream(const char* path, const char* stream) {
  WCHAR name[kTextBufferSize + 64];
  if (!StreamPath(path, stream, name, static_cast<int>(sizeof name / sizeof name[0])))
    return FileError::kTooLong;
  return DeleteFileW(name) != FALSE ? FileError::kNone : LastFileError();
}

FileError ReadPiece(Handle file, void* data, uint32 size, uint32* read) {
  DWORD got = 0;
  if (!ReadFile(file, data, size, &got, nullptr)) return LastFileError();
  *read = got;
  return FileError::kNone;
}

FileError WritePiece(Handle file, const void* data, uint32 size) {
  DWORD written = 0;
  if (!WriteFile(file, data, size, &written, nullptr)) return LastFileError();
  return written == size ? FileError::kNone : FileError::kOther;
}

bool SetLastWriteTime(Handle file, std::uint64_t lastWrite) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(lastWrite);
  time.dwHighDateTime = static_cast<DWORD>(lastWrite >> 32);
  return SetFileTime(file, nullptr, nullptr, &time) != FALSE;
}

FileError FlushToDisk(Handle file) {
  return FlushFileBuffers(file) != FALSE ? FileError::kNone : LastFileError();
}

FileStatus QueryFileStatus(const char* path) {
  struct _stat status;
  if (_stat(path, &status) != 0)
    return errno == ENOENT ? FileStatus::kNotFound : FileStatus::kFailed;
  return (status.st_mode & _S_IFREG) != 0 ? FileStatus::kRegularFile : FileStatus::kOther;
}

FileError MoveOnto(const char* from, const char* to, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return MoveFileExA(from, to, flags) != FALSE ? FileError::kNone : LastFileError();
}

namespace {
bool Opens(const char* path, DWORD access, DWORD sharing) {
  const OwnedHandle file(Owned(
      CreateFileA(path, access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  return file.get() != nullptr;
}
// Opened only to ask about it, whoever else has it open.
Handle OpenToQuery(const char* path) {
  return Owned(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}
}  // namespace

bool CanWriteInPlace(const char* path) {
  return Opens(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
}

namespace {
// A buffer too small gets no path, only the size it would take.
uint32 FinalPathOf(HANDLE file, WideChar* buffer, uint32 capacity) {
  const DWORD length = GetFinalPathNameByHandleW(file, buffer, capacity, VOLUME_NAME_DOS);
  return length < capacity ? length : 0;
}
}  // namespace

bool QueryReachedFile(const char* path, WideChar* finalPath, uint32 capacity,
                      ReachedFile* reached) {
  // Opened as a rename onto it needs; one that cannot be is only asked about.
  OwnedHandle file(Owned(CreateFileA(path, GENERIC_WRITE | DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  reached->replaceable = file.get() != nullptr;
  if (!reached->replaceable) *file.out() = OpenToQuery(path);
  OpenFacts facts;
  if (file.get() == nullptr || !FactsOf(file.get(), &facts)) return false;
  reached->facts.attributes = facts.attributes;
  reached->facts.size = facts.size;
  reached->facts.links = facts.links;
  reached->finalLength = FinalPathOf(file.get(), finalPath, capacity);
  return true;
}

uint32 FinalPathName(const char* path, WideChar* buffer, uint32 capacity) {
  const OwnedHandle file(OpenToQuery(path));
  return file.get() != nullptr ? FinalPathOf(file.get(), buffer, capacity) : 0;
}

bool OccupiedSize(const char* path, std::uint64_t* bytes) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = GetCompressedFileSizeA(path, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  *bytes = Joined(high, low);
  return true;
}

bool TemporaryFolder(char* buffer, uint32 size) {
  const DWORD length = GetTempPathA(size, buffer);
  return length != 0 && length < size;
}

FileError OpenToOverwrite(const char* path, Handle* file) {
  return Opened(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                file);
}

FileError EndFileHere(Handle file) {
  return SetEndOfFile(file) != FALSE ? FileError::kNone : LastFileError();
}

bool FreeSpace(const char* folder, std::uint64_t* bytes) {
  ULARGE_INTEGER available;
  if (GetDiskFreeSpaceExA(folder, &available, nullptr, nullptr) == FALSE) return false;
  *bytes = available.QuadPart;
  return true;
}

FileError SetAttributes(const char* path, uint32 attributes) {
  return SetFileAttributesA(path, attributes) != FALSE ? FileError::kNone : LastFileError();
}

void Pause(uint32 milliseconds) { Sleep(milliseconds); }

FileError ClaimPassingFile(const char* path, Handle* keeper) {
  return Opened(CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr),
                keeper);
}

int ShowMessageBox(WindowHandle owner, const WideChar* text, const WideChar* caption, uint32 type) {
  return MessageBoxW(static_cast<HWND>(owner), text, caption, type);
}

namespace {
constexpr UINT kModuleCodePage = 932;

uint32 WideStrictly(UINT codePage, const char* text, WideChar* out, uint32 capacity) {
  const int written = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, out,
                                          static_cast<int>(capacity));
  return written > 0 ? static_cast<uint32>(written) : 0;
}
}  // namespace

uint32 WideFromModuleText(const char* text, WideChar* out, uint32 capacity) {
  return WideStrictly(kModuleCodePage, text, out, capacity);
}

uint32 WideFromAnsiStrictly(const char* text, WideChar* out, uint32 capacity) {
  return WideStrictly(CP_ACP, text, out, capacity);
}

uint32 WideFromAnsi(const char* text, uint32 size, WideChar* out, uint32 capacity) {
  const int written =
      MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), out, static_cast<int>(capacity));
  return written > 0 ? static_cast<uint32>(written) : 0;
}

bool AnsiFromWide(const WideChar* text, char* out, uint32 capacity) {
  // UTF-8 holds every character; it refuses the best-fit flag and the
  // used-default answer, and only a lone surrogate fails the strict form.
  if (GetACP() == CP_UTF8) {
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, out,
                               static_cast<int>(capacity), nullptr, nullptr) > 0;
  }
  BOOL usedDefault = FALSE;
  const int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out,
                                          static_cast<int>(capacity), nullptr, &usedDefault);
  return written > 0 && usedDefault == FALSE;
}

bool ShowSaveDialog(SaveDialogRequest* request) {
  OPENFILENAMEW record;
  ZeroMemory(&record, sizeof record);
  // The layout without the later extensions, which every version accepts.
  record.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  record.hwndOwner = static_cast<HWND>(request->owner);
  record.hInstance = static_cast<HINSTANCE>(request->instance);
  record.lpstrFilter = request->filter;
  record.nFilterIndex = 0;
  record.lpstrFile = request->file;
  record.nMaxFile = request->fileSize;
  record.lpstrInitialDir = request->initialDirectory;
  record.lpstrDefExt = request->defaultExtension;
  record.Flags = request->flags;
  return GetSaveFileNameW(&record) != FALSE;
}

FileError DeleteFileNamed(const char* path) {
  return DeleteFileA(path) != FALSE ? FileError::kNone : LastFileError();
}

bool FullPathName(const char* name, char* buffer, uint32 size) {
  const DWORD length = GetFullPathNameA(name, size, buffer, nullptr);
  return length != 0 && length < size;
}

uint32 CurrentThreadId() { return GetCurrentThreadId(); }

bool NameIsFree(const char* path) { return _access(path, 0) == -1 && errno == ENOENT; }

namespace {
// Opened for writing, created or emptied, shared with nobody but a keeper.
HANDLE OpenTruncated(const char* path) {
  return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

OutputStream* OpenOutput(const char* path) {
  OwnedHandle file(Owned(OpenTruncated(path)));
  if (file.get() == nullptr) return nullptr;
  const int descriptor =
      _open_osfhandle(reinterpret_cast<intptr_t>(file.get()), _O_WRONLY | _O_BINARY);
  if (descriptor == -1) return nullptr;
  file.Release();  // the descriptor's now
  FILE* stream = _fdopen(descriptor, "wb");
  if (stream == nullptr) _close(descriptor);  // closes the handle too
  return reinterpret_cast<OutputStream*>(stream);
}

bool WriteOutput(OutputStream* stream, const void* data, std::size_t size) {
  return std::fwrite(data, 1, size, reinterpret_cast<FILE*>(stream)) == size;
}

bool CloseOutput(OutputStream* stream) { return std::fclose(reinterpret_cast<FILE*>(stream)) == 0; }

bool CreateForWriting(const char* path, int* file) {
  const HANDLE handle = OpenTruncated(path);
  // An HFILE is the handle's value, which _lwrite and _lclose take.
  *file =
      handle == INVALID_HANDLE_VALUE ? -1 : static_cast<int>(reinterpret_cast<intptr_t>(handle));
  return *file != -1;
}

bool WriteToFile(int file, const void* data, uint32 count) {
  return _lwrite(file, static_cast<LPCCH>(data), count) == count;
}

void CloseFile(int file) { _lclose(file); }

void* LockGlobal(HostHandle block) { return ::GlobalLock(static_cast<HGLOBAL>(block)); }

void UnlockGlobal(HostHandle block) { GlobalUnlock(static_cast<HGLOBAL>(block)); }

uint32 GlobalBlockSize(HostHandle block) {
  return static_cast<uint32>(GlobalSize(static_cast<HGLOBAL>(block)));
}

bool IsReadable(const void* begin, std::size_t size) {
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  const uintptr_t first = reinterpret_cast<uintptr_t>(begin);
  if (size == 0) return true;
  if (first == 0 || size - 1 > UINTPTR_MAX - first) return false;
  const uintptr_t last = first + (size - 1);
  for (uintptr_t at = first;;) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0) return false;
    if (region.State != MEM_COMMIT || (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0 ||
        (region.Protect & kReadable) == 0) {
      return false;
    }
    const uintptr_t base = reinterpret_cast<uintptr_t>(region.BaseAddress);
    if (region.RegionSize - 1 >= last - base) return true;  // the region reaches the last byte
    at = base + region.RegionSize;
  }
}

bool CallNewHandler(std::size_t size) {
  // The host and the module share msvcrt's handler; the module's own runtime,
  // linked in, has one that nobody sets.
  using Handler = int(__cdecl*)(size_t);
  using Query = Handler(__cdecl*)();
  const HMODULE runtime = GetModuleHandleA("msvcrt.dll");
  if (runtime == nullptr) return false;
  const Query query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(runtime, "?_query_new_handler@@YAP6AHI@ZXZ")));
  if (query == nullptr) return false;
  const Handler handler = query();
  return handler != nullptr && handler(size) != 0;
}

WindowHandle FocusedWindow() { return GetFocus(); }

bool WindowExists(WindowHandle window) { return IsWindow(static_cast<HWND>(window)) != FALSE; }

void FocusWindow(WindowHandle window) { SetFocus(static_cast<HWND>(window)); }

bool WindowEnabled(WindowHandle window) {
  return IsWindowEnabled(static_cast<HWND>(window)) != FALSE;
}

void EnableWindowInput(WindowHandle window, bool enable) {
  EnableWindow(static_cast<HWND>(window), enable ? TRUE : FALSE);
}

}  // namespace platform
}  // namespace tamarisk
