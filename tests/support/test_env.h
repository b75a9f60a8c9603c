// What a scenario needs beyond the host: the user's answers, scripted, and
// files on disk. The native build plays both with its doubles; the target
// build uses real files under Wine and patches the module's imports of
// MessageBoxW (and MessageBoxA, which an older module imports) and
// GetSaveFileNameW.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "simhost/save_dialog_rules.h"
#include "simhost/sim_host.h"

namespace tamarisk {
namespace test {

// A box as the user reads it: a wide box's text as it is, an ANSI box's
// bytes as the process's code page decodes them. text and caption hold it
// in CP932, the module's code page, where a character CP932 lacks is '?'.
struct MessageSeen {
  WindowHandle owner;
  std::string text;
  std::string caption;
  uint32 type;
  int32 modalDepth;        // the host's open modal brackets while the box showed
  int32 liveMovieObjects;  // movie, cast and member references held meanwhile
  std::u16string wideText;  // the text itself, characters CP932 lacks and all
};

// The dialog's texts are UTF-16; DialogSeen and DialogChoice hold them in
// CP932, as the module's do, except where a field says otherwise.
struct DialogSeen {
  uint32 structSize;  // 0 where the build has no OPENFILENAMEW
  WindowHandle owner;
  InstanceHandle instance;
  std::vector<std::string> filter;  // the NUL-separated fields, up to the empty one
  bool hasCustomFilter;
  uint32 filterIndex;
  std::string offeredName;
  uint32 fileSize;
  std::string initialDirectory;  // filled by the script; a character CP932 lacks shows as '?'
  std::u16string wideDirectory;  // the same, as the dialog got it
  std::string opensIn;  // the folder the user sees it open in: initialDirectory, or by history
  bool hasTitle;
  bool hasDefaultExtension;
  std::string defaultExtension;
  uint32 flags;
  bool ownerEnabled;  // whether the owner window took input when the dialog was shown
  int32 modalDepth;
  int32 liveMovieObjects;  // movie, cast and member references held meanwhile
};

struct DialogChoice {
  bool cancel;
  std::string
      typed;  // what the user types or picks; the dialog adds an extension (save_dialog_rules.h)
  std::u16string wide = u"";  // typed instead when not empty: characters CP932 may lack
};

class UiScript {
 public:
  void Reset(sim::SimHost* host);
  int AnswerMessage(WindowHandle owner, const std::u16string& text, const std::u16string& caption,
                    uint32 type);
  // False for a cancel; otherwise the full path the dialog hands back, written
  // into its buffer `file` of seen.fileSize characters.
  bool AnswerDialog(const DialogSeen& seen, char16_t* file);

  std::deque<int> answers;  // message box answers; IDOK (IDNO to a question) when none is left
  std::deque<DialogChoice> choices;  // cancel when none is left
  // Set, the dialog opens as on Windows 7 and later, by this history.
  sim::DialogHistory* history = nullptr;
  std::vector<MessageSeen> messages;
  std::vector<DialogSeen> dialogs;

 private:
  sim::SimHost* host_ = nullptr;
};

UiScript& Ui();
void InstallResponders();

// CP932 and UTF-16, as the platform converts them; a character that CP932
// lacks becomes '?', never a look-alike.
std::u16string Widened(const std::string& cp932);
std::string Narrowed(const std::u16string& wide);
// Wide text in CP932 whatever the ANSI code page; '?' for a character it lacks.
std::string Cp932Of(const std::u16string& wide);
void RemoveResponders();

// The rest of a scope in an ANSI code page (0: the run's own). The doubles
// play 932, 1252 and 65001 and go back afterwards; under Wine there is only
// the one the run was started with (LC_ALL), and another is not available.
class AnsiCodePageScope {
 public:
  explicit AnsiCodePageScope(uint32 codePage);
  ~AnsiCodePageScope();
  AnsiCodePageScope(const AnsiCodePageScope&) = delete;
  AnsiCodePageScope& operator=(const AnsiCodePageScope&) = delete;
  bool available() const { return available_; }

 private:
  uint32 previous_ = 0;
  bool available_ = true;
};

// The process-wide new-handler that the module's allocations call (under
// Wine msvcrt's, set with its _set_new_handler); null removes it.
using NewHandler = int (*)(std::size_t size);
void SetProcessNewHandler(NewHandler handler);

// Files. Root() is a fresh, empty folder for each test, and the process's
// current directory while it runs.
inline std::string Root() { return "C:\\tamarisk-test"; }
void ResetFiles();
void WriteFile(const std::string& path, const std::string& bytes);
bool ReadFile(const std::string& path, std::string* bytes);
bool Exists(const std::string& path);
void MakeDirectory(const std::string& path);
void RemoveFile(const std::string& path);
// The name of the entry as it is stored (its letter case on disk).
std::string NameOnDisk(const std::string& path);
// True when nobody holds the file open: it can be opened without sharing.
bool CanOpenExclusively(const std::string& path);
void SetReadOnly(const std::string& path, bool readOnly);
void SetHidden(const std::string& path);
// What a copy takes from its source besides the bytes: "read-only",
// "hidden" as they are set, and the last-write time.
std::string CopiedFacts(const std::string& path);
// The archive mark the file system gives every file written, for backups.
bool MarkedForBackup(const std::string& path);
void SetCurrentFolder(const std::string& path);
// The byte counts the module asked of each _lwrite since the last Reset.
std::vector<uint32> LowLevelWrites();
void ResetLowLevelWrites();

// An existing folder in which no file can be created.
std::string UnwritableFolder();
// A drive of 2 MiB that fills up, empty at first ("T:"); empty where there
// is none (under Wine it is a tmpfs that only root can mount).
std::string SmallDrive();
// The five digits of temporary export file names made on this thread.
std::string TemporaryDigits();

// The entries directly inside a folder, one line each: name, and for a file
// its size and last-write time, so that any change to them shows.
std::vector<std::string> FolderListing(const std::string& folder);

// Holds a file open without sharing, as another program might.
class ExclusiveHold {
 public:
  explicit ExclusiveHold(const std::string& path);
  ~ExclusiveHold();
  ExclusiveHold(const ExclusiveHold&) = delete;
  ExclusiveHold& operator=(const ExclusiveHold&) = delete;

 private:
  std::string path_;
  void* handle_ = nullptr;
};

}  // namespace test
}  // namespace tamarisk
