// The real TAMARISK.x32 on a Windows machine that fails as Windows machines
// do and Wine by itself does not: a virus scanner that holds every new file
// for a moment, a rename refused with each code the platform documents,
// another program that takes a name between the check and the create, and
// links. Whatever happens, the user keeps the old file or the new one whole,
// and nothing else is left in the folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simhost/iat_patch.h"
#include "support/host_fixture.h"
#include "support/target_module.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;
using sim::ImportPatch;

// ---- the stand-ins for one import at a time ------------------------------------

using MoveFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);

// MoveFileExA refused `failures` times with `error`, leaving every file as it
// was, as the platform documents; then the real call. It can first play
// another program that creates the destination meanwhile.
struct MoveScript {
  DWORD error = 0;
  int failures = 0;
  bool destinationAppears = false;
  int calls = 0;
  std::vector<std::string> targets;
  std::vector<DWORD> flags;
  void* real = nullptr;
} move;

BOOL WINAPI ScriptedMove(LPCSTR from, LPCSTR to, DWORD flags) {
  ++move.calls;
  move.targets.push_back(to);
  move.flags.push_back(flags);
  if (move.destinationAppears) {
    move.destinationAppears = false;
    WriteFile(to, "appeared");
  }
  if (move.calls <= move.failures) {
    SetLastError(move.error);
    return FALSE;
  }
  return reinterpret_cast<MoveFn>(move.real)(from, to, flags);
}

// The other file calls a copy makes, each refused as the platform documents
// it can be, leaving the files as they were: the call fails once `passes`
// calls have gone through to the real one.
struct Refusal {
  DWORD error = 0;
  int passes = 0;
  int calls = 0;
  void* real = nullptr;
  bool Refused() {
    if (calls++ < passes) return false;
    SetLastError(error);
    return true;
  }
} refusal;

DWORD WINAPI RefusedFinalPath(HANDLE file, LPSTR path, DWORD size, DWORD flags) {
  if (refusal.Refused()) return 0;
  return reinterpret_cast<DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD)>(refusal.real)(file, path,
                                                                                     size, flags);
}
BOOL WINAPI RefusedFileInformation(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
  if (refusal.Refused()) return FALSE;
  return reinterpret_cast<BOOL(WINAPI*)(HANDLE, LPBY_HANDLE_FILE_INFORMATION)>(refusal.real)(
      file, information);
}
BOOL WINAPI RefusedAttributes(LPCSTR path, DWORD attributes) {
  if (refusal.Refused()) return FALSE;
  return reinterpret_cast<BOOL(WINAPI*)(LPCSTR, DWORD)>(refusal.real)(path, attributes);
}
BOOL WINAPI RefusedFreeSpace(LPCSTR folder, PULARGE_INTEGER free, PULARGE_INTEGER total,
                             PULARGE_INTEGER totalFree) {
  if (refusal.Refused()) return FALSE;
  return reinterpret_cast<BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER)>(
      refusal.real)(folder, free, total, totalFree);
}
using ReadWriteFn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL WINAPI RefusedRead(HANDLE file, LPVOID data, DWORD size, LPDWORD done, LPOVERLAPPED at) {
  if (refusal.Refused()) return FALSE;
  return reinterpret_cast<ReadWriteFn>(refusal.real)(file, data, size, done, at);
}
BOOL WINAPI RefusedWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED at) {
  if (refusal.Refused()) return FALSE;
  return reinterpret_cast<BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED)>(
      refusal.real)(file, data, size, done, at);
}
HANDLE WINAPI RefusedThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                            LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                            LPDWORD id) {
  if (refusal.Refused()) return nullptr;
  return reinterpret_cast<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                          LPVOID, DWORD, LPDWORD)>(refusal.real)(
      security, stack, start, parameter, flags, id);
}

// _access that finds every name free: the check passes, and another program
// made the file meanwhile.
int __cdecl EveryNameFree(const char*, int) {
  errno = ENOENT;
  return -1;
}

// _stat that fails for a reason other than a missing file.
int __cdecl StatRefused(const char*, void*) {
  errno = EACCES;
  return -1;
}

// ---- a virus scanner -----------------------------------------------------------

