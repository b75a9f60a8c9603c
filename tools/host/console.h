// The terminal the command-line host talks to: text out and answers in,
// in UTF-8 whatever the console's code page.
#pragma once

#include <string>

namespace tamarisk {
namespace cli {

void Print(const std::string& utf8);

// Asks with prompt and reads the whole line typed, without its line end;
// false at the end of the input.
bool ReadAnswer(const char* prompt, std::string* answer);

std::string Utf8Of(const std::wstring& wide);
std::wstring WideOf(const std::string& utf8);

}  // namespace cli
}  // namespace tamarisk
