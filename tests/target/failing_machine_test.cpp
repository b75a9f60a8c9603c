// The real TAMARISK.x32 on a Windows machine that fails as Windows machines
// do and Wine by itself does not: a virus scanner that holds every new file
// for a moment, a rename refused with each code the platform documents,
// another program that takes a name between the check and the create, and
// links. Whatever happens, the user keeps the old file or the new one whole,
// and nothing else is left in the folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/host_fixture.h"
#include "support/packed_dib.h"
#include "support/scenario_rows.h"
#include "support/target_module.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;

// ---- the stand-ins for one import at a time ------------------------------------
// Each calls the import it replaced through refusal.real, which its test
// sets; a test that needs a second real import keeps it apart.

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// MoveFileExA refused as Refusing's, each call noted.
struct Move {
  std::string from;
  std::string to;
  DWORD flags;
};
std::vector<Move> moves;
BOOL WINAPI ScriptedMove(LPCSTR from, LPCSTR to, DWORD flags) {
  moves.push_back({from, to, flags});
  return RefusedCall<BOOL>(from, to, flags);
}

// WriteFile that writes half of what it is given and says so, with success,
// as the platform allows.
BOOL WINAPI HalfWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED at) {
  const DWORD part = refusal.Refused() ? size / 2 : size;
  return Real(&::WriteFile, refusal.real)(file, data, part, done, at);
}

// GetFinalPathNameByHandleW as for a file that a link reaches on a share or
// in a long folder: a file of Out is answered as one under `outMapped`. A
// buffer too small gets only a part, the platform promising nothing of it.
std::wstring outMapped;

DWORD WINAPI AnsweredAsMapped(HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
  wchar_t real[MAX_PATH + 16] = {};
  const DWORD length =
      Real(&GetFinalPathNameByHandleW, refusal.real)(file, real, MAX_PATH + 16, flags);
  if (length == 0 || length >= MAX_PATH + 16) return length;
  std::wstring answer = real;
  const std::wstring out = Wide("\\\\?\\" + Root() + "\\Out\\");
  if (_wcsnicmp(answer.c_str(), out.c_str(), out.size()) == 0)
    answer = outMapped + answer.substr(out.size());
  const std::size_t copied = std::min<std::size_t>(answer.size(), size - 1);
  std::memcpy(path, answer.c_str(), copied * sizeof(wchar_t));
  path[copied] = L'\0';
  return static_cast<DWORD>(answer.size() < size ? answer.size() : answer.size() + 1);
}

// The file's final path answered as mapped, and then none, for its folder.
DWORD WINAPI MappedThenRefused(HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
  if (refusal.Refused()) return 0;
  return AnsweredAsMapped(file, path, size, flags);
}

// GetDiskFreeSpaceExA with room for Data\new.bin's bytes where Out\kept.bin
// is, counting what that occupies, and not a byte more.
BOOL WINAPI ExactRoom(LPCSTR, PULARGE_INTEGER free, PULARGE_INTEGER, PULARGE_INTEGER) {
  ++refusal.calls;
  free->QuadPart = Content(Root() + "\\Data\\new.bin").size() -
                   GetCompressedFileSizeA((Root() + "\\Out\\kept.bin").c_str(), nullptr);
  return TRUE;
}

// The file's index, which all its names share and a rename onto it changes.
DWORD FileIndex(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION about = {};
  GetFileInformationByHandle(file, &about);
  CloseHandle(file);
  return about.nFileIndexLow;
}

// An ANSI code page of UTF-8 (65001): WideCharToMultiByte refuses every
// flag but WC_ERR_INVALID_CHARS, and a default character or its answer.
UINT WINAPI Utf8CodePage() { return CP_UTF8; }
// MessageBoxA where the ANSI code page is UTF-8: its bytes read as UTF-8.
int WINAPI Utf8MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  const auto wide = [](LPCSTR utf8) {
    std::u16string out(std::strlen(utf8) + 1, u'\0');
    const int written = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, reinterpret_cast<LPWSTR>(&out[0]),
                                            static_cast<int>(out.size()));
    out.resize(written > 0 ? static_cast<std::size_t>(written - 1) : 0);
    return out;
  };
  return Ui().AnswerMessage(owner, wide(text), wide(caption), type);
}
int WINAPI ConvertedAsUtf8(UINT codePage, DWORD flags, LPCWCH wide, int wideSize, LPSTR out,
                           int outSize, LPCCH defaultChar, LPBOOL usedDefault) {
  if (codePage == CP_ACP || codePage == CP_UTF8) {
    const bool otherFlags = (flags & ~DWORD{WC_ERR_INVALID_CHARS}) != 0;
    if (otherFlags || defaultChar != nullptr || usedDefault != nullptr) {
      SetLastError(otherFlags ? ERROR_INVALID_FLAGS : ERROR_INVALID_PARAMETER);
      return 0;
    }
    codePage = CP_UTF8;
  }
  return Real(&WideCharToMultiByte, refusal.real)(codePage, flags, wide, wideSize, out, outSize,
                                                  defaultChar, usedDefault);
}

// CreateFileA while another program makes `appearing` just before the
// module creates it new.
std::string appearing;

HANDLE WINAPI AppearsBeforeCreate(LPCSTR path, DWORD access, DWORD share,
                                  LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                  HANDLE model) {
  const auto real = Real(&CreateFileA, refusal.real);
  if (disposition == CREATE_NEW && _stricmp(path, appearing.c_str()) == 0) {
    const HANDLE theirs = real(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(theirs, "theirs", 6, &written, nullptr);
    CloseHandle(theirs);
  }
  return real(path, access, share, security, disposition, flags, model);
}

// _lwrite whose refused calls write one byte less than asked, as on a drive
// that has just filled.
UINT WINAPI ShortLwrite(HFILE file, LPCCH data, UINT count) {
  if (refusal.Refused()) {
    if (count <= 1) return 0;
    --count;
  }
  return Real(&_lwrite, refusal.real)(file, data, count);
}

// GetCompressedFileSizeA for a compressed file: it occupies 64 KiB.
DWORD WINAPI CompressedTo64KiB(LPCSTR, LPDWORD high) {
  if (high != nullptr) *high = 0;
  return 64 << 10;
}

// A C runtime call that fails with `error`: _access finding every name free
// (the check passes, and another program made the file meanwhile), or _stat
// failing for a reason other than a missing file.
template <int error, class... Args>
int __cdecl RuntimeRefused(Args...) {
  errno = error;
  return -1;
}

// ---- a virus scanner -----------------------------------------------------------

// Opens every file the module writes in a folder without sharing, once the
// module has closed it, and holds it for 50 to 200 ms, as an on-access
// scanner does. A real one is woken by the close of a file written; here the
// module's CloseHandle of a handle it wrote through, passed on to the real
// one, wakes it and returns once the scanner holds the file.
class Scanner {
 public:
  explicit Scanner(const std::string& folder) : folder_(folder) {
    active = this;
    realClose_ = standIns_.Patch("CloseHandle", CloseThenScan);
    refusal.real = standIns_.Patch("WriteFile", NoteTheWrite);
    thread_ = std::thread([this] { Run(); });
  }
  ~Scanner() {
    stop_ = true;
    thread_.join();
    standIns_.Undo();
    active = nullptr;
  }
  // The files written that it held.
  int holds() const { return holds_; }

 private:
  static BOOL WINAPI NoteTheWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD done,
                                  LPOVERLAPPED at) {
    {
      std::lock_guard<std::mutex> lock(active->mutex_);
      active->written_.insert(file);
    }
    return Real(&::WriteFile, refusal.real)(file, data, size, done, at);
  }

  static BOOL WINAPI CloseThenScan(HANDLE handle) {
    char path[MAX_PATH + 8] = {};
    const DWORD length = GetFinalPathNameByHandleA(handle, path, sizeof path, VOLUME_NAME_DOS);
    bool written = false;
    {
      std::lock_guard<std::mutex> lock(active->mutex_);
      written = active->written_.erase(handle) != 0;
    }
    const BOOL closed = Real(&CloseHandle, active->realClose_)(handle);
    // Wine names a handle by the name it was opened under, even once the
    // file is renamed: such a file is not looked for there.
    if (closed && written && length > 4 && length < sizeof path &&
        GetFileAttributesA(path + 4) != INVALID_FILE_ATTRIBUTES) {
      active->Take(path + 4);  // after "\\?\"
    }
    return closed;
  }

  // Hands a closed file to the scanner and waits until it has it open.
  void Take(const std::string& path) {
    if (Lower(path).compare(0, folder_.size() + 1, Lower(folder_) + "\\") != 0) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      taken_ = false;
      next_ = path;
    }
    while (!taken_ && !stop_) Sleep(0);
  }

  void Run() {
    unsigned turn = 0;
    while (!stop_) {
      std::string path;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        path.swap(next_);
      }
      if (path.empty()) {
        Sleep(1);
        continue;
      }
      const HANDLE file =
          CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      taken_ = true;
      if (file == INVALID_HANDLE_VALUE) continue;
      ++holds_;
      Sleep(50 + (turn++ * 37) % 151);
      CloseHandle(file);
    }
  }

  static Scanner* active;
  std::string folder_;
  StandIns standIns_;
  void* realClose_ = nullptr;
  std::set<HANDLE> written_;
  std::mutex mutex_;
  std::string next_;  // the file to take next
  std::atomic<bool> taken_{false};
  std::atomic<bool> stop_{false};
  std::atomic<int> holds_{0};
  std::thread thread_;
};
Scanner* Scanner::active = nullptr;

