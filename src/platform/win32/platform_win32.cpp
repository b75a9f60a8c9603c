// The Win32 binding of the platform seam: each function is the real call.
#include <windows.h>
#include <commdlg.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>

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

WindowHandle FocusedWindow() { return GetFocus(); }

bool WindowExists(WindowHandle window) { return IsWindow(static_cast<HWND>(window)) != FALSE; }

void FocusWindow(WindowHandle window) { SetFocus(static_cast<HWND>(window)); }

}  // namespace platform
}  // namespace tamarisk
