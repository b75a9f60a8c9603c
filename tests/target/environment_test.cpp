// The Wine environment the target scenarios rely on: the Japanese ANSI code
// page, or the English one where a run of the box checks asks for it, and
// double-byte file names that reach the disk.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// scripts/wine-run.sh starts Wine in TAMARISK_LOCALE, ja_JP.UTF-8 unless set.
TEST(Environment, TheAnsiCodePageIsTheRunsOwn) {
  const char* locale = std::getenv("TAMARISK_LOCALE");
  const bool english = locale != nullptr && std::string(locale).rfind("en_US", 0) == 0;
  EXPECT_EQ(english ? 1252u : 932u, GetACP());
  EXPECT_EQ(!english, IsDBCSLeadByte(0x95) != FALSE);
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
