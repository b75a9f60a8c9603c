#include "tools/host/text_encoding.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace tamarisk {
namespace cli {

#if defined(_WIN32)

namespace {

// The text in UTF-16; false when it is not valid in its code page.
bool Widen(const std::string& in, unsigned codePage, std::wstring* wide) {
  const DWORD strict = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(in.size());
  const int length = MultiByteToWideChar(codePage, strict, in.data(), size, nullptr, 0);
  wide->assign(static_cast<std::size_t>(length), L'\0');
  return length > 0 &&
         MultiByteToWideChar(codePage, strict, in.data(), size, &(*wide)[0], length) == length;
}

bool Convert(const std::string& in, unsigned from, unsigned to, std::string* out) {
  out->clear();
  if (in.empty()) return true;
  std::wstring wide;
  if (!Widen(in, from, &wide)) return false;
  // Strictly: no best fit and no default character. UTF-8 takes neither
  // that flag nor a default; what it cannot hold is a lone surrogate.
  const bool utf8 = to == CP_UTF8;
  const DWORD strict = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL lost = FALSE;
  BOOL* lossy = utf8 ? nullptr : &lost;
  const int length = static_cast<int>(wide.size());
  const int narrow =
      WideCharToMultiByte(to, strict, wide.data(), length, nullptr, 0, nullptr, lossy);
  if (narrow == 0 || lost) return false;
  out->assign(static_cast<std::size_t>(narrow), '\0');
  WideCharToMultiByte(to, strict, wide.data(), length, &(*out)[0], narrow, nullptr, lossy);
  // Some characters map one way only: each must come back as itself.
  std::wstring back;
  return !lost && Widen(*out, to, &back) && back == wide;
}

}  // namespace

bool Utf8ToCp932(const std::string& utf8, std::string* cp932) {
  return Convert(utf8, CP_UTF8, 932, cp932);
}

std::string Cp932ToUtf8(const std::string& cp932) {
  std::string out;
  Convert(cp932, 932, CP_UTF8, &out);
  return out;
}

#else

namespace {

bool Convert(const std::string& in, const char* from, const char* to, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->clear();
  std::string input = in;
  char* src = input.empty() ? nullptr : &input[0];
  std::size_t left = input.size();
  bool ok = true;
  while (left > 0) {
    char buffer[4096];
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    const std::size_t done = iconv(cd, &src, &left, &dst, &room);
    out->append(buffer, static_cast<std::size_t>(dst - buffer));
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

// The library maps some characters one way only (¥ to the backslash): each
// must come back as itself.
bool Utf8ToCp932(const std::string& utf8, std::string* cp932) {
  std::string back;
  return Convert(utf8, "UTF-8", "CP932", cp932) && Convert(*cp932, "CP932", "UTF-8", &back) &&
         back == utf8;
}

std::string Cp932ToUtf8(const std::string& cp932) {
  std::string out;
  Convert(cp932, "CP932", "UTF-8", &out);
  return out;
}

#endif

std::size_t LastSeparator(const std::string& cp932) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < cp932.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(cp932[i]);
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      ++i;  // a lead byte: the next byte is the same character's
    } else if (c == '\\' || c == '/') {
      last = i;
    }
  }
  return last;
}

bool EndsWithSeparator(const std::string& cp932) {
  return !cp932.empty() && LastSeparator(cp932) == cp932.size() - 1;
}

}  // namespace cli
}  // namespace tamarisk
