// The Win32 binding of the platform seam: each function is the real call.
#include <windows.h>
#include <commdlg.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "platform/platform.h"

namespace tamarisk {
namespace platform {

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

int OpenForReading(const char* path, int* error) {
  const int handle = _sopen(path, _O_RDONLY | _O_BINARY, _SH_DENYNO);
  *error = handle == -1 ? errno : 0;
  return handle;
}

void CloseReading(int handle) { _close(handle); }

FileStatus QueryFileStatus(const char* path) {
  struct _stat status;
  if (_stat(path, &status) != 0) return errno == ENOENT ? FileStatus::kNotFound : FileStatus::kFailed;
  return (status.st_mode & _S_IFREG) != 0 ? FileStatus::kRegularFile : FileStatus::kOther;
}

bool CopyExistingFile(const char* from, const char* to, bool failIfExists) {
  return CopyFileA(from, to, failIfExists ? TRUE : FALSE) != FALSE;
}

int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, uint32 type) {
  return MessageBoxA(static_cast<HWND>(owner), text, caption, type);
}

bool ShowSaveDialog(SaveDialogRequest* request) {
  OPENFILENAMEA record;
  ZeroMemory(&record, sizeof record);
  // The layout without the later extensions, which every version accepts.
  record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  record.hwndOwner = static_cast<HWND>(request->owner);
  record.hInstance = static_cast<HINSTANCE>(request->instance);
  record.lpstrFilter = request->filter;
  record.nFilterIndex = 0;
  record.lpstrFile = request->file;
  record.nMaxFile = request->fileSize;
  record.lpstrInitialDir = request->initialDirectory;
  record.lpstrDefExt = request->defaultExtension;
  record.Flags = request->flags;
  return GetSaveFileNameA(&record) != FALSE;
}

bool DeleteFileNamed(const char* path) { return DeleteFileA(path) != FALSE; }

uint32 FullPathName(const char* name, char* buffer, uint32 size) {
  return GetFullPathNameA(name, size, buffer, nullptr);
}

uint32 CurrentThreadId() { return GetCurrentThreadId(); }

bool NameIsFree(const char* path) { return _access(path, 0) == -1 && errno == ENOENT; }

OutputStream* OpenOutput(const char* path) {
  return reinterpret_cast<OutputStream*>(_fsopen(path, "wb", _SH_DENYRW));
}

bool WriteOutput(OutputStream* stream, const void* data, std::size_t size) {
  return std::fwrite(data, 1, size, reinterpret_cast<FILE*>(stream)) == size;
}

bool FlushOutput(OutputStream* stream) { return std::fflush(reinterpret_cast<FILE*>(stream)) == 0; }

bool CloseOutput(OutputStream* stream) { return std::fclose(reinterpret_cast<FILE*>(stream)) == 0; }

int CreateForWriting(const char* path) {
  OFSTRUCT info;
  return OpenFile(path, &info, OF_CREATE | OF_READWRITE);
}

uint32 WriteToFile(int file, const void* data, uint32 count) {
  return _lwrite(file, static_cast<LPCCH>(data), count);
}

void CloseFile(int file) { _lclose(file); }

void* LockGlobal(HostHandle block) { return GlobalLock(static_cast<HGLOBAL>(block)); }

void UnlockGlobal(HostHandle block) { GlobalUnlock(static_cast<HGLOBAL>(block)); }

uint32 GlobalBlockSize(HostHandle block) { return static_cast<uint32>(GlobalSize(static_cast<HGLOBAL>(block))); }

WindowHandle FocusedWindow() { return GetFocus(); }

bool WindowExists(WindowHandle window) { return IsWindow(static_cast<HWND>(window)) != FALSE; }

void FocusWindow(WindowHandle window) { SetFocus(static_cast<HWND>(window)); }

bool WindowEnabled(WindowHandle window) { return IsWindowEnabled(static_cast<HWND>(window)) != FALSE; }

void EnableWindowInput(WindowHandle window, bool enable) {
  EnableWindow(static_cast<HWND>(window), enable ? TRUE : FALSE);
}

}  // namespace platform
}  // namespace tamarisk