// Opens every new file the module writes in a folder (those beside a
// destination) without sharing and holds it for 50 to 200 ms, as an
// on-access scanner does. A real one is woken by the close of a file
// written; here the module's CloseHandle, passed on to the real one, wakes
// it and returns once the scanner holds the file.
class Scanner {
 public:
  explicit Scanner(const std::string& folder) : folder_(folder) {
    active = this;
    close_.reset(new ImportPatch(LoadedModule(), "kernel32.dll", "CloseHandle",
                                 reinterpret_cast<void*>(CloseThenScan)));
    thread_ = std::thread([this] { Run(); });
  }
  ~Scanner() {
    stop_ = true;
    thread_.join();
    close_.reset();
    active = nullptr;
  }
  // The files made beside a destination that it held.
  int holds() const { return holds_; }

 private:
  static BOOL WINAPI CloseThenScan(HANDLE handle) {
    char path[MAX_PATH + 8] = {};
    const DWORD length = GetFinalPathNameByHandleA(handle, path, sizeof path, VOLUME_NAME_DOS);
    const BOOL closed = reinterpret_cast<BOOL(WINAPI*)(HANDLE)>(active->close_->original())(handle);
    if (closed && length > 4 && length < sizeof path) active->Take(path + 4);  // after "\\?\"
    return closed;
  }

  // Hands a closed file to the scanner and waits until it has it open.
  void Take(const std::string& path) {
    if (Lower(path).compare(0, folder_.size() + 4, Lower(folder_) + "\\~tm") != 0) return;
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
  std::unique_ptr<ImportPatch> close_;
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
    MakeDirectory(Root() + "\\Data");
    MakeDirectory(Root() + "\\Out");
    WriteFile(Src(), kNew);
    scripting_ = NewScripting();
    move = MoveScript();
  }

  int32 Copy(const std::string& source, const std::string& destination) {
    HostValue result = host.VoidValue();
    host.Call(scripting_, kPlovers, {host.StringValue(source), host.StringValue(destination)},
              &result);
    return host.IntegerOf(result);
  }

  std::string Src() { return Root() + "\\Data\\new.bin"; }
  std::string Out(const std::string& name) { return Root() + "\\Out\\" + name; }
  std::string Beside(char letter) {
    return Out("~tm" + std::string(1, letter) + TemporaryDigits() + ".tmp");
  }

  const std::string kNew = std::string(300000, 'n') + std::string("\0end", 4);
  InterfaceObject* scripting_ = nullptr;
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
      EXPECT_EQ(0, Copy(Src(), Out(name)));
      EXPECT_EQ(0, Copy(Src(), Out("new" + name)));
    }
    holds = scanner.holds();
  }
  // Read once the scanner has let go of everything.
  for (int round = 0; round < kRounds; ++round) {
    const std::string name = "file" + std::to_string(round) + ".bin";
    EXPECT_TRUE(Content(Out(name)) == kNew) << name;
    EXPECT_TRUE(Content(Out("new" + name)) == kNew) << name;
  }
  EXPECT_EQ(2 * kRounds, holds) << "every file made beside a destination was held";
  EXPECT_EQ(2u * kRounds, FolderListing(Root() + "\\Out").size()) << "only the destinations";
}

