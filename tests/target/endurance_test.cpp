// The real TAMARISK.x32 over a long run: one loaded module serving ten
// thousand mixed calls, and the module loaded, registered, used and unloaded
// a thousand times. The host stays balanced after every call, and the
// process's memory, handles and thread-local storage slots stay flat.
#include <windows.h>
#include <psapi.h>  // the counters' layout; the function is taken from kernel32

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/host_ids.h"
#include "simhost/iat_patch.h"
#include "simhost/module_loader.h"
#include "support/expected_texts.h"
#include "support/host_fixture.h"
#include "support/packed_dib.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;

constexpr SIZE_T kMemoryTolerance = 1 << 20;
constexpr DWORD kHandleTolerance = 10;
constexpr int kTlsTolerance = 10;

struct Usage {
  SIZE_T privateBytes;  // Wine: RssAnon + VmSwap
  SIZE_T workingSet;    // Wine: VmRSS
  DWORD handles;
  int freeTlsSlots;  // a process has about a thousand; one lost per load ends loading
};

int FreeTlsSlots() {
  std::vector<DWORD> taken;
  for (DWORD slot = TlsAlloc(); slot != TLS_OUT_OF_INDEXES; slot = TlsAlloc())
    taken.push_back(slot);
  for (const DWORD slot : taken) TlsFree(slot);
  return static_cast<int>(taken.size());
}

// Wine's GetProcessHandleCount succeeds but always gives 0. There a new
// handle takes the lowest free slot (value 4 for the first): with more
// probes than the table has holes, the last lands just past the handles in
// use and the probes.
DWORD HandlesInUse() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
  constexpr std::size_t kProbes = 256;
  std::vector<HANDLE> probes;
  while (probes.size() < kProbes) {
    const HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (probe == nullptr) break;
    probes.push_back(probe);
  }
  if (probes.size() < kProbes) ADD_FAILURE() << "no probe handles";
  const UINT_PTR last = probes.empty() ? 0 : reinterpret_cast<UINT_PTR>(probes.back());
  for (const HANDLE probe : probes) CloseHandle(probe);
  return static_cast<DWORD>(last / 4 - probes.size());
}

// K32GetProcessMemoryInfo from kernel32, so that nothing links psapi.
Usage Measure() {
  using GetMemoryInfo = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
  static const GetMemoryInfo getMemoryInfo =
      reinterpret_cast<GetMemoryInfo>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (getMemoryInfo == nullptr || !getMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    ADD_FAILURE() << "no process memory counters";
  }
  return {counters.PagefileUsage, counters.WorkingSetSize, HandlesInUse(), FreeTlsSlots()};
}

bool TlsSlotsLost(const Usage& start, const Usage& now) {
  return start.freeTlsSlots - now.freeTlsSlots >= kTlsTolerance;
}

void ExpectFlat(const Usage& start, const Usage& end) {
  EXPECT_FALSE(TlsSlotsLost(start, end)) << "free thread-local storage slots from "
                                         << start.freeTlsSlots << " to " << end.freeTlsSlots;
  EXPECT_LT(end.privateBytes, start.privateBytes + kMemoryTolerance)
      << "private bytes from " << start.privateBytes << " to " << end.privateBytes;
  EXPECT_LT(end.workingSet, start.workingSet + kMemoryTolerance)
      << "working set from " << start.workingSet << " to " << end.workingSet;
  EXPECT_LT(end.handles, start.handles + kHandleTolerance)
      << "handles from " << start.handles << " to " << end.handles;
}

// A temporary export file ("cx", a letter, five digits) in a folder.
bool AnyTemporaryFile(const std::string& folder) {
  for (const std::string& entry : FolderListing(folder)) {
    const std::string name = Lower(entry.substr(0, entry.find(' ')));
    bool digits =
        name.size() == 8 && name.compare(0, 2, "cx") == 0 && name[2] >= 'a' && name[2] <= 'z';
    for (std::size_t i = 3; digits && i < 8; ++i) digits = name[i] >= '0' && name[i] <= '9';
    if (digits) return true;
  }
  return false;
}

// A string or an integer argument, made a host value in each session.
struct Arg {
  Arg(const std::string& text) : isString(true), text(text) {}
  Arg(const char* text) : isString(true), text(text) {}
  Arg(int32 n) : n(n) {}
  bool isString = false;
  std::string text;
  int32 n = 0;
};

