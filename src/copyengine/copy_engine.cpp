#include "copyengine/copy_engine.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/path.h"
#include "copyengine/free_names.h"
#include "platform/retrying.h"

namespace tamarisk {

namespace {

using platform::FileError;
using platform::Handle;

// A piece takes about 20 ms from a CD-ROM's 12 MB/s: a cancel is seen soon.
constexpr uint32 kPieceBytes = 256 * 1024;
constexpr std::uint64_t kToTheEnd = ~std::uint64_t{0};

std::atomic<int> liveWorkers{0};
// Journals to look at: those a process that ended left, once per load, and
// one this process had to keep, on every call after.
std::atomic<bool> journalsToRecover{true};

// A piece's buffer, given back when the holder goes. Not the runtime's
// operator new, which would bring its exception machinery into the module.
struct PieceBuffer {
  PieceBuffer() = default;
  ~PieceBuffer() { std::free(bytes); }
  PieceBuffer(const PieceBuffer&) = delete;
  PieceBuffer& operator=(const PieceBuffer&) = delete;
  char* bytes = static_cast<char*>(std::malloc(kPieceBytes));
};

// Copies count bytes (or to the end) from source to target where each
// stands, counted in progress; a cancel asked stops it, and so does a
// source that ends before count.
FileError CopyPieces(platform::CopyProgress* progress, Handle source, Handle target,
                     std::uint64_t count = kToTheEnd) {
  PieceBuffer buffer;
  if (buffer.bytes == nullptr) return FileError::kOther;
  while (count != 0) {
    if (progress->cancelAsked()) return FileError::kCancelled;
    uint32 read = 0;
    const uint32 wanted = count < kPieceBytes ? static_cast<uint32>(count) : kPieceBytes;
    FileError error = platform::ReadPiece(source, buffer.bytes, wanted, &read);
    if (error != FileError::kNone) return error;
    if (read == 0) return count == kToTheEnd ? FileError::kNone : FileError::kOther;
    error = platform::WritePiece(target, buffer.bytes, read);
    if (error != FileError::kNone) return error;
    progress->done += read;
    if (count != kToTheEnd) count -= read;
  }
  return FileError::kNone;
}

// The mark Windows gives a downloaded file, kept so that a copy does not
// launder a download; a source without one, or a drive without streams, is
// no error. replacing: the file had a mark of its own, which goes.
constexpr char kZoneStream[] = "Zone.Identifier";

void CopyZoneMark(const char* from, const char* to, bool replacing) {
  platform::OwnedHandle source;
  if (platform::OpenStream(from, kZoneStream, false, source.out()) != FileError::kNone) {
    if (replacing) platform::DeleteStream(to, kZoneStream);
    return;
  }
  platform::OwnedHandle target;
  if (platform::OpenStream(to, kZoneStream, true, target.out()) != FileError::kNone) return;
  platform::CopyProgress progress;
  CopyPieces(&progress, source.get(), target.get());
}

// ---- the journal of a file written in place ------------------------------------

// Its layout: this head, the old bytes, then kWhole, written last: a journal
// without it was never finished, so its file was never touched.
struct JournalHead {
  char magic[8];
  uint32 volume;
  uint32 reserved;
  std::uint64_t index;
  std::uint64_t size;
  std::uint64_t lastWrite;
  char path[kTextBufferSize];
};
constexpr char kJournalMagic[8] = {'T', 'M', 'J', 'R', 'N', 'L', '1', '\0'};
constexpr char kWhole[8] = {'W', 'H', 'O', 'L', 'E', '.', '.', '\0'};
constexpr char kJournalPrefix[] = "~tj";

bool ReadAll(Handle file, void* data, uint32 size) {
  uint32 read = 0;
  return platform::ReadPiece(file, data, size, &read) == FileError::kNone && read == size;
}

// Writes the journal's old bytes back over file from its start, ends it
// where it ended and gives it its old time, on the disk before it returns.
bool WriteBack(Handle journal, Handle file, const JournalHead& head) {
  platform::CopyProgress progress;
  return platform::MoveTo(journal, sizeof head) && platform::MoveTo(file, 0) &&
         CopyPieces(&progress, journal, file, head.size) == FileError::kNone &&
         platform::EndFileHere(file) == FileError::kNone &&
         platform::SetLastWriteTime(file, head.lastWrite) &&
         platform::FlushToDisk(file) == FileError::kNone;
}

// The old bytes of a file about to be written in place, in the user's
// temporary folder, until the new bytes are on the disk or the old are
// written back. Held open while this process lives, so that another
// process's recovery, which opens it alone, leaves it be.
class Journal {
 public:
  ~Journal() {
    if (keep_ || file_.get() == nullptr) return;
    if (platform::MarkForDeletion(file_.get(), true)) return;
    file_.Reset();  // a drive that takes no mark: by name
    platform::DeleteFileNamed(path_.c_str());
  }

