// The Win32 binding of the platform seam: each function is the real call.
#include <windows.h>

#include "platform/platform.h"

namespace tamarisk {
namespace platform {

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace platform
}  // namespace tamarisk
