// Names that the ANSI code page (932) cannot hold exactly, each set to catch
// a converted form: the form names another file, which the tests make, or
// no file at all. A name chosen in the save dialog is never used converted,
// whether the module's own calls or the real dialog are looked at.
#pragma once

#include <string>
#include <vector>

namespace tamarisk {
namespace test {

struct ForeignName {
  const char* what;     // the file the converted form would name instead
  std::u16string name;  // the name typed into the dialog
};

// Each in a folder that holds cafe.txt and a\b.txt.
inline std::vector<ForeignName> NamesTheCodePageCannotHold() {
  return {
      {"é is not e: cafe.txt stays", u"caf\u00E9.txt"},
      {"¥ is not a separator: a\\b.txt stays", u"a\u00A5b.txt"},
      {"a character without any form: no '?' file", u"x\uD55C.txt"},
  };
}

// A folder the code page cannot name: café.
constexpr char16_t kFolderTheCodePageCannotHold[] = u"caf\u00E9";

}  // namespace test
}  // namespace tamarisk
