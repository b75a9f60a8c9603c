// The native build's file system: an in-memory tree of Windows paths that
// the native platform seam works on, case-insensitive like the real one.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/host_abi.h"

namespace tamarisk {
namespace platform {
struct NativeHandle;
struct OutputStream;
}
namespace sim {

struct NativeEntry {
  bool directory = false;
  std::string bytes;
  std::string nameOnDisk;  // the path as it was created
  bool exclusive = false;  // held open by another program without sharing
  bool readOnly = false;
  bool hidden = false;
  bool archive = true;  // set by every write
  int openReaders = 0;
  std::uint64_t lastWrite = 0;  // FILETIME, as a number
  std::uint64_t id = 0;         // the file's index, which a rename keeps
};

class NativeFileSystem {
 public:
  NativeFileSystem();

  // Empties the drives and sets every setting back.
  void Reset();
  // The path made absolute against the current directory, as Windows does.
  std::string Absolute(const std::string& path) const;
  static std::string Key(const std::string& path);
  // The full path as Windows makes it: "." and ".." resolved, separators
  // single, trailing dots and blanks of the name dropped; lowercased for a key.
  static std::string Canonical(const std::string& path, bool lower);
  // Where the last name of a path begins: after its last separator.
  static std::size_t NameAt(const std::string& path);
  // The key of the folder that holds the entry of a key; empty for a root.
  static std::string ParentKey(const std::string& key);

  NativeEntry* Find(const std::string& path);
  // The free bytes that limit a write to key, or null when nothing does.
  long* SpaceFor(const std::string& key);
  bool ParentExists(const std::string& path) const;
  void MakeDirectory(const std::string& path);
  void WriteFile(const std::string& path, const std::string& bytes);
  bool Remove(const std::string& path);

  std::map<std::string, NativeEntry> entries;
  bool statFails = false;                  // the status query fails for a reason other than ENOENT
  uint32 threadId = 123456;
  std::set<std::string> unwritableFolders;  // keys of folders where nothing can be created
  long diskSpace = -1;                      // bytes that writes may still add; -1: unlimited
  long smallDriveSpace = -1;  // the same for drive T: alone, counting every file there
  bool closeFails = false;
  std::vector<uint32> lowLevelWrites;  // sizes asked of each _lwrite, in order
  // Low-level files share the output streams' bookkeeping, unbuffered.
  std::map<int, platform::OutputStream*> lowLevelFiles;
  int nextHandle = 3;
  std::string currentDirectory = "C:\\";
  bool readsHang = false;   // a read waits until the test ends the hang, then fails
  bool readsFail = false;   // every read fails
  bool workersFail = false;  // no thread can be made
  // Workers run on threads of their own, racing the person who watches;
  // otherwise each runs on the watching thread once the person has answered.
  bool workersOnThreads = false;
  std::vector<platform::NativeHandle*> hungWorkers;  // left to a hung read
  std::set<platform::NativeHandle*> openFiles;       // the module's file handles
  std::uint64_t nextId = 1;
};

NativeFileSystem& NativeFs();

// The hung reads give up (fail), and the workers left to them end.
void EndHungReads();

// What the native seam shows the user goes to these, set by the tests.
struct NativeUi {
  std::function<int(WindowHandle, const char16_t* text, const char16_t* caption, uint32)> messageBox;
  std::function<bool(void* request)> saveDialog;  // a platform::SaveDialogRequest
  // Set, every copy lasts long enough to show its progress window, which
  // this is called with (a platform::CopyWatch); true: the user cancels.
  std::function<bool(const void* copy)> longCopy;
  WindowHandle focus = nullptr;
  std::set<WindowHandle> windows;   // windows that exist
  std::set<WindowHandle> disabled;  // windows that take no input
};

NativeUi& NativeUserInterface();

// The ANSI code page the doubles play: 932 (a Japanese Windows), 1252 (an
// English one) or 65001 (the UTF-8 option).
uint32& NativeAnsiCodePage();

}  // namespace sim
}  // namespace tamarisk