// ---- the scenarios ---------------------------------------------------------------

class FailingMachine : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    MakeStage();
    WriteFile(Src(), kNew);
    NewScripting();
    moves.clear();
  }
  void TearDown() override {
    standIns.Undo();
    HostTest::TearDown();
  }

  // A fresh script whose user answers the next question Yes.
  void AnswerYes() {
    Ui().Reset(&host);
    Ui().answers = {x::kIdYes};
  }
  std::string Src() { return Root() + "\\Data\\new.bin"; }
  std::vector<std::string> OutListing() { return FolderListing(Root() + "\\Out"); }
  std::string Out(const std::string& name) { return Root() + "\\Out\\" + name; }

  const std::string kNew = std::string(300000, 'n') + std::string("\0end", 4);
  StandIns standIns;
};

TEST_F(FailingMachine, AScannerHoldingEveryNewFile) {
  constexpr int kRounds = 8;
  int holds = 0;
  {
    Scanner scanner(Root() + "\\Out");
    for (int round = 0; round < kRounds; ++round) {
      SCOPED_TRACE(round);
      const std::string name = "file" + std::to_string(round) + ".bin";
      WriteFile(Out(name), "old");
      Ui().answers = {x::kIdYes};
      EXPECT_EQ(0, CallPlovers(Src(), Out(name)));
      EXPECT_EQ(0, CallPlovers(Src(), Out("new" + name)));
    }
    holds = scanner.holds();
  }
  // Read once the scanner has let go of everything.
  for (int round = 0; round < kRounds; ++round) {
    const std::string name = "file" + std::to_string(round) + ".bin";
    EXPECT_TRUE(Content(Out(name)) == kNew) << name;
    EXPECT_TRUE(Content(Out("new" + name)) == kNew) << name;
  }
  EXPECT_EQ(kRounds, holds) << "every new file was held once the module let it go";
  EXPECT_EQ(2u * kRounds, OutListing().size()) << "only the destinations";
}

// The order of the calls that put a copy in place: flushed to the disk
// before it replaces a file, so that a power cut leaves the old file or the
// new one; a new file, with nothing at stake, is not flushed.
std::vector<std::string> placing;
void* realFlush = nullptr;
BOOL WINAPI RecordedFlush(HANDLE file) {
  placing.push_back("flush");
  return Real(&FlushFileBuffers, realFlush)(file);
}
BOOL WINAPI RecordedMove(LPCSTR from, LPCSTR to, DWORD flags) {
  placing.push_back(flags & MOVEFILE_REPLACE_EXISTING ? "replace" : "rename");
  return Real(&MoveFileExA, refusal.real)(from, to, flags);
}

TEST_F(FailingMachine, TheNewBytesAreOnTheDiskBeforeTheyReplaceTheOldFile) {
  realFlush = standIns.Patch("FlushFileBuffers", RecordedFlush);
  refusal.real = standIns.Patch("MoveFileExA", RecordedMove);
  WriteFile(Out("old.bin"), "old");
  Ui().answers = {x::kIdYes};
  placing.clear();
  EXPECT_EQ(0, CallPlovers(Src(), Out("old.bin")));
  EXPECT_EQ((std::vector<std::string>{"flush", "replace"}), placing);
  placing.clear();
  EXPECT_EQ(0, CallPlovers(Src(), Out("new.bin")));
  EXPECT_EQ(std::vector<std::string>{}, placing) << "a new file is made under its own name";
  EXPECT_TRUE(Content(Out("old.bin")) == kNew && Content(Out("new.bin")) == kNew);
}

// ---- a file system with streams -------------------------------------------------

// CreateFileW and DeleteFileW as a drive with streams answer for a file's
// Zone.Identifier stream, kept in a file of its own under Streams\ (Wine
// would make a file named with the colon); or, for a drive without streams,
// refused. A name without the "\\?\" form is held to the platform's limit.
struct Streams {
  std::string folder;
  bool refused = false;
  std::vector<std::string> made;  // the files whose mark was written
  void* real = nullptr;
  void* realDelete = nullptr;
  // The file of path's mark, or empty when path names no mark.
  std::string MarkFile(LPCWSTR path, std::string* file) {
    std::string name;
    for (const WCHAR* at = path; *at != 0; ++at) name += static_cast<char>(*at);
    const std::size_t mark = name.rfind(":Zone.Identifier");
    if (mark == std::string::npos || mark <= 2) return std::string();
    const bool whole = name.compare(0, 4, "\\\\?\\") == 0;
    *file = Lower(name.substr(whole ? 4 : 0, mark - (whole ? 4 : 0)));
    if (!whole && name.size() > MAX_PATH - 1) return "long";
    return MarkOf(*file);
  }
  std::string MarkOf(const std::string& file) const {
    return folder + "\\" + std::to_string(std::hash<std::string>()(Lower(file)));
  }
} streams;

HANDLE WINAPI StreamingCreateFile(LPCWSTR path, DWORD access, DWORD share,
                                  LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                  HANDLE model) {
  std::string file;
  const std::string mark = streams.MarkFile(path, &file);
  if (mark.empty()) {
    return Real(&CreateFileW, streams.real)(path, access, share, security, disposition, flags,
                                            model);
  }
  if (streams.refused || mark == "long") {
    SetLastError(streams.refused ? ERROR_INVALID_NAME : ERROR_FILENAME_EXCED_RANGE);
    return INVALID_HANDLE_VALUE;
  }
  if (disposition != OPEN_EXISTING) streams.made.push_back(file);
  return CreateFileA(mark.c_str(), access, share, security, disposition, flags, model);
}

