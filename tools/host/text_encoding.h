// Text between the terminal (UTF-8) and the module (the ANSI code page, CP932).
#pragma once

#include <string>

namespace tamarisk {
namespace cli {

// False when the text has no CP932 form.
bool Utf8ToCp932(const std::string& utf8, std::string* cp932);
std::string Cp932ToUtf8(const std::string& cp932);

}  // namespace cli
}  // namespace tamarisk
