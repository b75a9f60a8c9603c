// Windows machines run a virus scanner that opens every new file for a
// moment, without sharing. A call it refuses is tried again for about a
// second before the refusal counts.
#pragma once

#include "platform/platform.h"

namespace tamarisk {
namespace platform {

constexpr int kTries = 20;
constexpr uint32 kPauseBetweenTries = 50;  // milliseconds

inline bool MayPass(FileError error) {
  return error == FileError::kInUse || error == FileError::kAccessDenied;
}

// call() returns a FileError; the last one is returned.
template <class Call>
FileError Retrying(Call call) {
  for (int attempt = 1;; ++attempt) {
    const FileError error = call();
    if (attempt == kTries || !MayPass(error)) return error;
    Pause(kPauseBetweenTries);
  }
}

}  // namespace platform
}  // namespace tamarisk
