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

bool Convert(const std::string& in, unsigned from, unsigned to, std::string* out) {
  if (in.empty()) {
    out->clear();
    return true;
  }
  const DWORD strict = from == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
  const int wide =
      MultiByteToWideChar(from, strict, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (wide == 0) return false;
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(from, strict, in.data(), static_cast<int>(in.size()), &w[0], wide);
  BOOL lost = FALSE;
  BOOL* lossy = to == CP_UTF8 ? nullptr : &lost;
  const int narrow = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, lossy);
  out->assign(static_cast<std::size_t>(narrow), '\0');
  WideCharToMultiByte(to, 0, w.data(), wide, &(*out)[0], narrow, nullptr, lossy);
  return lost == FALSE;
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

bool Utf8ToCp932(const std::string& utf8, std::string* cp932) {
  return Convert(utf8, "UTF-8", "CP932", cp932);
}

std::string Cp932ToUtf8(const std::string& cp932) {
  std::string out;
  Convert(cp932, "CP932", "UTF-8", &out);
  return out;
}

#endif

}  // namespace cli
}  // namespace tamarisk
