// What the platform's save dialog itself does with the user's answer, for
// the doubles that stand in for it (the scripted user of the tests, the
// command-line host's answers). Learned from the real dialog under Wine.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

namespace tamarisk {
namespace sim {

// A typed name without an extension gets one when the module gives a
// default extension: the selected filter's first pattern from its dot on,
// lowercased, blanks and all (" *.TXT " gives "notes.txt "), or, when that
// pattern holds a wildcard ("*.*"), the default extension itself. The name
// is CP932 bytes or UTF-16; the extension is plain ASCII in every filter.
template <typename Text>
Text WithDialogExtension(const Text& typed, const std::string& pattern,
                         const char* defaultExtension) {
  if (defaultExtension == nullptr) return typed;
  bool hasExtension = false;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const unsigned c = static_cast<std::make_unsigned_t<typename Text::value_type>>(typed[i]);
    if (sizeof typed[i] == 1 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))) {
      ++i;  // a double-byte character: its trail byte may look like a backslash
    } else if (c == '\\' || c == '/' || c == ' ') {
      hasExtension = false;
    } else if (c == '.') {
      hasExtension = true;
    }
  }
  if (hasExtension) return typed;
  std::string extension = pattern.substr(0, pattern.find(';'));
  const std::size_t dot = extension.find('.');
  extension = dot == std::string::npos ? std::string("*") : extension.substr(dot + 1);
  if (extension.find_first_of("*?") != std::string::npos) extension = defaultExtension;
  if (extension.empty()) return typed;
  Text completed = typed;
  completed += '.';
  for (char c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    completed += static_cast<typename Text::value_type>(c);
  }
  return completed;
}

// The folder the dialog showed, which it leaves as the process's current
// folder whether the user saved (even into another folder, typed in full)
// or cancelled: the initial folder without its final separator, except at
// a drive's root. Empty when there was none. The folder is CP932 bytes or
// UTF-16, and ends with a separator as the module gives it.
template <typename Text>
Text DialogFolder(const Text& initialDirectory) {
  Text folder = initialDirectory;
  if (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

// Where the dialog opens on Windows 7 and later, which the platform
// documents for lpstrInitialDir: when the folder a program passes is the one
// it passed the first time it ever showed an Open or Save As dialog, the
// dialog opens in the folder the user chose last instead. The history is the
// program's (the host's), kept across its runs.
struct DialogHistory {
  std::u16string firstPassed;  // empty before the program's first dialog ever
  std::u16string lastChosen;   // the folder of the user's last choice, with its separator

  // The folder a dialog given passed opens in.
  std::u16string Opens(const std::u16string& passed) {
    if (firstPassed.empty()) firstPassed = passed;
    return passed == firstPassed && !lastChosen.empty() ? lastChosen : passed;
  }
  void Chose(const std::u16string& path) {
    const std::size_t separator = path.find_last_of(u"\\/");
    if (separator != std::u16string::npos) lastChosen = path.substr(0, separator + 1);
  }
};

}  // namespace sim
}  // namespace tamarisk
