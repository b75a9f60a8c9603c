// The native build's files and user interface: the platform doubles.
#include <cstdio>
#include <functional>

#include "platform/platform.h"
#include "tests/doubles/native_fs.h"
#include "tests/doubles/native_global.h"
#include "support/test_env.h"

namespace tamarisk {
namespace test {

void SetProcessNewHandler(NewHandler handler) { sim::NativeNewHandler() = handler; }

void InstallResponders() {
  sim::NativeUi& ui = sim::NativeUserInterface();
  // No windows, no focus, and copies quick unless a test says otherwise.
  ui = sim::NativeUi();
  ui.messageBox = [](WindowHandle owner, const char16_t* text, const char16_t* caption,
                     uint32 type) { return Ui().AnswerMessage(owner, text, caption, type); };
  ui.saveDialog = [](void* raw) {
    platform::SaveDialogRequest* request = static_cast<platform::SaveDialogRequest*>(raw);
    DialogSeen seen = {};
    seen.owner = request->owner;
    seen.instance = request->instance;
    for (const char16_t* field = request->filter; *field != 0;
         field += std::char_traits<char16_t>::length(field) + 1) {
      seen.filter.push_back(Narrowed(field));
    }
    seen.offeredName = Narrowed(request->file);
    seen.fileSize = request->fileSize;
    seen.wideDirectory = request->initialDirectory != nullptr ? request->initialDirectory : u"";
    seen.hasDefaultExtension = request->defaultExtension != nullptr;
    seen.defaultExtension = seen.hasDefaultExtension ? Narrowed(request->defaultExtension) : "";
    seen.flags = request->flags;
    seen.ownerEnabled = platform::WindowEnabled(request->owner);
    return Ui().AnswerDialog(seen, request->file);
  };
}

std::u16string Widened(const std::string& cp932) {
  std::u16string wide(cp932.size() + 1, u'\0');
  wide.resize(platform::WideFromAnsi(cp932.c_str(), static_cast<uint32>(cp932.size() + 1), &wide[0],
                                     static_cast<uint32>(wide.size())));
  if (!wide.empty()) wide.pop_back();  // the NUL
  return wide;
}

std::string Narrowed(const std::u16string& wide) {
  std::string cp932(2 * wide.size() + 1, '\0');
  platform::AnsiFromWide(wide.c_str(), &cp932[0], static_cast<uint32>(cp932.size()));
  return cp932.c_str();
}

std::string Cp932Of(const std::u16string& wide) {
  const AnsiCodePageScope cp932(932);  // whatever code page the test plays
  return Narrowed(wide);
}

void RemoveResponders() {}

AnsiCodePageScope::AnsiCodePageScope(uint32 codePage) : previous_(sim::NativeAnsiCodePage()) {
  if (codePage != 0) sim::NativeAnsiCodePage() = codePage;
}

AnsiCodePageScope::~AnsiCodePageScope() { sim::NativeAnsiCodePage() = previous_; }

void ResetFiles() {
  sim::NativeFs().Reset();
  sim::NativeFs().MakeDirectory(Root());
  SetCurrentFolder(Root());
}

void SetCurrentFolder(const std::string& path) { sim::NativeFs().currentDirectory = path; }

void WriteFile(const std::string& path, const std::string& bytes) {
  static std::uint64_t clock = 0;
  sim::NativeFs().WriteFile(path, bytes);
  sim::NativeFs().Find(path)->lastWrite = ++clock;  // every file written has a time of its own
}

bool ReadFile(const std::string& path, std::string* bytes) {
  sim::NativeEntry* entry = sim::NativeFs().Find(path);
  if (entry == nullptr || entry->directory) return false;
  *bytes = entry->bytes;
  return true;
}

bool Exists(const std::string& path) { return sim::NativeFs().Find(path) != nullptr; }

void MakeDirectory(const std::string& path) { sim::NativeFs().MakeDirectory(path); }

void RemoveFile(const std::string& path) { sim::NativeFs().Remove(path); }

std::string NameOnDisk(const std::string& path) {
  sim::NativeEntry* entry = sim::NativeFs().Find(path);
  if (entry == nullptr) return std::string();
  const std::size_t slash = entry->nameOnDisk.find_last_of('\\');
  return entry->nameOnDisk.substr(slash + 1);
}

bool CanOpenExclusively(const std::string& path) {
  sim::NativeEntry* entry = sim::NativeFs().Find(path);
  return entry != nullptr && entry->openReaders == 0 && !entry->exclusive;
}

void SetReadOnly(const std::string& path, bool readOnly) {
  sim::NativeEntry* entry = sim::NativeFs().Find(path);
  if (entry == nullptr) return;
  entry->readOnly = readOnly;
  entry->archive = false;  // the attributes are set as given
}

void SetHidden(const std::string& path) {
  if (sim::NativeEntry* entry = sim::NativeFs().Find(path)) entry->hidden = true;
}

std::string CopiedFacts(const std::string& path) {
  const sim::NativeEntry* entry = sim::NativeFs().Find(path);
  if (entry == nullptr) return "<missing>";
  return std::string(entry->readOnly ? "read-only " : "") + (entry->hidden ? "hidden " : "") +
         std::to_string(entry->lastWrite);
}

bool MarkedForBackup(const std::string& path) {
  const sim::NativeEntry* entry = sim::NativeFs().Find(path);
  return entry != nullptr && entry->archive;
}

ExclusiveHold::ExclusiveHold(const std::string& path) : path_(path) {
  if (sim::NativeEntry* entry = sim::NativeFs().Find(path)) entry->exclusive = true;
}

ExclusiveHold::~ExclusiveHold() {
  if (sim::NativeEntry* entry = sim::NativeFs().Find(path_)) entry->exclusive = false;
}

std::string TemporaryDigits() {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%05u",
                static_cast<unsigned>(sim::NativeFs().threadId % 100000));
  return digits;
}

std::string SmallDrive() {
  sim::NativeFs().MakeDirectory("T:\\");
  sim::NativeFs().smallDriveSpace = 2 << 20;
  return "T:";
}

std::string UnwritableFolder() {
  const std::string folder = Root() + "\\Locked";
  sim::NativeFs().MakeDirectory(folder);
  sim::NativeFs().unwritableFolders.insert(sim::NativeFileSystem::Key(folder));
  return folder;
}

std::vector<std::string> FolderListing(const std::string& folder) {
  const std::string folderKey = sim::NativeFileSystem::Key(folder);
  // Only a drive's root keeps its separator; a last 0x5C may be a trail byte.
  const std::size_t nameAt = folderKey.size() + (folderKey.size() == 3 ? 0 : 1);
  std::vector<std::string> listing;
  for (const auto& entry : sim::NativeFs().entries) {
    const std::string& key = entry.first;
    if (key == folderKey || sim::NativeFileSystem::ParentKey(key) != folderKey) continue;
    const std::string name = key.substr(nameAt);
    listing.push_back(entry.second.directory
                          ? name + "\\"
                          : name + " " + std::to_string(entry.second.bytes.size()) + " " +
                                std::to_string(std::hash<std::string>()(entry.second.bytes)));
  }
  return listing;  // the map keeps them sorted
}

std::vector<uint32> LowLevelWrites() { return sim::NativeFs().lowLevelWrites; }

void ResetLowLevelWrites() { sim::NativeFs().lowLevelWrites.clear(); }

}  // namespace test
}  // namespace tamarisk
