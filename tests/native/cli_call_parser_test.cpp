// Lingo calls as the command-line host reads them.
#include <gtest/gtest.h>

#include <string>

#include "tools/host/lingo_call.h"

namespace tamarisk {
namespace cli {
namespace {

// A line as the parser reads it: the handler, then each argument, quoted
// when it is a string; or the error.
std::string Parsed(const std::string& line) {
  LingoCall call;
  std::string error;
  if (!ParseLingoCall(line, &call, &error)) return "error: " + error;
  std::string parsed = call.handler;
  for (const auto& argument : call.arguments) {
    parsed +=
        argument.isString ? " \"" + argument.text + "\"" : " " + std::to_string(argument.integer);
  }
  return parsed;
}

std::string Error(const char* text) { return "error: " + std::string(text); }

TEST(LingoCallParser, CallsAndErrorsNamingThePosition) {
  struct Case {
    std::string line;
    std::string parsed;
  };
  const Case cases[] = {
      // A backslash is an ordinary character.
      {R"(  Avocets ( 1, "Logo" , "out\x.bmp", -7 ) )", R"(Avocets 1 "Logo" "out\x.bmp" -7)"},
      // Every digit counts.
      {"Plovers(0000000000004, -2147483648, +2147483647)", "Plovers 4 -2147483648 2147483647"},
      {"Plovers()", "Plovers"},
      {R"(Plovers("", "1"))", R"(Plovers "" "1")"},  // digits in quotes stay a string
      {R"(Plovers("a.txt", b.txt))", Error("argument 2: expected a \"string\" or an integer")},
      {R"(Plovers(1.5))", Error("argument 1: expected a \"string\" or an integer")},
      {R"(Plovers("a.txt)", Error("argument 1: the string has no closing quote")},
      {R"(Plovers("a" "b"))", Error("argument 1: expected \",\" or \")\" after it")},
      {R"(Plovers(99999999999))", Error("argument 1: the integer does not fit in 32 bits")},
      {R"(Plovers(1, 2147483648))", Error("argument 2: the integer does not fit in 32 bits")},
      {R"(Plovers(-2147483649))", Error("argument 1: the integer does not fit in 32 bits")},
      {R"(Plovers(0000000000004294967297))",
       Error("argument 1: the integer does not fit in 32 bits")},
      {std::string("Plovers(\"a\0b\")", 14),
       Error("argument 1: the string contains a NUL character")},
      {R"(Plovers("a") junk)", Error("unexpected text after \")\"")},
      {R"("a.txt")", Error("expected a handler name followed by \"(\"")},
      {R"(Plovers "a.txt")", Error("expected a handler name followed by \"(\"")},
      {R"(Plovers(1,))", Error("argument 2: expected a \"string\" or an integer")},
  };
  for (const Case& c : cases) EXPECT_EQ(c.parsed, Parsed(c.line)) << c.line;
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