BOOL WINAPI StreamingDelete(LPCWSTR path) {
  std::string file;
  const std::string mark = streams.MarkFile(path, &file);
  if (mark.empty()) return Real(&DeleteFileW, streams.realDelete)(path);
  return DeleteFileA(mark.c_str());
}

// A download's mark goes with its copy, new or replacing, renamed into
// place or written in place over a file with a mark of its own, whose mark
// it then replaces; a source without one, or a drive without streams,
// copies as any file.
TEST_F(FailingMachine, ADownloadStaysMarked) {
  const std::string marked = Root() + "\\Data\\setup.exe";
  WriteFile(marked, kNew);
  MakeDirectory(Root() + "\\Streams");
  streams = Streams();
  streams.folder = Root() + "\\Streams";
  streams.real = standIns.Patch("CreateFileW", StreamingCreateFile);
  streams.realDelete = standIns.Patch("DeleteFileW", StreamingDelete);
  refusal = {0, 0, 0};  // none refused
  refusal.real = standIns.Patch("MoveFileExA", ScriptedMove);
  WriteFile(streams.MarkOf(marked), "[ZoneTransfer]\r\nZoneId=3\r\n");
  WriteFile(Out("old.exe"), "old");
  // Near the limit: the name and its stream's suffix pass MAX_PATH together.
  const std::string deep = Root() + "\\Out\\" + std::string(240 - Root().size(), 'd');
  MakeDirectory(deep);
  const std::string longName = deep + "\\" + std::string(250 - deep.size(), 'f') + ".exe";
  struct Row {
    const char* what;
    std::string source;
    std::string destination;
    bool refused;
    bool renamed;  // made beside and renamed into place
    bool inPlace;  // the destination has a second name and a mark of its own
    bool markMade;
  } rows[] = {
      {"a new file", marked, Out("new.exe"), false, false, false, true},
      {"a replaced file", marked, Out("old.exe"), false, true, false, true},
      {"a new file near the path limit", marked, longName, false, false, false, true},
      {"written in place", marked, Out("linked.exe"), false, false, true, true},
      {"in place from a source without one", Src(), Out("linked.exe"), false, false, true, false},
      {"a source without one", Src(), Out("plain.bin"), false, false, false, false},
      {"a drive without streams", marked, Out("nostreams.exe"), true, false, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    streams.made.clear();
    streams.refused = row.refused;
    if (row.inPlace) {
      RemoveFile(Out("linked.exe"));
      RemoveFile(Out("link2.exe"));
      WriteFile(Out("linked.exe"), "old");
      ASSERT_TRUE(Linked(Out("link2.exe"), Out("linked.exe")));
      WriteFile(streams.MarkOf(Out("linked.exe")), "[ZoneTransfer]\r\nZoneId=4\r\n");
    }
    moves.clear();
    Ui().answers = {x::kIdYes};
    EXPECT_EQ(0, CallPlovers(row.source, row.destination));
    EXPECT_TRUE(Content(row.destination) == Content(row.source));
    EXPECT_EQ(row.renamed ? 1u : 0u, moves.size());
    if (row.inPlace) {
      EXPECT_EQ(row.markMade ? "[ZoneTransfer]\r\nZoneId=3\r\n" : "<missing>",
                Content(streams.MarkOf(Out("linked.exe"))))
          << "the old file's own mark is replaced";
    }
    if (!row.markMade) {
      EXPECT_EQ(std::vector<std::string>{}, streams.made);
      continue;
    }
    // Renamed, the mark was made on the file beside, and goes with it.
    ASSERT_EQ(1u, streams.made.size());
    EXPECT_EQ(Lower(row.renamed ? moves[0].from : row.destination), streams.made[0]);
    EXPECT_EQ("[ZoneTransfer]\r\nZoneId=3\r\n", Content(streams.MarkOf(streams.made[0])));
  }
  EXPECT_EQ(7u, OutListing().size()) << "only the destinations";
}

// Every file call of a copy refused as the platform documents it can be: the
// destination is the old file or the new one whole, and nothing else is
// left; a rename refused for good is reported and the file made removed. A
// copy that cannot have a thread of its own is made on the caller's.
TEST_F(FailingMachine, EveryFailureOfTheFileCalls) {
  struct Row {
    const char* what;
    const char* function;
    void* standIn;
    DWORD error;
    int32 result;
    std::size_t renames = 0;  // the renames tried, where they are refused
    int refusals = kEveryCall;
    int passes = 0;
    bool hardLink = false;  // the destination has a second name: copied in place
    bool hidden = false;    // the destination: its attributes to be kept
  };
  const char* const move = "MoveFileExA";
  void* const scripted = reinterpret_cast<void*>(ScriptedMove);
  const char* const finalPath = "GetFinalPathNameByHandleW";
  void* const noFinalPath = Refusing(&GetFinalPathNameByHandleW);
  const Row rows[] = {
      // The rename, refused every time but where the row says.
      {"rename: access denied", move, scripted, ERROR_ACCESS_DENIED, 4, 20},
      {"rename: sharing violation", move, scripted, ERROR_SHARING_VIOLATION, 4, 20},
      {"rename: lock violation", move, scripted, ERROR_LOCK_VIOLATION, 4, 20},
      {"rename: refused until the last try", move, scripted, ERROR_SHARING_VIOLATION, 0, 20, 19},
      {"rename: refused once", move, scripted, ERROR_ACCESS_DENIED, 0, 2, 1},
      {"rename: another drive", move, scripted, ERROR_NOT_SAME_DEVICE, 4, 1},
      {"rename: disk full", move, scripted, ERROR_DISK_FULL, 4, 1},
      {"rename: no such folder", move, scripted, ERROR_PATH_NOT_FOUND, 4, 1},
      // No final path: the name given is written through.
      {"no final path: no drive letter", finalPath, noFinalPath, ERROR_PATH_NOT_FOUND, 0},
      {"no final path: a file-system driver's", finalPath, noFinalPath, ERROR_INVALID_FUNCTION, 0},
      {"no final path: a share's folder not listed", finalPath, noFinalPath, ERROR_ACCESS_DENIED,
       0},
      {"no final path: no memory", finalPath, noFinalPath, ERROR_NOT_ENOUGH_MEMORY, 0},
      {"no final path, a hard link", finalPath, noFinalPath, ERROR_INVALID_PARAMETER, 0, 0,
       kEveryCall, 0, true},
      // Past the platform's limit, then none for its folder: no sign of a link.
      {"a final path too long, none for its folder", finalPath,
       reinterpret_cast<void*>(MappedThenRefused), ERROR_ACCESS_DENIED, 0, 0, kEveryCall, 1},
      {"the file's facts", "GetFileInformationByHandleEx", Refusing(&GetFileInformationByHandleEx),
       ERROR_ACCESS_DENIED, 4},
      // A drive that takes no attributes (a share that lets the user write
      // files, not attributes; FAT through a file-system driver) keeps the
      // new file's own: no reason to keep the old data over the new.
      {"every attribute: access denied", "SetFileAttributesA", Refusing(&SetFileAttributesA),
       ERROR_ACCESS_DENIED, 0, 0, kEveryCall, 0, false, true},
      {"every attribute: a device error", "SetFileAttributesA", Refusing(&SetFileAttributesA),
       ERROR_GEN_FAILURE, 0, 0, kEveryCall, 0, false, true},
      {"the free space", "GetDiskFreeSpaceExA", Refusing(&GetDiskFreeSpaceExA), ERROR_NOT_READY, 4,
       0, kEveryCall, 0, true},
      {"exactly the room for the new bytes", "GetDiskFreeSpaceExA",
       reinterpret_cast<void*>(ExactRoom), 0, 0, 0, kEveryCall, 0, true},
      {"a read after the first piece: a network drop", "ReadFile", Refusing(&::ReadFile),
       ERROR_NETNAME_DELETED, 4, 0, kEveryCall, 1},
      {"the first write: disk full", "WriteFile", Refusing(&::WriteFile), ERROR_DISK_FULL, 4},
      {"a write after the first piece", "WriteFile", Refusing(&::WriteFile), ERROR_DISK_FULL, 4, 0,
       kEveryCall, 1},
      {"no thread", "TrySubmitThreadpoolCallback", Refusing(&TrySubmitThreadpoolCallback),
       ERROR_NOT_ENOUGH_MEMORY, 0},
      {"nothing to wait on", "CreateEventW", Refusing(&CreateEventW), ERROR_NOT_ENOUGH_MEMORY, 0},
      {"a write that takes half a piece", "WriteFile", reinterpret_cast<void*>(HalfWrite), 0, 4, 0,
       kEveryCall, 1},
      {"the flush before the rename", "FlushFileBuffers", Refusing(&FlushFileBuffers),
       ERROR_NETNAME_DELETED, 4},
      {"no reference for a thread", "GetModuleHandleExA", Refusing(&GetModuleHandleExA),
       ERROR_NOT_ENOUGH_MEMORY, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ResetFiles();
    MakeStage();
    WriteFile(Src(), kNew);
    // Stored as Kept.BIN, named in lower case: the stored name is renamed onto.
    WriteFile(Out("Kept.BIN"), "old");
    if (row.hidden) SetFileAttributesA(Out("kept.bin").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(!row.hardLink || Linked(Out("other.bin"), Out("kept.bin")));
    const std::vector<std::string> before = OutListing();
    const DWORD index = FileIndex(Out("kept.bin"));
    refusal = {row.error, row.passes, row.refusals};
    moves.clear();
    standIns.Undo();
    refusal.real = standIns.Patch(row.function, row.standIn);
    // Out\kept.bin as C:\yyy...\kept.bin, one byte past the platform's limit.
    outMapped = Wide("\\\\?\\C:\\" + std::string(248, 'y') + "\\");
    AnswerYes();
    EXPECT_EQ(row.result, CallPlovers(Src(), Out("kept.bin")));
    EXPECT_GT(refusal.calls, row.passes) << "the call was made";
    if (row.renames != 0) {
      EXPECT_EQ(row.renames, moves.size());
      ASSERT_FALSE(moves.empty());
      EXPECT_EQ("Kept.BIN", moves[0].to.substr(moves[0].to.rfind('\\') + 1));
      EXPECT_EQ(DWORD{MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH}, moves[0].flags);
      EXPECT_EQ("Kept.BIN", NameOnDisk(Out("kept.bin")));
    }
    if (row.result == 0) {
      EXPECT_TRUE(Content(Out("kept.bin")) == kNew);
      EXPECT_TRUE(!row.hardLink || Content(Out("other.bin")) == kNew);
      EXPECT_EQ(row.hardLink, FileIndex(Out("kept.bin")) == index)
          << "written in place only where a rename would part its names";
      EXPECT_EQ(before.size(), OutListing().size());
    } else {
      EXPECT_TRUE(Boxes({Question(Lower(Out("kept.bin"))), {x::kCopyError}}));
      EXPECT_EQ("old", Content(Out("kept.bin")));
      EXPECT_EQ(before, OutListing());
    }
  }
}

// A new destination that another program creates between the check and the
// copy is that program's file: left alone, and nothing of ours stays.
TEST_F(FailingMachine, ANewDestinationTakenMeanwhile) {
  for (const bool readOnlySource : {false, true}) {
    SCOPED_TRACE(readOnlySource ? "read-only source" : "writable source");
    RemoveFile(Out("made.txt"));
    SetReadOnly(Src(), readOnlySource);
    appearing = Out("made.txt");
    standIns.Undo();
    refusal.real = standIns.Patch("CreateFileA", AppearsBeforeCreate);
    Ui().Reset(&host);
    EXPECT_EQ(4, CallPlovers(Src(), Out("made.txt")));
    EXPECT_TRUE(OneBox(x::kCopyError));
    EXPECT_EQ("theirs", Content(Out("made.txt")));
    EXPECT_EQ(1u, OutListing().size());
  }
  SetReadOnly(Src(), false);
}

// The existence check says a name is free; another program has taken it by
// the time the file is made. Its file is left alone and the next name used.
TEST_F(FailingMachine, ANameTakenBetweenTheCheckAndTheCreate) {
  standIns.Patch("_access", RuntimeRefused<ENOENT, const char*, int>, "msvcrt.dll");
  const std::string beside = Out("~tma" + TemporaryDigits() + ".tmp");
  WriteFile(beside, "other");
  EXPECT_EQ(0, CallPlovers(Src(), Out("x.bin")));
  EXPECT_TRUE(Content(Out("x.bin")) == kNew);
  EXPECT_EQ("other", Content(beside));
  EXPECT_EQ(2u, OutListing().size());

  // The temporary export file, in the current folder.
  const std::string temporary = Root() + "\\cxa" + TemporaryDigits();
  WriteFile(temporary, "other");
  host.casts = {{"Internal", {{1, MakeMember("t", "field", "text")}}}};
  EXPECT_EQ(0, CallAvocets(1, 1, Out("t.txt")));
  EXPECT_EQ("text", Content(Out("t.txt")));
  EXPECT_EQ("other", Content(temporary));
}

TEST_F(FailingMachine, AStatusQueryRefused) {
  standIns.Patch("_stat", RuntimeRefused<EACCES, const char*, void*>, "msvcrt.dll");
  EXPECT_EQ(4, CallPlovers(Src(), Out("x.bin")));
  EXPECT_TRUE(OneBox(x::kCopyError));
  EXPECT_FALSE(Exists(Out("x.bin")));
}

// A file opened as another program opens it, sharing reading and writing
// but not deletion.
HANDLE OpenedSharing(const std::string& path, DWORD access) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

// Another program may hold the source open for writing, sharing it; the
// copy still reads it. A destination held without delete sharing cannot be
// replaced, so it is not tried.
TEST_F(FailingMachine, FilesHeldOpenWithSharing) {
  const HANDLE writer = OpenedSharing(Src(), GENERIC_WRITE);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  EXPECT_EQ(0, CallPlovers(Src(), Out("x.bin")));
  EXPECT_TRUE(Content(Out("x.bin")) == kNew);
  CloseHandle(writer);

  WriteFile(Out("held.bin"), "old");
  const std::vector<std::string> before = OutListing();
  const HANDLE reader = OpenedSharing(Out("held.bin"), GENERIC_READ);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  AnswerYes();
  refusal = {0, 0, 0};  // none refused
  refusal.real = standIns.Patch("MoveFileExA", ScriptedMove);
  EXPECT_EQ(4, CallPlovers(Src(), Out("held.bin")));
  EXPECT_TRUE(moves.empty()) << "a replacement that cannot succeed is not tried";
  CloseHandle(reader);
  EXPECT_EQ("old", Content(Out("held.bin")));
  EXPECT_EQ(before, OutListing());
}

// A folder that lets the user make files but not delete or rename them by
// name (a class's hand-in folder, a drop box): a new file is made; a
// replacement, which needs a rename, gives 4; either way nothing else stays.
TEST_F(FailingMachine, AFolderThatLetsNoOneDeleteByName) {
  refusal = {ERROR_ACCESS_DENIED, 0};  // every call of both
  standIns.Patch("DeleteFileA", Refusing(&DeleteFileA));
  standIns.Patch("MoveFileExA", Refusing(&MoveFileExA));
  WriteFile(Out("old.bin"), "old");
  EXPECT_EQ(0, CallPlovers(Src(), Out("new.bin")));
  EXPECT_TRUE(Content(Out("new.bin")) == kNew);
  AnswerYes();
  EXPECT_EQ(4, CallPlovers(Src(), Out("old.bin")));
  EXPECT_EQ("old", Content(Out("old.bin")));
  EXPECT_EQ(2u, OutListing().size()) << "nothing else";
}

// ---- a process that ends mid-copy ----------------------------------------------------

// The host's process ended (End task, a logoff) at random moments of a copy:
// a process of this program makes the copy, its reads slowed so that every
// step is hit, and is ended from here; then a process loads the module
// once more. Each time the destination is the old file or the new one
// under every name, and nothing of the call is left, beside it or in the
// temporary folder.
// "copy FROM TO", "export TO" (a text member of 2 MiB) or "recover"
const char kChildVariable[] = "TAMARISK_KILLED_CHILD";
const char kChildCopying[] = "tamarisk-child-copying";

BOOL WINAPI SlowChildRead(HANDLE file, LPVOID data, DWORD size, LPDWORD done, LPOVERLAPPED at) {
  Sleep(25);
  return Real(&::ReadFile, refusal.real)(file, data, size, done, at);
}

// The process that is ended: only when the test below starts it.
TEST_F(FailingMachine, AProcessEndedAtAnyMomentChild) {
  char order[2 * MAX_PATH] = {};
  if (GetEnvironmentVariableA(kChildVariable, order, sizeof order) == 0) GTEST_SKIP();
  if (std::string(order) == "recover") {
    CallPlovers();  // any call looks for what was left
    return;
  }
  const std::string paths = std::strchr(order, ' ') + 1;
  refusal.real = standIns.Patch("ReadFile", SlowChildRead);
  Ui().answers = {x::kIdYes};
  SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, kChildCopying));
  if (order[0] == 'e') {
    host.casts = {{"Internal", {{1, MakeMember("m", "field", std::string(2 << 20, 'n'))}}}};
    CallAvocets(1, 1, paths);
    return;
  }
  CallPlovers(paths.substr(0, paths.find(' ')), paths.substr(paths.find(' ') + 1));
}

HANDLE StartChild(const std::string& order) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string command = "\"" + std::string(program) +
                        "\" --gtest_filter=FailingMachine.AProcessEndedAtAnyMomentChild";
  SetEnvironmentVariableA(kChildVariable, order.c_str());
  // What it prints goes nowhere.
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  const HANDLE nowhere =
      CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = nowhere;
  PROCESS_INFORMATION started = {};
  const BOOL made = CreateProcessA(program, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &startup, &started);
  CloseHandle(nowhere);
  SetEnvironmentVariableA(kChildVariable, nullptr);
  if (!made) return nullptr;
  CloseHandle(started.hThread);
  return started.hProcess;
}

