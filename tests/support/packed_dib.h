// Packed DIBs as the host hands out a bitmap member's image: the 40-byte
// header, the colour table and the pixels, in one block. The one builder of
// them for the tests, the fuzz targets and the benchmarks.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "host/host_abi.h"

namespace tamarisk {
namespace test {

// Writes the low size bytes of value at at, little-endian, into a vector of
// bytes or a string.
template <class Bytes>
void Put(Bytes& bytes, std::size_t at, uint32 value, int size) {
  for (int i = 0; i < size; ++i) {
    bytes[at + static_cast<std::size_t>(i)] =
        static_cast<typename Bytes::value_type>(value >> (8 * i));
  }
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
  uint32 headerSize = 40;  // what the header says of its own size
  uint16 planes = 1;
};

// The whole block, as long as its shape says.
constexpr std::size_t kWholeBlock = ~std::size_t{0};

// A packed DIB of that shape; pixels and colours are a pattern. Given
// blockBytes, the block is that long instead: cut short (even inside the
// header) or carried on with the pattern.
inline std::vector<uint8> PackedDib(const DibShape& d, std::size_t blockBytes = kWholeBlock) {
  const std::size_t whole = 40 + std::size_t{d.tableEntries} * 4 + d.pixelBytes;
  const std::size_t length = blockBytes == kWholeBlock ? whole : blockBytes;
  std::vector<uint8> dib(std::max<std::size_t>(40, length));
  for (std::size_t i = 40; i < dib.size(); ++i) dib[i] = static_cast<uint8>(i * 7 + 3);
  Put(dib, 0, d.headerSize, 4);
  Put(dib, 4, static_cast<uint32>(d.width), 4);
  Put(dib, 8, static_cast<uint32>(d.height), 4);
  Put(dib, 12, d.planes, 2);
  Put(dib, 14, d.bits, 2);
  Put(dib, 16, d.compression, 4);
  Put(dib, 20, d.imageSizeField, 4);
  Put(dib, 24, 2835, 4);
  Put(dib, 28, 2835, 4);
  Put(dib, 32, d.colorsUsed, 4);
  dib.resize(length);
  return dib;
}

// A bitmap file: the 14-byte file header, saying its size and where its
// pixels start, then the first dibBytes of a packed DIB.
inline std::string BitmapFile(const std::vector<uint8>& dib, uint32 dibBytes, uint32 pixelOffset) {
  std::string file = "BM" + std::string(12, '\0');
  Put(file, 2, dibBytes + 14, 4);
  Put(file, 10, pixelOffset, 4);
  return file.append(dib.begin(), dib.begin() + dibBytes);
}

}  // namespace test
}  // namespace tamarisk
