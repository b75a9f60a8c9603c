#include "copyengine/copy_engine.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "base/text.h"
#include "platform/retrying.h"
#include "platform/scoped.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

using platform::FileError;

// A piece takes about 20 ms from a CD-ROM's 12 MB/s: a cancel is seen soon.
constexpr uint32 kPieceBytes = 256 * 1024;
constexpr uint32 kPlainAttributes = 0x20 | 0x80;  // archive, normal

std::atomic<int> liveWorkers{0};

// One copy, shared by its worker and the thread that watches it; the last of
// the two to let go of it frees it.
struct CopyJob {
  char from[kTextBufferSize];
  char to[kTextBufferSize];
  bool flush = false;
  platform::CopyProgress progress;
  FileError error = FileError::kNone;  // the worker's, read once it has ended
  std::atomic<int> holders{1};
};

// Made with malloc: the runtime's operator new would bring its exception
// machinery into the module, and with it a thread-local slot per load.
CopyJob* NewJob() {
  void* memory = std::malloc(sizeof(CopyJob));
  return memory != nullptr ? new (memory) CopyJob : nullptr;
}

void LetGo(CopyJob* job) {
  if (job->holders.fetch_sub(1) != 1) return;
  job->~CopyJob();
  std::free(job);
}

// A piece's buffer, given back when the holder goes.
struct PieceBuffer {
  PieceBuffer() = default;
  ~PieceBuffer() { std::free(bytes); }
  PieceBuffer(const PieceBuffer&) = delete;
  PieceBuffer& operator=(const PieceBuffer&) = delete;
  char* bytes = static_cast<char*>(std::malloc(kPieceBytes));
};

bool Cancelled(const CopyJob& job) { return job.progress.cancelled.load(); }

FileError CopyPieces(platform::CopyProgress* progress, platform::Handle source,
                     platform::Handle target) {
  PieceBuffer buffer;
  if (buffer.bytes == nullptr) return FileError::kOther;
  for (;;) {
    if (progress->cancelled) return FileError::kCancelled;
    uint32 read = 0;
    FileError error = platform::ReadPiece(source, buffer.bytes, kPieceBytes, &read);
    if (error != FileError::kNone || read == 0) return error;
    error = platform::WritePiece(target, buffer.bytes, read);
    if (error != FileError::kNone) return error;
    progress->done += read;
  }
}

// The source is opened again while another program holds it for a moment
// (a scanner that has just seen the file written); the user may cancel.
FileError OpenSource(CopyJob* job, platform::OwnedHandle* source, platform::SourceFacts* facts) {
  return platform::Retrying(
      [&] {
        return Cancelled(*job) ? FileError::kCancelled
                               : platform::OpenSource(job->from, source->out(), facts);
      },
      platform::HoldPasses);
}

// The mark Windows gives a downloaded file, kept so that a copy does not
// launder a download; a source without one, or a drive without streams, is
// no error. Written before the file's attributes: a read-only file takes no
// new stream.
void CopyZoneMark(const char* from, const char* to) {
  static const char kZoneStream[] = ":Zone.Identifier";
  char fromMark[kTextBufferSize + sizeof kZoneStream];
  char toMark[kTextBufferSize + sizeof kZoneStream];
  std::snprintf(fromMark, sizeof fromMark, "%s%s", from, kZoneStream);
  std::snprintf(toMark, sizeof toMark, "%s%s", to, kZoneStream);
  platform::OwnedHandle source;
  if (platform::OpenSource(fromMark, source.out(), nullptr) != FileError::kNone) return;
  platform::OwnedHandle target;
  FileError error = platform::CreateTarget(toMark, target.out());
  if (error == FileError::kExists) error = platform::OpenToOverwrite(toMark, target.out());
  if (error != FileError::kNone) return;
  platform::CopyProgress progress;
  if (CopyPieces(&progress, source.get(), target.get()) == FileError::kNone) {
    platform::EndFileHere(target.get());
  }
}