// One call of the mix and what it must give.
struct Step {
  const char* what;
  int32 selector;
  std::vector<Arg> args;
  std::vector<int> answers;
  std::vector<DialogChoice> choices;
  int32 result;
  std::size_t messages;
  std::string made;  // removed after the call, so every round starts alike
};

// An 8-bit bitmap with its 256 colours.
std::vector<uint8> Dib8(int32 width, int32 height) {
  const uint32 row = static_cast<uint32>((width * 8 + 31) / 32 * 4);
  return PackedDib({width, height, 8, 0, 0, 0, 256, row * static_cast<uint32>(height)});
}

// The movie every host of the run plays.
std::vector<sim::SimCast> Casts() {
  sim::SimCast cast;
  cast.name = "Internal";
  cast.members[1] = MakeMember("Notes.doc", "field", "endurance\rtext\r\n");
  cast.members[2] = MakeMember("", "richText", "rich\r");
  sim::SimMember& picture = cast.members[3] = MakeMember("Map", "picture");
  picture.size = 64 + 300;
  picture.composite.assign(38 + 300, 0x42);
  sim::SimMember& bitmap = cast.members[4] = MakeMember("Logo", "bitmap");
  bitmap.dib = Dib8(16, 16);
  sim::SimMember& linked = cast.members[5] = MakeMember("Theme", "sound");
  linked.fileName = Root() + "\\Data\\linked.wav";
  cast.members[6] = MakeMember("Script", "script");
  sim::SimMember& core = cast.members[7] = MakeMember("Core", "bitmap");
  core.dib = Dib8(4, 4);
  core.dib[0] = 12;  // a header the writer does not take
  sim::SimMember& shortPicture = cast.members[8] = MakeMember("Short", "picture");
  shortPicture.size = 64;
  shortPicture.composite.assign(20, 0x42);
  return {cast};
}

class Endurance : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    MakeStage();
    MakeDirectory(Root() + "\\Out\\Folder");
    WriteFile(Src(), "source bytes\r\n");
    WriteFile(Root() + "\\Data\\linked.wav", "RIFF linked");
    WriteFile(Out("keep.txt"), "keep");
  }

  std::string Src() { return Root() + "\\Data\\a.txt"; }
  std::string Out(const std::string& name) { return Root() + "\\Out\\" + name; }

  std::vector<Step> Round() {
    const std::string copy = Out("copy.txt");
    const std::string picked = Out("picked.txt");
    const std::string notes = Out("notes.txt");  // saved as notes.doc: a text file
    const std::string chosen = Out("chosen");    // the kind's extension is added
    return {
        {"copy", kPlovers, {Src(), copy}, {}, {}, 0, 0, ""},
        {"overwrite, Yes", kPlovers, {Src(), copy}, {x::kIdYes}, {}, 0, 1, ""},
        {"overwrite, No", kPlovers, {Src(), copy}, {x::kIdNo}, {}, 1, 2, ""},
        {"overwrite, no box", kPlovers, {Src(), copy}, {0}, {}, 5, 1, copy},
        {"copy through the dialog", kPlovers, {Src()}, {}, {{false, picked}}, 0, 0, picked},
        {"dialog cancelled", kPlovers, {Src()}, {}, {{true, ""}}, 1, 1, ""},
        {"missing source", kPlovers, {Root() + "\\Data\\missing.txt", copy}, {}, {}, 3, 1, ""},
        {"no arguments", kPlovers, {}, {}, {}, 2, 1, ""},
        {"the source itself", kPlovers, {Src(), Src()}, {}, {}, 2, 1, ""},
        {"a folder", kPlovers, {Src(), Out("Folder")}, {}, {}, 4, 1, ""},
        {"field", kAvocets, {"Internal", "Notes.doc", Out("notes.doc")}, {}, {}, 0, 0, notes},
        {"richText", kAvocets, {1, 2, Out("rich")}, {}, {}, 0, 0, Out("rich.txt")},
        {"picture", kAvocets, {1, 3, Out("map")}, {}, {}, 0, 0, Out("map.pic")},
        {"bitmap", kAvocets, {1, "Logo", Out("logo")}, {}, {}, 0, 0, Out("logo.bmp")},
        {"linked", kAvocets, {1, 5, Out("theme.wav")}, {}, {}, 0, 0, Out("theme.wav")},
        {"bitmap, dialog cancelled", kAvocets, {1, 4}, {}, {{true, ""}}, 1, 1, ""},
        {"field, the dialog", kAvocets, {1, 1}, {}, {{false, chosen}}, 0, 0, chosen + ".txt"},
        {"unsupported", kAvocets, {1, 6, Out("x")}, {}, {}, 2, 1, ""},
        {"no such cast", kAvocets, {"Nowhere", 1}, {}, {}, 10, 1, ""},
        {"no such member", kAvocets, {1, 99}, {}, {}, 11, 1, ""},
        {"bitmap not converted", kAvocets, {1, 7, Out("core")}, {}, {}, 12, 1, ""},
        {"short picture", kAvocets, {1, 8, Out("short")}, {}, {}, 4, 1, ""},
        {"export over a file, No", kAvocets, {1, 1, Out("keep.doc")}, {x::kIdNo}, {}, 1, 2, ""},
        {"export over a file, Yes", kAvocets, {1, 1, Out("keep.doc")}, {x::kIdYes}, {}, 0, 1, ""},
        {"one argument", kAvocets, {1}, {}, {}, 2, 1, ""},
    };
  }
};

