// The scalar types and the opaque handles that every layer shares, from the
// platform up to the host's interfaces.
#pragma once

#include <cstdint>

namespace tamarisk {

using int32 = std::int32_t;
using uint32 = std::uint32_t;
using uint16 = std::uint16_t;
using uint8 = std::uint8_t;

using HostHandle = void*;      // a movable block of memory (a Handle or an HGLOBAL)
using WindowHandle = void*;    // HWND on the target
using InstanceHandle = void*;  // HINSTANCE on the target

}  // namespace tamarisk