// Each documented failure of the rename leaves both files as they were; the
// module then reports the error and removes the file it made.
TEST_F(FailingMachine, EveryFailureOfTheRename) {
  struct Row {
    const char* what;
    DWORD error;
    int failures;
    int32 result;
    int calls;
  };
  const Row rows[] = {
      {"access denied, every try", ERROR_ACCESS_DENIED, 1000, 4, 20},
      {"sharing violation, every try", ERROR_SHARING_VIOLATION, 1000, 4, 20},
      {"lock violation, every try", ERROR_LOCK_VIOLATION, 1000, 4, 20},
      {"refused until the last try", ERROR_SHARING_VIOLATION, 19, 0, 20},
      {"refused once", ERROR_ACCESS_DENIED, 1, 0, 2},
      {"another drive", ERROR_NOT_SAME_DEVICE, 1000, 4, 1},
      {"disk full", ERROR_DISK_FULL, 1000, 4, 1},
      {"no such folder", ERROR_PATH_NOT_FOUND, 1000, 4, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    // Stored as Kept.TXT, named in lower case: the stored name is renamed onto.
    WriteFile(Out("Kept.TXT"), "old");
    const std::vector<std::string> before = FolderListing(Root() + "\\Out");
    move = MoveScript();
    move.error = row.error;
    move.failures = row.failures;
    ImportPatch patch(LoadedModule(), "kernel32.dll", "MoveFileExA",
                      reinterpret_cast<void*>(ScriptedMove));
    ASSERT_TRUE(patch.installed());
    move.real = patch.original();
    Ui().Reset(&host);
    Ui().answers = {x::kIdYes};
    EXPECT_EQ(row.result, Copy(Src(), Out("kept.txt")));
    EXPECT_EQ(row.calls, move.calls);
    ASSERT_FALSE(move.targets.empty());
    EXPECT_EQ("Kept.TXT", move.targets[0].substr(move.targets[0].rfind('\\') + 1));
    EXPECT_EQ(DWORD{MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH}, move.flags[0]);
    if (row.result == 0) {
      EXPECT_TRUE(Content(Out("kept.txt")) == kNew);
      EXPECT_EQ(1u, FolderListing(Root() + "\\Out").size());
    } else {
      ASSERT_EQ(2u, Ui().messages.size());
      EXPECT_EQ(x::kCopyError, Ui().messages[1].text);
      EXPECT_EQ("old", Content(Out("kept.txt")));
      EXPECT_EQ(before, FolderListing(Root() + "\\Out"));
    }
    EXPECT_EQ("Kept.TXT", NameOnDisk(Out("kept.txt")));
    RemoveFile(Out("kept.txt"));
  }
}

// Every other file call of a copy refused as the platform documents it can
// be: the destination is the old file or the new one whole, and nothing
// else is left. A copy that cannot have a thread of its own is made on the
// caller's.
TEST_F(FailingMachine, EveryFailureOfTheOtherFileCalls) {
  struct Row {
    const char* what;
    const char* function;
    void* standIn;
    DWORD error;
    int passes;
    bool hardLink;  // the destination has a second name: copied in place
    int32 result;
  };
  const Row rows[] = {
      {"the final path", "GetFinalPathNameByHandleA", reinterpret_cast<void*>(RefusedFinalPath),
       ERROR_ACCESS_DENIED, 0, false, 4},
      {"the file's facts", "GetFileInformationByHandle",
       reinterpret_cast<void*>(RefusedFileInformation), ERROR_ACCESS_DENIED, 0, false, 4},
      {"every attribute", "SetFileAttributesA", reinterpret_cast<void*>(RefusedAttributes),
       ERROR_ACCESS_DENIED, 0, false, 4},
      {"the free space", "GetDiskFreeSpaceExA", reinterpret_cast<void*>(RefusedFreeSpace),
       ERROR_NOT_READY, 0, true, 4},
      {"a read after the first piece: a network drop", "ReadFile",
       reinterpret_cast<void*>(RefusedRead), ERROR_NETNAME_DELETED, 1, false, 4},
      {"the first write: disk full", "WriteFile", reinterpret_cast<void*>(RefusedWrite),
       ERROR_DISK_FULL, 0, false, 4},
      {"a write after the first piece", "WriteFile", reinterpret_cast<void*>(RefusedWrite),
       ERROR_DISK_FULL, 1, false, 4},
      {"no thread", "CreateThread", reinterpret_cast<void*>(RefusedThread), ERROR_NOT_ENOUGH_MEMORY,
       0, false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ResetFiles();
    MakeDirectory(Root() + "\\Data");
    MakeDirectory(Root() + "\\Out");
    WriteFile(Src(), kNew);
    WriteFile(Out("kept.bin"), "old");
    if (row.hardLink) {
      ASSERT_TRUE(CreateHardLinkA(Out("other.bin").c_str(), Out("kept.bin").c_str(), nullptr));
    }
    const std::vector<std::string> before = FolderListing(Root() + "\\Out");
    refusal = Refusal();
    refusal.error = row.error;
    refusal.passes = row.passes;
    ImportPatch patch(LoadedModule(), "kernel32.dll", row.function, row.standIn);
    ASSERT_TRUE(patch.installed());
    refusal.real = patch.original();
    Ui().Reset(&host);
    Ui().answers = {x::kIdYes};
    EXPECT_EQ(row.result, Copy(Src(), Out("kept.bin")));
    EXPECT_GT(refusal.calls, row.passes) << "the call was made";
    if (row.result == 0) {
      EXPECT_TRUE(Content(Out("kept.bin")) == kNew);
      EXPECT_EQ(before.size(), FolderListing(Root() + "\\Out").size());
    } else {
      ASSERT_EQ(2u, Ui().messages.size());
      EXPECT_EQ(x::kCopyError, Ui().messages[1].text);
      EXPECT_EQ("old", Content(Out("kept.bin")));
      EXPECT_EQ(before, FolderListing(Root() + "\\Out"));
    }
  }
}

// A new destination that another program creates between the copy and the
// rename is that program's file: left alone, and nothing of ours stays.
TEST_F(FailingMachine, ANewDestinationTakenMeanwhile) {
  for (const bool readOnlySource : {false, true}) {
    SCOPED_TRACE(readOnlySource ? "read-only source" : "writable source");
    RemoveFile(Out("made.txt"));
    SetReadOnly(Src(), readOnlySource);
    move = MoveScript();
    move.destinationAppears = true;
    ImportPatch patch(LoadedModule(), "kernel32.dll", "MoveFileExA",
                      reinterpret_cast<void*>(ScriptedMove));
    move.real = patch.original();
    Ui().Reset(&host);
    EXPECT_EQ(4, Copy(Src(), Out("made.txt")));
    ExpectOneMessage(x::kCopyError);
    EXPECT_EQ(DWORD{MOVEFILE_WRITE_THROUGH}, move.flags.at(0)) << "never replaces";
    EXPECT_EQ("appeared", Content(Out("made.txt")));
    EXPECT_EQ(1u, FolderListing(Root() + "\\Out").size());
  }
  SetReadOnly(Src(), false);
}

// The existence check says a name is free; another program has taken it by
// the time the file is made. Its file is left alone and the next name used.
TEST_F(FailingMachine, ANameTakenBetweenTheCheckAndTheCreate) {
  ImportPatch patch(LoadedModule(), "msvcrt.dll", "_access",
                    reinterpret_cast<void*>(EveryNameFree));
  ASSERT_TRUE(patch.installed());
  WriteFile(Beside('a'), "other");
  EXPECT_EQ(0, Copy(Src(), Out("x.bin")));
  EXPECT_TRUE(Content(Out("x.bin")) == kNew);
  EXPECT_EQ("other", Content(Beside('a')));
  EXPECT_EQ(2u, FolderListing(Root() + "\\Out").size());

  // The temporary export file, in the current folder.
  const std::string temporary = Root() + "\\cxa" + TemporaryDigits();
  WriteFile(temporary, "other");
  host.casts = {sim::SimCast()};
  host.casts[0].name = "Internal";
  host.casts[0].members[1] = MakeMember("t", "field", "text");
  HostValue result = host.VoidValue();
  host.Call(scripting_, kAvocets,
            {host.IntegerValue(1), host.IntegerValue(1), host.StringValue(Out("t.txt"))}, &result);
  EXPECT_EQ(0, host.IntegerOf(result));
  EXPECT_EQ("text", Content(Out("t.txt")));
  EXPECT_EQ("other", Content(temporary));
}

TEST_F(FailingMachine, AStatusQueryRefused) {
  ImportPatch patch(LoadedModule(), "msvcrt.dll", "_stat", reinterpret_cast<void*>(StatRefused));
  ASSERT_TRUE(patch.installed());
  EXPECT_EQ(4, Copy(Src(), Out("x.bin")));
  ExpectOneMessage(x::kCopyError);
  EXPECT_FALSE(Exists(Out("x.bin")));
}

// Another program may hold the source open for writing, sharing it; the
// copy still reads it. A destination held without delete sharing cannot be
// replaced, so it is not tried.
TEST_F(FailingMachine, FilesHeldOpenWithSharing) {
  const HANDLE writer =
      CreateFileA(Src().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  EXPECT_EQ(0, Copy(Src(), Out("x.bin")));
  EXPECT_TRUE(Content(Out("x.bin")) == kNew);
  CloseHandle(writer);

  WriteFile(Out("held.bin"), "old");
  const std::vector<std::string> before = FolderListing(Root() + "\\Out");
  const HANDLE reader =
      CreateFileA(Out("held.bin").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  Ui().Reset(&host);
  Ui().answers = {x::kIdYes};
  ImportPatch patch(LoadedModule(), "kernel32.dll", "MoveFileExA",
                    reinterpret_cast<void*>(ScriptedMove));
  move.real = patch.original();
  EXPECT_EQ(4, Copy(Src(), Out("held.bin")));
  EXPECT_EQ(0, move.calls) << "a replacement that cannot succeed is not tried";
  CloseHandle(reader);
  EXPECT_EQ("old", Content(Out("held.bin")));
  EXPECT_EQ(before, FolderListing(Root() + "\\Out"));
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

// Runs a Unix program of /bin with its arguments, for what Wine cannot do.
bool RunUnix(const std::string& program, const std::string& arguments) {
  std::string command = "/bin/" + program + " " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(("Z:\\bin\\" + program).c_str(), &command[0], nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return true;
}

// A symbolic link made on the Unix side: Wine's own CreateSymbolicLinkA
// makes nothing.
bool MakeSymbolicLink(const std::string& link, const std::string& target) {
  const std::string unixLink = UnixName(link);
  if (unixLink.empty() || !RunUnix("ln", "-sf " + target + " " + unixLink)) return false;
  for (int i = 0; i < 100 && !Exists(link); ++i) Sleep(10);
  return Exists(link);
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
  ASSERT_TRUE(MakeSymbolicLink(Out("link.bin"), "target.bin"));
  const std::string reached = FinalPath(Out("link.bin"));
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(0, Copy(Src(), Out("link.bin")));
  EXPECT_TRUE(Content(Out("target.bin")) == kNew);
  EXPECT_EQ(reached, FinalPath(Out("link.bin"))) << "still a link to the same file";
  EXPECT_EQ(2u, FolderListing(Root() + "\\Out").size());
  RemoveFile(Out("link.bin"));  // before its target: a dangling link is not listed
}

TEST_F(FailingMachine, EveryHardLinkShowsTheNewData) {
  WriteFile(Out("one.bin"), "old");
  ASSERT_TRUE(CreateHardLinkA(Out("two.bin").c_str(), Out("one.bin").c_str(), nullptr));
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(0, Copy(Src(), Out("one.bin")));
  EXPECT_TRUE(Content(Out("one.bin")) == kNew);
  EXPECT_TRUE(Content(Out("two.bin")) == kNew);
  EXPECT_EQ(2u, FolderListing(Root() + "\\Out").size());

  // On a drive without room for the new bytes, both keep the old.
  const std::string drive = SmallDrive();
  if (drive.empty()) GTEST_SKIP() << "no small drive here";
  WriteFile(drive + "\\one.bin", "old");
  ASSERT_TRUE(
      CreateHardLinkA((drive + "\\two.bin").c_str(), (drive + "\\one.bin").c_str(), nullptr));
  WriteFile(Root() + "\\Data\\big.bin", std::string(3 << 20, 'b'));
  const std::vector<std::string> before = FolderListing(drive + "\\");
  Ui().Reset(&host);
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(4, Copy(Root() + "\\Data\\big.bin", drive + "\\one.bin"));
  EXPECT_EQ("old", Content(drive + "\\two.bin"));
  EXPECT_EQ(before, FolderListing(drive + "\\"));
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
  EXPECT_EQ(0, Copy(Src(), target));
  EXPECT_TRUE(Content(target) == kNew);
  Ui().answers = {x::kIdYes};
  WriteFile(Src(), "newer");
  EXPECT_EQ(0, Copy(Src(), target));
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
  for (int i = 0; i < 100 && (GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_READONLY) == 0;
       ++i) {
    Sleep(10);
  }
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
  EXPECT_EQ(4, Copy(Src(), folder + "\\old.bin")) << "the new bytes do not fit";
  EXPECT_TRUE(Content(folder + "\\old.bin") == std::string(1 << 20, 'o'));
  EXPECT_EQ(before, FolderListing(folder));

  RemoveFile(drive + "\\filler.bin");
  Ui().Reset(&host);
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(0, Copy(Src(), folder + "\\old.bin")) << "now they fit";
  EXPECT_TRUE(Content(folder + "\\old.bin") == incoming);
  EXPECT_EQ(1u, FolderListing(folder).size());
  RunUnix("chmod", "755 " + UnixName(folder));
  Sleep(200);  // before the next test empties the drive
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
