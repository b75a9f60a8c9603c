// Registration of the message table, and the scripting class's life: the
// host services it acquires, releases, and the routing of Lingo calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace tamarisk {
namespace test {
namespace {

const RegistrationInterfaceOps* RegistrationOps(InterfaceObject* object) {
  return static_cast<const RegistrationInterfaceOps*>(object->ops);
}

class Registration : public HostTest {
 protected:
  Status Publish(void* context) {
    sim::SimInstance* instance = host.NewInstance(kRegistrationClassId);
    InterfaceObject* object = nullptr;
    EXPECT_EQ(kOk, host.GetInterface(instance, kRegistrationInterfaceId, &object));
    const Status status =
        RegistrationOps(object)->PublishMessageTable(object, host.registrar(), context);
    RegistrationOps(object)->Release(object);
    return status;
  }
};

TEST_F(Registration, PublishesTheMessageTable) {
  int context = 0;
  ASSERT_EQ(kOk, Publish(&context));
  ASSERT_EQ(1u, host.dictionaryEntries.size());
  const sim::DictionaryEntry& entry = host.dictionaryEntries[0];
  EXPECT_EQ(&context, entry.context);
  EXPECT_EQ(sim::GuidText(kScriptingClassId), sim::GuidText(entry.classId));
  EXPECT_EQ(sim::GuidText(kScriptingInterfaceId), sim::GuidText(entry.interfaceId));
  EXPECT_EQ(9, entry.type);
  EXPECT_EQ(0, entry.length);
  EXPECT_EQ("msgTable", entry.key);
  EXPECT_EQ(
      "xtra Devorozaz\nnew object me\n* Plovers * -- copy srcFile to dstFile\n"
      "* Avocets * -- save a castMember to a File\n",
      entry.text);
  EXPECT_EQ(0, host.HostObjectRefs("HostDictionary"))
      << "the registry's dictionary is not released";
}

TEST_F(Registration, PassesTheHostsFailuresOn) {
  host.openDictionaryStatus = static_cast<Status>(0x80040011u);
  EXPECT_EQ(static_cast<Status>(0x80040011u), Publish(nullptr));
  EXPECT_TRUE(host.dictionaryEntries.empty());

  host.openDictionaryStatus = kOk;
  host.putEntryStatus = static_cast<Status>(0x80040002u);
  EXPECT_EQ(static_cast<Status>(0x80040002u), Publish(nullptr));
  EXPECT_EQ(1u, host.dictionaryEntries.size());
}

class ScriptingClass : public HostTest {
 protected:
  // The status of a new scripting instance's Create.
  Status Create() {
    Status status = kOk;
    host.NewInstance(kScriptingClassId, &status);
    return status;
  }
};

// The host services a Create asks for, in order.
const std::vector<std::string> kServices = {"HostUtilities", "MovieSource", "MediaServices",
                                            "HandleServices", "HostPaths"};

TEST_F(ScriptingClass, CreateWithoutGatewayAsksNothing) {
  host.nullGateway = true;
  EXPECT_EQ(kNoInterface, Create());
  EXPECT_TRUE(host.queryLog.empty());
}

// A Create asks for the host services in order and keeps all but the paths
// service, which it only borrows. The first failing query ends it; what was
// acquired before it is left for Destroy, which releases it. The last round
// fails none.
TEST_F(ScriptingClass, EveryQueryFailureIsNoInterface) {
  for (std::size_t failing = 0; failing <= kServices.size(); ++failing) {
    const bool fails = failing < kServices.size();
    SCOPED_TRACE(fails ? kServices[failing] : "no failure");
    sim::SimHost fresh(TheModule());
    if (fails) fresh.failingQueries = {kServices[failing]};
    Status status = kOk;
    sim::SimInstance* instance = fresh.NewInstance(kScriptingClassId, &status);
    EXPECT_EQ(fails ? kNoInterface : kOk, status);
    const std::size_t asked = std::min(failing + 1, kServices.size());
    EXPECT_EQ(std::vector<std::string>(kServices.begin(), kServices.begin() + asked),
              fresh.queryLog);
    EXPECT_EQ(fails ? std::vector<int32>{} : std::vector<int32>{4}, fresh.getPathSelectors);
    for (std::size_t held = 0; held < kServices.size(); ++held) {
      const bool kept = held < failing && kServices[held] != "HostPaths";
      EXPECT_EQ(kept ? 1 : 0, fresh.HostObjectRefs(kServices[held])) << kServices[held];
    }
    fresh.DeleteInstance(instance);
    EXPECT_EQ("", fresh.Audit());
  }
}

TEST_F(ScriptingClass, FailuresOfGetPathAndGetHostWindows) {
  host.getPathFails = true;
  EXPECT_EQ(kNoInterface, Create());
  EXPECT_EQ(0, host.HostObjectRefs("HostPaths")) << "released on failure too";
  EXPECT_TRUE(host.log.empty() || host.log.back() != "GetHostWindows");

  host.getPathFails = false;
  host.getHostWindowsFails = true;
  EXPECT_EQ(kNoInterface, Create());
  EXPECT_EQ("GetHostWindows", host.log.back());
}

// Each Create splits the host's base path into the drive and folder that
// complete a relative source, and takes the host's window; the latest Create
// decides, even one that then fails at the window.
TEST_F(ScriptingClass, TheBasePathAndWindowAsACallSeesThem) {
  MakeStage();
  MakeDirectory(Root() + "\\Later");
  WriteFile(Root() + "\\Movies\\a.txt", "movies");
  WriteFile(Root() + "\\Later\\a.txt", "later");
  WriteFile(Root() + "\\a.txt", "current");
  const auto copiedBy = [&](InterfaceObject* scripting) {
    RemoveFile(Root() + "\\copy.txt");
    const int32 result = CallHandler(
        kPlovers, {host.StringValue("a.txt"), host.StringValue(Root() + "\\copy.txt")}, scripting);
    return std::to_string(result) + " " + Content(Root() + "\\copy.txt");
  };
  const auto copied = [&](const std::string& basePath) {
    host.basePath = basePath;
    return copiedBy(NewScripting());
  };
  EXPECT_EQ("0 movies", copied(Root() + "\\Movies\\demo.dir"));
  EXPECT_EQ("0 movies", copied("Movies/demo.dir")) << "a relative folder, from the current one";
  EXPECT_EQ("0 current", copied("demo.dir")) << "no folder: the current one";
  // A folder longer than a component holds is cut, never overrun.
  EXPECT_EQ("3 <missing>", copied("C:\\" + std::string(254, 'd') + "\\a"));

  InterfaceObject* first = NewScripting();
  host.basePath = Root() + "\\Later\\c.dir";
  host.window = reinterpret_cast<WindowHandle>(static_cast<std::uintptr_t>(0x9999));
  host.getHostWindowsFails = true;
  EXPECT_EQ(kNoInterface, Create());
  host.getHostWindowsFails = false;
  EXPECT_EQ("0 later", copiedBy(first)) << "the base path was taken before the failure";

  host.basePath = Root() + "\\Movies\\demo.dir";
  NewScripting();
  Ui().choices = {{true, ""}};
  CallHandler(kPlovers, {host.StringValue("a.txt")}, first);
  ASSERT_EQ(1u, Ui().dialogs.size());
  EXPECT_EQ(host.window, Ui().dialogs[0].owner) << "the latest Create's window";
}

TEST_F(ScriptingClass, OtherSelectorsRunNothing) {
  InterfaceObject* scripting = NewScripting();
  const std::size_t logged = host.log.size();
  for (int32 selector : {0, 3, -1}) {
    HostValue result = host.IntegerValue(4242);
    const HostValue before = result;
    EXPECT_EQ(kOk, host.Call(scripting, selector, {host.StringValue("a.txt")}, &result));
    EXPECT_EQ(before.words[0], result.words[0]) << selector;
    EXPECT_EQ(before.words[1], result.words[1]) << selector;
  }
  EXPECT_EQ(logged, host.log.size()) << "no host service was called";
  EXPECT_EQ(0, host.modalBrackets);
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
