// The copy of a file into a new one, on a thread of its own while the
// calling thread keeps the host answering: pieces, progress, cancel, and
// the removal of what a copy that did not finish made. No window here: the
// platform's loop shows one for a long copy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_abi.h"
#include "platform/platform.h"

namespace tamarisk {

struct NewFileCopy {
  const char* from;
  const char* to;         // made new: a file already there is kExists, and never touched
  WindowHandle owner;     // the host's window
  const char* shownName;  // what the progress window names the copy by
  bool flush;             // on the disk before the call returns: the copy is to replace a file
};

// kNone when to holds every byte of from, with its last-write time and
// attributes; kCancelled when the user cancelled. Whatever a copy that did
// not finish made is removed, by its worker: for a read that hangs, once it
// returns, after this call has.
platform::FileError CopyIntoNewFile(const NewFileCopy& copy);

// Writes every byte of from over the existing file to, from its start, ends
// it there and gives it from's last-write time, on this thread: stopped
// half-way it could keep neither file, so there is nothing to cancel.
platform::FileError CopyOverExistingFile(const char* from, const char* to);

// A worker left to a read that hangs has not ended yet.
bool CopiesStillRunning();

// The progress window's texts: "12.3 / 48.0 MB", and about how long is left
// once a second of copying tells (empty before, and while nothing moves).
void DescribeCopyProgress(std::uint64_t done, std::uint64_t total, uint32 elapsedMs, char* amount,
                          char* left, std::size_t capacity);

}  // namespace tamarisk
