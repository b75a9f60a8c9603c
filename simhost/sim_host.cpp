#include "simhost/sim_host.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

#include "host/host_ids.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include "tests/doubles/native_global.h"
#endif

namespace tamarisk {
namespace sim {

namespace {

// A host object: the interface (its ops pointer) first, then the host's own.
template <class Iface>
struct Obj {
  Iface iface;
  SimHost* host;
  const char* name;
  int32 refs;
  bool transient;  // movie objects die with their last reference
  int32 index;     // cast or member number
  int32 castIndex;
  const Guid* id;  // the gateway hands the object out for it; null: not for any
};

template <class Iface>
Obj<Iface>* Self(Iface* iface) {
  return reinterpret_cast<Obj<Iface>*>(iface);
}

// An operation table as the host hands it out: the slots that the host's
// interface lists, and a few more beyond the last. Every slot it does not
// list stops the run, naming the interface and the slot: a real host's other
// slots are unknown, and calling one may crash it.
constexpr std::size_t kSlotsBeyond = 8;
template <class Ops>
struct Table {
  Ops ops;
  void* beyond[kSlotsBeyond];
};

template <int Slot>
[[noreturn]] void UnlistedSlot(void* self) {
  std::fprintf(stderr, "\nFATAL: the module called slot %d of %s, which the host does not list\n",
               Slot, reinterpret_cast<Obj<HostUnknown>*>(self)->name);
  std::fflush(stderr);
  std::abort();  // the caller's arguments are unknown, so there is no way back to it
}

constexpr std::size_t kMostSlots = 64;
template <std::size_t... Slot>
std::array<void*, sizeof...(Slot)> MakeUnlistedSlots(std::index_sequence<Slot...>) {
  return {reinterpret_cast<void*>(&UnlistedSlot<static_cast<int>(Slot)>)...};
}
const std::array<void*, kMostSlots> kUnlistedSlots =
    MakeUnlistedSlots(std::make_index_sequence<kMostSlots>());

template <class Ops>
Table<Ops> WithTraps(const Ops& ops) {
  Table<Ops> table = {ops, {}};
  constexpr std::size_t kSlots = sizeof table / sizeof(void*);
  static_assert(kSlots <= kMostSlots, "more slots than traps");
  unsigned char* bytes = reinterpret_cast<unsigned char*>(&table);
  for (std::size_t i = 0; i < kSlots; ++i) {
    void* slot = nullptr;
    std::memcpy(&slot, bytes + i * sizeof slot, sizeof slot);
    if (slot == nullptr) std::memcpy(bytes + i * sizeof slot, &kUnlistedSlots[i], sizeof slot);
  }
  return table;
}

}  // namespace

struct SimHost::State {
  Obj<HostGateway> gateway;
  Obj<HostAllocator> allocator;
  Obj<HostRegistrar> registrar;
  Obj<HostDictionary> dictionary;
  Obj<HostUtilities> utilities;
  Obj<MovieSource> movieSource;
  Obj<MediaServices> mediaServices;
  Obj<HandleServices> handleServices;
  Obj<HostPaths> paths;
  std::vector<Obj<HostUnknown>*> ownObjects;  // the objects above, in the audit's order
  DictionaryEntry opened{};                   // the open dictionary's context, class and interface