TEST_F(Endurance, TenThousandCallsOfOneModule) {
  constexpr int kCalls = 10000;
  constexpr int kCallsPerSession = 250;  // then a fresh host, so that its records stay small
  constexpr int kWarmUp = 1000;
  const std::vector<Step> round = Round();
  Usage start = {};
  int call = 0;
  while (call < kCalls) {
    // A host session: its own values and log, one scripting instance.
    {
      sim::SimHost session(TheModule());
      session.basePath = Root() + "\\Movies\\demo.dir";
      session.casts = Casts();
      sim::SimInstance* instance = session.NewInstance(kScriptingClassId);
      InterfaceObject* scripting = nullptr;
      ASSERT_EQ(kOk, session.GetInterface(instance, kScriptingInterfaceId, &scripting));
      const std::string baseline = session.Audit();
      for (int i = 0; i < kCallsPerSession; ++i, ++call) {
        const Step& step = round[static_cast<std::size_t>(call) % round.size()];
        SCOPED_TRACE(std::to_string(call) + " " + step.what);
        Ui().Reset(&session);
        Ui().answers.assign(step.answers.begin(), step.answers.end());
        Ui().choices.assign(step.choices.begin(), step.choices.end());
        std::vector<HostValue> args;
        for (const Arg& arg : step.args) {
          args.push_back(arg.isString ? session.StringValue(arg.text)
                                      : session.IntegerValue(arg.n));
        }
        HostValue result = session.VoidValue();
        ASSERT_EQ(kOk, session.Call(scripting, step.selector, args, &result));
        ASSERT_EQ(step.result, session.IntegerOf(result));
        ASSERT_EQ(step.messages, Ui().messages.size());
        ASSERT_TRUE(Ui().answers.empty() && Ui().choices.empty());
        ASSERT_EQ(baseline, session.Audit());
        ASSERT_FALSE(AnyTemporaryFile(Root()));
        if (!step.made.empty()) {
          ASSERT_TRUE(DeleteFileA(step.made.c_str()));
        }
        session.log.clear();
      }
      static_cast<const ScriptingInterfaceOps*>(scripting->ops)->Release(scripting);
      session.DeleteInstance(instance);
      ASSERT_EQ("", session.Audit());
      Ui().Reset(&host);
    }
    if (call == kWarmUp) start = Measure();
  }
  ExpectFlat(start, Measure());
  EXPECT_EQ(kOk, TheModule().canUnloadNow());
}

// ---- loading and unloading ---------------------------------------------------------

int scriptedBoxes = 0;

int WINAPI CountedMessageBox(HWND, LPCWSTR, LPCWSTR, UINT) {
  ++scriptedBoxes;
  return IDOK;
}

BOOL WINAPI CancelledSaveDialog(LPOPENFILENAMEW) { return FALSE; }

