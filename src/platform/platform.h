// The module's only way to the operating system. On Windows each function is
// a direct call of the Win32 or runtime function it is named after; the
// native build links a test double instead.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "base/base_types.h"
#include "base/text.h"

namespace tamarisk {
namespace platform {

// How a file call failed. Every file call of the seam reports success, and
// where its caller needs the cause, this.
enum class FileError {
  kNone,
  kNotFound,
  kExists,
  kAccessDenied,
  kInUse,    // a sharing or lock violation: another program has it open, maybe briefly
  kTooLong,  // longer than the platform can open (MAX_PATH)
  kOther,
  kCancelled  // by the user
};

enum class FileStatus { kNotFound, kFailed, kRegularFile, kOther };
// _stat: ENOENT is kNotFound, any other failure kFailed.
FileStatus QueryFileStatus(const char* path);

// The longest path the platform's ANSI file calls take, without the NUL.
constexpr std::size_t kPlatformPathLimit = 259;

// ---- files by handle, for the copy engine -------------------------------------
// A platform handle (a file's or a thread's); released with CloseHandleOf.
using Handle = void*;
void CloseHandleOf(Handle handle);  // CloseHandle

// What the copy takes from its source besides the bytes.
struct SourceFacts {
  std::uint64_t size;
  uint32 attributes;
  std::uint64_t lastWrite;  // FILETIME, as a number
};
// CreateFileA(GENERIC_READ, others may read, write and delete, OPEN_EXISTING)
// and, unless facts is null, GetFileInformationByHandleEx. A folder is
// kAccessDenied, a file another program holds without sharing kInUse.
FileError OpenSource(const char* path, Handle* file, SourceFacts* facts);
// CreateFileA(GENERIC_READ | GENERIC_WRITE | DELETE, others may read and
// delete, CREATE_NEW, FILE_ATTRIBUTE_NORMAL): never a file that is already
// there, not even a symbolic link to a missing file (FILE_FLAG_OPEN_REPARSE_POINT).
// Read and write, as the platform advises for files across a network;
// delete, so that it can be removed through this handle where the folder lets
// no one delete by name; delete sharing, so that it can be renamed while open.
FileError CreateTarget(const char* path, Handle* file);
// CreateFileA(GENERIC_READ | DELETE, no sharing, OPEN_EXISTING): refused
// (kInUse) while any other handle of the file is open.
FileError OpenAlone(const char* path, Handle* file);
// SetFileInformationByHandle(FileDispositionInfo): marked, the file goes
// when its last handle is closed, even by a process that ends; the mark can
// be cleared again. False when the drive takes no such mark.
bool MarkForDeletion(Handle file, bool marked);
// SetFilePointerEx(FILE_BEGIN): where the next read or write starts.
bool MoveTo(Handle file, std::uint64_t offset);
// LockFileEx(exclusive, fail at once) of every byte the file may ever hold;
// a range another program holds refuses it (kInUse).
FileError LockWholeFile(Handle file);
void UnlockWholeFile(Handle file);  // UnlockFileEx

// Which file a handle reaches, to find the same file again later.
struct FileIdentity {
  uint32 volume;
  std::uint64_t index;
  std::uint64_t size;
  std::uint64_t lastWrite;  // FILETIME, as a number
};
bool IdentityOf(Handle file, FileIdentity* identity);  // GetFileInformationByHandle

// FindFirstFileA/FindNextFileA: calls visit with the name (no folder) of
// every file that pattern ("C:\Temp\~tj*.tmp") matches.
void ForEachFile(const char* pattern, void (*visit)(const char* name, void* data), void* data);

// A file's alternate stream ("Zone.Identifier"), opened through its wide
// "\\?\" form so that a path near the platform's limit still reaches it:
// CreateFileW, for reading (OPEN_EXISTING) or made anew (CREATE_ALWAYS).
FileError OpenStream(const char* path, const char* stream, bool write, Handle* file);
FileError DeleteStream(const char* path, const char* stream);  // DeleteFileW
// ReadFile: *read is 0 at the end.
FileError ReadPiece(Handle file, void* data, uint32 size, uint32* read);
// WriteFile: kNone only when every byte was written; a short count is a full drive.
FileError WritePiece(Handle file, const void* data, uint32 size);
bool SetLastWriteTime(Handle file, std::uint64_t lastWrite);  // SetFileTime
FileError FlushToDisk(Handle file);                           // FlushFileBuffers

// ---- a copy on a thread of its own ---------------------------------------------
// Runs work(data) on a thread of the process's pool (TrySubmitThreadpoolCallback)
// that keeps the module loaded until it has returned: its own reference,
// which the pool gives back just after (FreeLibraryWhenCallbackReturns). A
// handle signalled once work has returned, to wait on; null when no thread
// could be had.
Handle StartWorker(void (*work)(void*), void* data);

// Where a copy stands. Only these moves are made: running to cancel asked
// (the person, while the copy has not committed) and running to committed
// (the copy, once nothing but putting it in place is left); a cancel asked
// first means the copy never commits and removes what it made.
enum class CopyPhase { kRunning, kCancelAsked, kCommitted };

// What a copy's worker and the thread that watches it share.
struct CopyProgress {
  std::atomic<std::uint64_t> done{0};  // bytes written
  std::atomic<std::uint64_t> total{0};
  std::atomic<CopyPhase> phase{CopyPhase::kRunning};

