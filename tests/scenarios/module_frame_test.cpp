// The module's entry points and interface objects, as a host observes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace tamarisk {
namespace test {
namespace {

constexpr uint32 kWord = sizeof(void*);

// The bytes of pairs of hex digits; blanks only group them.
std::vector<uint8> Hex(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  std::vector<uint8> bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<uint8>(std::stoi(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

const ScriptingInterfaceOps* OpsOf(InterfaceObject* object) {
  return static_cast<const ScriptingInterfaceOps*>(object->ops);
}

using ModuleFrame = HostTest;

// Without a class ID, the registration class's.
TEST_F(ModuleFrame, ClassFormOfEachClass) {
  uint32 size = 0;
  CreateFn create = nullptr;
  DestroyFn destroy = nullptr;
  ASSERT_EQ(kOk, TheModule().getClassForm(nullptr, &size, &create, &destroy));
  EXPECT_EQ(6 * kWord, size);
  ASSERT_NE(nullptr, create);
  ASSERT_NE(nullptr, destroy);
  std::vector<uint8> record(size, 0xAB);
  EXPECT_EQ(kOk, create(record.data()));
  destroy(record.data());
  EXPECT_EQ(std::vector<uint8>(size, 0xAB), record) << "the registration class touches nothing";
  ASSERT_EQ(kOk, TheModule().getClassForm(&kRegistrationClassId, &size, &create, &destroy));
  EXPECT_EQ(6 * kWord, size);
  ASSERT_EQ(kOk, TheModule().getClassForm(&kScriptingClassId, &size, &create, &destroy));
  EXPECT_EQ(10 * kWord, size) << "header and four interface fields";
}

TEST_F(ModuleFrame, ClassFormOfUnknownClassWritesNothing) {
  const Guid unknown = {0x80006002, 0x4B66, 0x11D0, {0x98, 0xF9, 0x44, 0x45, 0x53, 0x54, 0, 0}};
  uint32 size = 0x5A5A5A5A;
  CreateFn create = reinterpret_cast<CreateFn>(static_cast<std::uintptr_t>(0x1111));
  DestroyFn destroy = reinterpret_cast<DestroyFn>(static_cast<std::uintptr_t>(0x2222));
  EXPECT_EQ(kNoClass, TheModule().getClassForm(&unknown, &size, &create, &destroy));
  EXPECT_EQ(0x5A5A5A5Au, size);
  EXPECT_EQ(reinterpret_cast<CreateFn>(static_cast<std::uintptr_t>(0x1111)), create);
  EXPECT_EQ(reinterpret_cast<DestroyFn>(static_cast<std::uintptr_t>(0x2222)), destroy);
}

TEST_F(ModuleFrame, ClassObjectIsNeverOffered) {
  void* out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x77));
  EXPECT_EQ(kNoClass,
            TheModule().getClassObject(&kScriptingClassId, &kClassFactoryInterfaceId, &out));
  EXPECT_EQ(kNoClass, TheModule().getClassObject(nullptr, nullptr, nullptr));
  EXPECT_EQ(reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x77)), out);
}

TEST_F(ModuleFrame, InterfaceLookupHonoursTheClassFilter) {
  sim::SimInstance* instance = host.NewInstance(kRegistrationClassId);
  void* out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x99));
  EXPECT_EQ(kNoInterface, TheModule().getInterface(instance->record, &kRegistrationClassId,
                                                   &kScriptingInterfaceId, &out));
  EXPECT_EQ(reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x99)), out);
  EXPECT_EQ(kNoInterface,
            TheModule().getInterface(instance->record, nullptr, &kClassFactoryInterfaceId, &out));
  EXPECT_EQ(0, instance->addRefs) << "a failed lookup takes no reference";

  // Without a class filter either interface is found by its ID alone.
  for (const Guid* id : {&kRegistrationInterfaceId, &kScriptingInterfaceId}) {
    InterfaceObject* object = nullptr;
    ASSERT_EQ(kOk, TheModule().getInterface(instance->record, nullptr, id,
                                            reinterpret_cast<void**>(&object)));
    ASSERT_NE(nullptr, object);
    EXPECT_EQ(instance->record, object->outer);
    EXPECT_EQ(1, object->refCount);
    EXPECT_EQ(0u, OpsOf(object)->Release(object));
  }
}

TEST_F(ModuleFrame, ClassInfoTableIsExact) {
  ClassInfoEntry* table = nullptr;
  ASSERT_EQ(kOk, TheModule().getClassInfo(host.allocator(), &table));
  ASSERT_NE(nullptr, table);
  const std::string registration = "00600080 664B D011 98F9444553540000";
  const std::string scripting = "01600080 664B D011 98F9444553540000";
  const std::string factory = "01000000 0000 0000 C000000000000046";
  const std::string one = "01000000";
  const std::vector<uint8> expected =
      Hex(registration + one + factory + one + registration + one +
          "03783EAC 0200 E58F 0000080007160DC3" + one + scripting + one + factory + one +
          scripting + one + "B61F40AC 0100 B0F9 00000800072C6326" + one);
  ASSERT_EQ(160u, expected.size());
  std::vector<uint8> actual(reinterpret_cast<uint8*>(table), reinterpret_cast<uint8*>(table) + 200);
  EXPECT_EQ(expected, std::vector<uint8>(actual.begin(), actual.begin() + 160));
  // The terminator: null class and interface IDs.
  const std::vector<uint8> nullGuid(16, 0);
  EXPECT_EQ(nullGuid, std::vector<uint8>(actual.begin() + 160, actual.begin() + 176));
  EXPECT_EQ(nullGuid, std::vector<uint8>(actual.begin() + 180, actual.begin() + 196));
  // Ownership passed to the host: it frees the table.
  host.allocator()->ops->FreeBlock(host.allocator(), table);
  EXPECT_EQ(0, host.OutstandingBlocks());
}

