// Packed DIBs as the host hands out a bitmap member's image: the 40-byte
// header, the colour table and the pixels, in one block.
#pragma once

#include <cstddef>
#include <vector>

#include "host/host_abi.h"

namespace tamarisk {
namespace test {

// Writes the low size bytes of value at at, little-endian.
inline void Put(std::vector<uint8>& bytes, std::size_t at, uint32 value, int size) {
  for (int i = 0; i < size; ++i)
    bytes[at + static_cast<std::size_t>(i)] = static_cast<uint8>(value >> (8 * i));
}

struct DibShape {
  int32 width;
  int32 height;
  uint16 bits;
  uint32 compression;
  uint32 colorsUsed;
  uint32 imageSizeField;
  uint32 tableEntries;  // entries actually present after the header
  uint32 pixelBytes;    // bytes actually present after the table
};

// A packed DIB of that shape; pixels and colours are a pattern.
inline std::vector<uint8> PackedDib(const DibShape& d) {
  std::vector<uint8> dib(40 + std::size_t{d.tableEntries} * 4 + d.pixelBytes);
  Put(dib, 0, 40, 4);
  Put(dib, 4, static_cast<uint32>(d.width), 4);
  Put(dib, 8, static_cast<uint32>(d.height), 4);
  Put(dib, 12, 1, 2);
  Put(dib, 14, d.bits, 2);
  Put(dib, 16, d.compression, 4);
  Put(dib, 20, d.imageSizeField, 4);
  Put(dib, 24, 2835, 4);
  Put(dib, 28, 2835, 4);
  Put(dib, 32, d.colorsUsed, 4);
  for (std::size_t i = 40; i < dib.size(); ++i) dib[i] = static_cast<uint8>(i * 7 + 3);
  return dib;
}

}  // namespace test
}  // namespace tamarisk
