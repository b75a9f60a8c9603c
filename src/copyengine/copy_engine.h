// A copy as one job with one verdict. The job runs on a thread of its own
// (or, when none can start, on the caller's) and does every step that
// touches files: the bytes, the zone mark, the attributes, the rename and
// the writing in place, and the removal of whatever it made that is not put
// in place. The calling thread only watches it. No window and no texts here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/text.h"
#include "platform/platform.h"
#include "platform/scoped.h"

namespace tamarisk {

class CopyJob;

// The steps of a job, run on its thread; their verdict is the job's.
using JobSteps = platform::FileError (*)(CopyJob* job);

class CopyJob {
 public:
  // Starts steps for source and destination (paths of at most 511 bytes):
  // null when no memory is left. Held once by the caller, who lets go.
  static CopyJob* Start(JobSteps steps, const char* source, const char* destination,
                        bool replace);
  void LetGo();

  const char* source() const { return source_; }
  const char* destination() const { return destination_; }
  bool replace() const { return replace_; }
  // The calling thread's id, whose digits name the files the job makes.
  uint32 callerThread() const { return callerThread_; }
  platform::CopyProgress* progress() { return &progress_; }
  // The worker's handle, signalled when the job has ended; null when the
  // job ran on the caller's thread, and so has ended.
  platform::Handle worker() const { return worker_.get(); }
  bool ended() const { return ended_.load(); }
  // Once ended: kNone when the new file is in place, kCancelled when the
  // person cancelled and nothing of the job remains.
  platform::FileError verdict() const { return verdict_; }
  // Where the old bytes of a file written in place were kept when they
  // could not be written back: empty otherwise.
  const char* keptAt() const { return keptAt_; }
  void KeepAt(const char* path) { FitText(path, keptAt_, sizeof keptAt_); }

 private:
  CopyJob() = default;
  static void Run(void* job);

  char source_[kTextBufferSize] = {};
  char destination_[kTextBufferSize] = {};
  char keptAt_[kTextBufferSize] = {};
  bool replace_ = false;
  uint32 callerThread_ = 0;
  JobSteps steps_ = nullptr;
  platform::CopyProgress progress_;
  platform::OwnedHandle worker_;
  platform::FileError verdict_ = platform::FileError::kNone;
  std::atomic<bool> ended_{false};
  std::atomic<int> holders_{1};
};

// The steps a job is made of.

// Copies the job's source into file, new and marked for deletion, counting
// the bytes in the job's progress; a cancel asked stops it (kCancelled).
// facts: the source's, for the attributes and time the copy takes.
platform::FileError CopyBytes(CopyJob* job, platform::Handle file, platform::SourceFacts* facts);

// The job's source copied into a new file made under to, which stays marked
// for deletion until it is kept: kExists when the name was taken.
platform::FileError CopyIntoNewFile(CopyJob* job, const char* to, platform::MadeFile* made,
                                    platform::SourceFacts* facts);

// What a whole copy takes of its source: the zone mark a download carries
// (replacing, the one the file had goes even when the source has none), then
// the last-write time through its handle, which a stream's write would move;
// both before the attributes, which may make the file read-only.
void TakeMarkAndTime(const char* from, const char* to, platform::Handle file,
                     std::uint64_t lastWrite, bool replacing);

// Writes the whole file newBytes (open, marked for deletion) over the existing
// file target, whose every name then shows them. Its old bytes are kept first
// in a journal of the user's temporary folder, flushed, which a process that
// ends half-way leaves for the next load to write back; a failure after the
// first byte writes them back at once. The job commits just before the first
// byte: a cancel asked before leaves target as it was (kCancelled).
platform::FileError WriteInPlace(CopyJob* job, platform::MadeFile* newBytes, const char* target,
                                 std::uint64_t lastWrite);

// Writes back the old bytes of files that a process which ended mid-write
// left in its journals, where each is still the same file, and removes
// those journals: before a process's first copy, and before each later one
// while a journal this process kept (its drive gone) waits.
void RecoverInterruptedWrites();

// A job that has not ended yet (a cancelled one waiting for a read that hangs).
bool CopiesStillRunning();

}  // namespace tamarisk