TEST_F(ModuleFrame, ClassInfoWithoutMemory) {
  host.allocationsToFail = 1;
  ClassInfoEntry* table = reinterpret_cast<ClassInfoEntry*>(static_cast<std::uintptr_t>(0x55));
  EXPECT_EQ(kOutOfMemory, TheModule().getClassInfo(host.allocator(), &table));
  EXPECT_EQ(nullptr, table);
  EXPECT_EQ(0, host.allocationsToFail) << "exactly one allocation was tried";
}

TEST_F(ModuleFrame, InterfaceCreationWithoutMemoryFailsCleanly) {
  sim::SimInstance* instance = host.NewInstance(kScriptingClassId);
  host.allocationsToFail = 1;
  void* out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x99));
  EXPECT_EQ(kOutOfMemory, TheModule().getInterface(instance->record, &kScriptingClassId,
                                                   &kScriptingInterfaceId, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(0, instance->addRefs);
  EXPECT_EQ(kOk, TheModule().canUnloadNow());
}

// A new-handler that notes the size asked for and says it freed memory (1) or none (0).
std::vector<std::size_t> handlerSizes;
template <int Freed>
int NoteSize(std::size_t size) {
  handlerSizes.push_back(size);
  return Freed;
}

TEST_F(ModuleFrame, AFailedAllocationAsksTheProcessNewHandler) {
  struct Uninstall {
    ~Uninstall() { SetProcessNewHandler(nullptr); }
  } uninstall;
  sim::SimInstance* instance = host.NewInstance(kScriptingClassId);
  const std::vector<std::size_t> once = {sizeof(InterfaceObject)};

  handlerSizes.clear();
  SetProcessNewHandler(NoteSize<1>);
  host.allocationsToFail = 1;
  InterfaceObject* object = nullptr;
  ASSERT_EQ(kOk, host.GetInterface(instance, kScriptingInterfaceId, &object));
  EXPECT_EQ(once, handlerSizes) << "called once, with the object's size, then the retry succeeded";
  OpsOf(object)->Release(object);

  // A handler that frees nothing ends the retries.
  handlerSizes.clear();
  SetProcessNewHandler(NoteSize<0>);
  host.allocationsToFail = 5;
  void* out = nullptr;
  EXPECT_EQ(kOutOfMemory, TheModule().getInterface(instance->record, &kScriptingClassId,
                                                   &kScriptingInterfaceId, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(once, handlerSizes);
  host.allocationsToFail = 0;
}

TEST_F(ModuleFrame, ReferenceCountsAndOuterBalance) {
  sim::SimInstance* instance = host.NewInstance(kScriptingClassId);
  InterfaceObject* object = nullptr;
  ASSERT_EQ(kOk, host.GetInterface(instance, kScriptingInterfaceId, &object));
  EXPECT_EQ(2, instance->addRefs) << "one for the object, one for its reference";
  EXPECT_EQ(kStillInUse, TheModule().canUnloadNow());

  EXPECT_EQ(2u, OpsOf(object)->AddRef(object));
  EXPECT_EQ(1u, OpsOf(object)->Release(object));
  EXPECT_EQ(kStillInUse, TheModule().canUnloadNow());
  EXPECT_EQ(1, host.OutstandingBlocks());
  EXPECT_EQ(0u, OpsOf(object)->Release(object));
  EXPECT_EQ(0, host.OutstandingBlocks()) << "the object went back to the host's allocator";
  EXPECT_EQ(instance->addRefs, instance->releases);
  EXPECT_EQ(3, instance->addRefs);
  // Instance records still exist; only interface objects count.
  EXPECT_EQ(kOk, TheModule().canUnloadNow());
}

TEST_F(ModuleFrame, UnloadIsRefusedWhileAnyObjectLives) {
  sim::SimInstance* registration = host.NewInstance(kRegistrationClassId);
  InterfaceObject* first = nullptr;
  InterfaceObject* second = nullptr;
  ASSERT_EQ(kOk, host.GetInterface(registration, kRegistrationInterfaceId, &first));
  ASSERT_EQ(kOk, host.GetInterface(registration, kRegistrationInterfaceId, &second));
  EXPECT_NE(first, second);
  OpsOf(first)->Release(first);
  EXPECT_EQ(kStillInUse, TheModule().canUnloadNow());
  OpsOf(second)->Release(second);
  EXPECT_EQ(kOk, TheModule().canUnloadNow());
}

TEST_F(ModuleFrame, QueryInterfaceIsAnsweredByTheOuterInstance) {
  sim::SimInstance* instance = host.NewInstance(kScriptingClassId);
  InterfaceObject* object = nullptr;
  ASSERT_EQ(kOk, host.GetInterface(instance, kScriptingInterfaceId, &object));

  InterfaceObject* again = nullptr;
  EXPECT_EQ(kOk, OpsOf(object)->QueryInterface(object, &kScriptingInterfaceId,
                                               reinterpret_cast<void**>(&again)));
  EXPECT_EQ(1, instance->queries);
  ASSERT_NE(nullptr, again);
  OpsOf(again)->Release(again);

  void* none = nullptr;
  EXPECT_EQ(kNoInterface, OpsOf(object)->QueryInterface(object, &kHostUtilitiesId, &none));
  EXPECT_EQ(2, instance->queries);
  OpsOf(object)->Release(object);
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
