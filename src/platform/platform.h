// The module's only way to the operating system. On Windows each function is
// a direct call of the Win32 function it is named after; the native build
// links a test double instead.
#pragma once

namespace tamarisk {
namespace platform {

// IsDBCSLeadByte: a lead byte of a double-byte character in the ANSI code page.
bool IsLeadByte(unsigned char byte);

}  // namespace platform
}  // namespace tamarisk