  // The person's cancel: true when the copy will not commit.
  bool AskToCancel() {
    CopyPhase running = CopyPhase::kRunning;
    return phase.compare_exchange_strong(running, CopyPhase::kCancelAsked) ||
           running == CopyPhase::kCancelAsked;
  }
  // The copy's commitment: false when a cancel came first.
  bool Commit() {
    CopyPhase running = CopyPhase::kRunning;
    return phase.compare_exchange_strong(running, CopyPhase::kCommitted) ||
           running == CopyPhase::kCommitted;
  }
  bool cancelAsked() const { return phase.load() == CopyPhase::kCancelAsked; }
  bool committed() const { return phase.load() == CopyPhase::kCommitted; }
};

// The texts a progress window shows besides the percentage, made by the
// caller: how much of how much, and about how long is left (empty until it
// can tell).
using DescribeProgress = void (*)(std::uint64_t done, std::uint64_t total, uint32 elapsedMs,
                                  char* amount, char* left, std::size_t capacity);

struct CopyWatch {
  Handle worker;  // signalled when the copy has ended
  CopyProgress* progress;
  WindowHandle owner;  // the host's window
  const char* caption;
  const char* cancelText;  // the cancel button's
  const char* shownName;   // what the window names the copy by
  DescribeProgress describe;
};

enum class WatchEnd { kEnded, kAbandoned };
// How long after a cancel the watcher still waits for a copy that has not
// committed: a read that hangs (a bad disc, a dropped share) is not waited
// for; the copy removes what it made once the read returns.
constexpr uint32 kCancelGraceMs = 500;
constexpr uint32 kShowProgressAfterMs = 1000;  // a copy that ends sooner shows nothing
// Whether the watcher may stop waiting: only for a copy that will never
// commit, and only once it has had its grace.
inline bool MayStopWaiting(const CopyProgress& progress, uint32 sinceCancelMs) {
  return progress.cancelAsked() && sinceCancelMs >= kCancelGraceMs;
}
// Runs this thread's messages until the worker has ended, however many keep
// coming, with the owner's top-level window taking no input from the first
// moment. A copy that lasts longer than a second shows a progress window;
// its cancel button asks the copy to cancel, and is disabled once the copy
// has committed. A copy that will not commit and has not ended soon after a
// cancel is left to end on its own: kAbandoned. A WM_QUIT is kept for the
// host's own loop.
WatchEnd WatchCopy(const CopyWatch& watch);

// MoveFileExA with MOVEFILE_WRITE_THROUGH, and MOVEFILE_REPLACE_EXISTING when
// replace: a rename that happens whole or not at all. Without replace it
// fails when to exists.
FileError MoveOnto(const char* from, const char* to, bool replace);
// CreateFileA(GENERIC_WRITE, OPEN_EXISTING), closed at once: the file itself
// may be written, whatever its folder allows.
bool CanWriteInPlace(const char* path);

// What GetFileInformationByHandleEx (FileBasicInfo, FileStandardInfo) tells
// of an existing file.
struct FileFacts {
  uint32 attributes;
  std::uint64_t size;
  uint32 links;  // hard links: names of the same data
};
using tamarisk::WideChar;

// GetFinalPathNameByHandleW(VOLUME_NAME_DOS) of the file or folder that path
// reaches (a symbolic link's target), each name as stored, as the call
// answers: "\\?\C:\..." for a drive's, "\\?\UNC\server\share\..." for a
// share's. The characters written, without the NUL; 0 when the path cannot be
// opened, the call fails or its answer does not fit in capacity.
uint32 FinalPathName(const char* path, WideChar* buffer, uint32 capacity);

// What a replacement needs of the file that path reaches, from one open of
// it (CreateFileA(GENERIC_WRITE | DELETE, every sharing, OPEN_EXISTING), or
// where that is refused, one only to ask about it): its facts, whether it may
// be replaced by a rename (the first open succeeded: nobody holds it without
// delete sharing), and its final path as FinalPathName gives it into
// finalPath (finalLength 0 when there is none). False when it cannot be
// opened or its facts cannot be read.
struct ReachedFile {
  FileFacts facts;
  bool replaceable;
  uint32 finalLength;
};
bool QueryReachedFile(const char* path, WideChar* finalPath, uint32 capacity,
                      ReachedFile* reached);
// GetCompressedFileSizeA: the bytes the file occupies on its drive, which a
// compressed or sparse file's size overstates.
bool OccupiedSize(const char* path, std::uint64_t* bytes);
// GetTempPathA: the user's folder for temporary files, with its final
// separator. False when it does not fit in size.
bool TemporaryFolder(char* buffer, uint32 size);
// CreateFileA(GENERIC_READ | GENERIC_WRITE, others may read and write,
// OPEN_EXISTING): the file as it is, never created or emptied by the open, so
// it keeps its attributes, links and security; a viewer that shares it
// stands not in the way.
FileError OpenToOverwrite(const char* path, Handle* file);
FileError EndFileHere(Handle file);  // SetEndOfFile
// GetDiskFreeSpaceExA: the bytes the caller may still write in folder.
bool FreeSpace(const char* folder, std::uint64_t* bytes);
// SetFileAttributesA.
FileError SetAttributes(const char* path, uint32 attributes);
void Pause(uint32 milliseconds);  // Sleep

// MessageBoxW: the answer, or 0 when the box could not be shown. Wide, so
// that the module's Japanese reads on a system of any code page.
int ShowMessageBox(WindowHandle owner, const WideChar* text, const WideChar* caption, uint32 type);

// The module's own texts are CP932 whatever the system's code page.
// MultiByteToWideChar(932, MB_ERR_INVALID_CHARS) of the NUL-ended text, NUL
// included: the characters written, or 0 when they do not fit in capacity.
uint32 WideFromModuleText(const char* text, WideChar* out, uint32 capacity);
// MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS) of the NUL-ended text, NUL
// included: a path, in the code page the file calls read it in. 0 when it
// does not fit or a byte is no character of that code page.
uint32 WideFromAnsiStrictly(const char* text, WideChar* out, uint32 capacity);

// MultiByteToWideChar(CP_ACP, 0) of size bytes of text, NULs included: the
// characters written to out, or 0 when they do not fit in capacity.
uint32 WideFromAnsi(const char* text, uint32 size, WideChar* out, uint32 capacity);
// WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, ..., &usedDefault) of the
// NUL-ended text into out, NUL included; where the ANSI code page is UTF-8
// (GetACP() == CP_UTF8), which takes neither, WC_ERR_INVALID_CHARS. False
// when it does not fit in capacity or when a character became the default
// character (or, in UTF-8, a lone surrogate).
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

FileError DeleteFileNamed(const char* path);  // DeleteFileA

// GetFullPathNameA: false when it failed or the path does not fit in size.
bool FullPathName(const char* name, char* buffer, uint32 size);

uint32 CurrentThreadId();  // GetCurrentThreadId

// _access(path, 0): true only when no file of that name exists; a name whose
// existence cannot be tested counts as taken.
bool NameIsFree(const char* path);

// CreateFileA(DELETE, others may read, write and delete, CREATE_NEW,
// FILE_FLAG_DELETE_ON_CLOSE): claims a name without ever truncating a file
// that is already there, for a file that goes when the keeper is closed
// (or its process ends) and every other handle of it too. Others open it
// meanwhile only sharing delete.
FileError ClaimPassingFile(const char* path, Handle* keeper);

// A buffered output file stream (CreateFileA with CREATE_ALWAYS, sharing
// only delete, as a runtime stream): created or truncated, untranslated, and
// not shared while open but with a keeper of a passing file.
struct OutputStream;
OutputStream* OpenOutput(const char* path);                                  // null on failure
bool WriteOutput(OutputStream* stream, const void* data, std::size_t size);  // fwrite
bool CloseOutput(OutputStream* stream);                                      // fclose

// CreateFileA(GENERIC_WRITE, CREATE_ALWAYS, sharing only delete), for _lwrite:
// created or truncated, its handle in *file. Unlike OpenFile, not limited to 128
// characters.
bool CreateForWriting(const char* path, int* file);
// _lwrite: true when all count bytes were written.
bool WriteToFile(int file, const void* data, uint32 count);
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
