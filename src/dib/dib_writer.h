// Writes a packed device-independent bitmap, held in a movable global memory
// block, as a Windows bitmap file.
#pragma once

#include "dib/byte_sink.h"
#include "host/host_abi.h"

namespace tamarisk {

constexpr uint32 kDibHeaderSize = 40;

// The file header, then the bitmap's header, colour table and pixels as the
// block holds them. Not converted: no block, one that cannot be locked, a
// header other than the 40-byte one, or fewer bytes than the header promises.
WriteOutcome WriteDibFile(HostHandle block, ByteSink& sink);

// From a 40-byte header: the colour count, and the colour table's size as a
// 16-bit quantity.
uint32 DibColorCount(const uint8* header);
uint16 DibColorTableSize(const uint8* header);
// The three 32-bit colour masks that a 16- or 32-bit bitmap with bit fields
// (compression 3) carries before its colour table: 12 bytes, else 0.
uint32 DibColorMasksSize(const uint8* header);

}  // namespace tamarisk
