// The inputs both benchmark programs feed the module: a large 24-bit packed
// DIB and a long text of CR-ended lines, made the same way on both builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/packed_dib.h"

namespace tamarisk {
namespace bench {

// A packed bottom-up DIB of 24 bits: the 40-byte header, no colour table,
// rows padded to 4 bytes, pixels a pattern (so no page stays untouched).
inline std::vector<std::uint8_t> PackedDib24(std::int32_t width, std::int32_t height) {
  const std::uint32_t row = (static_cast<std::uint32_t>(width) * 24 + 31) / 32 * 4;
  return test::PackedDib({width, height, 24, 0, 0, 0, 0, row * static_cast<std::uint32_t>(height)});
}

// lines lines of printable text, each ended by CR, totalBytes in all.
inline std::string CrLines(std::size_t totalBytes, std::size_t lines) {
  std::string text;
  text.reserve(totalBytes);
  const std::size_t content = totalBytes - lines;
  std::size_t made = 0;
  for (std::size_t i = 0; i < lines; ++i) {
    // 64-bit: the product overflows a 32-bit size_t.
    const std::size_t end = static_cast<std::size_t>(std::uint64_t{content} * (i + 1) / lines);
    for (; made < end; ++made) text += static_cast<char>('!' + made % 94);
    text += '\r';
  }
  return text;
}

// The text as the module writes it: every CR followed by LF.
inline std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 64);
  for (char c : text) {
    out += c;
    if (c == '\r') out += '\n';
  }
  return out;
}

}  // namespace bench
}  // namespace tamarisk
