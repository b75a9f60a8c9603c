// The native build's stand-in for the platform seam: an in-memory file
// system, scripted user interface, and an ANSI code page (CP932 unless a
// test plays another).
#include <iconv.h>

#include <algorithm>
#include <thread>
#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/scoped.h"
#include "tests/doubles/native_fs.h"
#include "tests/doubles/native_global.h"

namespace tamarisk {

namespace sim {

NativeFileSystem::NativeFileSystem() {  // drives C: and D:, and the user's temporary folder
  for (const char* root : {"c:\\", "d:\\"}) entries[root] = {true, "", root};
  entries["c:\\temp"] = {true, "", "C:\\Temp"};  // the user's temporary folder
}

std::string NativeFileSystem::Absolute(const std::string& path) const {
  const bool hasDrive = path.size() >= 2 && path[1] == ':';
  const bool rooted = !path.empty() && (path[0] == '\\' || path[0] == '/');
  if (hasDrive && path.size() >= 3 && (path[2] == '\\' || path[2] == '/')) return path;
  if (hasDrive && path.size() == 2) return path + "\\";
  if (rooted) return currentDirectory.substr(0, 2) + path;
  std::string base = currentDirectory;
  if (base.back() != '\\') base += '\\';
  return base + (hasDrive ? path.substr(2) : path);
}

std::string NativeFileSystem::Key(const std::string& path) { return Canonical(path, true); }

std::string NativeFileSystem::Canonical(const std::string& relative, bool lower) {
  // Two separators begin a network path: a server and its share, no drive.
  const bool network = relative.size() >= 2 && (relative[0] == '\\' || relative[0] == '/') &&
                       (relative[1] == '\\' || relative[1] == '/');
  // "\\?\" before a full path only lifts the length limit.
  if (relative.compare(0, 4, "\\\\?\\") == 0) return Canonical(relative.substr(4), lower);
  const std::string path = network ? relative.substr(2) : NativeFs().Absolute(relative);
  // The segments between separators, lowercased; a trail byte 0x5C is no
  // separator. Repeated separators name the same place, as on Windows.
  std::vector<std::string> segments(1);
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (platform::IsLeadByte(c) && i + 1 < path.size()) {
      segments.back() += path[i];
      segments.back() += path[++i];
    } else if (c == '\\' || c == '/') {
      if (!segments.back().empty()) segments.emplace_back();
    } else {
      segments.back() += static_cast<char>(lower && c >= 'A' && c <= 'Z' ? c + 0x20 : c);
    }
  }
  if (segments.size() > 1 && segments.back().empty()) segments.pop_back();
  // Windows resolves "." and "..", drops one trailing dot of a folder and
  // every trailing dot and blank of the last name.
  std::vector<std::string> resolved = {segments[0]};
  for (std::size_t i = 1; i < segments.size(); ++i) {
    std::string segment = segments[i];
    if (segment == ".") continue;
    if (segment == "..") {
      if (resolved.size() > 1) resolved.pop_back();
      continue;
    }
    if (i + 1 == segments.size()) {
      while (!segment.empty() && (segment.back() == '.' || segment.back() == ' '))
        segment.pop_back();
    } else if (segment.back() == '.') {
      segment.pop_back();
    }
    if (!segment.empty()) resolved.push_back(segment);
  }
  std::string key = (network ? "\\\\" : "") + resolved[0];
  for (std::size_t i = 1; i < resolved.size(); ++i) key += "\\" + resolved[i];
  if (resolved.size() == 1) key += "\\";  // the drive root keeps its separator
  return key;
}

NativeEntry* NativeFileSystem::Find(const std::string& path) {
  auto it = entries.find(Key(path));
  return it == entries.end() ? nullptr : &it->second;
}

std::size_t NativeFileSystem::NameAt(const std::string& path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (platform::IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      ++i;  // a trail byte 0x5C is no separator
    } else if (path[i] == '\\' || path[i] == '/') {
      start = i + 1;
    }
  }
  return start;
}

std::string NativeFileSystem::ParentKey(const std::string& key) {
  const std::size_t name = NameAt(key);
  if (name == 0) return std::string();
  std::string parent = key.substr(0, name);
  if (parent.size() > 3) parent.pop_back();
  return parent;
}

