// What the scripting class leaves in the module context, read here directly,
// inside the module.
#include <gtest/gtest.h>

#include <string>

#include "common/module_state.h"
#include "support/host_fixture.h"

namespace tamarisk {
namespace test {
namespace {

class ModuleContextTest : public HostTest {
 protected:
  void CreateWithBasePath(const std::string& basePath) {
    host.basePath = basePath;
    Status status = kNoInterface;
    host.NewInstance(kScriptingClassId, &status);
    ASSERT_EQ(kOk, status);
  }
};

TEST_F(ModuleContextTest, BasePathSplitsIntoDriveAndDirectory) {
  CreateWithBasePath("C:\\Movies\\demo.dir");
  EXPECT_STREQ("C:", moduleContext.baseDrive);
  EXPECT_STREQ("\\Movies\\", moduleContext.baseDirectory);
  EXPECT_EQ(host.window, moduleContext.hostWindow);
  EXPECT_EQ(host.hostInstance, moduleContext.hostInstance);

  CreateWithBasePath("Movies/demo.dir");
  EXPECT_STREQ("", moduleContext.baseDrive);
  EXPECT_STREQ("Movies/", moduleContext.baseDirectory);

  CreateWithBasePath("demo.dir");
  EXPECT_STREQ("", moduleContext.baseDrive);
  EXPECT_STREQ("", moduleContext.baseDirectory);

  CreateWithBasePath("D:\\\x95\x5C\\demo.dir");  // the trail byte 0x5C is no separator
  EXPECT_STREQ("D:", moduleContext.baseDrive);
  EXPECT_STREQ("\\\x95\x5C\\", moduleContext.baseDirectory);
}

TEST_F(ModuleContextTest, AnOverlongDirectoryIsCut) {
  // 256 bytes of directory: what the host's 259-character path can hold.
  CreateWithBasePath("C:\\" + std::string(254, 'd') + "\\a");
  EXPECT_EQ(255u, std::string(moduleContext.baseDirectory).size());
}

TEST_F(ModuleContextTest, TheLastCreateWins) {
  CreateWithBasePath("C:\\First\\a.dir");
  host.window = reinterpret_cast<WindowHandle>(static_cast<std::uintptr_t>(0x9999));
  CreateWithBasePath("E:\\Second\\b.dir");
  host.DeleteInstance(host.Instances().back());
  EXPECT_STREQ("E:", moduleContext.baseDrive);
  EXPECT_STREQ("\\Second\\", moduleContext.baseDirectory);
  EXPECT_EQ(host.window, moduleContext.hostWindow);
}

TEST_F(ModuleContextTest, AFailedGetHostWindowsHasAlreadyReplacedTheBase) {
  CreateWithBasePath("C:\\First\\a.dir");
  host.basePath = "F:\\Later\\c.dir";
  host.getHostWindowsFails = true;
  Status status = kOk;
  host.NewInstance(kScriptingClassId, &status);
  EXPECT_EQ(kNoInterface, status);
  EXPECT_STREQ("F:", moduleContext.baseDrive);
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
