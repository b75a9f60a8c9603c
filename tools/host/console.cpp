#include "tools/host/console.h"

#include <windows.h>

#include <cstdio>

namespace tamarisk {
namespace cli {

// Text for the user, in UTF-8. A console gets it as UTF-16, so that it shows
// whatever the console's code page; a pipe or file gets the UTF-8 bytes.
void Print(const std::string& utf8) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    std::fflush(stdout);
    const std::wstring w = WideOf(utf8);
    DWORD written = 0;
    WriteConsoleW(out, w.data(), static_cast<DWORD>(w.size()), &written, nullptr);
  } else {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  }
}

std::string Utf8Of(const std::wstring& wide) {
  const int length = static_cast<int>(wide.size());
  const int narrow =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(narrow), '\0');
  if (narrow > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &utf8[0], narrow, nullptr, nullptr);
  return utf8;
}

std::wstring WideOf(const std::string& utf8) {
  const int length = static_cast<int>(utf8.size());
  const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  if (wide > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, &w[0], wide);
  return w;
}

namespace {

// The whole line, however long: what is left of it must not answer the
// next question. False at the end of the input.
bool ReadConsoleLine(HANDLE in, std::string* line) {
  std::wstring wide;
  wchar_t piece[1024];
  DWORD got = 0;
  while (ReadConsoleW(in, piece, 1024, &got, nullptr) && got > 0) {
    wide.append(piece, got);
    if (piece[got - 1] == L'\n') break;
  }
  *line = Utf8Of(wide);
  return !wide.empty();
}

bool ReadPipedLine(std::string* line) {
  char piece[1024];
  while (std::fgets(piece, sizeof piece, stdin) != nullptr) {
    line->append(piece);
    if (line->back() == '\n') break;
  }
  return !line->empty();
}

}  // namespace

bool ReadAnswer(const char* prompt, std::string* answer) {
  Print(prompt);
  std::fflush(stdout);
  answer->clear();
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  const bool read = GetConsoleMode(in, &mode) ? ReadConsoleLine(in, answer) : ReadPipedLine(answer);
  while (!answer->empty() && (answer->back() == '\n' || answer->back() == '\r')) answer->pop_back();
  return read;
}

}  // namespace cli
}  // namespace tamarisk
