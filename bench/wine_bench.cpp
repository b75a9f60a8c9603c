// Times the real TAMARISK.x32 under Wine against the platform's own CopyFileA
// on the same data, and each export against its floor (what any module must
// spend on it here), alternating the two in one process and taking medians,
// and measures how much the process's memory grows during a bitmap export.
//
//   wine_bench.exe [--reps N] [--copy-mb N] [--small N] [--module PATH] [--case NAME]
//
// --small: how many 1 KB copies each small case makes (default 1,000). --case
// runs one case (bitmap, text, plovers, small, responsive), or makes one text export and
// nothing else (trace-text) for strace.
// Big files live in C:\tamarisk-bench and are deleted at the end.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_data.h"
#include "host/host_ids.h"
#include "simhost/iat_patch.h"
#include "simhost/module_loader.h"
#include "simhost/sim_host.h"
#include "tests/support/window_probe.h"

namespace tamarisk {
namespace bench {
namespace {

using sim::ImportPatch;

const std::string kFolder = "C:\\tamarisk-bench";
constexpr int32 kPloversSelector = 1;
constexpr int32 kAvocetsSelector = 2;

// ---- time -------------------------------------------------------------------

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

[[noreturn]] void Die(const std::string& why) {
  std::fprintf(stderr, "wine_bench: %s\n", why.c_str());
  std::exit(1);
}

// ---- files ------------------------------------------------------------------

// A file of size bytes of a pattern, written a megabyte at a time.
void WritePatternFile(const std::string& path, std::size_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Die("cannot create " + path);
  std::vector<char> chunk(1 << 20);
  for (std::size_t done = 0; done < size; done += chunk.size()) {
    for (std::size_t i = 0; i < chunk.size(); i += 4096)
      chunk[i] = static_cast<char>(done / chunk.size() + i);
    DWORD written = 0;
    const DWORD n = static_cast<DWORD>(std::min(chunk.size(), size - done));
    if (!WriteFile(file, chunk.data(), n, &written, nullptr) || written != n)
      Die("cannot write " + path);
  }
  CloseHandle(file);
}

// Read to the end, not to the stated size: files under /proc state none.
std::string ReadWholeFile(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  bytes.reserve(GetFileSize(file, nullptr));
  std::vector<char> chunk(1 << 20);
  DWORD got = 0;
  while (ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0) {
    bytes.append(chunk.data(), got);
  }
  CloseHandle(file);
  return bytes;
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::string InFolder(const char* name) { return kFolder + "\\" + name; }

// ---- the module's user interface, never expected to show ----------------------

int unexpectedUi = 0;
// The overwrite question of the replacing case, answered Yes; every other box stops the run.
bool answerYes = false;
long questionsAnswered = 0;

int WINAPI UnexpectedMessageBox(HWND, LPCWSTR text, LPCWSTR, UINT type) {
  if (answerYes && (type & MB_YESNO) != 0) {
    ++questionsAnswered;
    return IDYES;
  }
  ++unexpectedUi;
  std::fprintf(stderr, "wine_bench: the module showed a message box: %ls\n",
               text != nullptr ? text : L"");
  return IDNO;
}

BOOL WINAPI UnexpectedSaveDialog(LPOPENFILENAMEW) {
  ++unexpectedUi;
  return FALSE;
}

// ---- where the module's time goes: its calls, timed through its imports --------

// A call's count and time, apart for the calling (host's) thread and the
// copy's thread: the copy's calls happen within the caller's wait.
struct Tally {
  const char* name;
  long calls = 0;
  double seconds = 0;
  long workerCalls = 0;
  double workerSeconds = 0;
};

// Every import worth timing; one the module does not import is left out.
#define TAMARISK_TIMED_IMPORTS(X)                                                              \
  X(kernel32, CreateFileA) X(kernel32, CreateFileW) X(kernel32, CloseHandle)                   \
  X(kernel32, GetFileInformationByHandle) X(kernel32, SetFileInformationByHandle)              \
  X(kernel32, GetFinalPathNameByHandleW) X(kernel32, FlushFileBuffers) X(kernel32, MoveFileExA) \
  X(kernel32, ReadFile) X(kernel32, WriteFile) X(kernel32, SetFileTime)                        \
  X(kernel32, SetFileAttributesA) X(kernel32, DeleteFileA) X(kernel32, DeleteFileW)            \
  X(kernel32, GetFullPathNameA) X(kernel32, CopyFileA) X(kernel32, _lwrite) X(kernel32, _lclose) \
  X(kernel32, CreateThread) X(kernel32, WaitForSingleObject) X(kernel32, GetModuleHandleExA)   \
  X(kernel32, FreeLibrary) X(kernel32, CreateEventA) X(kernel32, CreateEventW)                 \
  X(kernel32, SetEvent) X(kernel32, DuplicateHandle) X(kernel32, CreateThreadpoolWork)           \
  X(kernel32, SubmitThreadpoolWork)                                                            \
  X(kernel32, CloseThreadpoolWork) X(kernel32, TrySubmitThreadpoolCallback)                    \
  X(kernel32, SetEventWhenCallbackReturns) X(kernel32, FreeLibraryWhenCallbackReturns)         \
  X(user32, MsgWaitForMultipleObjectsEx) X(user32, PeekMessageA) X(user32, GetAncestor)         \
  X(user32, GetFocus) X(user32, IsWindowEnabled) X(user32, EnableWindow)
// The runtime's, declared here as the module imports them (its _stat is the
// 32-bit one).
#define TAMARISK_TIMED_RUNTIME(X)                                                   \
  X(_stat, int, const char*, void*) X(_access, int, const char*, int)               \
  X(_open_osfhandle, int, intptr_t, int) X(_fdopen, FILE*, int, const char*)        \
  X(fwrite, size_t, const void*, size_t, size_t, FILE*) X(fflush, int, FILE*)       \
  X(fclose, int, FILE*) X(strlen, size_t, const char*)

enum TallyIndex {
#define TAMARISK_INDEX(dll, name) k_##name,
#define TAMARISK_RUNTIME_INDEX(name, ...) k_##name,
  TAMARISK_TIMED_IMPORTS(TAMARISK_INDEX) TAMARISK_TIMED_RUNTIME(TAMARISK_RUNTIME_INDEX)
#undef TAMARISK_INDEX
#undef TAMARISK_RUNTIME_INDEX
  kTallies
};
Tally tallies[kTallies] = {
#define TAMARISK_NAME(dll, name) {#name},
#define TAMARISK_RUNTIME_NAME(name, ...) {#name},
    TAMARISK_TIMED_IMPORTS(TAMARISK_NAME) TAMARISK_TIMED_RUNTIME(TAMARISK_RUNTIME_NAME)
#undef TAMARISK_NAME
#undef TAMARISK_RUNTIME_NAME
};
void* originals[kTallies] = {};
DWORD hostThread = 0;  // the thread that calls the module

struct Timed {
  explicit Timed(int index) : tally(tallies[index]), start(Now()) {}
  ~Timed() {
    const double seconds = Now() - start;
    if (GetCurrentThreadId() == hostThread) {
      ++tally.calls;
      tally.seconds += seconds;
    } else {
      ++tally.workerCalls;
      tally.workerSeconds += seconds;
    }
  }
  Tally& tally;
  double start;
};

template <int I, class R, class... A>
R WINAPI TimedStdcall(A... a) {
  Timed timed(I);
  return reinterpret_cast<R(WINAPI*)(A...)>(originals[I])(a...);
}
template <int I, class R, class... A>
R __cdecl TimedCdecl(A... a) {
  Timed timed(I);
  return reinterpret_cast<R(__cdecl*)(A...)>(originals[I])(a...);
}
template <int I, class R, class... A>
void* TimedOf(R(WINAPI*)(A...)) {
  return reinterpret_cast<void*>(&TimedStdcall<I, R, A...>);
}
template <int I, class R, class... A>
void* TimedOf(R(__cdecl*)(A...)) {
  return reinterpret_cast<void*>(&TimedCdecl<I, R, A...>);
}

// Routes the module's calls through the tallies while it lives.
class FileCallTimers {
 public:
  enum Mode { kTimeAll };
  FileCallTimers(HMODULE module, Mode) {
    hostThread = GetCurrentThreadId();
#define TAMARISK_PATCH(dll, name) \
  Patch(module, #dll ".dll", #name, k_##name, TimedOf<k_##name>(&::name));
#define TAMARISK_RUNTIME_PATCH(name, result, ...)                             \
  Patch(module, "msvcrt.dll", #name, k_##name,                                \
        TimedOf<k_##name>(static_cast<result(__cdecl*)(__VA_ARGS__)>(nullptr)));
    TAMARISK_TIMED_IMPORTS(TAMARISK_PATCH)
    TAMARISK_TIMED_RUNTIME(TAMARISK_RUNTIME_PATCH)
#undef TAMARISK_PATCH
#undef TAMARISK_RUNTIME_PATCH
    Reset();
  }
  static void Reset() {
    for (Tally& t : tallies) t.calls = 0, t.seconds = 0, t.workerCalls = 0, t.workerSeconds = 0;
  }

 private:
  void Patch(HMODULE module, const char* dll, const char* name, TallyIndex index,
             void* replacement) {
    patches_.emplace_back(new ImportPatch(module, dll, name, replacement));
    if (!patches_.back()->installed()) {
      patches_.pop_back();
      return;
    }
    originals[index] = patches_.back()->original();
  }
  std::vector<std::unique_ptr<ImportPatch>> patches_;
};

// ---- the host --------------------------------------------------------------------

// A simulated host with one scripting instance of the loaded module.
class Session {
 public:
  explicit Session(const sim::ModuleApi& api, HWND window = nullptr) : host(api) {
    host.basePath = kFolder + "\\movie.dir";
    if (window != nullptr) host.window = window;
    instance_ = host.NewInstance(kScriptingClassId);
    if (instance_ == nullptr ||
        host.GetInterface(instance_, kScriptingInterfaceId, &scripting_) != kOk) {
      Die("the module made no scripting instance");
    }
  }
  ~Session() {
    static_cast<const ScriptingInterfaceOps*>(scripting_->ops)->Release(scripting_);
    host.DeleteInstance(instance_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int32 Plovers(const std::string& source, const std::string& destination) {
    return Call(kPloversSelector, {host.StringValue(source), host.StringValue(destination)});
  }
  int32 Avocets(int32 cast, int32 member, const std::string& destination) {
    return Call(kAvocetsSelector, {host.IntegerValue(cast), host.IntegerValue(member),
                                   host.StringValue(destination)});
  }

  sim::SimHost host;

 private:
  int32 Call(int32 selector, const std::vector<HostValue>& args) {
    HostValue result = host.VoidValue();
    if (host.Call(scripting_, selector, args, &result) != kOk) Die("the call failed");
    if (unexpectedUi != 0) Die("the module asked the user something");
    return host.IntegerOf(result);
  }

  sim::SimInstance* instance_ = nullptr;
  InterfaceObject* scripting_ = nullptr;
};

// ---- alternating measurements -------------------------------------------------

using Run = std::function<double()>;  // one timed run; its preparation is untimed

struct Pair {
  std::vector<double> module;
  std::vector<double> platform;
};

// One warm-up of each, then reps of each, the order swapped every repetition so
// that drift (page cache, write-back) falls on both alike.
Pair Alternate(int reps, const Run& module, const Run& platform) {
  module();
  platform();
  Pair pair;
  for (int i = 0; i < reps; ++i) {
    if (i % 2 == 0) {
      pair.module.push_back(module());
      pair.platform.push_back(platform());
    } else {
      pair.platform.push_back(platform());
      pair.module.push_back(module());
    }
  }
  return pair;
}

double CopyFileRun(const std::string& from, const std::string& to) {
  DeleteFileA(to.c_str());
  const double start = Now();
  const BOOL copied = CopyFileA(from.c_str(), to.c_str(), TRUE);
  const double seconds = Now() - start;
  if (!copied) Die("CopyFileA failed on " + from);
  return seconds;
}

// ---- report -----------------------------------------------------------------------

struct Row {
  std::string name;
  double module;
  double platform;
  double ratio;
  double goal;  // 0: no goal, shown for comparison
};

// The ratio is the median of each repetition's own ratio: a run and its
// partner ran back to back, so drift between repetitions cancels.
Row MakeRow(const std::string& name, const Pair& pair, double goal) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < pair.module.size(); ++i)
    ratios.push_back(pair.module[i] / pair.platform[i]);
  return {name, Median(pair.module), Median(pair.platform), Median(ratios), goal};
}

// The module's runs less a fixed share (the simulated host's own work).
Pair Less(Pair pair, double share) {
  for (double& t : pair.module) t -= share;
  return pair;
}

void PrintTable(const std::vector<Row>& rows, const char* against, int reps) {
  std::printf("\nMedians of %d alternated runs, the small copies' of each of their alternated "
              "calls\n(seconds; ratio: median of the runs' own ratios)\n",
              reps);
  std::printf("%-44s %10s %10s %8s %6s  %s\n", "case", "module", against, "ratio", "goal", "");
  // A small copy's time needs more places.
  const auto seconds = [](double t) { return t < 0.01 ? "%10.6f" : "%10.4f"; };
  for (const Row& r : rows) {
    std::printf("%-44s ", r.name.c_str());
    std::printf(seconds(r.module), r.module);
    std::printf(" ");
    std::printf(seconds(r.platform), r.platform);
    if (r.goal > 0) {
      std::printf(" %7.2fx %5.2fx  %s\n", r.ratio, r.goal, r.ratio <= r.goal ? "met" : "MISSED");
    } else {
      std::printf(" %7.2fx %6s  %s\n", r.ratio, "-", "(diagnostic)");
    }
  }
}

// The tallies of runs module calls, per call; total: the time of one call.
void PrintTallies(const char* title, double total, long runs = 1) {
  std::printf("  %s: %.4f s per call%s\n", title, total,
              runs > 1 ? " (the calls: per module call, averaged)" : "");
  std::printf("    %-30s %21s %26s\n", "", "the calling thread", "the copy's thread");
  double inside = 0;
  for (const Tally& t : tallies) {
    if (t.calls == 0 && t.workerCalls == 0) continue;
    std::printf("    %-30s %6.1f x %10.6f s   %6.1f x %10.6f s\n", t.name,
                double(t.calls) / double(runs), t.seconds / double(runs),
                double(t.workerCalls) / double(runs), t.workerSeconds / double(runs));
    inside += t.seconds / double(runs);
  }
  // The copy's calls happen within the calling thread's wait.
  std::printf("    %-30s %19.6f s\n", "the rest (calling thread)", total - inside);
}

// ---- memory ----------------------------------------------------------------------

struct Memory {
  SIZE_T workingSet;      // Wine: VmRSS
  SIZE_T peakWorkingSet;  // Wine: VmHWM
  SIZE_T privateBytes;    // Wine: RssAnon + VmSwap
};

Memory ReadMemory() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return {counters.WorkingSetSize, counters.PeakWorkingSetSize, counters.PagefileUsage};
}

// Resets the kernel's peak resident size of this process. Wine opens files in
// its server, so /proc/self would be the server: the script passes the Unix
// process id, checked against the command line it names.
bool ResetPeak() {
  const char* pid = std::getenv("TAMARISK_UNIX_PID");
  if (pid == nullptr) return false;
  const std::string proc = std::string("Z:\\proc\\") + pid;
  const std::string cmdline = ReadWholeFile(proc + "\\cmdline");
  if (cmdline.find("wine_bench") == std::string::npos) return false;
  HANDLE file = CreateFileA((proc + "\\clear_refs").c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, "5", 1, &written, nullptr);
  CloseHandle(file);
  return ok && written == 1;
}

// Samples the counters every millisecond while it lives, keeping the largest.
class Sampler {
 public:
  Sampler()
      : thread_([this] {
          while (!stop_) {
            const Memory m = ReadMemory();
            maxWorkingSet_ = std::max(maxWorkingSet_.load(), m.workingSet);
            maxPrivate_ = std::max(maxPrivate_.load(), m.privateBytes);
            Sleep(1);
          }
        }) {}
  ~Sampler() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  SIZE_T maxWorkingSet() const { return maxWorkingSet_; }
  SIZE_T maxPrivate() const { return maxPrivate_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<SIZE_T> maxWorkingSet_{0};
  std::atomic<SIZE_T> maxPrivate_{0};
  std::thread thread_;
};

double Mb(double bytes) { return bytes / (1024.0 * 1024.0); }

// ---- the platform's side: the module's calls replayed by this program ----------

// The temporary file opened as the module's writers open it: created or
// emptied, shared with nobody. The bitmap writer's HFILE is this handle.
HANDLE OpenAsTheWriters(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Die("cannot open " + path);
  return file;
}

// And the text writer's stream on that handle.
FILE* OpenStreamAsTheWriters(const std::string& path) {
  const int descriptor =
      _open_osfhandle(reinterpret_cast<intptr_t>(OpenAsTheWriters(path)), _O_WRONLY | _O_BINARY);
  FILE* stream = descriptor == -1 ? nullptr : _fdopen(descriptor, "wb");
  if (stream == nullptr) Die("cannot make a stream on " + path);
  return stream;
}

enum class TextPattern { kFlushPerLine, kNoFlush, kBlocks };

// Writes CR-ended text with CR LF line ends through a stream opened as the
// module opens its temporary file; the seconds from open to close.
double ReplayTextWriter(const std::string& text, TextPattern pattern, const std::string& path) {
  DeleteFileA(path.c_str());
  const double start = Now();
  FILE* stream = OpenStreamAsTheWriters(path);
  if (pattern == TextPattern::kBlocks) {
    // Runs copied into a 64 KB block, CR LF appended; one fwrite per block.
    constexpr std::size_t kBlock = 64 * 1024;
    std::vector<char> block(kBlock);
    std::size_t used = 0;
    auto put = [&](const char* data, std::size_t size) {
      while (size > 0) {
        const std::size_t n = std::min(size, kBlock - used);
        std::memcpy(block.data() + used, data, n);
        used += n;
        data += n;
        size -= n;
        if (used == kBlock) {
          std::fwrite(block.data(), 1, used, stream);
          used = 0;
        }
      }
    };
    const char* run = text.c_str();
    for (const char* p = run;; ++p) {
      if (*p != '\0' && *p != '\r') continue;
      put(run, static_cast<std::size_t>(p - run));
      if (*p == '\0') break;
      put("\r\n", 2);
      run = p + 1;
    }
    std::fwrite(block.data(), 1, used, stream);
  } else {
    const char* run = text.c_str();
    for (const char* p = run; *p != '\0'; ++p) {
      if (*p != '\r') continue;
      std::fwrite(run, 1, static_cast<std::size_t>(p - run), stream);
      std::fwrite("\r\n", 1, 2, stream);
      if (pattern == TextPattern::kFlushPerLine) std::fflush(stream);
      run = p + 1;
    }
    std::fwrite(run, 1, std::strlen(run), stream);
  }
  std::fflush(stream);
  std::fclose(stream);
  return Now() - start;
}

struct WriteAndDelete {
  double write;   // create, write in 32767-byte pieces, close
  double remove;  // DeleteFileA after the file was read once
};

// A file made new (CREATE_NEW, as CopyFileA makes its destination) or
// created-or-truncated (CREATE_ALWAYS, as the module's writers open its
// temporary file), read once as a copy would, deleted.
WriteAndDelete ReplayWriteAndDelete(DWORD disposition, const std::string& path,
                                    const std::vector<char>& bytes) {
  DeleteFileA(path.c_str());
  const double start = Now();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Die("cannot create " + path);
  for (std::size_t done = 0; done < bytes.size(); done += 32767) {
    const DWORD n = static_cast<DWORD>(std::min<std::size_t>(32767, bytes.size() - done));
    DWORD written = 0;
    WriteFile(file, bytes.data() + done, n, &written, nullptr);
  }
  CloseHandle(file);
  const double written = Now() - start;
  if (ReadWholeFile(path).size() != bytes.size()) Die("the replayed file is short");
  const double before = Now();
  DeleteFileA(path.c_str());
  return {written, Now() - before};
}

void PlatformReplays(const std::string& text, const std::string& expected, int reps) {
  std::printf("\nThe platform alone: the module's calls replayed by this program (medians of %d)\n",
              reps);
  const std::string path = InFolder("replay.txt");
  const struct {
    TextPattern pattern;
    const char* label;
  } patterns[] = {
      {TextPattern::kFlushPerLine, "fwrite line, fwrite CR LF, fflush (the first writer)"},
      {TextPattern::kNoFlush, "fwrite line, fwrite CR LF (no flush)"},
      {TextPattern::kBlocks, "CR LF made in 64 KB blocks, fwrite each"},
  };
  std::printf("  text writer, 8 MB in 100,000 lines, CreateFileA to fclose:\n");
  for (const auto& p : patterns) {
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) times.push_back(ReplayTextWriter(text, p.pattern, path));
    if (ReadWholeFile(path) != expected) Die("the replayed text differs");
    std::printf("    %-46s %8.4f s\n", p.label, Median(times));
  }
  DeleteFileA(path.c_str());

  std::vector<char> bitmap(PackedDib24(4096, 4096).size() + 14);  // the finished .bmp's size
  for (std::size_t i = 0; i < bitmap.size(); i += 512) bitmap[i] = static_cast<char>(i >> 9);
  const std::vector<char> finishedText(expected.begin(), expected.end());
  const std::string big = InFolder("replay.bin");
  std::printf("  a file written in 32767-byte pieces and closed, then deleted after one read:\n");
  for (const std::vector<char>* bytes :
       {static_cast<const std::vector<char>*>(&bitmap), &finishedText}) {
    for (const auto& d :
         {std::make_pair(DWORD{CREATE_NEW}, "CREATE_NEW (as CopyFileA's destination)"),
          std::make_pair(DWORD{CREATE_ALWAYS}, "CREATE_ALWAYS (as the temporary file)")}) {
      std::vector<double> writes;
      std::vector<double> removes;
      for (int i = 0; i < reps; ++i) {
        const WriteAndDelete t = ReplayWriteAndDelete(d.first, big, *bytes);
        writes.push_back(t.write);
        removes.push_back(t.remove);
      }
      std::printf("    %5.1f MB %-40s write %.4f s, delete %.4f s\n", Mb(double(bytes->size())),
                  d.second, Median(writes), Median(removes));
    }
  }
}

// ---- the cases ----------------------------------------------------------------------

struct Options {
  int reps = 7;
  std::size_t copyMb = 256;
  int smallCopies = 1000;
  std::string modulePath;
};

std::string BitmapExpected(const std::vector<uint8>& dib) {
  std::string bmp = "BM";
  bmp.resize(14);
  test::Put(bmp, 2, static_cast<uint32>(14 + dib.size()), 4);
  bmp[10] = 54;
  bmp.append(dib.begin(), dib.end());
  test::Put(bmp, 14 + 20, static_cast<uint32>(dib.size() - 40), 4);  // the pixels' size
  return bmp;
}

// How much the process grows during one export: the rise of the kernel's
// peak resident size over the resident size just before (the peak reset
// first when possible), cross-checked by sampling.
void MeasureBitmapMemory(Session& session, std::size_t dibSize) {
  const std::string destination = InFolder("memory.bmp");
  DeleteFileA(destination.c_str());
  const bool reset = ResetPeak();
  Sampler sampler;
  Sleep(20);
  const Memory before = ReadMemory();
  if (session.Avocets(1, 1, destination) != 0) Die("the bitmap export failed");
  const Memory after = ReadMemory();
  sampler.Stop();
  DeleteFileA(destination.c_str());

  const double limit = static_cast<double>(dibSize) + (1 << 20);
  const double peakRise =
      static_cast<double>(after.peakWorkingSet) - static_cast<double>(before.workingSet);
  const double sampledRise =
      static_cast<double>(sampler.maxWorkingSet()) - static_cast<double>(before.workingSet);
  const double privateRise =
      static_cast<double>(sampler.maxPrivate()) - static_cast<double>(before.privateBytes);
  std::printf("\nMemory during one bitmap export (DIB %.2f MB; goal: rise at most %.2f MB)\n",
              Mb(double(dibSize)), Mb(limit));
  std::printf("  baseline: working set %.2f MB, its peak so far %.2f MB (%s)\n",
              Mb(double(before.workingSet)), Mb(double(before.peakWorkingSet)),
              reset ? "peak reset just before" : "peak NOT reset");
  std::printf("  %-46s %8.2f MB  %s\n", "rise of the peak working set (VmHWM):", Mb(peakRise),
              peakRise <= limit ? "met" : "MISSED");
  std::printf("  %-46s %8.2f MB\n", "rise of the sampled working set (1 ms):", Mb(sampledRise));
  std::printf("  %-46s %8.2f MB\n", "rise of the sampled private bytes (1 ms):", Mb(privateRise));
  std::printf("  %-46s %8.2f MB\n",
              "of which the host's own block (GlobalAlloc):", Mb(double(dibSize)));
  std::printf("  %-46s %8.2f MB\n",
              "left for the module (peak rise - host block):", Mb(peakRise - double(dibSize)));
}

// The median of reps runs of work, with the file calls' tallies of the median run.
double BreakdownOf(int reps, const std::function<double()>& work,
                   std::vector<Tally>* medianTallies) {
  std::vector<std::pair<double, std::vector<Tally>>> runs;
  for (int i = 0; i < reps; ++i) {
    FileCallTimers::Reset();
    const double seconds = work();
    runs.emplace_back(seconds, std::vector<Tally>(std::begin(tallies), std::end(tallies)));
  }
  std::sort(runs.begin(), runs.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  *medianTallies = runs[runs.size() / 2].second;
  return runs[runs.size() / 2].first;
}

Row PloversCase(Session& session, HMODULE module, const Options& options, int reps) {
  const std::string source = InFolder("source.bin");
  const std::string byModule = InFolder("plovers.bin");
  const std::string byPlatform = InFolder("copyfile.bin");
  const std::size_t size = options.copyMb << 20;
  WritePatternFile(source, size);
  auto copyOnce = [&] {
    DeleteFileA(byModule.c_str());
    const double start = Now();
    const int32 result = session.Plovers(source, byModule);
    const double seconds = Now() - start;
    if (result != 0 || FileSize(byModule) != static_cast<long long>(size))
      Die("Plovers did not copy");
    return seconds;
  };
  const Pair pair = Alternate(reps, copyOnce, [&] { return CopyFileRun(source, byPlatform); });

  std::vector<Tally> t;
  double total = 0;
  {
    FileCallTimers timers(module, FileCallTimers::kTimeAll);
    total = BreakdownOf(reps, copyOnce, &t);
  }
  std::copy(t.begin(), t.end(), tallies);
  std::printf("\nWhere a Plovers copy's time goes (median of %d runs)\n", reps);
  PrintTallies("Plovers", total);

  for (const std::string& f : {source, byModule, byPlatform}) DeleteFileA(f.c_str());
  return MakeRow("Plovers, " + std::to_string(options.copyMb) + " MB file", pair, 1.0);
}

// ---- many small copies -------------------------------------------------------------

// count copies of a 1 KB file, each alternated with CopyFileA of the same file:
// into new names (each side in a folder of its own, which grows alike), or
// over one name, the overwrite question answered Yes, against CopyFileA
// overwriting a file of its own. Then count more with the calls timed.
Row SmallCopiesCase(Session& session, HMODULE module, bool replace, int count) {
  const std::string source = InFolder("small.bin");
  const std::string moduleFolder = InFolder(replace ? "small-replaced-m" : "small-new-m");
  const std::string platformFolder = InFolder(replace ? "small-replaced-p" : "small-new-p");
  WritePatternFile(source, 1024);
  CreateDirectoryA(moduleFolder.c_str(), nullptr);
  CreateDirectoryA(platformFolder.c_str(), nullptr);
  auto name = [&](const std::string& folder, int i) {
    return folder + (replace ? std::string("\\over.bin") : "\\f" + std::to_string(i) + ".bin");
  };
  for (const std::string& folder : {moduleFolder, platformFolder}) {
    SetFileAttributesA(name(folder, -1).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(name(folder, -1).c_str());  // left by a run that stopped
  }
  answerYes = replace;
  questionsAnswered = 0;
  auto moduleRun = [&](int i) {
    const std::string to = name(moduleFolder, i);
    const double start = Now();
    const int32 result = session.Plovers(source, to);
    const double seconds = Now() - start;
    if (result != 0 || FileSize(to) != 1024) Die("Plovers did not copy " + to);
    return seconds;
  };
  auto platformRun = [&](int i) {
    const std::string to = name(platformFolder, i);
    const double start = Now();
    const BOOL copied = CopyFileA(source.c_str(), to.c_str(), replace ? FALSE : TRUE);
    const double seconds = Now() - start;
    if (!copied) Die("CopyFileA failed on " + to);
    return seconds;
  };
  // The first of each makes the file that the replacing runs replace.
  moduleRun(-1);
  platformRun(-1);
  Pair pair;
  for (int i = 0; i < count; ++i) {
    if (i % 2 == 0) {
      pair.module.push_back(moduleRun(i));
      pair.platform.push_back(platformRun(i));
    } else {
      pair.platform.push_back(platformRun(i));
      pair.module.push_back(moduleRun(i));
    }
  }
  if (replace && questionsAnswered != count)
    Die("the overwrite question was asked " + std::to_string(questionsAnswered) + " times");

  const int timedCalls = count / 5;
  double total = 0;
  {
    FileCallTimers timers(module, FileCallTimers::kTimeAll);
    std::vector<double> times;
    for (int i = 0; i < timedCalls; ++i) times.push_back(moduleRun(count + i));
    for (double t : times) total += t / timedCalls;
    std::printf("\nWhere a small copy's time goes (%d calls with their calls timed: mean %.6f s, "
                "median %.6f s; untimed, median %.6f s)\n",
                timedCalls, total, Median(times), Median(pair.module));
    PrintTallies(replace ? "Plovers over one name (Yes)" : "Plovers into a new name", total,
                 timedCalls);
  }
  answerYes = false;

  DeleteFileA(source.c_str());
  for (const std::string& folder : {moduleFolder, platformFolder}) {
    for (int i = -1; i < count + timedCalls; ++i) {
      const std::string f = name(folder, i);
      SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(f.c_str());
    }
    RemoveDirectoryA(folder.c_str());
  }
  return MakeRow(replace ? "Plovers 1 KB over one name (Yes), per call"
                         : "Plovers 1 KB into a new name, per call",
                 pair, replace ? 3.0 : 1.5);
}

// The least a small copy can cost here: the platform calls a copy of 1 KB
// must make, made by this program on its own thread, each kind timed in a
// run of its own, next to CopyFileA into a new name and over an existing
// one; and what handing a piece of work to another thread and waiting for
// it as the module's watcher waits costs.
void CALLBACK NoWork(PTP_CALLBACK_INSTANCE instance, void* ended) {
  SetEventWhenCallbackReturns(instance, static_cast<HANDLE>(ended));
}
DWORD WINAPI NoThreadWork(void*) { return 0; }

void WatchFor(HANDLE handle) {
  while (MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) !=
         WAIT_OBJECT_0) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
}

void SmallCopySteps(int count) {
  enum Step {
    kCreateMarked, kOpenSource, kBytes, kUnmark, kZone, kTime, kClose, kFlush, kMove,
    kCopyNew, kCopyOver, kPoolWork, kThreadWork, kSteps
  };
  static const char* const names[kSteps] = {
      "CreateFileA, new, marked for deletion",    "open the source, its facts",
      "ReadFile, WriteFile, ReadFile (the end)",  "unmarked",
      "the zone mark's stream looked for",        "SetFileTime",
      "CloseHandle x 2",                          "FlushFileBuffers (replacing)",
      "MoveFileExA onto the old file (replacing)", "CopyFileA into a new name",
      "CopyFileA over an existing file",          "a pool thread's work, waited for",
      "a thread made, waited for"};
  const std::string folder = InFolder("steps");
  const std::string source = InFolder("steps-source.bin");
  CreateDirectoryA(folder.c_str(), nullptr);
  WritePatternFile(source, 1024);
  const std::wstring zone =
      L"\\\\?\\" + std::wstring(source.begin(), source.end()) + L":Zone.Identifier";
  const std::string over = folder + "\\over.bin";
  std::vector<double> t[kSteps];
  std::vector<char> piece(1024);
  auto made = [&](int i) { return folder + "\\m" + std::to_string(i) + ".bin"; };
  double at = 0;
  auto lap = [&](Step step) {
    const double now = Now();
    t[step].push_back(now - at);
    at = now;
  };
  for (int i = 0; i < count; ++i) {  // a new file's calls
    at = Now();
    HANDLE file = CreateFileA(made(i).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    FILE_DISPOSITION_INFO disposition = {TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    lap(kCreateMarked);
    HANDLE from = CreateFileA(source.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    GetFileInformationByHandleEx(from, FileBasicInfo, &basic, sizeof basic);
    GetFileInformationByHandleEx(from, FileStandardInfo, &standard, sizeof standard);
    lap(kOpenSource);
    DWORD got = 0;
    DWORD written = 0;
    ReadFile(from, piece.data(), 1024, &got, nullptr);
    WriteFile(file, piece.data(), got, &written, nullptr);
    ReadFile(from, piece.data(), 1024, &got, nullptr);
    lap(kBytes);
    disposition.DeleteFile = FALSE;
    SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    lap(kUnmark);
    const HANDLE mark = CreateFileW(zone.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    lap(kZone);
    FILETIME time = {basic.LastWriteTime.LowPart,
                     static_cast<DWORD>(basic.LastWriteTime.HighPart)};
    SetFileTime(file, nullptr, nullptr, &time);
    lap(kTime);
    CloseHandle(from);
    CloseHandle(file);
    lap(kClose);
  }
  for (int i = 0; i < count; ++i) {  // what only a replacement adds
    HANDLE file = CreateFileA(made(i).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, piece.data(), 1024, &written, nullptr);
    at = Now();
    FlushFileBuffers(file);
    lap(kFlush);
    CloseHandle(file);
    at = Now();
    MoveFileExA(made(i).c_str(), over.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    lap(kMove);
  }
  for (int i = 0; i < count; ++i) {
    at = Now();
    CopyFileA(source.c_str(), made(i).c_str(), TRUE);
    lap(kCopyNew);
  }
  for (int i = 0; i < count; ++i) {
    at = Now();
    CopyFileA(source.c_str(), over.c_str(), FALSE);
    lap(kCopyOver);
  }
  for (int i = 0; i < count; ++i) {
    HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    at = Now();
    TrySubmitThreadpoolCallback(NoWork, ended, nullptr);
    WatchFor(ended);
    lap(kPoolWork);
    CloseHandle(ended);
  }
  for (int i = 0; i < count; ++i) {
    at = Now();
    HANDLE thread = CreateThread(nullptr, 0, NoThreadWork, nullptr, 0, nullptr);
    WatchFor(thread);
    CloseHandle(thread);
    lap(kThreadWork);
  }
  std::printf("\nThe least a small copy costs here: each call it must make, timed on this thread "
              "(medians of %d)\n", count);
  double newFile = 0;
  for (int i = 0; i < kSteps; ++i) {
    const double median = Median(t[i]);
    std::printf("    %-44s %10.6f s\n", names[i], median);
    if (i <= kClose) newFile += median;
  }
  const double replacing = newFile + Median(t[kFlush]) + Median(t[kMove]);
  std::printf("  a new file's calls: %.6f s, %.2fx CopyFileA into a new name\n", newFile,
              newFile / Median(t[kCopyNew]));
  std::printf("  a replacement's calls: %.6f s, %.2fx CopyFileA over an existing file\n",
              replacing, replacing / Median(t[kCopyOver]));
  for (int i = 0; i < count; ++i) DeleteFileA(made(i).c_str());
  for (const std::string& f : {over, source}) DeleteFileA(f.c_str());
  RemoveDirectoryA(folder.c_str());
}

// ---- responsiveness: a copy from a slow drive, the host's window pinged ----------

// Copies S:\big.bin (48 MB at 12 MB/s, scripts/wine-run.sh with
// TAMARISK_SLOW_DRIVE) with Plovers while the host's window is pinged, and
// the same with CopyFileA on this thread, as a module that blocks would.
void ResponsivenessCase(const sim::ModuleApi& api, int reps) {
  const std::string source = "S:\\big.bin";
  if (GetFileAttributesA(source.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::printf("\nResponsiveness: no slow drive S: (TAMARISK_SLOW_DRIVE), skipped\n");
    return;
  }
  const HWND window = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  Session session(api, window);
  const std::string target = InFolder("slow.bin");
  std::vector<double> seconds[2];
  std::vector<double> longest[2];
  for (int i = 0; i < std::min(reps, 3); ++i) {
    for (int way = 0; way < 2; ++way) {
      SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);  // a copy is read-only as S: is
      DeleteFileA(target.c_str());
      test::WindowProbe probe(window);
      const double start = Now();
      const bool copied = way == 0 ? session.Plovers(source, target) == 0
                                   : CopyFileA(source.c_str(), target.c_str(), TRUE) != FALSE;
      seconds[way].push_back(Now() - start);
      longest[way].push_back(probe.Stop());
      if (!copied || FileSize(target) != 48000000)
        Die(std::string(way == 0 ? "Plovers" : "CopyFileA") + " from the slow drive failed");
    }
  }
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(target.c_str());
  std::printf(
      "\nResponsiveness: 48 MB from a 12 MB/s drive, the host's window pinged every 10 ms "
      "(median of %zu)\n",
      seconds[0].size());
  std::printf("%-44s %10s %22s %6s\n", "case", "seconds", "longest unanswered (s)", "goal");
  std::printf("%-44s %10.3f %22.3f %6s\n", "Plovers (progress window after 1 s)",
              Median(seconds[0]), Median(longest[0]), "0.100");
  std::printf("%-44s %10.3f %22.3f %6s\n", "CopyFileA on the host's thread", Median(seconds[1]),
              Median(longest[1]), "");
  DestroyWindow(window);
}

// One timed export of member (1, member) to path, which must come out size bytes long.
double ExportRun(Session& session, int32 member, const std::string& path, std::size_t size) {
  DeleteFileA(path.c_str());
  const double start = Now();
  const int32 result = session.Avocets(1, member, path);
  const double seconds = Now() - start;
  if (result != 0 || FileSize(path) != static_cast<long long>(size)) Die("Avocets did not export");
  return seconds;
}

// Times an export of member (1, member) against CopyFileA of the finished file;
// the first export is checked byte for byte against expected.
Pair ExportCase(Session& session, int32 member, const std::string& extension,
                const std::string& expected, int reps) {
  const std::string byModule = InFolder("avocets") + extension;
  const std::string finished = InFolder("finished") + extension;
  const std::string byPlatform = InFolder("copyfile") + extension;
  DeleteFileA(finished.c_str());
  if (session.Avocets(1, member, finished) != 0) Die("the export failed");
  if (ReadWholeFile(finished) != expected)
    Die("the exported " + extension + " file is not as expected");
  const Pair pair = Alternate(
      reps, [&] { return ExportRun(session, member, byModule, expected.size()); },
      [&] { return CopyFileRun(finished, byPlatform); });
  for (const std::string& f : {finished, byModule, byPlatform}) DeleteFileA(f.c_str());
  return pair;
}

// The least an export of these bytes can cost here, timed as one run: the
// simulated host's own work for the member (hostShare), a temporary file
// claimed new, the finished bytes written to it the way the module must
// write them (write), CopyFileA of it to a new file beside the destination,
// MoveFileExA of that to the destination, DeleteFileA of the temporary file.
double FloorRun(const std::function<void()>& hostShare,
                const std::function<void(const std::string&)>& write,
                const std::string& extension) {
  const std::string temporary = InFolder("floor.tmp");
  const std::string beside = InFolder("~tmfloor.tmp");
  const std::string destination = InFolder("floor") + extension;
  for (const std::string& f : {temporary, beside, destination}) DeleteFileA(f.c_str());
  const double start = Now();
  hostShare();
  const HANDLE claimed = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (claimed == INVALID_HANDLE_VALUE) Die("cannot claim " + temporary);
  CloseHandle(claimed);
  write(temporary);
  const BOOL placed = CopyFileA(temporary.c_str(), beside.c_str(), TRUE) &&
                      MoveFileExA(beside.c_str(), destination.c_str(), 0);
  DeleteFileA(temporary.c_str());
  const double seconds = Now() - start;
  if (!placed || FileSize(destination) < 0) Die("the floor's copy failed");
  DeleteFileA(destination.c_str());
  return seconds;
}

// The export of member (1, member) alternated with its floor.
Pair AgainstFloor(Session& session, int32 member, const std::string& extension, std::size_t size,
                  int reps, const std::function<double()>& floor) {
  const std::string byModule = InFolder("avocets") + extension;
  const Pair pair = Alternate(
      reps, [&] { return ExportRun(session, member, byModule, size); }, floor);
  DeleteFileA(byModule.c_str());
  return pair;
}

// The finished bitmap file as the module must write it: the temporary file
// opened as the writers open it, _lwrite in 32767-byte pieces, _lclose.
void WriteInPieces(const std::string& path, const std::string& bytes) {
  const HFILE file = static_cast<HFILE>(reinterpret_cast<intptr_t>(OpenAsTheWriters(path)));
  for (std::size_t done = 0; done < bytes.size(); done += 32767) {
    const UINT n = static_cast<UINT>(std::min<std::size_t>(32767, bytes.size() - done));
    if (_lwrite(file, bytes.data() + done, n) != n) Die("cannot write " + path);
  }
  _lclose(file);
}

// The finished text file as the module must write it: one stream, opened as
// the module opens it, one fwrite.
void WriteInOneStream(const std::string& path, const std::string& bytes) {
  FILE* stream = OpenStreamAsTheWriters(path);
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size())
    Die("cannot write " + path);
  std::fflush(stream);
  std::fclose(stream);
}

// What the simulated host itself does inside a bitmap export: the block made
// on ReadMedia and copied back on FreeMediaData. Same calls, same sizes.
double HostShareOfBitmap(const std::vector<uint8>& dib, std::vector<uint8>* copyBack) {
  const double start = Now();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, dib.size());
  std::memcpy(GlobalLock(block), dib.data(), dib.size());
  GlobalUnlock(block);
  const uint8* bytes = static_cast<const uint8*>(GlobalLock(block));
  copyBack->assign(bytes, bytes + GlobalSize(block));
  GlobalUnlock(block);
  GlobalFree(block);
  return Now() - start;
}

// And inside a text export: the "text" value the host makes on ReadProperty,
// and the block of exactly its bytes and the NUL that ValueTextPointer
// hands out, a second copy; kept like the host keeps them (a copy that is
// dropped is optimized away).
struct TextValues {
  std::vector<std::string> values;
  std::vector<std::unique_ptr<char[]>> exact;
  void clear() {
    values.clear();
    exact.clear();
  }
};
double HostShareOfText(const std::string& text, TextValues* kept) {
  const double start = Now();
  kept->values.push_back(text);
  kept->exact.emplace_back(new char[text.size() + 1]);
  std::memcpy(kept->exact.back().get(), kept->values.back().c_str(), text.size() + 1);
  return Now() - start;
}

// Bitmap: 4096 x 4096 x 24 bits. The host keeps the DIB, and a buffer for the
// copy it takes back at FreeMediaData is made before anything is measured,
// so that neither counts as the export's memory.
void BitmapCase(const sim::LoadedModule& module, int reps, std::vector<Row>* rows,
                std::vector<Row>* floorRows) {
  Session session(module.api);
  sim::SimCast cast;
  sim::SimMember& bitmap = cast.members[1];
  bitmap.name = "Picture";
  bitmap.type = "bitmap";
  bitmap.dib = PackedDib24(4096, 4096);
  session.host.casts.push_back(std::move(cast));
  const std::vector<uint8>& dib = session.host.casts[0].members[1].dib;
  session.host.lastReturnedImage.assign(dib.size(), 0);

  MeasureBitmapMemory(session, dib.size());

  const Pair pair = ExportCase(session, 1, ".bmp", BitmapExpected(dib), reps);
  std::vector<uint8> copyBack(dib.size());
  std::vector<double> host;
  for (int i = 0; i < reps; ++i) host.push_back(HostShareOfBitmap(dib, &copyBack));
  rows->push_back(MakeRow("Avocets, bitmap 4096x4096x24 (48 MB)", pair, 2.2));
  rows->push_back(MakeRow("  the same less the host's share", Less(pair, Median(host)), 0));
  const std::string finished = BitmapExpected(dib);
  const Pair floor = AgainstFloor(session, 1, ".bmp", finished.size(), reps, [&] {
    return FloorRun([&] { HostShareOfBitmap(dib, &copyBack); },
                    [&](const std::string& path) { WriteInPieces(path, finished); }, ".bmp");
  });
  floorRows->push_back(MakeRow("Avocets, bitmap 4096x4096x24 (48 MB)", floor, 1.1));

  const std::string target = InFolder("breakdown.bmp");
  std::vector<Tally> t;
  double total = 0;
  {
    FileCallTimers timers(static_cast<HMODULE>(module.handle), FileCallTimers::kTimeAll);
    total = BreakdownOf(
        reps,
        [&] {
          DeleteFileA(target.c_str());
          const double start = Now();
          if (session.Avocets(1, 1, target) != 0) Die("the bitmap export failed");
          return Now() - start;
        },
        &t);
  }
  std::copy(t.begin(), t.end(), tallies);
  std::printf(
      "\nWhere a bitmap export's time goes (median of %d runs; file calls timed through the "
      "module's imports)\n",
      reps);
  PrintTallies("Avocets bitmap", total);
  std::printf("    (of the rest, the simulated host's block and copy-back: %.4f s)\n",
              Median(host));
  DeleteFileA(target.c_str());
}

// Text: 8 MB in 100,000 CR-ended lines; then the module with its flushes
// skipped, and the platform's cost of each writing pattern.
void AddTextMember(Session* session) {
  sim::SimCast cast;
  sim::SimMember& field = cast.members[2];
  field.name = "Notes";
  field.type = "field";
  field.text = CrLines(8 << 20, 100000);
  session->host.casts.push_back(std::move(cast));
}

// One text export and nothing else, for tracing the process's system calls
// (strace -f -c).
void TraceTextExport(const sim::LoadedModule& module) {
  Session session(module.api);
  AddTextMember(&session);
  const std::string target = InFolder("trace.txt");
  DeleteFileA(target.c_str());
  if (session.Avocets(1, 2, target) != 0) Die("the text export failed");
  DeleteFileA(target.c_str());
  std::printf("one text export\n");
}

void TextCase(const sim::LoadedModule& module, int reps, std::vector<Row>* rows,
              std::vector<Row>* floorRows) {
  Session session(module.api);
  AddTextMember(&session);
  const std::string& text = session.host.casts[0].members[2].text;
  const std::string expected = WithCrLf(text);
  HMODULE handle = static_cast<HMODULE>(module.handle);

  const Pair pair = ExportCase(session, 2, ".txt", expected, reps);
  std::vector<double> host;
  TextValues values;
  for (int i = 0; i < reps; ++i) host.push_back(HostShareOfText(text, &values));
  values.clear();
  rows->push_back(MakeRow("Avocets, text 8 MB in 100,000 lines", pair, 3.0));
  const Pair floor = AgainstFloor(session, 2, ".txt", expected.size(), reps, [&] {
    return FloorRun([&] { HostShareOfText(text, &values); },
                    [&](const std::string& path) { WriteInOneStream(path, expected); }, ".txt");
  });
  values.clear();
  floorRows->push_back(MakeRow("Avocets, text 8 MB in 100,000 lines", floor, 1.2));

  const std::string target = InFolder("breakdown.txt");
  auto exportOnce = [&] {
    DeleteFileA(target.c_str());
    const double start = Now();
    if (session.Avocets(1, 2, target) != 0) Die("the text export failed");
    return Now() - start;
  };
  std::vector<Tally> t;
  double total = 0;
  {
    FileCallTimers timers(handle, FileCallTimers::kTimeAll);
    total = BreakdownOf(reps, exportOnce, &t);
  }
  std::copy(t.begin(), t.end(), tallies);
  std::printf(
      "\nWhere a text export's time goes (median of %d runs; the timing of each call adds its own "
      "cost)\n",
      reps);
  PrintTallies("Avocets text", total);
  std::printf("    (of the rest, the simulated host's two copies of the text: %.4f s)\n",
              Median(host));
  DeleteFileA(target.c_str());
  PlatformReplays(text, expected, reps);
}

int Main(int argc, char** argv) {
  Options options;
  std::string only = "all";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--reps" && i + 1 < argc) {
      options.reps = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--copy-mb" && i + 1 < argc) {
      options.copyMb = static_cast<std::size_t>(std::max(1, std::atoi(argv[++i])));
    } else if (arg == "--small" && i + 1 < argc) {
      options.smallCopies = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--module" && i + 1 < argc) {
      options.modulePath = argv[++i];
    } else if (arg == "--case" && i + 1 < argc) {
      only = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: wine_bench.exe [--reps N] [--copy-mb N] [--small N] [--module PATH]\n"
                   "                     [--case bitmap|text|plovers|small|responsive|trace-text]\n");
      return 2;
    }
  }

  sim::LoadedModule module;
  std::string error;
  if (!sim::LoadModule(options.modulePath.empty() ? sim::ModuleBesideProgram() : options.modulePath,
                       &module, &error)) {
    Die(error);
  }
  HMODULE handle = static_cast<HMODULE>(module.handle);
  ImportPatch messageBox(handle, "user32.dll", "MessageBoxW",
                         reinterpret_cast<void*>(UnexpectedMessageBox));
  ImportPatch saveDialog(handle, "comdlg32.dll", "GetSaveFileNameW",
                         reinterpret_cast<void*>(UnexpectedSaveDialog));
  if (!messageBox.installed() || !saveDialog.installed())
    Die("the module does not import MessageBoxW and GetSaveFileNameW");

  CreateDirectoryA(kFolder.c_str(), nullptr);
  SetCurrentDirectoryA(kFolder.c_str());  // the export's temporary file is made here
  std::printf("TAMARISK.x32 under Wine; files in %s\n", kFolder.c_str());

  // The bitmap first: its memory is measured before anything else has
  // raised the process's peak.
  std::vector<Row> rows;
  std::vector<Row> floorRows;
  if (only == "all" || only == "bitmap") BitmapCase(module, options.reps, &rows, &floorRows);
  if (only == "all" || only == "text") TextCase(module, options.reps, &rows, &floorRows);
  if (only == "trace-text") {
    TraceTextExport(module);
    SetCurrentDirectoryA("C:\\");
    RemoveDirectoryA(kFolder.c_str());
    return 0;
  }
  if (only == "all" || only == "plovers") {
    Session session(module.api);
    rows.insert(rows.begin(), PloversCase(session, handle, options, options.reps));
  }
  if (only == "all" || only == "small") {
    Session session(module.api);
    // After the large copy's row, when there is one.
    const std::size_t at = rows.empty() ? 0 : 1;
    const Row added = SmallCopiesCase(session, handle, false, options.smallCopies);
    const Row replaced = SmallCopiesCase(session, handle, true, options.smallCopies);
    rows.insert(rows.begin() + at, {added, replaced});
    SmallCopySteps(options.smallCopies / 5);
  }
  PrintTable(rows, "CopyFileA", options.reps);
  if (only == "all" || only == "responsive") ResponsivenessCase(module.api, options.reps);
  if (!floorRows.empty()) {
    std::printf(
        "\nEach export against its floor: the host's own work, a temporary file claimed new and "
        "the\n"
        "finished bytes written to it as the module must write them, CopyFileA to a new file "
        "beside\n"
        "the destination, MoveFileExA to the destination, DeleteFileA (one timed run)\n");
    PrintTable(floorRows, "floor", options.reps);
  }
  SetCurrentDirectoryA("C:\\");  // the current folder cannot be removed
  RemoveDirectoryA(kFolder.c_str());
  return 0;
}

}  // namespace
}  // namespace bench
}  // namespace tamarisk

int main(int argc, char** argv) { return tamarisk::bench::Main(argc, argv); }
