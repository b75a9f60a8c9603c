// Movie files as the command-line host reads them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tools/host/movie_file.h"

namespace tamarisk {
namespace cli {
namespace {

class MovieFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ::testing::TempDir() + "movie-file-test";
    std::string command = "mkdir -p '" + folder_ + "'";
    ASSERT_EQ(0, std::system(command.c_str()));
    std::string bmp = "BM" + std::string(12, '\0') + std::string(40, 'h') + "px";
    Write("art.bmp", bmp);
    Write("map.pict", std::string(512, '\0') + "PICTDATA");
  }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ + "/" + name, std::ios::binary) << bytes;
  }
  bool Parse(const std::string& text) { return ParseMovie(text, folder_, &movie_, &error_); }

  std::string folder_;
  MovieFile movie_;
  std::string error_;
};

TEST_F(MovieFileTest, EveryKindOfMember) {
  ASSERT_TRUE(Parse(R"({
    "basePath": "C:\\Movies\\tour.dir",
    "casts": [
      { "name": "Internal", "members": [
        { "number": 1, "name": "Hello", "type": "field", "text": "ようこそ\rline" },
        { "number": 4, "name": "Art", "type": "bitmap", "bitmap": "art.bmp" },
        { "number": 5, "name": "Map", "type": "picture", "picture": "map.pict" },
        { "number": 6, "name": "Sized", "type": "picture", "picture": "map.pict", "size": 70 },
        { "number": 7, "name": "Theme", "type": "sound", "fileName": "media/theme.wav" },
        { "number": 8, "type": "richText" } ] },
      { "members": [] } ] })"))
      << error_;
  EXPECT_EQ("C:\\Movies\\tour.dir", movie_.basePath);
  ASSERT_EQ(2u, movie_.casts.size());
  EXPECT_EQ("", movie_.casts[1].name);
  const auto& members = movie_.casts[0].members;
  ASSERT_EQ(6u, members.size());
  EXPECT_EQ("\x82\xE6\x82\xA4\x82\xB1\x82\xBB\rline", members.at(1).text)
      << "text reaches the module in CP932";
  EXPECT_EQ(std::vector<uint8>(40, 'h'),
            std::vector<uint8>(members.at(4).dib.begin(), members.at(4).dib.begin() + 40));
  EXPECT_EQ(42u, members.at(4).dib.size()) << "the packed DIB is the file after its 14-byte header";
  EXPECT_EQ(38u + 8, members.at(5).composite.size()) << "38 bytes of the host's, then the picture";
  EXPECT_EQ(8 + 64, members.at(5).size);
  EXPECT_EQ(70, members.at(6).size) << "an explicit size wins";
  EXPECT_EQ(folder_ + "/media/theme.wav", members.at(7).fileName);
  EXPECT_EQ("", members.at(8).name);
}

TEST_F(MovieFileTest, BrokenFilesNameThePlace) {
  struct Case {
    std::string text;
    std::string error;
  };
  const std::string member = R"({ "casts": [ { "members": [ { "number": 1, "type": "picture", )";
  const Case cases[] = {
      {R"({ "casts": [ { "members": [ { "number": 1, "type": 5 } ] } ] })",
       "casts[0].members[0].type: expected a string"},
      // Numbers a double cannot hold, integers beyond 32 bits, and NUL, which no host can hand
      // over.
      {member + R"("size": -1e999 } ] } ] })",
       "parse error at line 1, column 76: number overflow parsing '-1e999'"},
      {"{\n \"casts\": " + std::string(401, '9') + " }",
       "parse error at line 2, column 411: number overflow parsing '" + std::string(401, '9') +
           "'"},
      {member + R"("size": 4294967370 } ] } ] })",
       "casts[0].members[0].size: expected an integer of 32 bits"},
      {member + R"("size": 18446744073709551615 } ] } ] })",
       "casts[0].members[0].size: expected an integer of 32 bits"},
      {member + R"("size": -2147483649 } ] } ] })",
       "casts[0].members[0].size: expected an integer of 32 bits"},
      {R"({ "casts": [ { "members": [ { "number": 4294967297, "type": "field" } ] } ] })",
       "casts[0].members[0].number: expected a member number from 1"},
      {member + R"("name": "a\u0000b" } ] } ] })",
       "casts[0].members[0].name: the text contains a NUL character"},
      {R"({ "basePath": "C:\\a\u0000", "casts": [] })",
       "basePath: the text contains a NUL character"},
      {R"({ "casts": [ { "members": [ { "number": 0, "type": "field" } ] } ] })",
       "casts[0].members[0].number: expected a member number from 1"},
      {R"({ "casts": [ { "members": [ { "number": 2, "type": "field" }, { "number": 2, "type": "field" } ] } ] })",
       "casts[0].members[1].number: member 2 appears twice"},
      {R"({ "casts": [ { "members": [ { "number": 1 } ] } ] })",
       "casts[0].members[0]: missing \"type\""},
      {R"({ "casts": [ { "members": [ { "number": 1, "type": "field", "txt": "x" } ] } ] })",
       "casts[0].members[0]: unknown key \"txt\""},
      {R"({ "casts": [ { "members": [ { "number": 1, "type": "bitmap", "bitmap": "none.bmp" } ] } ] })",
       "casts[0].members[0].bitmap: cannot read none.bmp"},
      {R"({ "casts": [ { "members": [ { "number": 1, "type": "bitmap", "bitmap": "map.pict" } ] } ] })",
       "casts[0].members[0].bitmap: map.pict is not a Windows bitmap file"},
      {R"({ "casts": [ { "members": [ { "number": 1, "type": "field", "text": "😀" } ] } ] })",
       "casts[0].members[0].text: the text has characters that CP932 lacks"},
      // ¥ has a one-way best fit, the backslash.
      {R"({ "casts": [ { "members": [ { "number": 1, "type": "field", "name": "a¥b" } ] } ] })",
       "casts[0].members[0].name: the text has characters that CP932 lacks"},
      {R"({ "cast": [] })", "the movie: unknown key \"cast\""},
      {R"([1, 2])", "the movie: expected an object with \"casts\""},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(Parse(c.text)) << c.text;
    EXPECT_EQ(c.error, error_) << c.text;
  }
  EXPECT_FALSE(Parse("{ \"casts\": [\n  { \"name\": } ] }"));
  EXPECT_EQ(0u, error_.find("parse error at line 2, column 13: syntax error")) << error_;
}

TEST_F(MovieFileTest, LoadingNamesTheFile) {
  Write("movie.json", R"({ "casts": 3 })");
  EXPECT_FALSE(LoadMovieFile(folder_ + "/movie.json", &movie_, &error_));
  EXPECT_EQ(folder_ + "/movie.json: casts: expected an array of casts", error_);
  EXPECT_FALSE(LoadMovieFile(folder_ + "/absent.json", &movie_, &error_));
  EXPECT_EQ("cannot read " + folder_ + "/absent.json", error_);
}

}  // namespace
}  // namespace cli
}  // namespace tamarisk