bool NativeFileSystem::ParentExists(const std::string& path) const {
  auto it = entries.find(ParentKey(Key(path)));
  return it != entries.end() && it->second.directory;
}

void NativeFileSystem::MakeDirectory(const std::string& path) {
  NativeEntry& entry = entries[Key(path)];
  entry.directory = true;
  entry.nameOnDisk = path;
}

long* NativeFileSystem::SpaceFor(const std::string& key) {
  if (smallDriveSpace >= 0 && key.compare(0, 2, "t:") == 0) return &smallDriveSpace;
  return diskSpace >= 0 ? &diskSpace : nullptr;
}

void NativeFileSystem::WriteFile(const std::string& path, const std::string& bytes) {
  const std::string key = Key(path);
  // The small drive counts what every file takes of it, the tests' own too.
  if (smallDriveSpace >= 0 && key.compare(0, 2, "t:") == 0) {
    auto old = entries.find(key);
    smallDriveSpace += static_cast<long>(old != entries.end() ? old->second.bytes.size() : 0);
    smallDriveSpace -= static_cast<long>(bytes.size());
  }
  NativeEntry& entry = entries[key];
  if (entry.id == 0) entry.id = nextId++;
  entry.archive = true;
  entry.directory = false;
  entry.bytes = bytes;
  if (entry.nameOnDisk.empty()) entry.nameOnDisk = path;
}

bool NativeFileSystem::Remove(const std::string& path) {
  const std::string key = Key(path);
  auto it = entries.find(key);
  if (it == entries.end()) return false;
  if (smallDriveSpace >= 0 && key.compare(0, 2, "t:") == 0)
    smallDriveSpace += static_cast<long>(it->second.bytes.size());
  entries.erase(it);
  return true;
}

NativeFileSystem& NativeFs() {
  static NativeFileSystem fs;
  return fs;
}

NativeUi& NativeUserInterface() {
  static NativeUi ui;
  return ui;
}

uint32& NativeAnsiCodePage() {
  static uint32 codePage = 932;
  return codePage;
}

NativeGlobalBlock* NativeGlobalAlloc(const std::vector<std::uint8_t>& bytes) {
  return new NativeGlobalBlock{bytes, 0, false};
}

void NativeGlobalFree(NativeGlobalBlock* block) { delete block; }

namespace {
std::map<const std::uint8_t*, std::size_t>& ReadableRanges() {
  static std::map<const std::uint8_t*, std::size_t> ranges;
  return ranges;
}
}  // namespace

void NativeMarkReadable(const void* begin, std::size_t size) {
  ReadableRanges()[static_cast<const std::uint8_t*>(begin)] = size;
}

void NativeForgetReadable(const void* begin) {
  ReadableRanges().erase(static_cast<const std::uint8_t*>(begin));
}

NativeNewHandlerFn& NativeNewHandler() {
  static NativeNewHandlerFn handler = nullptr;
  return handler;
}

}  // namespace sim

