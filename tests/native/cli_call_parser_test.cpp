// Lingo calls as the command-line host reads them.
#include <gtest/gtest.h>

#include "tools/host/lingo_call.h"

namespace tamarisk {
namespace cli {
namespace {

TEST(LingoCallParser, StringsAndIntegers) {
  LingoCall call;
  std::string error;
  ASSERT_TRUE(ParseLingoCall(R"(  Avocets ( 1, "Logo" , "out\x.bmp", -7 ) )", &call, &error))
      << error;
  EXPECT_EQ("Avocets", call.handler);
  ASSERT_EQ(4u, call.arguments.size());
  EXPECT_FALSE(call.arguments[0].isString);
  EXPECT_EQ(1, call.arguments[0].integer);
  EXPECT_TRUE(call.arguments[1].isString);
  EXPECT_EQ("Logo", call.arguments[1].text);
  EXPECT_EQ("out\\x.bmp", call.arguments[2].text) << "a backslash is an ordinary character";
  EXPECT_EQ(-7, call.arguments[3].integer);
  ASSERT_TRUE(ParseLingoCall("Plovers(0000000000004, -2147483648, +2147483647)", &call, &error))
      << error;
  EXPECT_EQ(4, call.arguments[0].integer) << "every digit counts";
  EXPECT_EQ(-2147483647 - 1, call.arguments[1].integer);
  EXPECT_EQ(2147483647, call.arguments[2].integer);

  ASSERT_TRUE(ParseLingoCall("Plovers()", &call, &error));
  EXPECT_TRUE(call.arguments.empty());
  ASSERT_TRUE(ParseLingoCall(R"(Plovers("", "1"))", &call, &error));
  EXPECT_EQ("", call.arguments[0].text);
  EXPECT_TRUE(call.arguments[1].isString) << "digits in quotes stay a string";
}

TEST(LingoCallParser, ErrorsNameThePosition) {
  struct Case {
    std::string line;
    const char* error;
  };
  const Case cases[] = {
      {R"(Plovers("a.txt", b.txt))", "argument 2: expected a \"string\" or an integer"},
      {R"(Plovers(1.5))", "argument 1: expected a \"string\" or an integer"},
      {R"(Plovers("a.txt)", "argument 1: the string has no closing quote"},
      {R"(Plovers("a" "b"))", "argument 1: expected \",\" or \")\" after it"},
      {R"(Plovers(99999999999))", "argument 1: the integer does not fit in 32 bits"},
      {R"(Plovers(1, 2147483648))", "argument 2: the integer does not fit in 32 bits"},
      {R"(Plovers(-2147483649))", "argument 1: the integer does not fit in 32 bits"},
      {R"(Plovers(0000000000004294967297))", "argument 1: the integer does not fit in 32 bits"},
      {std::string("Plovers(\"a\0b\")", 14), "argument 1: the string contains a NUL character"},
      {R"(Plovers("a") junk)", "unexpected text after \")\""},
      {R"("a.txt")", "expected a handler name followed by \"(\""},
      {R"(Plovers "a.txt")", "expected a handler name followed by \"(\""},
      {R"(Plovers(1,))", "argument 2: expected a \"string\" or an integer"},
  };
  for (const Case& c : cases) {
    LingoCall call;
    std::string error;
    EXPECT_FALSE(ParseLingoCall(c.line, &call, &error)) << c.line;
    EXPECT_EQ(c.error, error) << c.line;
  }
}

TEST(LingoCallParser, ScriptComments) {
  EXPECT_TRUE(IsScriptComment(""));
  EXPECT_TRUE(IsScriptComment("   \r"));
  EXPECT_TRUE(IsScriptComment("  -- a note"));
  EXPECT_FALSE(IsScriptComment("Plovers(\"a\") -- not a comment line"));
}

}  // namespace
}  // namespace cli
}  // namespace tamarisk