FileError CopyNow(CopyJob* job) {
  platform::OwnedHandle source;
  platform::SourceFacts facts = {};
  FileError error = OpenSource(job, &source, &facts);
  if (error != FileError::kNone) return error;
  job->progress.total = facts.size;
  // Declared before the file, so that the file is closed before it is removed.
  platform::MadeFile made;
  platform::OwnedHandle target;
  error = platform::CreateTarget(job->to, target.out());
  if (error != FileError::kNone) return error;  // nothing of ours is there
  made.Made(job->to);
  error = CopyPieces(&job->progress, source.get(), target.get());
  if (error == FileError::kNone) {
    platform::SetLastWriteTime(target.get(), facts.lastWrite);
    if (job->flush) error = platform::FlushToDisk(target.get());
  }
  target.Reset();
  if (error == FileError::kNone && Cancelled(*job)) error = FileError::kCancelled;
  if (error != FileError::kNone) return error;
  made.Keep();
  CopyZoneMark(job->from, job->to);
  // The source's own attributes (read-only, hidden), once the copy is whole;
  // a scanner may hold the file it has just seen closed. A copy is not
  // failed for them.
  if ((facts.attributes & ~kPlainAttributes) != 0) {
    platform::Retrying([&] { return platform::SetAttributes(job->to, facts.attributes); });
  }
  return FileError::kNone;
}

void RunWorker(void* data) {
  CopyJob* job = static_cast<CopyJob*>(data);
  job->error = CopyNow(job);
  LetGo(job);
  --liveWorkers;
}

}  // namespace

FileError CopyIntoNewFile(const NewFileCopy& copy) {
  CopyJob* job = NewJob();
  if (job == nullptr) return FileError::kOther;
  // Both are paths of the call, at most 511 bytes.
  std::snprintf(job->from, sizeof job->from, "%s", copy.from);
  std::snprintf(job->to, sizeof job->to, "%s", copy.to);
  job->flush = copy.flush;
  job->holders = 2;
  ++liveWorkers;
  platform::OwnedHandle worker(platform::StartWorker(RunWorker, job));
  FileError error = FileError::kCancelled;
  if (worker.get() == nullptr) {
    --liveWorkers;
    job->holders = 1;
    error = CopyNow(job);  // then here, as the platform's own copy would
  } else if (platform::WatchCopy({worker.get(), &job->progress, copy.owner, kCopyingCaption,
                                  kCancelButton, copy.shownName, DescribeCopyProgress}) ==
             platform::WatchEnd::kEnded) {
    error = job->error;
  }  // else left to a read that hangs: the worker cleans up when it returns
  LetGo(job);
  return error;
}

FileError CopyOverExistingFile(const char* from, const char* to) {
  platform::OwnedHandle source;
  platform::SourceFacts facts = {};
  FileError error = platform::OpenSource(from, source.out(), &facts);
  if (error != FileError::kNone) return error;
  platform::OwnedHandle target;
  error = platform::OpenToOverwrite(to, target.out());
  if (error != FileError::kNone) return error;
  platform::CopyProgress progress;
  error = CopyPieces(&progress, source.get(), target.get());
  if (error == FileError::kNone) error = platform::EndFileHere(target.get());
  if (error == FileError::kNone) platform::SetLastWriteTime(target.get(), facts.lastWrite);
  target.Reset();
  if (error == FileError::kNone) CopyZoneMark(from, to);
  return error;
}

bool CopiesStillRunning() { return liveWorkers.load() != 0; }

void DescribeCopyProgress(std::uint64_t done, std::uint64_t total, uint32 elapsedMs, char* amount,
                          char* left, std::size_t capacity) {
  const bool gigabytes = total >= 1000000000u;
  const std::uint64_t tenth = gigabytes ? 100000000u : 100000u;  // of the unit
  const std::uint64_t doneTenths = done / tenth;
  const std::uint64_t totalTenths = total / tenth;
  std::snprintf(amount, capacity, "%u.%u / %u.%u %s", static_cast<unsigned>(doneTenths / 10),
         static_cast<unsigned>(doneTenths % 10), static_cast<unsigned>(totalTenths / 10),
         static_cast<unsigned>(totalTenths % 10), gigabytes ? "GB" : "MB");
  left[0] = '\0';
  if (elapsedMs < 1000 || done == 0 || done >= total) return;
  const double seconds = static_cast<double>(total - done) * elapsedMs /
                         static_cast<double>(done) / 1000;
  if (seconds < 59.5) {
    std::snprintf(left, capacity, "%s%u%s", kTimeLeft, static_cast<unsigned>(seconds + 0.999),
                  kSecondsUnit);
  } else if (seconds < 6000000.0) {
    std::snprintf(left, capacity, "%s%u%s", kTimeLeft, static_cast<unsigned>(seconds / 60 + 0.999),
                  kMinutesUnit);
  }
}

}  // namespace tamarisk
