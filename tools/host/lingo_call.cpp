#include "tools/host/lingo_call.h"

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
    // A host hands texts over NUL-terminated: none can carry one inside.
    if (argument->text.find('\0') != std::string::npos) {
      *error = where + "the string contains a NUL character";
      return false;
    }
    return true;
  }
  const bool negative = in.Peek() == '-';
  if (negative || in.Peek() == '+') in.Take();
  // Every digit counts; the magnitude stops growing once past the range.
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long magnitude = 0;
  bool anyDigit = false;
  while (std::isdigit(static_cast<unsigned char>(in.Peek()))) {
    anyDigit = true;
    const int digit = in.Take() - '0';
    if (magnitude <= limit) magnitude = magnitude * 10 + digit;
  }
  if (!anyDigit || (!in.AtEnd() && in.Peek() != ',' && in.Peek() != ')' && in.Peek() != ' ')) {
    *error = where + "expected a \"string\" or an integer";
    return false;
  }
  if (magnitude > limit) {
    *error = where + "the integer does not fit in 32 bits";
    return false;
  }
  argument->integer = static_cast<int32>(negative ? -magnitude : magnitude);
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
  while (std::isalnum(static_cast<unsigned char>(in.Peek())) || in.Peek() == '_')
    call->handler += in.Take();
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
