// Lingo calls as a script author writes them: Plovers("a.txt", "b.txt").
#pragma once

#include <string>
#include <vector>

#include "host/host_abi.h"

namespace tamarisk {
namespace cli {

struct LingoArgument {
  bool isString = false;
  std::string text;  // a string argument, without its quotes
  int32 integer = 0;
};

struct LingoCall {
  std::string handler;
  std::vector<LingoArgument> arguments;
};

// Strings are in double quotes, integers bare; anything else is an error
// that names the argument's position.
bool ParseLingoCall(const std::string& line, LingoCall* call, std::string* error);

// Lines of a script: blank lines and "--" comments are skipped.
bool IsScriptComment(const std::string& line);

}  // namespace cli
}  // namespace tamarisk
