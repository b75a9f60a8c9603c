// Text between the terminal (UTF-8) and the module (the ANSI code page, CP932).
#pragma once

#include <string>

namespace tamarisk {
namespace cli {

// False when the text has no exact CP932 form: a look-alike (¥ as the
// backslash, é as e) would name another file.
bool Utf8ToCp932(const std::string& utf8, std::string* cp932);
std::string Cp932ToUtf8(const std::string& cp932);

// Where a CP932 path's last separator (\ or /) is, npos when it has none. It
// is walked by characters: a double-byte character's second byte may be 0x5C.
std::size_t LastSeparator(const std::string& cp932);
bool EndsWithSeparator(const std::string& cp932);

}  // namespace cli
}  // namespace tamarisk
