// The Wine environment the target scenarios rely on: the Japanese ANSI code
// page, and double-byte file names that reach the disk.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(Environment, TheAnsiCodePageIs932) {
  EXPECT_EQ(932u, GetACP());
  EXPECT_TRUE(IsDBCSLeadByte(0x95));
  EXPECT_FALSE(IsDBCSLeadByte(0x5C));
}

TEST(Environment, DoubleByteNamesReachTheDisk) {
  const char* folder = "C:\\tamarisk-env-\x95\x5C";
  CreateDirectoryA(folder, nullptr);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(folder, &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  FindClose(search);
  EXPECT_STREQ("tamarisk-env-\x95\x5C", found.cFileName);
  EXPECT_TRUE(RemoveDirectoryA(folder));
}

}  // namespace
