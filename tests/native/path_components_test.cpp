// Splitting, joining and lowercasing paths, double-byte aware (CP932).
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "base/path.h"
#include "filecopy/copy_routine.h"

namespace tamarisk {
namespace {

// Drive, directory, name and extension.
using Split = std::array<std::string, 4>;

Split SplitOf(const std::string& path) {
  PathComponents parts;
  SplitPath(path.c_str(), &parts);
  return {parts.drive, parts.directory, parts.name, parts.extension};
}

TEST(SplitPath, Components) {
  const struct {
    const char* path;
    Split split;
  } rows[] = {
      {"C:\\Movies\\demo.dir", {"C:", "\\Movies\\", "demo", ".dir"}},
      {"a/b\\c.d.e", {"", "a/b\\", "c.d", ".e"}},
      {"dir.x\\name", {"", "dir.x\\", "name", ""}},  // a dot in the directory is no extension
      {"C:", {"C:", "", "", ""}},
      // 0x95 0x5C is one character whose trail byte is a backslash: no
      // separator, and no dot either.
      {"C:\\\x95\x5C\\file\x95\x5C.txt", {"C:", "\\\x95\x5C\\", "file\x95\x5C", ".txt"}},
  };
  for (const auto& row : rows) EXPECT_EQ(row.split, SplitOf(row.path)) << row.path;
}

// Where a given destination leads, decided from the source alone: no host,
// no files, no person.
TEST(ResolveDestination, FromTheSourcesFolder) {
  struct Row {
    const char* given;
    const char* offered;
    const char* extension;  // forced, or null
    const char* resolved;   // null: refused
  } rows[] = {
      {"C:\\Out\\Report.TXT", "a.txt", nullptr, "c:\\out\\report.txt"},
      {"x.txt", "a.txt", nullptr, "c:\\data\\x.txt"},
      {"..\\x.txt", "a.txt", nullptr, "c:\\data\\..\\x.txt"},
      {"C:/Out/x.txt", "a.txt", nullptr, "c:/out/x.txt"},
      {"D:", "Notes.doc", nullptr, "d:\\notes.doc"},
      {"D:x.txt", "a.txt", nullptr, "d:\\x.txt"},  // another drive starts at its root
      {"C:\\Backup\\", "a.txt", nullptr, "c:\\backup\\a.txt"},
      {"out\\report.doc", "Notes.txt", ".txt", "c:\\data\\out\\report.txt"},
      {"\\\\server\\share\\x.txt", "a.txt", nullptr, "\\\\server\\share\\x.txt"},
      {"C:\\Out\\.txt", "a.txt", nullptr, nullptr},  // an extension without a name
      {"\x95\x5C\\", "a.txt", nullptr, "c:\\data\\\x95\x5C\\a.txt"},
  };
  for (const Row& row : rows) {
    Path destination;
    const bool resolved =
        ResolveDestination(row.given, "c:", "\\data\\", row.offered, row.extension, &destination);
    EXPECT_EQ(row.resolved != nullptr ? row.resolved : "<refused>",
              std::string(resolved ? destination.c_str() : "<refused>"))
        << row.given;
  }
}

TEST(SplitPath, LongComponentsAreCutWholeCharacters) {
  const std::string longName(254, 'a');
  PathComponents parts;
  EXPECT_FALSE(SplitPath((longName + "\x95\x5C" + "b").c_str(), &parts));
  EXPECT_EQ(longName, std::string(parts.name)) << "a double-byte character is never halved";
  EXPECT_TRUE(SplitPath((longName + "b").c_str(), &parts));
  EXPECT_EQ(255u, std::string(parts.name).size());
}

TEST(JoinPath, Rules) {
  char out[512];
  ASSERT_TRUE(JoinPath("C:", "\\Data", "a", "txt", out, sizeof out));
  EXPECT_STREQ("C:\\Data\\a.txt", out);
  ASSERT_TRUE(JoinPath("", "dir/", "a", ".txt", out, sizeof out));
  EXPECT_STREQ("dir/a.txt", out);
  // A directory ending in a double-byte character with trail byte 0x5C still gets its separator.
  ASSERT_TRUE(JoinPath("d:", "\\\x95\x5C", "f", "", out, sizeof out));
  EXPECT_STREQ("d:\\\x95\x5C\\f", out);
  char small[6];
  EXPECT_FALSE(JoinPath("C:", "\\ab\\", "c", "", small, sizeof small));
  EXPECT_STREQ("", small);
  // 511 bytes fit with their NUL; 512 leave it no room.
  const std::string folder = "\\" + std::string(253, 'd') + "\\";
  EXPECT_TRUE(JoinPath("C:", folder.c_str(), std::string(254, 'n').c_str(), "", out, sizeof out));
  EXPECT_EQ(511u, std::string(out).size());
  EXPECT_FALSE(JoinPath("C:", folder.c_str(), std::string(255, 'n').c_str(), "", out, sizeof out));
  EXPECT_STREQ("", out);
}

TEST(LowercasePath, OnlyAsciiCapitalsOutsideDoubleByteCharacters) {
  char path[] = "C:\\DATA\\\x82\x41Z\x95\x5C.TXT";
  LowercasePath(path);
  EXPECT_STREQ("c:\\data\\\x82\x41z\x95\x5C.txt", path);
  // Walked by characters: \x82\x9F is one, \x81\x81 is one, and the letters after them change.
  char trail[] = "\x82\x9FXY\x81\x81Z";
  LowercasePath(trail);
  EXPECT_STREQ("\x82\x9Fxy\x81\x81z", trail);
}

}  // namespace
}  // namespace tamarisk
