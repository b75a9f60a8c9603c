#include "dib/dib_writer.h"

#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/scoped.h"

namespace tamarisk {

namespace {

// Offsets in the bitmap information header.
constexpr int kHeaderSizeAt = 0;
constexpr int kWidthAt = 4;
constexpr int kHeightAt = 8;
constexpr int kBitCountAt = 14;
constexpr int kCompressionAt = 16;
constexpr int kImageSizeAt = 20;
constexpr int kColorsUsedAt = 32;

constexpr uint32 kRle8 = 1;
constexpr uint32 kRle4 = 2;
constexpr uint32 kBitFields = 3;

uint32 Read32(const uint8* p) {
  return static_cast<uint32>(p[0]) | static_cast<uint32>(p[1]) << 8 |
         static_cast<uint32>(p[2]) << 16 | static_cast<uint32>(p[3]) << 24;
}
uint16 Read16(const uint8* p) { return static_cast<uint16>(p[0] | p[1] << 8); }
void Put32(uint8* p, uint32 v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8>(v >> (8 * i));
}

// The 14-byte file header, from one description of its layout.
struct FieldLayout {
  int size;
  uint32 value;
};

constexpr std::size_t kFileHeaderSize = 14;

void BuildFileHeader(uint32 fileSize, uint32 pixelOffset, uint8 (&out)[kFileHeaderSize]) {
  const FieldLayout layout[] = {
      {2, 0x4D42},       // type "BM"
      {4, fileSize},     // file size
      {2, 0},            // reserved
      {2, 0},            // reserved
      {4, pixelOffset},  // offset of the pixel bits
  };
  uint8* p = out;
  for (const FieldLayout& field : layout) {
    for (int i = 0; i < field.size; ++i) *p++ = static_cast<uint8>(field.value >> (8 * i));
  }
}

// The size of the pixel bits, or -1 when the header is not one the writer takes.
int64_t PixelSize(const uint8* header) {
  const uint32 compression = Read32(header + kCompressionAt);
  if (compression == kRle8 || compression == kRle4) return Read32(header + kImageSizeAt);
  const int64_t width = static_cast<int32>(Read32(header + kWidthAt));
  const int64_t height =
      std::llabs(static_cast<int32>(Read32(header + kHeightAt)));  // top-down is negative
  if (width < 0) return -1;
  const int64_t rowSize = (width * Read16(header + kBitCountAt) + 31) / 32 * 4;
  // More than any block can hold; the size check then refuses it.
  if (rowSize != 0 && height > INT64_MAX / rowSize) return INT64_MAX;
  return rowSize * height;
}

}  // namespace

uint32 DibColorCount(const uint8* header) {
  const uint32 used = Read32(header + kColorsUsedAt);
  if (used != 0) return used;
  switch (Read16(header + kBitCountAt)) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

uint16 DibColorTableSize(const uint8* header) {
  return static_cast<uint16>(DibColorCount(header) * 4);
}

uint32 DibColorMasksSize(const uint8* header) {
  const uint16 bits = Read16(header + kBitCountAt);
  return Read32(header + kCompressionAt) == kBitFields && (bits == 16 || bits == 32) ? 12 : 0;
}

WriteOutcome WriteDibFile(HostHandle block, ByteSink& sink) {
  if (block == nullptr) return WriteOutcome::kNotConverted;
  platform::GlobalLock lock(block);
  uint8* dib = lock.bytes();
  if (dib == nullptr) return WriteOutcome::kNotConverted;

  // Nothing is read past the block, whatever its header claims.
  const uint32 blockSize = platform::GlobalBlockSize(block);
  if (blockSize < kDibHeaderSize || Read32(dib + kHeaderSizeAt) != kDibHeaderSize)
    return WriteOutcome::kNotConverted;
  const uint32 headerSize = kDibHeaderSize;
  const int64_t pixelSize = PixelSize(dib);
  if (pixelSize < 0 || pixelSize > int64_t{blockSize}) return WriteOutcome::kNotConverted;
  // The masks, where there are any, come first in the colour table.
  const uint32 tableSize = DibColorMasksSize(dib) + DibColorTableSize(dib);
  const int64_t dibSize = int64_t{headerSize} + tableSize + pixelSize;
  if (dibSize > blockSize) return WriteOutcome::kNotConverted;

  const uint32 compression = Read32(dib + kCompressionAt);
  // The header is copied to the file straight from the block, so the size
  // the file must carry is written into the host's block itself.
  if (compression != kRle8 && compression != kRle4)
    Put32(dib + kImageSizeAt, static_cast<uint32>(pixelSize));

  uint8 fileHeader[kFileHeaderSize];
  BuildFileHeader(static_cast<uint32>(dibSize) + kFileHeaderSize,
                  static_cast<uint32>(kFileHeaderSize + headerSize + tableSize), fileHeader);
  const bool written = sink.Write(fileHeader, kFileHeaderSize) &&
                       sink.Write(dib, static_cast<std::size_t>(dibSize)) && sink.Finish();
  return written ? WriteOutcome::kWritten : WriteOutcome::kNotWritten;
}

}  // namespace tamarisk