TEST_F(FailingMachine, AProcessEndedAtAnyMoment) {
  const std::string folder = "C:\\tamarisk-killed";
  char temporary[MAX_PATH] = {};
  ASSERT_NE(0u, GetTempPathA(MAX_PATH, temporary));
  const std::string incoming(2 << 20, 'n');
  const std::string old(1 << 20, 'o');
  const HANDLE copying = CreateEventA(nullptr, TRUE, FALSE, kChildCopying);
  struct Row {
    const char* what;
    bool existing;
    bool hardLink;          // written in place
    DWORD lasts;            // about how long the slowed copy takes, in ms
    bool exported = false;  // a member saved through the temporary export file
  } rows[] = {
      {"a new file", false, false, 250},
      {"a replacement", true, false, 300},
      {"written in place", true, true, 600},
      {"an export", false, false, 300, true},
  };
  unsigned seed = 20261207;
  for (const Row& row : rows) {
    for (int kill = 0; kill < 4; ++kill) {
      seed = seed * 1103515245u + 12345u;
      const DWORD after = (seed >> 8) % row.lasts;
      SCOPED_TRACE(std::string(row.what) + ", ended after " + std::to_string(after) + " ms");
      MakeDirectory(folder);
      for (const std::string& name : Names(folder)) RemoveFile(folder + "\\" + name);
      WriteFile(folder + "\\src.bin", incoming);
      if (row.existing) WriteFile(folder + "\\dst.bin", old);
      ASSERT_TRUE(!row.hardLink || Linked(folder + "\\two.bin", folder + "\\dst.bin"));
      const std::vector<std::string> temporaryBefore = FolderListing(temporary);
      ResetEvent(copying);
      const std::string destination = folder + (row.exported ? "\\dst.txt" : "\\dst.bin");
      const HANDLE child = StartChild(row.exported ? "export " + destination
                                                   : "copy " + folder + "\\src.bin " + destination);
      ASSERT_NE(nullptr, child);
      ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(copying, 30000)) << "the copy began";
      Sleep(after);
      TerminateProcess(child, 1);
      WaitForSingleObject(child, INFINITE);
      CloseHandle(child);
      const HANDLE recovering = StartChild("recover");
      ASSERT_NE(nullptr, recovering);
      WaitForSingleObject(recovering, 60000);
      CloseHandle(recovering);

      const std::string now = Content(destination);
      // Ended between a new file's create and its mark for deletion, it
      // stays, empty: only Windows 10's on-close disposition, which Wine
      // refuses, could close that gap.
      const bool unmarked = !row.existing && now.empty();
      EXPECT_TRUE(now == incoming || now == (row.existing ? old : "<missing>") || unmarked)
          << "neither file: " << now.size() << " bytes";
      EXPECT_TRUE(!row.hardLink || Content(folder + "\\two.bin") == now)
          << "the other name shows the same";
      std::vector<std::string> expected = {"src.bin"};
      if (now != "<missing>")
        expected.insert(expected.begin(), destination.substr(folder.size() + 1));
      if (row.hardLink) expected.push_back("two.bin");
      EXPECT_EQ(expected, Names(folder)) << "nothing left beside it";
      EXPECT_EQ(temporaryBefore, FolderListing(temporary))
          << "nothing left in the temporary folder";
      for (const std::string& entry : FolderListing(Root())) {
        EXPECT_NE("cx", entry.substr(0, 2)) << "the temporary export file is left";
      }
    }
  }
  CloseHandle(copying);
}

