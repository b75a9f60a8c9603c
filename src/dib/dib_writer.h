// Writes a packed device-independent bitmap, held in a movable global memory
// block, as a Windows bitmap file.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

enum DibResult : uint16 {
  kDibOk = 0,
  kDibLockFailed = 3,
  kDibFileFailed = 4,
  kDibNoHandle = 20,
  kDibUnsupportedHeader = 21,  // the header is not the 40-byte one (or is malformed)
  kDibTruncated = 22,          // the header promises more bytes than the block holds
};

constexpr uint32 kDibHeaderSize = 40;
constexpr uint32 kChunkSize = 32767;

uint16 WriteDibFile(HostHandle block, const char* path);

// Writes count bytes to an open file in chunks of at most 32767 bytes; count
// when every chunk was written whole, else 0.
uint32 WriteChunked(int file, const uint8* data, uint32 count);

// From a 40-byte header: the colour count, and the colour table's size as a
// 16-bit quantity.
uint32 DibColorCount(const uint8* header);
uint16 DibColorTableSize(const uint8* header);
// The three 32-bit colour masks that a 16- or 32-bit bitmap with bit fields
// (compression 3) carries before its colour table: 12 bytes, else 0.
uint32 DibColorMasksSize(const uint8* header);

}  // namespace tamarisk
