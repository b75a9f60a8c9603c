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

// Only another program's hold passes: a folder or a denied right stays.
inline bool HoldPasses(FileError error) { return error == FileError::kInUse; }

// call() returns a FileError; the last one is returned. mayPass says which
// refusals are tried again.
template <class Call>
FileError Retrying(Call call, bool (*mayPass)(FileError) = MayPass) {
  for (int attempt = 1;; ++attempt) {
    const FileError error = call();
    if (attempt == kTries || !mayPass(error)) return error;
    Pause(kPauseBetweenTries);
  }
}

}  // namespace platform
}  // namespace tamarisk