namespace platform {

using sim::NativeEntry;
using sim::NativeFileSystem;
using sim::NativeFs;

bool IsLeadByte(unsigned char byte) {
  // Only CP932 of the three has double-byte characters; UTF-8 has no lead
  // bytes in the platform's sense.
  return sim::NativeAnsiCodePage() == 932 &&
         ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

namespace {
// A name Windows refuses to create: a wildcard, a character reserved for the
// shell, or a colon other than the drive's. A trail byte 0x7C is no bar.
bool CannotBeCreated(const char* path) {
  const std::size_t drive = path[0] != '\0' && path[1] == ':' ? 2 : 0;
  for (const char* p = path + drive; *p != '\0'; ++p) {
    if (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') {
      ++p;
    } else if (std::strchr("*?\"<>|:", *p) != nullptr) {
      return true;
    }
  }
  return false;
}
bool InUnwritableFolder(const char* path) {
  return NativeFs().unwritableFolders.count(
             NativeFileSystem::ParentKey(NativeFileSystem::Key(path))) != 0;
}
// Where a new file cannot be made: no such folder, a name Windows refuses.
bool CannotCreate(const char* path) {
  return !NativeFs().ParentExists(path) || CannotBeCreated(path);
}
// The attribute bits of a file: archive, read-only, hidden.
uint32 AttributesOf(const NativeEntry& entry) {
  return (entry.archive ? 0x20u : 0u) | (entry.readOnly ? 0x1u : 0u) | (entry.hidden ? 0x2u : 0u);
}
// A file that another can take the place of: writable, and nobody reads it.
bool CanReplace(const char* path) {
  NativeEntry* entry = NativeFs().Find(path);
  return CanWriteInPlace(path) && entry->openReaders == 0;
}
}  // namespace

FileStatus QueryFileStatus(const char* path) {
  if (NativeFs().statFails) return FileStatus::kFailed;
  NativeEntry* entry = NativeFs().Find(path);
  if (entry == nullptr) return FileStatus::kNotFound;
  return entry->directory ? FileStatus::kOther : FileStatus::kRegularFile;
}

// ---- handles: files read and written, and workers -----------------------------

struct NativeHandle {
  enum class Kind { kFile, kWorker } kind;
  std::string key;                // a file's
  std::size_t position = 0;       // where a read continues
  bool reading = false;           // counted among the file's readers
  bool deleteOnClose = false;     // marked for deletion
  void (*work)(void*) = nullptr;  // a worker's, run when watched
  void* data = nullptr;
  std::thread* thread = nullptr;  // a worker's own, when workers run on threads
  bool hung = false;    // left to a read that hangs
  bool closed = false;  // its handle was closed meanwhile
};

void CloseHandleOf(Handle handle) {
  NativeHandle* open = static_cast<NativeHandle*>(handle);
  if (open->thread != nullptr) {
    if (open->thread->get_id() == std::this_thread::get_id()) {
      open->thread->detach();  // the worker lets go of its own job
    } else if (open->thread->joinable()) {
      open->thread->join();
    }
    delete open->thread;
  }
  if (open->kind == NativeHandle::Kind::kWorker && open->hung) {
    // Left to a read that hangs: gone once the test has ended the hang.
    open->closed = true;
    return;
  }
  if (open->reading) {
    if (NativeEntry* entry = NativeFs().Find(open->key)) --entry->openReaders;
  }
  NativeFs().openFiles.erase(open);
  if (open->deleteOnClose) NativeFs().Remove(open->key);
  delete open;
}

namespace {
NativeHandle* OpenFile(const char* path) {
  NativeHandle* open = new NativeHandle{NativeHandle::Kind::kFile, NativeFileSystem::Key(path)};
  NativeFs().openFiles.insert(open);
  return open;
}
bool HasOpenHandles(const std::string& key) {
  for (const NativeHandle* open : NativeFs().openFiles) {
    if (open->key == key) return true;
  }
  return false;
}
// An existing file opened to write: alone, with no other handle open on
// it, or to overwrite, which a read-only file refuses.
FileError OpenExisting(const char* path, Handle* file, bool alone) {
  NativeEntry* entry = NativeFs().Find(path);
  if (entry == nullptr || entry->directory) return FileError::kNotFound;
  if (entry->exclusive || (alone && HasOpenHandles(NativeFileSystem::Key(path))))
    return FileError::kInUse;
  if (!alone && entry->readOnly) return FileError::kAccessDenied;
  *file = OpenFile(path);
  return FileError::kNone;
}
}  // namespace

FileError OpenSource(const char* path, Handle* file, SourceFacts* facts) {
  NativeEntry* entry = NativeFs().Find(path);
  if (entry == nullptr) return FileError::kNotFound;
  if (entry->directory) return FileError::kAccessDenied;
  if (entry->exclusive) return FileError::kInUse;
  ++entry->openReaders;
  NativeHandle* open = OpenFile(path);
  open->reading = true;
  *file = open;
  if (facts != nullptr) *facts = {entry->bytes.size(), AttributesOf(*entry), entry->lastWrite};
  return FileError::kNone;
}

FileError CreateTarget(const char* path, Handle* file) {
  if (NativeFs().Find(path) != nullptr) return FileError::kExists;
  if (CannotCreate(path)) return FileError::kOther;
  if (InUnwritableFolder(path)) return FileError::kAccessDenied;
  NativeFs().WriteFile(path, "");
  *file = OpenFile(path);
  return FileError::kNone;
}

FileError OpenAlone(const char* path, Handle* file) { return OpenExisting(path, file, true); }

bool MarkForDeletion(Handle file, bool marked) {
  static_cast<NativeHandle*>(file)->deleteOnClose = marked;
  return true;
}

bool MoveTo(Handle file, std::uint64_t offset) {
  static_cast<NativeHandle*>(file)->position = static_cast<std::size_t>(offset);
  return true;
}

FileError LockWholeFile(Handle file) {
  NativeEntry* entry = NativeFs().Find(static_cast<NativeHandle*>(file)->key);
  return entry != nullptr ? FileError::kNone : FileError::kInUse;
}

void UnlockWholeFile(Handle) {}

bool IdentityOf(Handle file, FileIdentity* identity) {
  NativeEntry* entry = NativeFs().Find(static_cast<NativeHandle*>(file)->key);
  if (entry == nullptr) return false;
  *identity = {1, entry->id, entry->bytes.size(), entry->lastWrite};
  return true;
}

void ForEachFile(const char* pattern, void (*visit)(const char* name, void* data), void* data) {
  // "folder\\prefix*suffix"
  const std::string key = NativeFileSystem::Key(pattern);
  const std::string folder = NativeFileSystem::ParentKey(key);
  const std::string mask = key.substr(NativeFileSystem::NameAt(key));
  const std::string prefix = mask.substr(0, mask.find('*'));
  const std::string suffix = mask.substr(mask.find('*') + 1);
  std::vector<std::string> names;
  for (const auto& entry : NativeFs().entries) {
    if (entry.second.directory || NativeFileSystem::ParentKey(entry.first) != folder) continue;
    const std::string name = entry.first.substr(entry.first.rfind('\\') + 1);
    if (name.size() >= prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      names.push_back(name);
    }
  }
  for (const std::string& name : names) visit(name.c_str(), data);
}

// No streams on this drive.
FileError OpenStream(const char*, const char*, bool, Handle*) { return FileError::kNotFound; }
FileError DeleteStream(const char*, const char*) { return FileError::kNotFound; }

FileError ReadPiece(Handle file, void* data, uint32 size, uint32* read) {
  NativeHandle* open = static_cast<NativeHandle*>(file);
  NativeEntry* entry = NativeFs().Find(open->key);
  if (entry == nullptr || NativeFs().readsFail) return FileError::kOther;
  const std::size_t count = std::min<std::size_t>(size, entry->bytes.size() - open->position);
  std::memcpy(data, entry->bytes.data() + open->position, count);
  open->position += count;
  *read = static_cast<uint32>(count);
  return FileError::kNone;
}

FileError WritePiece(Handle file, const void* data, uint32 size) {
  NativeFileSystem& fs = NativeFs();
  NativeHandle* open = static_cast<NativeHandle*>(file);
  NativeEntry* entry = fs.Find(open->key);
  if (entry == nullptr) return FileError::kOther;
  // A full disk takes what fits of what the file grows by.
  const std::size_t grows =
      std::max(entry->bytes.size(), open->position + size) - entry->bytes.size();
  long* space = fs.SpaceFor(open->key);
  const std::size_t room =
      space == nullptr || *space < 0 ? grows : std::min<std::size_t>(grows, *space);
  const std::size_t count = size - (grows - room);
  if (space != nullptr && space != &fs.smallDriveSpace) *space -= static_cast<long>(room);
  std::string bytes = entry->bytes;
  bytes.replace(open->position, count, static_cast<const char*>(data), count);
  fs.WriteFile(open->key, bytes);
  open->position += count;
  return count == size ? FileError::kNone : FileError::kOther;
}

bool SetLastWriteTime(Handle file, std::uint64_t lastWrite) {
  NativeEntry* entry = NativeFs().Find(static_cast<NativeHandle*>(file)->key);
  if (entry != nullptr) entry->lastWrite = lastWrite;
  return entry != nullptr;
}

FileError FlushToDisk(Handle) { return FileError::kNone; }

Handle StartWorker(void (*work)(void*), void* data) {
  if (NativeFs().workersFail) return nullptr;
  NativeHandle* worker = new NativeHandle{NativeHandle::Kind::kWorker, ""};
  worker->work = work;
  worker->data = data;
  if (NativeFs().workersOnThreads) worker->thread = new std::thread(work, data);
  return worker;
}

// The worker runs once the user has had the chance to cancel (the scripted
// long copy), all on this thread. A read that hangs is waited for unless the
// user cancels: then the worker is left to end when the hang does.
WatchEnd WatchCopy(const CopyWatch& watch) {
  NativeHandle* worker = static_cast<NativeHandle*>(watch.worker);
  DisabledWindow owner(watch.owner);
  const auto& longCopy = sim::NativeUserInterface().longCopy;
  if (longCopy && longCopy(&watch)) watch.progress->AskToCancel();
  if (worker->thread != nullptr) {
    worker->thread->join();
    return WatchEnd::kEnded;
  }
  if (NativeFs().readsHang) {
    worker->hung = true;
    NativeFs().hungWorkers.push_back(worker);
    if (watch.progress->cancelAsked()) return WatchEnd::kAbandoned;
    // Not cancelled, the copy waits until the read gives up.
    sim::EndHungReads();
    return WatchEnd::kEnded;
  }
  worker->work(worker->data);
  return WatchEnd::kEnded;
}

FileError MoveOnto(const char* from, const char* to, bool replace) {
  NativeFileSystem& fs = NativeFs();
  NativeEntry* source = fs.Find(from);
  NativeEntry* target = fs.Find(to);
  if (source == nullptr) return FileError::kOther;
  if (source->exclusive || source->openReaders != 0) return FileError::kInUse;
  const std::string fromKey = NativeFileSystem::Key(from);
  if (target == source) return FileError::kNone;
  if (target != nullptr && !replace) return FileError::kExists;
  if (target != nullptr && !CanReplace(to)) return FileError::kAccessDenied;
  if (target == nullptr && CannotCreate(to)) return FileError::kOther;
  // Windows stores the name as the rename gives it, whatever case the
  // replaced file had.
  NativeEntry moved = *source;
  moved.nameOnDisk = to;
  fs.Remove(from);
  fs.Remove(to);
  fs.WriteFile(to, moved.bytes);  // as a small drive counts it
  *fs.Find(to) = moved;
  // Open handles reach the file under its new name.
  for (NativeHandle* open : fs.openFiles) {
    if (open->key == fromKey) open->key = NativeFileSystem::Key(to);
  }
  return FileError::kNone;
}

bool CanWriteInPlace(const char* path) {
  NativeEntry* entry = NativeFs().Find(path);
  return entry != nullptr && !entry->directory && !entry->exclusive && !entry->readOnly;
}

uint32 FinalPathName(const char* path, WideChar* buffer, uint32 capacity) {
  NativeEntry* entry = NativeFs().Find(path);
  if (entry == nullptr) return 0;
  // The full path, its last name as it is stored.
  std::string final = NativeFileSystem::Canonical(path, false);
  final = final.substr(0, NativeFileSystem::NameAt(final)) +
          entry->nameOnDisk.substr(NativeFileSystem::NameAt(entry->nameOnDisk));
  final = final.compare(0, 2, "\\\\") == 0 ? "\\\\?\\UNC\\" + final.substr(2) : "\\\\?\\" + final;
  const uint32 written =
      WideFromAnsi(final.c_str(), static_cast<uint32>(final.size() + 1), buffer, capacity);
  return written > 0 ? written - 1 : 0;
}

bool QueryReachedFile(const char* path, WideChar* finalPath, uint32 capacity,
                      ReachedFile* reached) {
  NativeEntry* entry = NativeFs().Find(path);
  if (entry == nullptr) return false;
  const uint32 attributes = entry->directory ? 0x10u : 0x20u | AttributesOf(*entry);
  *reached = {{attributes, entry->bytes.size(), 1},
              CanReplace(path),
              FinalPathName(path, finalPath, capacity)};
  return true;
}

bool OccupiedSize(const char* path, std::uint64_t* bytes) {
  NativeEntry* entry = NativeFs().Find(path);
  if (entry == nullptr) return false;
  *bytes = entry->bytes.size();
  return true;
}

bool TemporaryFolder(char* buffer, uint32 size) {
  static const char kFolder[] = "C:\\Temp\\";
  if (size < sizeof kFolder) return false;
  std::memcpy(buffer, kFolder, sizeof kFolder);
  return true;
}

FileError OpenToOverwrite(const char* path, Handle* file) {
  return OpenExisting(path, file, false);
}

FileError EndFileHere(Handle file) {
  NativeHandle* open = static_cast<NativeHandle*>(file);
  NativeEntry* entry = NativeFs().Find(open->key);
  if (entry == nullptr) return FileError::kOther;
  NativeFs().WriteFile(open->key, entry->bytes.substr(0, open->position));
  return FileError::kNone;
}

bool FreeSpace(const char* folder, std::uint64_t* bytes) {
  const long* space = NativeFs().SpaceFor(NativeFileSystem::Key(folder));
  *bytes = space == nullptr ? (std::uint64_t{1} << 40) : static_cast<std::uint64_t>(*space);
  return true;
}

FileError SetAttributes(const char* path, uint32 attributes) {
  NativeEntry* entry = NativeFs().Find(path);
  if (entry == nullptr) return FileError::kOther;
  if (entry->exclusive) return FileError::kInUse;
  entry->readOnly = (attributes & 0x1) != 0;
  entry->hidden = (attributes & 0x2) != 0;
  entry->archive = (attributes & 0x20) != 0;
  return FileError::kNone;
}

void Pause(uint32) {}  // no time passes here

FileError ClaimPassingFile(const char* path, Handle* keeper) {
  const FileError error = CreateTarget(path, keeper);
  if (error == FileError::kNone) MarkForDeletion(*keeper, true);
  return error;
}

FileError DeleteFileNamed(const char* path) {
  NativeEntry* entry = NativeFs().Find(path);
  if (entry == nullptr || entry->directory) return FileError::kOther;
  if (entry->exclusive || entry->openReaders != 0) return FileError::kInUse;
  if (entry->readOnly) return FileError::kAccessDenied;
  return NativeFs().Remove(path) ? FileError::kNone : FileError::kOther;
}

bool FullPathName(const char* name, char* buffer, uint32 size) {
  const std::string full = NativeFileSystem::Canonical(name, false);
  if (full.size() + 1 > size) return false;
  std::memcpy(buffer, full.c_str(), full.size() + 1);
  return true;
}

uint32 CurrentThreadId() { return NativeFs().threadId; }

bool NameIsFree(const char* path) { return NativeFs().Find(path) == nullptr; }

struct OutputStream {
  std::string key;
  std::string pending;  // written but not yet flushed
  bool failed = false;
};

namespace {

// Moves what is buffered to the file, as far as the disk has room.
bool Drain(OutputStream* stream) {
  NativeFileSystem& fs = NativeFs();
  NativeEntry& entry = fs.entries[stream->key];
  std::size_t room = stream->pending.size();
  long* space = fs.SpaceFor(stream->key);
  if (space != nullptr && static_cast<std::size_t>(*space) < room)
    room = static_cast<std::size_t>(*space);
  entry.bytes += stream->pending.substr(0, room);
  if (space != nullptr) *space -= static_cast<long>(room);
  const bool all = room == stream->pending.size();
  stream->pending.clear();
  if (!all) stream->failed = true;
  return all;
}

}  // namespace

OutputStream* OpenOutput(const char* path) {
  NativeFileSystem& fs = NativeFs();
  NativeEntry* existing = fs.Find(path);
  if (existing != nullptr && !CanReplace(path)) return nullptr;
  if (existing == nullptr && (CannotCreate(path) || InUnwritableFolder(path))) return nullptr;
  fs.WriteFile(path, "");
  fs.Find(path)->exclusive = true;
  OutputStream* stream = new OutputStream;
  stream->key = NativeFileSystem::Key(path);
  return stream;
}

bool WriteOutput(OutputStream* stream, const void* data, std::size_t size) {
  if (stream->failed) return false;
  stream->pending.append(static_cast<const char*>(data), size);
  // A small buffer, like the runtime's, so that a full disk shows on write too.
  if (stream->pending.size() >= 4096) return Drain(stream);
  return true;
}

bool CloseOutput(OutputStream* stream) {
  const bool drained = !stream->failed && Drain(stream);
  NativeFs().entries[stream->key].exclusive = false;
  delete stream;
  return drained && !NativeFs().closeFails;
}

bool CreateForWriting(const char* path, int* file) {
  *file = -1;
  OutputStream* stream = OpenOutput(path);
  if (stream == nullptr) return false;
  *file = NativeFs().nextHandle++;
  NativeFs().lowLevelFiles[*file] = stream;
  return true;
}

bool WriteToFile(int file, const void* data, uint32 count) {
  NativeFs().lowLevelWrites.push_back(count);
  OutputStream* stream = NativeFs().lowLevelFiles.at(file);
  if (stream->failed) return false;
  stream->pending.assign(static_cast<const char*>(data), count);
  const bool all = Drain(stream);
  stream->failed = false;  // a short write is reported by its count alone
  return all;
}

void CloseFile(int file) {
  CloseOutput(NativeFs().lowLevelFiles.at(file));
  NativeFs().lowLevelFiles.erase(file);
}

void* LockGlobal(HostHandle block) {
  sim::NativeGlobalBlock* b = static_cast<sim::NativeGlobalBlock*>(block);
  if (b->lockFails || b->bytes.empty()) return nullptr;  // as for a discarded block
  ++b->locks;
  return b->bytes.data();
}

void UnlockGlobal(HostHandle block) { --static_cast<sim::NativeGlobalBlock*>(block)->locks; }

uint32 GlobalBlockSize(HostHandle block) {
  return static_cast<uint32>(static_cast<sim::NativeGlobalBlock*>(block)->bytes.size());
}

bool IsReadable(const void* begin, std::size_t size) {
  if (size == 0) return true;
  const std::uint8_t* first = static_cast<const std::uint8_t*>(begin);
  const auto& ranges = sim::ReadableRanges();
  auto it = ranges.upper_bound(first);
  if (it == ranges.begin()) return false;
  --it;
  const std::size_t offset = static_cast<std::size_t>(first - it->first);
  return offset < it->second && size <= it->second - offset;
}

bool CallNewHandler(std::size_t size) {
  const sim::NativeNewHandlerFn handler = sim::NativeNewHandler();
  return handler != nullptr && handler(size) != 0;
}

int ShowMessageBox(WindowHandle owner, const WideChar* text, const WideChar* caption, uint32 type) {
  auto& ui = sim::NativeUserInterface();
  return ui.messageBox ? ui.messageBox(owner, text, caption, type) : 0;
}

namespace {

// One conversion with glibc's table of the code page, which has no best-fit
// mappings: a character without a form of its own fails the conversion
// there, and fallback stands in for it (one input unit of unitSize bytes).
bool Convert(const char* to, const char* from, const char* in, std::size_t inSize,
             std::size_t unitSize, const char* fallback, std::size_t fallbackSize, char* out,
             std::size_t outSize, std::size_t* written) {
  const iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  bool exact = true;
  bool overflow = false;
  char* input = const_cast<char*>(in);
  char* output = out;
  std::size_t outLeft = outSize;
  while (inSize > 0) {
    if (iconv(converter, &input, &inSize, &output, &outLeft) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG || outLeft < fallbackSize) {
      overflow = true;
      break;
    }
    exact = false;
    const std::size_t skip = inSize < unitSize ? inSize : unitSize;
    input += skip;
    inSize -= skip;
    std::memcpy(output, fallback, fallbackSize);
    output += fallbackSize;
    outLeft -= fallbackSize;
  }
  iconv_close(converter);
  if (overflow) return false;
  *written = outSize - outLeft;
  return exact;
}

// iconv's name of the ANSI code page the doubles play.
const char* AnsiCodePageName() {
  switch (sim::NativeAnsiCodePage()) {
    case 1252: return "CP1252";
    case 65001: return "UTF-8";
    default: return "CP932";
  }
}
}  // namespace

uint32 WideFromAnsi(const char* text, uint32 size, WideChar* out, uint32 capacity) {
  // As Windows marks a byte it cannot read: U+30FB in CP932, U+FFFD elsewhere.
  const char* unreadable = sim::NativeAnsiCodePage() == 932 ? "\xFB\x30" : "\xFD\xFF";
  std::size_t written = 0;
  Convert("UTF-16LE", AnsiCodePageName(), text, size, 1, unreadable, 2,
          reinterpret_cast<char*>(out), capacity * sizeof(WideChar), &written);
  return static_cast<uint32>(written / sizeof(WideChar));
}

namespace {
// NUL-ended text widened, NUL included; 0 unless every byte is a character.
uint32 WideStrictly(const char* codePage, const char* text, WideChar* out, uint32 capacity) {
  std::size_t written = 0;
  const bool exact = Convert("UTF-16LE", codePage, text, std::strlen(text) + 1, 1, "?", 1,
                             reinterpret_cast<char*>(out), capacity * sizeof(WideChar), &written);
  return exact ? static_cast<uint32>(written / sizeof(WideChar)) : 0;
}
}  // namespace

uint32 WideFromModuleText(const char* text, WideChar* out, uint32 capacity) {
  return WideStrictly("CP932", text, out, capacity);
}

uint32 WideFromAnsiStrictly(const char* text, WideChar* out, uint32 capacity) {
  return WideStrictly(AnsiCodePageName(), text, out, capacity);
}

bool AnsiFromWide(const WideChar* text, char* out, uint32 capacity) {
  const std::size_t length = std::char_traits<WideChar>::length(text);
  std::size_t written = 0;
  return Convert(AnsiCodePageName(), "UTF-16LE", reinterpret_cast<const char*>(text),
                 (length + 1) * sizeof(WideChar), sizeof(WideChar), "?", 1, out, capacity,
                 &written);
}

bool ShowSaveDialog(SaveDialogRequest* request) {
  auto& ui = sim::NativeUserInterface();
  return ui.saveDialog ? ui.saveDialog(request) : false;
}

WindowHandle FocusedWindow() { return sim::NativeUserInterface().focus; }

bool WindowExists(WindowHandle window) {
  return sim::NativeUserInterface().windows.count(window) != 0;
}

void FocusWindow(WindowHandle window) { sim::NativeUserInterface().focus = window; }

bool WindowEnabled(WindowHandle window) {
  const sim::NativeUi& ui = sim::NativeUserInterface();
  return ui.windows.count(window) != 0 && ui.disabled.count(window) == 0;
}

void EnableWindowInput(WindowHandle window, bool enable) {
  if (enable) {
    sim::NativeUserInterface().disabled.erase(window);
  } else {
    sim::NativeUserInterface().disabled.insert(window);
  }
}

}  // namespace platform

namespace sim {

void EndHungReads() {
  NativeFileSystem& fs = NativeFs();
  fs.readsHang = false;
  fs.readsFail = true;  // the hung reads give up
  std::vector<platform::NativeHandle*> hung;
  hung.swap(fs.hungWorkers);
  for (platform::NativeHandle* worker : hung) {
    worker->work(worker->data);
    if (worker->closed) {
      delete worker;
    } else {
      worker->hung = false;
    }
  }
  fs.readsFail = false;
}

void NativeFileSystem::Reset() {
  // A test that left a low-level file open leaves nothing to the next one.
  for (auto& open : lowLevelFiles) delete open.second;
  if (!hungWorkers.empty()) EndHungReads();
  // Everything as new but the handles the module may still hold.
  std::set<platform::NativeHandle*> open;
  open.swap(openFiles);
  *this = NativeFileSystem();
  openFiles.swap(open);
}

}  // namespace sim
}  // namespace tamarisk
