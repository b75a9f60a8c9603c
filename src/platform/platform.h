// The module's only way to the operating system. On Windows each function is
// a direct call of the Win32 or runtime function it is named after; the
// native build links a test double instead.
#pragma once

#include <cstdint>

#include "host/host_abi.h"

namespace tamarisk {
namespace platform {

// IsDBCSLeadByte: a lead byte of a double-byte character in the ANSI code page.
bool IsLeadByte(unsigned char byte);

// _sopen for reading, others allowed to read and write. Returns a handle, or
// -1 with the runtime's errno in *error.
int OpenForReading(const char* path, int* error);
void CloseReading(int handle);  // _close

enum class FileStatus { kNotFound, kFailed, kRegularFile, kOther };
// _stat: ENOENT is kNotFound, any other failure kFailed.
FileStatus QueryFileStatus(const char* path);

bool CopyExistingFile(const char* from, const char* to, bool failIfExists);  // CopyFileA

// MessageBoxA: the answer, or 0 when the box could not be shown.
int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, uint32 type);

// What the module asks of the platform's save dialog (GetSaveFileNameA with
// an OPENFILENAMEA of the 76-byte layout).
struct SaveDialogRequest {
  WindowHandle owner;
  InstanceHandle instance;
  const char* filter;  // pairs of NUL-ended fields, ended by an empty field
  char* file;          // in: offered name; out: the chosen full path
  uint32 fileSize;     // characters in file, including the NUL
  const char* initialDirectory;
  const char* defaultExtension;  // may be null
  uint32 flags;
};
bool ShowSaveDialog(SaveDialogRequest* request);

WindowHandle FocusedWindow();        // GetFocus
bool WindowExists(WindowHandle window);  // IsWindow
void FocusWindow(WindowHandle window);   // SetFocus

}  // namespace platform
}  // namespace tamarisk