// Registers the module as a host does, then creates a scripting instance,
// runs three calls (a copy of `source` among them) and destroys it.
void RegisterAndUse(const sim::ModuleApi& api, const std::string& source) {
  sim::SimHost cycle(api);
  cycle.basePath = Root() + "\\Movies\\demo.dir";
  cycle.casts = Casts();

  ClassInfoEntry* table = nullptr;
  ASSERT_EQ(kOk, api.getClassInfo(cycle.allocator(), &table));
  cycle.allocator()->ops->FreeBlock(cycle.allocator(), table);

  sim::SimInstance* registration = cycle.NewInstance(kRegistrationClassId);
  InterfaceObject* registrar = nullptr;
  ASSERT_EQ(kOk, cycle.GetInterface(registration, kRegistrationInterfaceId, &registrar));
  const auto* registrationOps = static_cast<const RegistrationInterfaceOps*>(registrar->ops);
  ASSERT_EQ(kOk, registrationOps->PublishMessageTable(registrar, cycle.registrar(), nullptr));
  registrationOps->Release(registrar);
  cycle.DeleteInstance(registration);
  ASSERT_EQ(1u, cycle.dictionaryEntries.size());

  Status created = kNoInterface;
  sim::SimInstance* instance = cycle.NewInstance(kScriptingClassId, &created);
  ASSERT_EQ(kOk, created);
  InterfaceObject* scripting = nullptr;
  ASSERT_EQ(kOk, cycle.GetInterface(instance, kScriptingInterfaceId, &scripting));
  HostValue result = cycle.VoidValue();
  const std::string target = Root() + "\\cycle.txt";
  cycle.Call(scripting, kPlovers, {cycle.StringValue(source), cycle.StringValue(target)}, &result);
  EXPECT_EQ(0, cycle.IntegerOf(result));
  DeleteFileA(target.c_str());
  cycle.Call(scripting, kPlovers, {}, &result);
  EXPECT_EQ(2, cycle.IntegerOf(result));
  cycle.Call(scripting, kAvocets, {cycle.IntegerValue(1), cycle.IntegerValue(1)}, &result);
  EXPECT_EQ(1, cycle.IntegerOf(result)) << "the dialog is cancelled";
  static_cast<const ScriptingInterfaceOps*>(scripting->ops)->Release(scripting);
  cycle.DeleteInstance(instance);
  EXPECT_EQ(kOk, api.canUnloadNow());
  EXPECT_EQ("", cycle.Audit());
}

TEST_F(Endurance, AThousandLoadsAndUnloads) {
  // A copy under its own name, so that each FreeLibrary unloads it for real
  // while the tests' own copy stays loaded.
  const char* named = std::getenv("TAMARISK_DLL_WIN");
  const std::string original = named != nullptr ? named : sim::ModuleBesideProgram();
  const std::string copy = Root() + "\\TAMARISK-cycle.x32";
  ASSERT_TRUE(CopyFileA(original.c_str(), copy.c_str(), FALSE));

  constexpr int kCycles = 1000;
  constexpr int kWarmUp = 50;
  Usage start = {};
  scriptedBoxes = 0;
  int done = 0;
  while (done < kCycles) {
    if (done == kWarmUp) start = Measure();
    sim::LoadedModule loaded;
    std::string error;
    ASSERT_TRUE(sim::LoadModule(copy, &loaded, &error)) << error;
    {
      const HMODULE module = static_cast<HMODULE>(loaded.handle);
      sim::ImportPatch box(module, "user32.dll", "MessageBoxW",
                           reinterpret_cast<void*>(CountedMessageBox));
      sim::ImportPatch dialog(module, "comdlg32.dll", "GetSaveFileNameW",
                              reinterpret_cast<void*>(CancelledSaveDialog));
      ASSERT_TRUE(box.installed() && dialog.installed());
      RegisterAndUse(loaded.api, Src());
    }
    sim::UnloadModule(&loaded);
    // The copy's thread, one of the pool's, gives its reference back just
    // after the copy's call returned.
    for (int ms = 0; ms < 1000 && GetModuleHandleA(copy.c_str()) != nullptr; ++ms) Sleep(1);
    ASSERT_EQ(nullptr, GetModuleHandleA(copy.c_str()))
        << "cycle " << done << ": the module stayed loaded";
    ++done;
    // Stop before lost slots leave the later tests unable to load the module.
    if (HasFailure() || (done > kWarmUp && done % 50 == 0 && TlsSlotsLost(start, Measure()))) break;
  }
  EXPECT_EQ(kCycles, done) << "stopped early";
  ExpectFlat(start, Measure());
  EXPECT_EQ(2 * done, scriptedBoxes) << "an argument error and a cancelled dialog each cycle";
  EXPECT_FALSE(AnyTemporaryFile(Root()));
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