// ---- links -------------------------------------------------------------------------

// The Unix name of a Windows path under Wine.
std::string UnixName(const std::string& path) {
  using Converter = char*(CDECL*)(LPCWSTR);
  const Converter convert = reinterpret_cast<Converter>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return std::string();
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  char* name = convert(wide);
  if (name == nullptr) return std::string();
  const std::string unixName = name;
  HeapFree(GetProcessHeap(), 0, name);
  return unixName;
}

// Runs a Unix program of /bin with its arguments, for what Wine cannot do;
// wide, for names the ANSI code page lacks.
bool RunUnix(const std::string& program, const std::wstring& arguments) {
  std::wstring command = Wide("/bin/" + program + " ") + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessW(Wide("Z:\\bin\\" + program).c_str(), &command[0], nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return true;
}

bool RunUnix(const std::string& program, const std::string& arguments) {
  return RunUnix(program, Wide(arguments));
}

// A symbolic link made on the Unix side: Wine's own CreateSymbolicLinkA
// makes nothing, and does not wait for a Unix program to see what it made.
bool MakeSymbolicLink(const std::string& link, const std::wstring& target) {
  const std::string unixLink = UnixName(link);
  return !unixLink.empty() && RunUnix("ln", L"-sfn " + target + L" " + Wide(unixLink)) &&
         Eventually([&] { return Exists(link); });
}

// The file a path reaches.
std::string FinalPath(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  char final[MAX_PATH + 8] = {};
  GetFinalPathNameByHandleA(file, final, sizeof final, VOLUME_NAME_DOS);
  CloseHandle(file);
  return final;
}

TEST_F(FailingMachine, ASymbolicLinkIsWrittenThrough) {
  RemoveFile(Out("link.bin"));
  WriteFile(Out("target.bin"), "old");
  ASSERT_TRUE(MakeSymbolicLink(Out("link.bin"), L"target.bin"));
  const std::string reached = FinalPath(Out("link.bin"));
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(0, CallPlovers(Src(), Out("link.bin")));
  EXPECT_TRUE(Content(Out("target.bin")) == kNew);
  EXPECT_EQ(reached, FinalPath(Out("link.bin"))) << "still a link to the same file";
  EXPECT_EQ(2u, OutListing().size());
  RemoveFile(Out("link.bin"));  // before its target: a dangling link is not listed
}

// A link to a file that does not exist yet is no file to the check that
// finds the name free; it stays a link, and nothing is made.
TEST_F(FailingMachine, ALinkToAFileNotYetMadeStaysALink) {
  WriteFile(Out("missing.bin"), "x");
  ASSERT_TRUE(MakeSymbolicLink(Out("dangling.bin"), L"missing.bin"));
  RemoveFile(Out("missing.bin"));
  const std::vector<std::string> before = OutListing();
  EXPECT_EQ(4, CallPlovers(Src(), Out("dangling.bin")));
  EXPECT_TRUE(OneBox(x::kCopyError));
  EXPECT_EQ(before, OutListing());
  WriteFile(Out("missing.bin"), "made");
  EXPECT_EQ("made", Content(Out("dangling.bin"))) << "still a link";
  RemoveFile(Out("dangling.bin"));
}

// Through links into a folder whose name the ANSI code page cannot hold
// (a, U+00A5, b): the final path's best-fit form names another folder, a\b.
TEST_F(FailingMachine, LinksIntoAFolderTheCodePageCannotName) {
  ASSERT_TRUE(CreateDirectoryW((Wide(Out("a")) + L"\u00A5b").c_str(), nullptr));
  MakeDirectory(Out("a"));
  MakeDirectory(Out("a\\b"));
  WriteFile(Out("a\\b\\report.txt"), "other");
  ASSERT_TRUE(MakeSymbolicLink(Out("folder"), L"a\u00A5b"));
  WriteFile(Out("folder\\report.txt"), "old");
  ASSERT_TRUE(MakeSymbolicLink(Out("file.txt"), L"a\u00A5b/report.txt"));
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(0, CallPlovers(Src(), Out("folder\\report.txt")));
  EXPECT_TRUE(Content(Out("folder\\report.txt")) == kNew);
  WriteFile(Src(), "newer");
  AnswerYes();
  EXPECT_EQ(0, CallPlovers(Src(), Out("file.txt")));
  EXPECT_EQ("newer", Content(Out("folder\\report.txt"))) << "the file reached, the link kept";
  EXPECT_EQ("other", Content(Out("a\\b\\report.txt")));
  EXPECT_EQ(1u, FolderListing(Out("folder")).size());
  RunUnix("rm", "-f " + UnixName(Root() + "\\Out") + "/folder " + UnixName(Root() + "\\Out") +
                    "/file.txt");
}

// The final path of a file on a share (\\?\UNC\server\share\...) or in a
// long folder, up to the platform's 259 bytes and past them. One past, the
// name given is written through; the file a rename would part from its link
// is written in place.
TEST_F(FailingMachine, FinalPathsOfSharesAndLongFolders) {
  const std::string c = UnixName("C:\\");
  const std::size_t at = c.rfind("/dosdevices/");
  ASSERT_NE(std::string::npos, at);
  // Wine's folder of servers, which a path of two slashes reaches too.
  const std::string servers = c.substr(0, at) + "/dosdevices/unc";
  const std::string server = servers + "/tamarisk";
  ASSERT_FALSE(Exists("\\\\tamarisk\\")) << "no servers folder of an earlier run";
  ASSERT_TRUE(RunUnix("mkdir", "-p " + server));
  MakeDirectory(Root() + "\\Share");
  const std::string shared = Root() + "\\Share\\kept.bin";
  const std::string folder = Root() + "\\" + std::string(233, 'y');
  MakeDirectory(folder);
  ASSERT_EQ(259u, (folder + "\\kept.bin").size());
  struct Row {
    const char* what;
    std::string share;   // made on the Unix side
    std::string mapped;  // what Out\ is answered as
    std::string written;
  };
  // "\\?\UNC\tamarisk\" + share + "\kept.bin": 265 characters and a NUL
  // fill the module's buffer; \\tamarisk\share\kept.bin is 259 bytes.
  const std::string atLimit(239, 's');
  const Row rows[] = {
      {"a share", "share", "\\\\?\\UNC\\tamarisk\\share\\", shared},
      {"a share at the limit", atLimit, "\\\\?\\UNC\\tamarisk\\" + atLimit + "\\", shared},
      {"a share past it: a buffer too small", atLimit + "s",
       "\\\\?\\UNC\\tamarisk\\" + atLimit + "s\\", Out("kept.bin")},
      {"a folder at the limit", "", "\\\\?\\" + folder + "\\", folder + "\\kept.bin"},
      {"a folder past it", "", "\\\\?\\" + folder + "y\\", Out("kept.bin")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (const std::string& file : {Out("kept.bin"), shared, folder + "\\kept.bin"})
      WriteFile(file, "old");
    if (!row.share.empty()) {
      ASSERT_TRUE(
          RunUnix("ln", "-sfn " + UnixName(Root() + "\\Share") + " " + server + "/" + row.share));
      ASSERT_TRUE(Eventually([&] { return Exists("\\\\tamarisk\\" + row.share + "\\kept.bin"); }));
    }
    outMapped = Wide(row.mapped);
    standIns.Undo();
    refusal.real = standIns.Patch("GetFinalPathNameByHandleW", AnsweredAsMapped);
    AnswerYes();
    EXPECT_EQ(0, CallPlovers(Src(), Out("kept.bin")));
    for (const std::string& file : {Out("kept.bin"), shared, folder + "\\kept.bin"})
      EXPECT_EQ(file == row.written, Content(file) == kNew) << file;
    EXPECT_EQ(1u, OutListing().size());
  }
  RunUnix("rm", "-rf " + servers);
  Eventually([] { return !Exists("\\\\tamarisk\\"); });
}

// Writing in place touches the old file only once every new byte is in
// hand, and writes the bytes itself: the old file stays what it was
// (hidden, open in a viewer that shares it), and the source's read-only
// mark does not come with the bytes.
// Another program's trouble with the file written in place, played on its
// writes and locks (found by the file's index, which its hard links share):
// a byte-range lock from 256 KiB on, refusing the lock and every write
// there as the platform documents; a write that fails once (a share that
// drops and comes back) or for good (a drive that is gone).
struct TargetTrouble {
  DWORD index = 0;  // nFileIndexLow of the file
  bool locked = false;
  void* realLock = nullptr;
  bool Mine(HANDLE file) const {
    BY_HANDLE_FILE_INFORMATION about;
    return GetFileInformationByHandle(file, &about) && about.nFileIndexLow == index;
  }
} trouble;

// Its writes refused as `refusal` says, counted on the file, or where locked.
BOOL WINAPI TroubledWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED at) {
  if (trouble.Mine(file)) {
    LARGE_INTEGER position = {};
    SetFilePointerEx(file, position, &position, FILE_CURRENT);
    if (refusal.Refused()) return FALSE;
    if (trouble.locked && position.QuadPart + size > (256 << 10)) {
      SetLastError(ERROR_LOCK_VIOLATION);
      return FALSE;
    }
  }
  return Real(&::WriteFile, refusal.real)(file, data, size, done, at);
}

BOOL WINAPI TroubledLock(HANDLE file, DWORD flags, DWORD reserved, DWORD low, DWORD high,
                         LPOVERLAPPED at) {
  if (trouble.locked && trouble.Mine(file)) {
    SetLastError(ERROR_LOCK_VIOLATION);
    return FALSE;
  }
  return Real(&LockFileEx, trouble.realLock)(file, flags, reserved, low, high, at);
}

// A file with a second name is written in place. Whatever fails, before or
// after its first byte, leaves the old file as it was under both names and
// nothing in the temporary folder; a drive gone for good leaves the old
// bytes there, which the next call writes back once the drive is back.
TEST_F(FailingMachine, WritingInPlace) {
  char temporary[MAX_PATH] = {};
  ASSERT_NE(0u, GetTempPathA(MAX_PATH, temporary));
  const std::vector<std::string> temporaryBefore = FolderListing(temporary);
  const std::string incoming(1536 << 10, 'n');
  const std::string old(2 << 20, 'o');  // longer: the new file ends sooner
  WriteFile(Src(), incoming);
  enum Trouble { kNone, kReadsFail, kMapped, kLocked, kDropsOnce, kGone };
  struct Case {
    const char* what;
    Trouble trouble;
    Refusal refused = {};                       // the reads, or the writes on the file
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;  // given to the old file
    bool readOnlySource = false;
    bool viewer = false;
  };
  const Case cases[] = {
      {"reads fail after 1 MiB", kReadsFail, {ERROR_CRC, 4}},  // after four pieces of 256 KiB
      {"a hidden file", kNone, {}, FILE_ATTRIBUTE_HIDDEN},
      {"a read-only source", kNone, {}, FILE_ATTRIBUTE_ARCHIVE, true},
      {"a viewer that shares it", kNone, {}, FILE_ATTRIBUTE_ARCHIVE, false, true},
      // The platform refuses to shorten a file another program has mapped.
      {"a viewer that maps it", kMapped, {}, FILE_ATTRIBUTE_ARCHIVE, false, true},
      // The writes on the file from the second on refused never (the lock
      // refuses them), once, or for good.
      {"a range locked from 256 KiB", kLocked, {ERROR_NETNAME_DELETED, 1, 0}},
      {"a share that drops after the first piece", kDropsOnce, {ERROR_NETNAME_DELETED, 1, 1}},
      {"a drive gone after the first piece", kGone, {ERROR_NETNAME_DELETED, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveFile(Out("one.bin"));
    RemoveFile(Out("two.bin"));
    WriteFile(Out("one.bin"), old);
    ASSERT_TRUE(Linked(Out("two.bin"), Out("one.bin")));
    SetFileAttributesA(Out("one.bin").c_str(), c.attributes);
    const DWORD attributes = GetFileAttributesA(Out("one.bin").c_str());
    SetReadOnly(Src(), c.readOnlySource);
    const std::vector<std::string> before = OutListing();
    refusal = c.refused;
    if (c.trouble == kReadsFail) refusal.real = standIns.Patch("ReadFile", Refusing(&::ReadFile));
    if (c.trouble >= kLocked) {
      trouble = {FileIndex(Out("one.bin")), c.trouble == kLocked};
      refusal.real = standIns.Patch("WriteFile", TroubledWrite);
      trouble.realLock = standIns.Patch("LockFileEx", TroubledLock, "kernel32.dll", true);
    }
    const HANDLE viewer =
        c.viewer ? OpenedSharing(Out("two.bin"), GENERIC_READ) : INVALID_HANDLE_VALUE;
    const HANDLE mapping = c.trouble == kMapped
                               ? CreateFileMappingA(viewer, nullptr, PAGE_READONLY, 0, 0, nullptr)
                               : nullptr;
    const void* view =
        mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    ASSERT_EQ(c.trouble == kMapped, view != nullptr);
    AnswerYes();
    const bool fails = c.trouble != kNone;
    EXPECT_EQ(fails ? 4 : 0, CallPlovers(Src(), Out("one.bin")));
    if (view != nullptr) UnmapViewOfFile(view);
    if (mapping != nullptr) CloseHandle(mapping);
    if (viewer != INVALID_HANDLE_VALUE) CloseHandle(viewer);
    standIns.Undo();
    if (c.trouble == kGone) {
      // The old bytes wait in the temporary folder until the drive is back;
      // the box says where.
      const std::vector<std::string> now = FolderListing(temporary);
      std::vector<std::string> added;
      std::set_difference(now.begin(), now.end(), temporaryBefore.begin(), temporaryBefore.end(),
                          std::back_inserter(added));
      ASSERT_EQ(1u, added.size());
      const std::string journal = temporary + added[0].substr(0, added[0].find(' '));
      EXPECT_TRUE(Boxes({Question(Lower(Out("one.bin"))),
                         {journal + "\n" + x::kCopyError + x::kOldBytesKeptLine}}));
      Ui().Reset(&host);
      CallPlovers();
    }
    const std::string expected = fails ? old : incoming;
    EXPECT_TRUE(Content(Out("one.bin")) == expected);
    EXPECT_TRUE(Content(Out("two.bin")) == expected);
    if (fails) {
      EXPECT_EQ(before, OutListing());
    }
    EXPECT_EQ(attributes, GetFileAttributesA(Out("two.bin").c_str())) << "the old file's own";
    EXPECT_EQ(temporaryBefore, FolderListing(temporary)) << "nothing left there";
  }
  SetReadOnly(Src(), false);
}

// A system whose ANSI code page is UTF-8 converts a chosen path as that
// code page allows, and uses it.
TEST_F(FailingMachine, AnAnsiCodePageOfUtf8) {
  standIns.Patch("GetACP", Utf8CodePage);
  refusal.real = standIns.Patch("WideCharToMultiByte", ConvertedAsUtf8);
  // Only a module that shows its boxes through the ANSI call imports it.
  standIns.Patch("MessageBoxA", Utf8MessageBox, "user32.dll", true);
  WriteFile(Out("chosen.bin"), "old");
  Ui().choices = {{false, Out("chosen.bin")}};
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(0, CallPlovers(Src(), ""));
  EXPECT_TRUE(Content(Out("chosen.bin")) == kNew);
  EXPECT_EQ(1u, Ui().dialogs.size()) << "the path chosen was taken";
  // The module's own question and box read as they do on any Windows.
  Ui().answers = {x::kIdNo};
  EXPECT_EQ(1, CallPlovers(Src(), Out("chosen.bin")));
  EXPECT_TRUE(Boxes({Question(Lower(Out("chosen.bin"))), {x::kNothingDone}}));
}

// The bitmap file's last _lwrite piece written short: the export fails
// and delivers nothing.
TEST_F(FailingMachine, TheBitmapsLastPieceWrittenShort) {
  host.casts = {{"Internal", {{1, MakeMember("Logo", "bitmap")}}}};
  // Written in pieces of 32767, 32767 and 1 bytes.
  host.casts[0].members[1].dib = PackedDib({300, 200, 8, 1, 0, 64471, 256, 64471});
  refusal = {0, 3, 1};  // the fourth, after the file header's
  refusal.real = standIns.Patch("_lwrite", ShortLwrite);
  EXPECT_EQ(4, CallAvocets(1, 1, Out("b.bmp")));
  EXPECT_EQ(4, refusal.calls);
  EXPECT_FALSE(Exists(Out("b.bmp")));
}

TEST_F(FailingMachine, EveryHardLinkShowsTheNewData) {
  WriteFile(Out("one.bin"), "old");
  ASSERT_TRUE(Linked(Out("two.bin"), Out("one.bin")));
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(0, CallPlovers(Src(), Out("one.bin")));
  EXPECT_TRUE(Content(Out("one.bin")) == kNew);
  EXPECT_TRUE(Content(Out("two.bin")) == kNew);
  EXPECT_EQ(2u, OutListing().size());

  // On a drive without room for the new bytes, both keep the old.
  const std::string drive = SmallDrive();
  if (drive.empty()) GTEST_SKIP() << "no small drive here";
  WriteFile(drive + "\\one.bin", "old");
  ASSERT_TRUE(Linked(drive + "\\two.bin", drive + "\\one.bin"));
  WriteFile(Root() + "\\Data\\big.bin", std::string(3 << 20, 'b'));
  const std::vector<std::string> before = FolderListing(drive + "\\");
  AnswerYes();
  EXPECT_EQ(4, CallPlovers(Root() + "\\Data\\big.bin", drive + "\\one.bin"));
  EXPECT_EQ("old", Content(drive + "\\two.bin"));
  EXPECT_EQ(before, FolderListing(drive + "\\"));

  // A compressed old file frees only what it occupies, not its size.
  const std::string old(1 << 20, 'o');
  WriteFile(drive + "\\one.bin", old);
  WriteFile(Root() + "\\Data\\mid.bin", std::string(1536 << 10, 'm'));
  standIns.Patch("GetCompressedFileSizeA", CompressedTo64KiB);
  AnswerYes();
  EXPECT_EQ(4, CallPlovers(Root() + "\\Data\\mid.bin", drive + "\\one.bin"));
  EXPECT_TRUE(Content(drive + "\\two.bin") == old);
}

// A destination whose folder leaves no room for a name beside it in the
// platform's 259 bytes is still copied, and whatever is made can be removed.
TEST_F(FailingMachine, ADestinationAtThePathLimit) {
  std::vector<std::string> folders = {Root() + "\\Out"};
  while (folders.back().size() + 1 + 100 < 248) {
    folders.push_back(folders.back() + "\\" + std::string(100, 'f'));
  }
  folders.push_back(folders.back() + "\\" + std::string(248 - folders.back().size() - 1, 'g'));
  for (const std::string& made : folders) MakeDirectory(made);
  const std::string folder = folders.back();
  ASSERT_EQ(248u, folder.size());
  const std::string target = folder + "\\" + std::string(6, 'n') + ".bin";
  ASSERT_EQ(259u, target.size());
  // A failed copy leaves nothing; a file another program makes there
  // meanwhile is that program's.
  refusal = {ERROR_DISK_FULL, 1};
  refusal.real = standIns.Patch("WriteFile", Refusing(&::WriteFile));
  EXPECT_EQ(4, CallPlovers(Src(), target));
  EXPECT_TRUE(FolderListing(folder).empty());
  standIns.Undo();
  appearing = target;
  refusal.real = standIns.Patch("CreateFileA", AppearsBeforeCreate);
  EXPECT_EQ(4, CallPlovers(Src(), target));
  EXPECT_EQ("theirs", Content(target));
  RemoveFile(target);
  standIns.Undo();
  Ui().Reset(&host);
  EXPECT_EQ(0, CallPlovers(Src(), target));
  EXPECT_TRUE(Content(target) == kNew);
  Ui().answers = {x::kIdYes};
  WriteFile(Src(), "newer");
  EXPECT_EQ(0, CallPlovers(Src(), target));
  EXPECT_EQ("newer", Content(target));
  EXPECT_EQ(1u, FolderListing(folder).size());
  // Removed here: the test folder's own removal stops at the platform's limit.
  RemoveFile(target);
  for (auto it = folders.rbegin(); it + 1 != folders.rend(); ++it) RemoveDirectoryA(it->c_str());
}

// A folder that lets no new file be made, holding a file that may be
// written: only a user without privileges is refused by folder permissions.
using Unprivileged = FailingMachine;

TEST_F(Unprivileged, AFolderThatTakesNoNewFileIsWrittenInPlaceOnlyWhenTheBytesFit) {
  const std::string drive = SmallDrive();
  if (drive.empty()) GTEST_SKIP() << "no small drive here";
  const std::string folder = drive + "\\locked";
  MakeDirectory(folder);
  WriteFile(folder + "\\old.bin", std::string(1 << 20, 'o'));
  ASSERT_TRUE(RunUnix("chmod", "555 " + UnixName(folder)));
  // Wine does not wait for a Unix program: the mode has changed once the
  // folder shows as read-only. Only then is a new file tried, so that a file
  // made there (by root, whom the mode does not stop) can still be removed.
  Eventually([&] { return (GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_READONLY) != 0; });
  const std::string probe = folder + "\\probe.bin";
  const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    RemoveFile(probe);
    RunUnix("chmod", "755 " + UnixName(folder));
    GTEST_SKIP()
        << "folder permissions do not hold for this user (root): see wine_unprivileged_tests";
  }
  const std::string incoming = std::string(1536 << 10, 'n');
  WriteFile(Src(), incoming);
  WriteFile(drive + "\\filler.bin", std::string(900 << 10, 'f'));
  const std::vector<std::string> before = FolderListing(folder);
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(4, CallPlovers(Src(), folder + "\\old.bin")) << "the new bytes do not fit";
  EXPECT_TRUE(Content(folder + "\\old.bin") == std::string(1 << 20, 'o'));
  EXPECT_EQ(before, FolderListing(folder));

  RemoveFile(drive + "\\filler.bin");
  AnswerYes();
  EXPECT_EQ(0, CallPlovers(Src(), folder + "\\old.bin")) << "now they fit";
  EXPECT_TRUE(Content(folder + "\\old.bin") == incoming);
  EXPECT_EQ(1u, FolderListing(folder).size());
  RunUnix("chmod", "755 " + UnixName(folder));
  Sleep(200);  // before the next test empties the drive
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
