// The module's only way to the operating system. On Windows each function is
// a direct call of the Win32 or runtime function it is named after; the
// native build links a test double instead.
#pragma once

#include <cstddef>
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

// How a file operation failed, from GetLastError.
enum class FileError { kNone, kExists, kAccessDenied, kOther };

// CopyFileA.
FileError CopyExistingFile(const char* from, const char* to, bool failIfExists);
// ReplaceFileA(replaced, replacement): replacement takes the place of replaced,
// which keeps its attributes; on failure replaced is unchanged.
bool ReplaceExistingFile(const char* replaced, const char* replacement);
// MoveFileExA without MOVEFILE_REPLACE_EXISTING: fails when to exists.
bool MoveToNewName(const char* from, const char* to);
// CreateFileA(GENERIC_WRITE, OPEN_EXISTING), closed at once: the file itself
// may be written, whatever its folder allows.
bool CanWriteInPlace(const char* path);

// MessageBoxA: the answer, or 0 when the box could not be shown.
int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, uint32 type);

// A UTF-16 code unit, the platform's wide text.
#ifdef _WIN32
using WideChar = wchar_t;
#else
using WideChar = char16_t;
#endif

// MultiByteToWideChar(CP_ACP, 0) of size bytes of text, NULs included: the
// characters written to out, or 0 when they do not fit in capacity.
uint32 WideFromAnsi(const char* text, uint32 size, WideChar* out, uint32 capacity);
// WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, ..., &usedDefault) of the
// NUL-ended text into out, NUL included. False when it does not fit in
// capacity or when a character became the default character.
bool AnsiFromWide(const WideChar* text, char* out, uint32 capacity);

// What the module asks of the platform's save dialog (GetSaveFileNameW with
// an OPENFILENAMEW of the 76-byte layout).
struct SaveDialogRequest {
  WindowHandle owner;
  InstanceHandle instance;
  const WideChar* filter;  // pairs of NUL-ended fields, ended by an empty field
  WideChar* file;          // in: offered name; out: the chosen full path
  uint32 fileSize;         // characters in file, including the NUL
  const WideChar* initialDirectory;
  const WideChar* defaultExtension;  // may be null
  uint32 flags;
};
bool ShowSaveDialog(SaveDialogRequest* request);

bool DeleteFileNamed(const char* path);  // DeleteFileA

// GetFullPathNameA: the length of the absolute path written to buffer, or
// the size it needs when that is more than size, or 0 on failure.
uint32 FullPathName(const char* name, char* buffer, uint32 size);

uint32 CurrentThreadId();  // GetCurrentThreadId

// _access(path, 0): true only when no file of that name exists; a name whose
// existence cannot be tested counts as taken.
bool NameIsFree(const char* path);

// CreateFileA(CREATE_NEW), closed at once: claims a name without ever
// truncating a file that is already there.
FileError CreateNewFile(const char* path);

// A buffered output file stream (CreateFileA with CREATE_ALWAYS and no
// sharing, as a runtime stream): created or truncated, untranslated, and not
// shared while open.
struct OutputStream;
OutputStream* OpenOutput(const char* path);                                  // null on failure
bool WriteOutput(OutputStream* stream, const void* data, std::size_t size);  // fwrite
bool FlushOutput(OutputStream* stream);                                      // fflush
bool CloseOutput(OutputStream* stream);                                      // fclose

// CreateFileA(GENERIC_WRITE, CREATE_ALWAYS, no sharing), for _lwrite: created
// or truncated; -1 on failure. Unlike OpenFile, not limited to 128 characters.
int CreateForWriting(const char* path);
// _lwrite: the bytes written, or 0xFFFFFFFF on failure.
uint32 WriteToFile(int file, const void* data, uint32 count);
void CloseFile(int file);  // _lclose

void* LockGlobal(HostHandle block);        // GlobalLock
void UnlockGlobal(HostHandle block);       // GlobalUnlock
uint32 GlobalBlockSize(HostHandle block);  // GlobalSize

// VirtualQuery over every region that [begin, begin + size) spans: true only
// when all of it is committed and readable (no PAGE_NOACCESS, no PAGE_GUARD).
bool IsReadable(const void* begin, std::size_t size);

// The process-wide new-handler of the C runtime that the host shares
// (msvcrt's _query_new_handler), called with the size. False when none is
// installed or when it answered 0: it could free nothing.
bool CallNewHandler(std::size_t size);

WindowHandle FocusedWindow();                              // GetFocus
bool WindowExists(WindowHandle window);                    // IsWindow
void FocusWindow(WindowHandle window);                     // SetFocus
bool WindowEnabled(WindowHandle window);                   // IsWindowEnabled
void EnableWindowInput(WindowHandle window, bool enable);  // EnableWindow

}  // namespace platform
}  // namespace tamarisk