  const ModuleApi* module_;  // not owned: reloading the module updates it
  std::vector<std::unique_ptr<SimInstance>> instances_;
  std::vector<ValueData> values_;  // HostValue words: kind, index here
  // A string value's text as ValueTextPointer hands it out: a block of
  // exactly its bytes and the NUL, so that reading past it is caught.
  std::map<uint32, std::unique_ptr<char[]>> exactTexts_;
  std::vector<std::string> symbols_;  // symbol id - 1 -> name
  std::set<uint32> liveValues_;       // property values handed out, by index
  std::vector<std::string> misuse_;   // calls that broke the host's rules
  std::set<void*> blocks_;            // blocks from AllocateBlock not yet freed
  int32 liveMovieObjects_ = 0;
  int32 outstandingMedia_ = 0;
  int32 lockedHandles_ = 0;
  int32 nextModalToken_ = 100;
  std::vector<int32> openModalTokens_;
};

SimHost::State& StateOf(SimHost& host) { return *host.state_; }

namespace {

template <class Iface>
Status TAMARISK_CALL NoQuery(Iface*, const Guid*, void** out) {
  if (out != nullptr) *out = nullptr;
  return kNoInterface;
}

// No object to hand out: the out pointer cleared, as the host does.
template <class T>
Status NoObject(T** out) {
  *out = nullptr;
  return kNoInterface;
}

template <class Iface>
uint32 TAMARISK_CALL AddRefObj(Iface* iface) {
  return static_cast<uint32>(++Self(iface)->refs);
}

template <class Iface>
uint32 TAMARISK_CALL ReleaseObj(Iface* iface) {
  Obj<Iface>* self = Self(iface);
  const int32 refs = --self->refs;
  if (refs < 0)
    StateOf(*self->host).misuse_.push_back(std::string("Release below zero: ") + self->name);
  if (refs == 0 && self->transient) {
    --StateOf(*self->host).liveMovieObjects_;
    delete self;
  }
  return static_cast<uint32>(refs);
}

// The slots that every host object's table begins with, for an object that
// answers no query of its own.
#define SIM_COUNTED(Iface) NoQuery<Iface>, AddRefObj<Iface>, ReleaseObj<Iface>

// One of the host's own objects, with one reference (the host's own), listed
// for the audit and for the gateway.
template <class Iface, class Ops>
void MakeOwn(SimHost* host, Obj<Iface>* obj, const Table<Ops>& table, const char* name,
             const Guid* id = nullptr) {
  *obj = Obj<Iface>{{&table.ops}, host, name, 1, false, 0, 0, id};
  StateOf(*host).ownObjects.push_back(reinterpret_cast<Obj<HostUnknown>*>(obj));
}

void CopyOut(const std::string& text, char* buffer, int32 size) {
  if (buffer == nullptr || size < 0) return;
  std::size_t n = text.size();
  if (n > static_cast<std::size_t>(size)) n = static_cast<std::size_t>(size);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

// ---- gateway ---------------------------------------------------------------

Status TAMARISK_CALL GatewayQuery(HostGateway* iface, const Guid* id, void** out) {
  SimHost* host = Self(iface)->host;
  // Every Obj<> starts with its interface and then host, name, refs.
  for (Obj<HostUnknown>* obj : StateOf(*host).ownObjects) {
    if (obj->id == nullptr || !SameGuid(*id, *obj->id)) continue;
    host->queryLog.push_back(obj->name);
    if (host->failingQueries.count(obj->name) != 0) return NoObject(out);
    ++obj->refs;
    *out = obj;
    return kOk;
  }
  host->queryLog.push_back(GuidText(*id));
  return NoObject(out);
}

const Table<HostGatewayOps> kGatewayOps =
    WithTraps(HostGatewayOps{GatewayQuery, AddRefObj<HostGateway>, ReleaseObj<HostGateway>});

// ---- allocator -------------------------------------------------------------

void* TAMARISK_CALL AllocateBlock(HostAllocator* iface, uint32 size) {
  SimHost* host = Self(iface)->host;
  if (host->allocationsToFail > 0) {
    --host->allocationsToFail;
    host->log.push_back("AllocateBlock failed");
    return nullptr;
  }
  void* block = std::calloc(1, size == 0 ? 1 : size);
  StateOf(*host).blocks_.insert(block);
  return block;
}

void TAMARISK_CALL FreeBlock(HostAllocator* iface, void* block) {
  SimHost* host = Self(iface)->host;
  if (StateOf(*host).blocks_.erase(block) == 0) {
    StateOf(*host).misuse_.push_back("FreeBlock of a block the allocator did not hand out");
    return;
  }
  std::free(block);
}

const Table<HostAllocatorOps> kAllocatorOps =
    WithTraps(HostAllocatorOps{SIM_COUNTED(HostAllocator), AllocateBlock, FreeBlock});

// ---- registrar and dictionary ----------------------------------------------

Status TAMARISK_CALL OpenClassDictionary(HostRegistrar* iface, void* context, const Guid* classId,
                                         const Guid* interfaceId, HostDictionary** out) {
  SimHost* host = Self(iface)->host;
  host->log.push_back("OpenClassDictionary");
  if (host->openDictionaryStatus != kOk) {
    *out = nullptr;
    return host->openDictionaryStatus;
  }
  StateOf(*host).opened = DictionaryEntry{context, *classId, *interfaceId, 0, "", 0, ""};
  *out = &StateOf(*host).dictionary.iface;  // the registry's, not a counted reference
  return kOk;
}

Status TAMARISK_CALL PutEntry(HostDictionary* iface, int32 type, const void* data, int32 length,
                              const char* key) {
  SimHost* host = Self(iface)->host;
  DictionaryEntry entry = StateOf(*host).opened;
  entry.type = type;
  entry.text = data != nullptr ? static_cast<const char*>(data) : "";
  entry.length = length;
  entry.key = key != nullptr ? key : "";
  host->dictionaryEntries.push_back(entry);
  return host->putEntryStatus;
}

const Table<HostRegistrarOps> kRegistrarOps =
    WithTraps(HostRegistrarOps{SIM_COUNTED(HostRegistrar), {}, OpenClassDictionary});
const Table<HostDictionaryOps> kDictionaryOps =
    WithTraps(HostDictionaryOps{SIM_COUNTED(HostDictionary), {}, PutEntry});

// ---- utilities -------------------------------------------------------------

SimHost* HostOf(HostUtilities* iface) { return Self(iface)->host; }

Status TAMARISK_CALL MakeSymbol(HostUtilities* iface, const char* name, Symbol* out) {
  *out = HostOf(iface)->Intern(name);
  return kOk;
}

Status TAMARISK_CALL SymbolText(HostUtilities* iface, Symbol symbol, char* buffer, int32 size) {
  SimHost* host = HostOf(iface);
  CopyOut(host->SymbolName(symbol), buffer, size);  // empty for a symbol never made
  return symbol == 0 || symbol > StateOf(*host).symbols_.size() ? kNoInterface : kOk;
}

Status TAMARISK_CALL DisposeValue(HostUtilities* iface, HostValue* value) {
  SimHost::State& state = StateOf(*HostOf(iface));
  const uint32 index = value->words[1];
  const bool live = state.liveValues_.erase(index) != 0;
  if (!live || value->words[0] == 0xDEADu) {
    state.misuse_.push_back("DisposeValue of a value not handed out, or disposed of twice");
  }
  if (live) {  // its text goes with it; a pointer kept into it is caught
    state.exactTexts_.erase(index);
    std::string().swap(state.values_[index].text);
  }
  value->words[0] = 0xDEADu;
  return kOk;
}

Status TAMARISK_CALL ValueAsInteger(HostUtilities* iface, const HostValue* value, int32* out) {
  const ValueData* data = HostOf(iface)->DataOf(*value);
  if (data == nullptr || data->kind != ValueKind::kInteger) return kNoInterface;
  *out = data->integer;
  return kOk;
}

Status TAMARISK_CALL ValueAsSymbol(HostUtilities* iface, const HostValue* value, Symbol* out) {
  SimHost* host = HostOf(iface);
  const ValueData* data = host->DataOf(*value);
  if (data == nullptr || data->kind != ValueKind::kSymbol) return kNoInterface;
  *out = host->Intern(data->text);
  return kOk;
}

Status TAMARISK_CALL ValueAsText(HostUtilities* iface, const HostValue* value, char* buffer,
                                 int32 size) {
  SimHost* host = HostOf(iface);
  const ValueData* data = host->DataOf(*value);
  if (data == nullptr || data->kind != ValueKind::kString) {
    if (host->valueAsTextWritesGarbage && size > 0) CopyOut(std::string(size, 'G'), buffer, size);
    return kNoInterface;
  }
  CopyOut(data->text, buffer, size);
  // Nothing is promised about the buffer past the NUL: what is left there
  // must never be taken for text.
  if (buffer != nullptr && size > 0) {
    const std::size_t tail = std::min(data->text.size() + 1, static_cast<std::size_t>(size));
    std::memset(buffer + tail, 'J', static_cast<std::size_t>(size) - tail);
  }
  return kOk;
}

Status TAMARISK_CALL ValueTextPointer(HostUtilities* iface, const HostValue* value,
                                      const char** out) {
  SimHost* host = HostOf(iface);
  const ValueData* data = host->DataOf(*value);
  if (data == nullptr || data->kind != ValueKind::kString) return kNoInterface;
  std::unique_ptr<char[]>& exact = StateOf(*host).exactTexts_[value->words[1]];
  if (!exact) {
    exact.reset(new char[data->text.size() + 1]);
    std::memcpy(exact.get(), data->text.c_str(), data->text.size() + 1);
  }
  *out = exact.get();
  return kOk;
}

Status TAMARISK_CALL MakeIntegerValue(HostUtilities* iface, int32 n, HostValue* out) {
  *out = HostOf(iface)->IntegerValue(n);
  return kOk;
}

Status TAMARISK_CALL GetHostWindows(HostUtilities* iface, InstanceHandle* instance,
                                    WindowHandle* window) {
  SimHost* host = HostOf(iface);
  host->log.push_back("GetHostWindows");
  if (host->getHostWindowsFails) return kNoInterface;
  *instance = host->hostInstance;
  *window = host->window;
  return kOk;
}

Status TAMARISK_CALL BeginModal(HostUtilities* iface, int32* token) {
  SimHost* host = HostOf(iface);
  *token = StateOf(*host).nextModalToken_++;
  StateOf(*host).openModalTokens_.push_back(*token);
  ++host->modalDepth;
  host->log.push_back("BeginModal");
  return kOk;
}

Status TAMARISK_CALL EndModal(HostUtilities* iface, int32 token) {
  SimHost* host = HostOf(iface);
  host->log.push_back("EndModal");
  if (StateOf(*host).openModalTokens_.empty() || StateOf(*host).openModalTokens_.back() != token) {
    StateOf(*host).misuse_.push_back("EndModal with a token that is not the open bracket's");
    return kNoInterface;
  }
  StateOf(*host).openModalTokens_.pop_back();
  --host->modalDepth;
  ++host->modalBrackets;
  return kOk;
}

const Table<HostUtilitiesOps> kUtilitiesOps = WithTraps(HostUtilitiesOps{SIM_COUNTED(HostUtilities),
                                                                         {},
                                                                         MakeSymbol,
                                                                         SymbolText,
                                                                         {},
                                                                         DisposeValue,
                                                                         ValueAsInteger,
                                                                         ValueAsSymbol,
                                                                         {},
                                                                         ValueAsText,
                                                                         ValueTextPointer,
                                                                         {},
                                                                         MakeIntegerValue,
                                                                         {},
                                                                         GetHostWindows,
                                                                         {},
                                                                         BeginModal,
                                                                         EndModal});

// ---- movie, casts, members -------------------------------------------------

extern const Table<MovieAccessOps> kMovieOps;
extern const Table<CastAccessOps> kCastOps;
extern const Table<MemberAccessOps> kMemberOps;

template <class Iface, class Ops>
Iface* NewTransient(SimHost* host, const Ops* ops, const char* name, int32 index, int32 castIndex) {
  Obj<Iface>* obj = new Obj<Iface>{{ops}, host, name, 1, true, index, castIndex, nullptr};
  ++StateOf(*host).liveMovieObjects_;
  return &obj->iface;
}

Status TAMARISK_CALL GetCurrentMovie(MovieSource* iface, MovieAccess** out) {
  SimHost* host = Self(iface)->host;
  host->log.push_back("GetCurrentMovie");
  if (!host->hasMovie) return NoObject(out);
  *out = NewTransient<MovieAccess>(host, &kMovieOps.ops, "MovieAccess", 0, 0);
  return kOk;
}

const Table<MovieSourceOps> kMovieSourceOps =
    WithTraps(MovieSourceOps{SIM_COUNTED(MovieSource), {}, GetCurrentMovie});

Status TAMARISK_CALL GetCast(MovieAccess* iface, int32 index, CastAccess** out) {
  SimHost* host = Self(iface)->host;
  host->log.push_back("GetCast " + std::to_string(index));
  if (index < 1 || index > static_cast<int32>(host->casts.size())) return NoObject(out);
  *out = NewTransient<CastAccess>(host, &kCastOps.ops, "CastAccess", index, index);
  return kOk;
}

Status TAMARISK_CALL FindCast(MovieAccess* iface, const char* name, int32* index) {
  SimHost* host = Self(iface)->host;
  host->log.push_back(std::string("FindCast ") + name);
  *index = 0;  // the first cast of that name, if any
  for (std::size_t i = 0; i < host->casts.size() && *index == 0; ++i) {
    if (host->casts[i].name == name) *index = static_cast<int32>(i + 1);
  }
  return kOk;
}

const Table<MovieAccessOps> kMovieOps =
    WithTraps(MovieAccessOps{SIM_COUNTED(MovieAccess), {}, GetCast, nullptr, FindCast});

SimCast& CastOf(Obj<CastAccess>* self) {
  return self->host->casts[static_cast<std::size_t>(self->index - 1)];
}

Status TAMARISK_CALL FindMember(CastAccess* iface, const char* name, int32* index) {
  Obj<CastAccess>* self = Self(iface);
  self->host->log.push_back(std::string("FindMember ") + name);
  *index = 0;  // the first member of that name, if any
  for (const auto& m : CastOf(self).members) {
    if (m.second.name == name && *index == 0) *index = m.first;
  }
  return kOk;
}

Status TAMARISK_CALL GetMember(CastAccess* iface, int32 index, MemberAccess** out) {
  Obj<CastAccess>* self = Self(iface);
  self->host->log.push_back("GetMember " + std::to_string(index));
  if (CastOf(self).members.count(index) == 0) return NoObject(out);
  *out =
      NewTransient<MemberAccess>(self->host, &kMemberOps.ops, "MemberAccess", index, self->index);
  return kOk;
}

const Table<CastAccessOps> kCastOps =
    WithTraps(CastAccessOps{SIM_COUNTED(CastAccess), {}, FindMember, GetMember});

SimMember& MemberOf(Obj<MemberAccess>* self) {
  return self->host->casts[static_cast<std::size_t>(self->castIndex - 1)].members[self->index];
}

Status TAMARISK_CALL ReadProperty(MemberAccess* iface, Symbol property, HostValue* out) {
  Obj<MemberAccess>* self = Self(iface);
  SimHost* host = self->host;
  const SimMember& member = MemberOf(self);
  const std::string name = host->SymbolName(property);
  host->log.push_back("ReadProperty " + name);
  if (member.failingProperties.count(name) != 0) return kNoInterface;
  // A ladder, not a table: a table would copy a member's text, megabytes
  // for the large exports, on every read.
  const HostValue value =
      member.voidProperties.count(name) != 0 ? host->NewValue(ValueKind::kVoid, 0, "")
      : name == "name"                       ? host->StringValue(member.name)
      : name == "type"                       ? host->SymbolValue(member.type)
      : name == "fileName"                   ? host->StringValue(member.fileName)
      : name == "text"                       ? host->StringValue(member.text)
      : name == "size"
          ? (member.sizeIsInteger ? host->IntegerValue(member.size) : host->StringValue("?"))
          : host->NewValue(ValueKind::kVoid, 0, "");
  StateOf(*host).liveValues_.insert(value.words[1]);
  *out = value;
  return kOk;
}

#if defined(_WIN32)
// A read of a guard page goes on (the page is plain once touched) and the
// audit reports it: a fault nobody handles starts Wine's debugger, which hangs.
LONG CALLBACK LetGuardPageThrough(EXCEPTION_POINTERS* fault) {
  return fault->ExceptionRecord->ExceptionCode == STATUS_GUARD_PAGE_VIOLATION
             ? EXCEPTION_CONTINUE_EXECUTION
             : EXCEPTION_CONTINUE_SEARCH;
}
#endif

// A host handle. Its bytes end right where readable memory ends (on Windows a
// PAGE_NOACCESS or a PAGE_GUARD page follows them), so a module that reads one
// byte too many faults instead of reading the neighbour's.
class SimHandle {
 public:
  SimHandle(const std::vector<uint8>& bytes, bool guardPageAfter) : size_(bytes.size()) {
#if defined(_WIN32)
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    const std::size_t pages = (size_ + page - 1) / page;
    base_ = static_cast<uint8*>(
        VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(base_ + pages * page, page,
                   guardPageAfter ? PAGE_READWRITE | PAGE_GUARD : PAGE_NOACCESS, &old);
    bytes_ = base_ + pages * page - size_;
    static const PVOID handler = AddVectoredExceptionHandler(1, LetGuardPageThrough);
    static_cast<void>(handler);
    if (guardPageAfter) guard_ = base_ + pages * page;
#else
    static_cast<void>(guardPageAfter);  // no page is readable past the registered bytes
    base_ = new uint8[size_ == 0 ? 1 : size_];
    bytes_ = base_;
    NativeMarkReadable(bytes_, size_);
#endif
    if (size_ != 0) std::memcpy(bytes_, bytes.data(), size_);
  }
  ~SimHandle() {
#if defined(_WIN32)
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    NativeForgetReadable(bytes_);
    delete[] base_;
#endif
  }
  SimHandle(const SimHandle&) = delete;
  SimHandle& operator=(const SimHandle&) = delete;
  uint8* bytes() const { return bytes_; }
#if defined(_WIN32)
  // The first touch of a guard page clears its guard.
  bool GuardTouched() const {
    MEMORY_BASIC_INFORMATION region = {};
    return guard_ != nullptr && VirtualQuery(guard_, &region, sizeof region) != 0 &&
           (region.Protect & PAGE_GUARD) == 0;
  }
#endif

  int32 locks = 0;

 private:
  std::size_t size_;
  uint8* base_;
  uint8* bytes_;
#if defined(_WIN32)
  uint8* guard_ = nullptr;  // the guard page after the bytes, if any
#endif
};

Status TAMARISK_CALL ReadMedia(MemberAccess* iface, MediaRecord* record) {
  Obj<MemberAccess>* self = Self(iface);
  SimHost* host = self->host;
  const SimMember& member = MemberOf(self);
  const std::string label = host->SymbolName(record->label);
  const std::string format = host->SymbolName(record->format);
  host->log.push_back("ReadMedia " + label + " " + format);
  if (label == "Image" && format == "winDIB" && !member.dib.empty()) {
#if defined(_WIN32)
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, member.dib.size());
    std::memcpy(GlobalLock(block), member.dib.data(), member.dib.size());
    GlobalUnlock(block);
    record->mediaData = block;
#else
    record->mediaData = NativeGlobalAlloc(member.dib);
#endif
  } else if (label == "Composite" && format == "moaHandle" && !member.composite.empty()) {
    record->mediaData = new SimHandle(member.composite, member.compositeBeforeGuardPage);
  } else {
    return kNoInterface;
  }
  ++StateOf(*host).outstandingMedia_;
  return kOk;
}

const Table<MemberAccessOps> kMemberOps =
    WithTraps(MemberAccessOps{SIM_COUNTED(MemberAccess), ReadProperty, nullptr, ReadMedia});

// ---- media and handles -----------------------------------------------------

Status TAMARISK_CALL FreeMediaData(MediaServices* iface, MediaRecord* record) {
  SimHost* host = Self(iface)->host;
  host->log.push_back("FreeMediaData");
  if (record->mediaData == nullptr) return kOk;
  const std::string label = host->SymbolName(record->label);
  if (label == "Image") {
#if defined(_WIN32)
    HGLOBAL block = static_cast<HGLOBAL>(record->mediaData);
    const uint8* bytes = static_cast<const uint8*>(GlobalLock(block));
    host->lastReturnedImage.assign(bytes, bytes + GlobalSize(block));
    GlobalUnlock(block);
    GlobalFree(block);
#else
    NativeGlobalBlock* block = static_cast<NativeGlobalBlock*>(record->mediaData);
    if (block->locks != 0)
      StateOf(*host).misuse_.push_back("FreeMediaData of a locked global block");
    host->lastReturnedImage = block->bytes;
    NativeGlobalFree(block);
#endif
  } else {
    SimHandle* handle = static_cast<SimHandle*>(record->mediaData);
    if (handle->locks != 0) StateOf(*host).misuse_.push_back("FreeMediaData of a locked handle");
#if defined(_WIN32)
    if (handle->GuardTouched()) StateOf(*host).misuse_.push_back("a read into a guard page");
#endif
    delete handle;
  }
  record->mediaData = nullptr;
  --StateOf(*host).outstandingMedia_;
  return kOk;
}

const Table<MediaServicesOps> kMediaOps =
    WithTraps(MediaServicesOps{SIM_COUNTED(MediaServices), {}, FreeMediaData});

void* TAMARISK_CALL LockHandle(HandleServices* iface, HostHandle handle) {
  if (handle == nullptr) return nullptr;
  SimHandle* h = static_cast<SimHandle*>(handle);
  ++h->locks;
  ++StateOf(*Self(iface)->host).lockedHandles_;
  return h->bytes();
}

void TAMARISK_CALL UnlockHandle(HandleServices* iface, HostHandle handle) {
  SimHost* host = Self(iface)->host;
  if (handle == nullptr) return;
  SimHandle* h = static_cast<SimHandle*>(handle);
  if (h->locks == 0) {
    StateOf(*host).misuse_.push_back("UnlockHandle of a handle that is not locked");
    return;
  }
  --h->locks;
  --StateOf(*host).lockedHandles_;
}

const Table<HandleServicesOps> kHandleOps =
    WithTraps(HandleServicesOps{SIM_COUNTED(HandleServices), {}, LockHandle, UnlockHandle});

// ---- paths -----------------------------------------------------------------

Status TAMARISK_CALL GetPath(HostPaths* iface, int32 which, char* buffer, int32 size) {
  SimHost* host = Self(iface)->host;
  host->getPathSelectors.push_back(which);
  if (host->getPathFails) return kNoInterface;
  CopyOut(host->basePath, buffer, size);
  return kOk;
}

const Table<HostPathsOps> kPathsOps = WithTraps(HostPathsOps{SIM_COUNTED(HostPaths), GetPath});

// ---- instance records --------------------------------------------------------

// Header word 1 (host-private) leads back to the host's record of the instance.
SimInstance* InstanceOfRecord(InstanceHeader* header) {
  return static_cast<SimInstance*>(header->hostPrivate1);
}

Status TAMARISK_CALL InstanceQuery(InstanceHeader* header, const Guid* id, void** out) {
  SimInstance* instance = InstanceOfRecord(header);
  ++instance->queries;
  SimHost* host = static_cast<SimHost*>(header->hostPrivate4);
  return host->module().getInterface(header, &instance->classId, id, out);
}

// AddRef and Release: each counts its calls; the count is the host's one and the balance.
template <int32 SimInstance::*Calls>
uint32 TAMARISK_CALL CountInstanceCall(InstanceHeader* header) {
  SimInstance* instance = InstanceOfRecord(header);
  ++(instance->*Calls);
  return static_cast<uint32>(1 + instance->addRefs - instance->releases);
}

const InstanceOps kInstanceOps = {InstanceQuery, CountInstanceCall<&SimInstance::addRefs>,
                                  CountInstanceCall<&SimInstance::releases>};

}  // namespace

SimHost::SimHost(const ModuleApi& module) : state_(new State) {
  state_->module_ = &module;
  MakeOwn(this, &state_->gateway, kGatewayOps, "HostGateway");
  MakeOwn(this, &state_->allocator, kAllocatorOps, "HostAllocator");
  MakeOwn(this, &state_->registrar, kRegistrarOps, "HostRegistrar");
  MakeOwn(this, &state_->dictionary, kDictionaryOps, "HostDictionary");
  MakeOwn(this, &state_->utilities, kUtilitiesOps, "HostUtilities", &kHostUtilitiesId);
  MakeOwn(this, &state_->movieSource, kMovieSourceOps, "MovieSource", &kMovieSourceId);
  MakeOwn(this, &state_->mediaServices, kMediaOps, "MediaServices", &kMediaServicesId);
  MakeOwn(this, &state_->handleServices, kHandleOps, "HandleServices", &kHandleServicesId);
  MakeOwn(this, &state_->paths, kPathsOps, "HostPaths", &kHostPathsId);
  state_->values_.push_back(ValueData{ValueKind::kVoid, 0, ""});  // index 0: a void value
}

SimHost::~SimHost() {
  while (!state_->instances_.empty()) DeleteInstance(state_->instances_.back().get());
  for (void* block : state_->blocks_) std::free(block);
}

const ModuleApi& SimHost::module() const { return *state_->module_; }

std::vector<SimInstance*> SimHost::Instances() const {
  std::vector<SimInstance*> instances;
  for (const auto& instance : state_->instances_) instances.push_back(instance.get());
  return instances;
}

int32 SimHost::LiveMovieObjects() const { return state_->liveMovieObjects_; }
int32 SimHost::OutstandingBlocks() const { return static_cast<int32>(state_->blocks_.size()); }

HostAllocator* SimHost::allocator() { return &state_->allocator.iface; }
HostRegistrar* SimHost::registrar() { return &state_->registrar.iface; }

SimInstance* SimHost::NewInstance(const Guid& classId, Status* createStatus) {
  std::unique_ptr<SimInstance> instance(new SimInstance);
  instance->classId = classId;
  const Status form = state_->module_->getClassForm(&classId, &instance->size, &instance->create,
                                                    &instance->destroy);
  if (form != kOk) return nullptr;
  instance->record = std::calloc(1, instance->size);
  InstanceHeader* header = static_cast<InstanceHeader*>(instance->record);
  header->ops = &kInstanceOps;
  header->hostPrivate1 = instance.get();
  header->gateway = nullGateway ? nullptr : &state_->gateway.iface;
  header->allocator = allocator();
  header->hostPrivate4 = this;
  const Status status = instance->create(instance->record);
  if (createStatus != nullptr) *createStatus = status;
  state_->instances_.push_back(std::move(instance));
  return state_->instances_.back().get();
}

void SimHost::DeleteInstance(SimInstance* instance) {
  for (auto it = state_->instances_.begin(); it != state_->instances_.end(); ++it) {
    if (it->get() != instance) continue;
    if (instance->addRefs != instance->releases) {
      state_->misuse_.push_back("instance " + GuidText(instance->classId) + " destroyed after " +
                                std::to_string(instance->addRefs) + " AddRef and " +
                                std::to_string(instance->releases) + " Release from the module");
    }
    instance->destroy(instance->record);
    std::free(instance->record);
    state_->instances_.erase(it);
    return;
  }
}

Status SimHost::GetInterface(SimInstance* instance, const Guid& interfaceId,
                             InterfaceObject** out) {
  return state_->module_->getInterface(instance->record, &instance->classId, &interfaceId,
                                       reinterpret_cast<void**>(out));
}

Status SimHost::Call(InterfaceObject* scripting, int32 selector, const std::vector<HostValue>& args,
                     HostValue* result) {
  CallRecord call = {};
  call.selector = selector;
  call.result = result != nullptr ? *result : VoidValue();
  call.argCount = static_cast<int32>(args.size());
  std::vector<HostValue> copy(args);
  call.args = copy.empty() ? nullptr : copy.data();
  const ScriptingInterfaceOps* ops = static_cast<const ScriptingInterfaceOps*>(scripting->ops);
  const Status status = ops->DispatchCall(scripting, &call);
  if (result != nullptr) *result = call.result;
  return status;
}

HostValue SimHost::NewValue(ValueKind kind, int32 integer, const std::string& text) {
  state_->values_.push_back(ValueData{kind, integer, text});
  return HostValue{{static_cast<uint32>(kind), static_cast<uint32>(state_->values_.size() - 1)}};
}

const ValueData* SimHost::DataOf(const HostValue& value) const {
  if (value.words[1] >= state_->values_.size()) return nullptr;
  const ValueData& data = state_->values_[value.words[1]];
  if (static_cast<uint32>(data.kind) != value.words[0]) return nullptr;
  return &data;
}

ValueKind SimHost::KindOf(const HostValue& value) const {
  const ValueData* data = DataOf(value);
  return data != nullptr ? data->kind : ValueKind::kVoid;
}

int32 SimHost::IntegerOf(const HostValue& value) const {
  const ValueData* data = DataOf(value);
  return data != nullptr && data->kind == ValueKind::kInteger ? data->integer : -9999;
}

Symbol SimHost::Intern(const std::string& name) {
  for (std::size_t i = 0; i < state_->symbols_.size(); ++i) {
    if (state_->symbols_[i] == name) return static_cast<Symbol>(i + 1);
  }
  state_->symbols_.push_back(name);
  return static_cast<Symbol>(state_->symbols_.size());
}

std::string SimHost::SymbolName(Symbol symbol) const {
  if (symbol == 0 || symbol > state_->symbols_.size()) return std::string();
  return state_->symbols_[symbol - 1];
}

int32 SimHost::HostObjectRefs(const std::string& name) const {
  for (const Obj<HostUnknown>* obj : state_->ownObjects) {
    if (name == obj->name) return obj->refs - 1;  // beyond the host's own
  }
  return -1;
}

std::string SimHost::Audit() const {
  std::ostringstream out;
  for (const Obj<HostUnknown>* obj : state_->ownObjects) {
    const int32 held = obj->refs - 1;
    if (held != 0) out << obj->name << ": " << held << " reference(s) not released\n";
  }
  const auto unbalanced = [&out](const char* what, std::int64_t count) {
    if (count != 0) out << what << ": " << count << "\n";
  };
  unbalanced("movie, cast or member references held", state_->liveMovieObjects_);
  unbalanced("property values not disposed of", state_->liveValues_.size());
  unbalanced("media records not freed", state_->outstandingMedia_);
  unbalanced("handles still locked", state_->lockedHandles_);
  unbalanced("modal brackets open", modalDepth);
  for (const auto& instance : state_->instances_) {
    if (instance->addRefs != instance->releases) {
      out << "instance " << GuidText(instance->classId) << ": " << instance->addRefs << " AddRef, "
          << instance->releases << " Release\n";
    }
  }
  for (const std::string& m : state_->misuse_) out << m << "\n";
  return out.str();
}

std::string GuidText(const Guid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1],
                g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

}  // namespace sim
}  // namespace tamarisk
