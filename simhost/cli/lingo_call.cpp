#include "simhost/cli/lingo_call.h"

#include <cctype>
#include <climits>

namespace tamarisk {
namespace cli {

namespace {

class Scanner {
 public:
  explicit Scanner(const std::string& text) : text_(text) {}
  void SkipBlanks() {
    while (i_ < text_.size() && (text_[i_] == ' ' || text_[i_] == '\t' || text_[i_] == '\r')) ++i_;
  }
  bool AtEnd() const { return i_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[i_]; }
  char Take() { return text_[i_++]; }
  bool Accept(char c) {
    if (Peek() != c) return false;
    ++i_;
    return true;
  }

 private:
  const std::string& text_;
  std::size_t i_ = 0;
};

bool ParseArgument(Scanner& in, int position, LingoArgument* argument, std::string* error) {
  const std::string where = "argument " + std::to_string(position) + ": ";
  if (in.Accept('"')) {
    argument->isString = true;
    while (!in.AtEnd() && in.Peek() != '"') argument->text += in.Take();
    if (!in.Accept('"')) {
      *error = where + "the string has no closing quote";
      return false;
    }
    return true;
  }
  std::string digits;
  if (in.Peek() == '-' || in.Peek() == '+') digits += in.Take();
  while (std::isdigit(static_cast<unsigned char>(in.Peek()))) digits += in.Take();
  if (digits.empty() || digits == "-" || digits == "+" ||
      (!in.AtEnd() && in.Peek() != ',' && in.Peek() != ')' && in.Peek() != ' ')) {
    *error = where + "expected a \"string\" or an integer";
    return false;
  }
  const long long value = std::stoll(digits.size() > 12 ? digits.substr(0, 12) : digits);
  if (value < INT_MIN || value > INT_MAX) {
    *error = where + "the integer does not fit in 32 bits";
    return false;
  }
  argument->integer = static_cast<int32>(value);
  return true;
}

}  // namespace

bool IsScriptComment(const std::string& line) {
  const std::size_t start = line.find_first_not_of(" \t\r");
  return start == std::string::npos || line.compare(start, 2, "--") == 0;
}

bool ParseLingoCall(const std::string& line, LingoCall* call, std::string* error) {
  *call = LingoCall();
  Scanner in(line);
  in.SkipBlanks();
  while (std::isalnum(static_cast<unsigned char>(in.Peek())) || in.Peek() == '_') call->handler += in.Take();
  in.SkipBlanks();
  if (call->handler.empty() || !in.Accept('(')) {
    *error = "expected a handler name followed by \"(\"";
    return false;
  }
  in.SkipBlanks();
  if (!in.Accept(')')) {
    for (int position = 1;; ++position) {
      in.SkipBlanks();
      LingoArgument argument;
      if (!ParseArgument(in, position, &argument, error)) return false;
      call->arguments.push_back(argument);
      in.SkipBlanks();
      if (in.Accept(')')) break;
      if (!in.Accept(',')) {
        *error = "argument " + std::to_string(position) + ": expected \",\" or \")\" after it";
        return false;
      }
    }
  }
  in.SkipBlanks();
  if (!in.AtEnd()) {
    *error = "unexpected text after \")\"";
    return false;
  }
  return true;
}

}  // namespace cli
}  // namespace tamarisk
