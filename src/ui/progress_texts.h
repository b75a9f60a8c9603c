// The progress window's texts besides the percentage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/base_types.h"

namespace tamarisk {

// "12.3 / 48.0 MB", and about how long is left once a second of copying
// tells (empty before, and while nothing moves).
void DescribeCopyProgress(std::uint64_t done, std::uint64_t total, uint32 elapsedMs, char* amount,
                          char* left, std::size_t capacity);

}  // namespace tamarisk
