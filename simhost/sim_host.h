// A simulated host: every host interface the module uses, with a movie of
// casts and members, failure injection, a record of what the module called,
// and an audit of references, values, media and modal brackets.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/host_abi.h"

namespace tamarisk {
namespace sim {

// The module's entry points, however they were reached (linked or loaded).
struct ModuleApi {
  DllGetClassObjectFn getClassObject = nullptr;
  DllCanUnloadNowFn canUnloadNow = nullptr;
  DllGetClassFormFn getClassForm = nullptr;
  DllGetInterfaceFn getInterface = nullptr;
  DllGetClassInfoFn getClassInfo = nullptr;
};

enum class ValueKind : uint32 { kVoid = 0, kInteger = 1, kString = 2, kSymbol = 3, kFloat = 4 };

struct ValueData {
  ValueKind kind;
  int32 integer;
  std::string text;
};

struct SimMember {
  std::string name;
  std::string type;      // symbol name, e.g. "bitmap"
  std::string fileName;  // linked file; empty when internal
  std::string text;      // "text" of field and richText members
  int32 size = 0;        // "size" property
  bool sizeIsInteger = true;
  std::vector<uint8> dib;                 // "Image"/"winDIB" media; empty: none delivered
  std::vector<uint8> composite;           // "Composite"/"moaHandle" media; empty: none delivered
  bool compositeBeforeGuardPage = false;  // its handle ends at a PAGE_GUARD page, not PAGE_NOACCESS
  std::set<std::string> voidProperties;   // read as a void value
  std::set<std::string> failingProperties;  // ReadProperty fails
};

struct SimCast {
  std::string name;
  std::map<int32, SimMember> members;  // by member number
};

struct DictionaryEntry {
  void* context;
  Guid classId;
  Guid interfaceId;
  int32 type;
  std::string text;  // the data as a NUL-terminated text
  int32 length;
  std::string key;
};

// One instance record allocated by the host.
struct SimInstance {
  void* record = nullptr;
  Guid classId{};
  uint32 size = 0;
  CreateFn create = nullptr;
  DestroyFn destroy = nullptr;
  int32 addRefs = 0;   // calls of the instance's AddRef by the module
  int32 releases = 0;  // calls of its Release
  int32 queries = 0;   // QueryInterface calls forwarded to it
};

class SimHost {
 public:
  explicit SimHost(const ModuleApi& module);
  ~SimHost();
  SimHost(const SimHost&) = delete;
  SimHost& operator=(const SimHost&) = delete;

  // --- configuration -----------------------------------------------------
  std::string basePath = "C:\\Movies\\demo.dir";
  WindowHandle window = reinterpret_cast<WindowHandle>(static_cast<std::uintptr_t>(0x1234));
  InstanceHandle hostInstance =
      reinterpret_cast<InstanceHandle>(static_cast<std::uintptr_t>(0x4000));
  std::vector<SimCast> casts;  // cast number = position + 1
  bool hasMovie = true;

  // --- failure injection --------------------------------------------------
  int allocationsToFail = 0;             // the next N AllocateBlock calls return null
  bool nullGateway = false;              // instance records get no gateway
  std::set<std::string> failingQueries;  // interface names whose query fails
  bool getPathFails = false;
  bool getHostWindowsFails = false;
  Status openDictionaryStatus = kOk;
  Status putEntryStatus = kOk;
  bool valueAsTextWritesGarbage = false;  // a failed conversion scribbles the buffer

  // --- what the module did --------------------------------------------------
  std::vector<std::string> queryLog;  // interface names asked of the gateway, in order
  std::vector<DictionaryEntry> dictionaryEntries;
  std::vector<int32> getPathSelectors;
  int32 modalDepth = 0;
  int32 modalBrackets = 0;       // completed Begin/EndModal pairs
  std::vector<std::string> log;  // notable calls, in order

  // --- the host's side of the module -----------------------------------------
  const ModuleApi& module() const;
  HostAllocator* allocator();
  HostRegistrar* registrar();

  // Allocates and creates an instance of a class, as a host does.
  SimInstance* NewInstance(const Guid& classId, Status* createStatus = nullptr);
  // Destroys and frees it; the pointer is gone afterwards.
  void DeleteInstance(SimInstance* instance);
  // Asks the module for an interface object on an instance.
  Status GetInterface(SimInstance* instance, const Guid& interfaceId, InterfaceObject** out);

  // Runs one Lingo call through the scripting interface; result holds the
  // record's result before the call and receives it after.
  Status Call(InterfaceObject* scripting, int32 selector, const std::vector<HostValue>& args,
              HostValue* result);

  // --- values ----------------------------------------------------------------
  HostValue NewValue(ValueKind kind, int32 integer, const std::string& text);
  const ValueData* DataOf(const HostValue& value) const;
  HostValue StringValue(const std::string& text) { return NewValue(ValueKind::kString, 0, text); }
  HostValue IntegerValue(int32 n) { return NewValue(ValueKind::kInteger, n, ""); }
  HostValue SymbolValue(const std::string& name) { return NewValue(ValueKind::kSymbol, 0, name); }
  HostValue FloatValue() { return NewValue(ValueKind::kFloat, 0, "1.5"); }
  HostValue VoidValue() { return HostValue{{0, 0}}; }
  ValueKind KindOf(const HostValue& value) const;
  int32 IntegerOf(const HostValue& value) const;
  Symbol Intern(const std::string& name);
  std::string SymbolName(Symbol symbol) const;

  // --- audit -----------------------------------------------------------------
  // Empty when every reference, value, media record, block and modal bracket
  // the module took has been given back; otherwise what is out of balance.
  std::string Audit() const;

  int32 HostObjectRefs(const std::string& name) const;
  int32 LiveMovieObjects() const;
  int32 OutstandingBlocks() const;
  // The bytes of the last "winDIB" block as it went back to the host.
  std::vector<uint8> lastReturnedImage;

  // Every instance record the host has made and not yet deleted.
  std::vector<SimInstance*> Instances() const;

  // The host's own bookkeeping, which its operation tables share.
  struct State;

 private:
  friend State& StateOf(SimHost& host);
  std::unique_ptr<State> state_;
};

// Formats a GUID as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
std::string GuidText(const Guid& guid);

}  // namespace sim
}  // namespace tamarisk
