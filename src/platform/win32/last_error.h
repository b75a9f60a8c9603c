// How the last Win32 file call failed, as the platform seam names it.
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace tamarisk {
namespace platform {

inline FileError LastFileError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return FileError::kNotFound;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return FileError::kExists;
    case ERROR_ACCESS_DENIED: return FileError::kAccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return FileError::kInUse;
    case ERROR_FILENAME_EXCED_RANGE: return FileError::kTooLong;
    default: return FileError::kOther;
  }
}

}  // namespace platform
}  // namespace tamarisk