  // Made whole and flushed: the old bytes of file, which is at target.
  FileError Write(const char* folder, unsigned threadId, const char* target, Handle file,
                  const platform::FileIdentity& old) {
    FileError error = Create(folder, threadId);
    if (error != FileError::kNone) return error;
    std::memset(&head_, 0, sizeof head_);
    std::memcpy(head_.magic, kJournalMagic, sizeof kJournalMagic);
    head_.volume = old.volume;
    head_.index = old.index;
    head_.size = old.size;
    head_.lastWrite = old.lastWrite;
    FitText(target, head_.path, sizeof head_.path);
    platform::CopyProgress progress;
    error = platform::WritePiece(file_.get(), &head_, sizeof head_);
    if (error == FileError::kNone && !platform::MoveTo(file, 0)) error = FileError::kOther;
    if (error == FileError::kNone) error = CopyPieces(&progress, file, file_.get(), old.size);
    if (error == FileError::kNone) error = platform::FlushToDisk(file_.get());
    if (error == FileError::kNone) error = platform::WritePiece(file_.get(), kWhole, sizeof kWhole);
    if (error == FileError::kNone) error = platform::FlushToDisk(file_.get());
    return error;
  }

  bool WriteBackInto(Handle file) { return WriteBack(file_.get(), file, head_); }
  // The old bytes stay where they are, for the user and the next load.
  void Keep() { keep_ = true; }
  const char* path() const { return path_.c_str(); }

 private:
  FileError Create(const char* folder, unsigned threadId) {
    return ClaimFreeName(folder, kJournalPrefix, ".tmp", threadId, &path_, [&](const char* path) {
      return platform::CreateTarget(path, file_.out());
    });
  }

  platform::OwnedHandle file_;
  JournalHead head_ = {};
  Path path_;
  bool keep_ = false;
};

// A journal left by a process that ended: written back where its file is
// still the same file, then removed. One its process still holds is left.
void RecoverJournal(const char* path) {
  platform::OwnedHandle journal;
  if (platform::OpenAlone(path, journal.out()) != FileError::kNone) return;
  JournalHead head;
  if (!ReadAll(journal.get(), &head, sizeof head) ||
      std::memcmp(head.magic, kJournalMagic, sizeof kJournalMagic) != 0 ||
      head.path[sizeof head.path - 1] != '\0') {
    return;  // not one of ours
  }
  char whole[sizeof kWhole] = {};
  const bool finished = platform::MoveTo(journal.get(), sizeof head + head.size) &&
                        ReadAll(journal.get(), whole, sizeof whole) &&
                        std::memcmp(whole, kWhole, sizeof kWhole) == 0;
  if (finished) {
    platform::OwnedHandle file;
    platform::FileIdentity now;
    // Gone, or another file now: its old bytes stay for the user.
    if (platform::OpenToOverwrite(head.path, file.out()) != FileError::kNone ||
        !platform::IdentityOf(file.get(), &now) || now.volume != head.volume ||
        now.index != head.index) {
      return;
    }
    if (!WriteBack(journal.get(), file.get(), head)) {
      journalsToRecover = true;  // the drive may come back
      return;
    }
  }
  platform::MarkForDeletion(journal.get(), true);
}

struct JournalSearch {
  char folder[kTextBufferSize];
};

void VisitJournal(const char* name, void* data) {
  const JournalSearch* search = static_cast<const JournalSearch*>(data);
  char path[kTextBufferSize];
  if (std::snprintf(path, sizeof path, "%s%s", search->folder, name) < static_cast<int>(sizeof path))
    RecoverJournal(path);
}

bool TemporaryFolder(char* folder) {
  return platform::TemporaryFolder(folder, kTextBufferSize);
}

}  // namespace

// ---- the job ------------------------------------------------------------------

CopyJob* CopyJob::Start(JobSteps steps, const char* source, const char* destination,
                        bool replace) {
  void* memory = std::malloc(sizeof(CopyJob));
  if (memory == nullptr) return nullptr;
  CopyJob* job = new (memory) CopyJob;
  FitText(source, job->source_, sizeof job->source_);
  FitText(destination, job->destination_, sizeof job->destination_);
  job->replace_ = replace;
  job->callerThread_ = platform::CurrentThreadId();
  job->steps_ = steps;
  job->holders_ = 2;
  ++liveWorkers;
  *job->worker_.out() = platform::StartWorker(Run, job);
  if (job->worker_.get() == nullptr) Run(job);  // then here, as the platform's own copy would
  return job;
}

void CopyJob::Run(void* data) {
  CopyJob* job = static_cast<CopyJob*>(data);
  job->verdict_ = job->steps_(job);
  // A job cancelled before it committed has removed all it made.
  if (job->progress_.cancelAsked()) job->verdict_ = FileError::kCancelled;
  job->ended_ = true;
  --liveWorkers;
  job->LetGo();
}

void CopyJob::LetGo() {
  if (holders_.fetch_sub(1) != 1) return;
  this->~CopyJob();
  std::free(this);
}

FileError CopyBytes(CopyJob* job, Handle file, platform::SourceFacts* facts) {
  platform::OwnedHandle source;
  // Opened again while another program holds it for a moment (a scanner
  // that has just seen the file written); the person may cancel meanwhile.
  FileError error = platform::Retrying(
      [&] {
        return job->progress()->cancelAsked()
                   ? FileError::kCancelled
                   : platform::OpenSource(job->source(), source.out(), facts);
      },
      platform::HoldPasses);
  if (error != FileError::kNone) return error;
  job->progress()->done = 0;
  job->progress()->total = facts->size;
  return CopyPieces(job->progress(), source.get(), file);
}

FileError CopyIntoNewFile(CopyJob* job, const char* to, platform::MadeFile* made,
                          platform::SourceFacts* facts) {
  const FileError error = made->Create(to);
  return error != FileError::kNone ? error : CopyBytes(job, made->handle(), facts);
}

void TakeMarkAndTime(const char* from, const char* to, Handle file, std::uint64_t lastWrite,
                     bool replacing) {
  CopyZoneMark(from, to, replacing);
  platform::SetLastWriteTime(file, lastWrite);
}

FileError WriteInPlace(CopyJob* job, platform::MadeFile* newBytes, const char* target,
                       std::uint64_t lastWrite) {
  const std::uint64_t newSize = job->progress()->total;
  platform::OwnedHandle file;
  // Opened again while a scanner holds it for a moment.
  FileError error = platform::Retrying(
      [&] { return platform::OpenToOverwrite(target, file.out()); }, platform::HoldPasses);
  if (error != FileError::kNone) return error;
  // No other program writes it meanwhile; a range one holds refuses this.
  error = platform::LockWholeFile(file.get());
  if (error != FileError::kNone) return error;
  struct Unlock {
    Handle file;
    ~Unlock() { platform::UnlockWholeFile(file); }
  } unlock{file.get()};

  // Room for the old bytes in the temporary folder, and for the new where
  // the old file is, counted by what it really occupies there (a compressed
  // or sparse file frees less than its size).
  platform::FileIdentity old;
  char folder[kTextBufferSize];
  std::uint64_t occupied = 0;
  std::uint64_t forJournal = 0;
  std::uint64_t forNew = 0;
  const Path targetFolder = PathOf(target).Folder();
  if (!platform::IdentityOf(file.get(), &old) || !TemporaryFolder(folder) ||
      !platform::OccupiedSize(target, &occupied) || !platform::FreeSpace(folder, &forJournal) ||
      !platform::FreeSpace(targetFolder.c_str(), &forNew) ||
      forJournal < old.size + sizeof(JournalHead) + sizeof kWhole ||
      forNew + occupied < newSize) {
    return FileError::kOther;
  }
  Journal journal;
  error = journal.Write(folder, job->callerThread(), target, file.get(), old);
  if (error != FileError::kNone) return error;
  // From the first byte on, the write is finished or undone, never cancelled.
  if (!job->progress()->Commit()) return FileError::kCancelled;

  job->progress()->done = 0;
  error = platform::MoveTo(newBytes->handle(), 0) && platform::MoveTo(file.get(), 0)
              ? CopyPieces(job->progress(), newBytes->handle(), file.get())
              : FileError::kOther;
  if (error == FileError::kNone) error = platform::EndFileHere(file.get());
  if (error == FileError::kNone) error = platform::FlushToDisk(file.get());
  if (error != FileError::kNone) {
    if (!journal.WriteBackInto(file.get())) {
      journal.Keep();
      job->KeepAt(journal.path());
      journalsToRecover = true;
    }
    return error;
  }
  TakeMarkAndTime(job->source(), target, file.get(), lastWrite, true);
  return FileError::kNone;
}

void RecoverInterruptedWrites() {
  if (!journalsToRecover.exchange(false)) return;
  JournalSearch search;
  char pattern[kTextBufferSize + 16];
  if (!TemporaryFolder(search.folder)) return;
  std::snprintf(pattern, sizeof pattern, "%s%s*.tmp", search.folder, kJournalPrefix);
  platform::ForEachFile(pattern, VisitJournal, &search);
}

bool CopiesStillRunning() { return liveWorkers.load() != 0; }

}  // namespace tamarisk
