// The module's file paths, built natively against the platform double (files
// in memory), under Google Benchmark: what the module's own code costs, with
// no Windows and no Wine in the way. Made for profiling too:
//   valgrind --tool=callgrind native_bench --benchmark_filter=TextExport
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "castexport/media_writers.h"
#include "castexport/file_sinks.h"
#include "dib/dib_writer.h"
#include "host/host_ids.h"
#include "module/entry_points.h"
#include "simhost/sim_host.h"
#include "tests/doubles/native_fs.h"
#include "tests/doubles/native_global.h"

namespace tamarisk {
namespace bench {
namespace {

constexpr std::size_t kTextBytes = 8 << 20;
constexpr std::size_t kTextLines = 100000;
const char kFolder[] = "C:\\bench";

const sim::ModuleApi& LinkedModule() {
  static const sim::ModuleApi api = {DllGetClassObject, DllCanUnloadNow, DllGetClassForm,
                                     DllGetInterface, DllGetClassInfo};
  return api;
}

// An empty in-memory disk with the bench folder current, and a user who is
// never to be asked anything.
void FreshFiles() {
  sim::NativeFs().Reset();
  sim::NativeFs().MakeDirectory(kFolder);
  sim::NativeFs().currentDirectory = kFolder;
  sim::NativeUserInterface().messageBox = [](WindowHandle, const char16_t*, const char16_t*,
                                             uint32) -> int {
    std::fprintf(stderr, "native_bench: the module showed a message box\n");
    std::abort();
  };
}

std::string InFolder(const char* name) { return std::string(kFolder) + "\\" + name; }

// A simulated host with one scripting instance of the linked module.
class Session {
 public:
  Session() : host(LinkedModule()) {
    host.basePath = InFolder("movie.dir");
    instance_ = host.NewInstance(kScriptingClassId);
    host.GetInterface(instance_, kScriptingInterfaceId, &scripting_);
  }
  ~Session() {
    static_cast<const ScriptingInterfaceOps*>(scripting_->ops)->Release(scripting_);
    host.DeleteInstance(instance_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int32 Call(int32 selector, const std::vector<HostValue>& args) {
    HostValue result = host.VoidValue();
    host.Call(scripting_, selector, args, &result);
    return host.IntegerOf(result);
  }

  sim::SimHost host;

 private:
  sim::SimInstance* instance_ = nullptr;
  InterfaceObject* scripting_ = nullptr;
};

const std::string& Text() {
  static const std::string text = CrLines(kTextBytes, kTextLines);
  return text;
}

// Avocets on a field member: the host's text value, the temporary file with
// CR LF line ends, the copy to the destination, the deletion. A fresh host
// each time (the simulated host keeps every value it hands out).
void BM_TextExport(benchmark::State& state) {
  FreshFiles();
  const std::string destination = InFolder("notes.txt");
  for (auto _ : state) {
    state.PauseTiming();
    sim::NativeFs().Remove(destination);
    auto session = std::make_unique<Session>();
    sim::SimCast cast;
    cast.members[1].name = "Notes";
    cast.members[1].type = "field";
    cast.members[1].text = Text();
    session->host.casts.push_back(std::move(cast));
    state.ResumeTiming();
    if (session->Call(2, {session->host.IntegerValue(1), session->host.IntegerValue(1),
                          session->host.StringValue(destination)}) != 0) {
      state.SkipWithError("the export failed");
    }
    state.PauseTiming();
    session.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kTextBytes));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kTextLines));
}
BENCHMARK(BM_TextExport)->Unit(benchmark::kMillisecond);

// The text writer alone into an output stream, against one write of the
// finished bytes (the floor). The in-memory file has room for them from the
// start, as a file on disk never moves what it holds: a string that grows
// copies its bytes again at every doubling, and that would be the double's.
void BM_TextWriter(benchmark::State& state) {
  FreshFiles();
  const bool converting = state.range(0) != 0;
  const std::string path = InFolder("writer.txt");
  const std::string& text = Text();
  const std::string finished = WithCrLf(text);
  std::vector<char> block(1 << 20);  // as large as the module's
  for (auto _ : state) {
    sim::NativeFs().Remove(path);
    StreamFileSink file(path.c_str());
    sim::NativeFs().Find(path)->bytes.reserve(finished.size());
    if (converting) {
      WriteTextWithCrLf(text.c_str(), file, block.data(), block.size());
    } else {
      file.Write(finished.data(), finished.size());  // the lower bound: one write
    }
    if (!file.Finish()) state.SkipWithError("the write failed");
  }
  state.SetLabel(converting ? "the module's writer" : "one write of the same bytes");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kTextBytes));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kTextLines));
}
BENCHMARK(BM_TextWriter)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The DIB writer alone: a 4096 x 4096 x 24-bit block (48 MB) to a file in
// chunks of 32767 bytes.
void BM_DibWrite(benchmark::State& state) {
  FreshFiles();
  sim::NativeGlobalBlock* block = sim::NativeGlobalAlloc(PackedDib24(4096, 4096));
  const std::string path = InFolder("picture.bmp");
  for (auto _ : state) {
    state.PauseTiming();
    sim::NativeFs().Remove(path);
    sim::NativeFs().lowLevelWrites.clear();
    state.ResumeTiming();
    PiecewiseFileSink file(path.c_str());
    if (WriteDibFile(block, file) != WriteOutcome::kWritten)
      state.SkipWithError("the write failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block->bytes.size()));
  state.SetItemsProcessed(
      state.iterations() *
      static_cast<int64_t>(block->bytes.size() / PiecewiseFileSink::kPieceSize + 2));
  state.SetLabel("items: _lwrite calls");
  sim::NativeGlobalFree(block);
}
BENCHMARK(BM_DibWrite)->Unit(benchmark::kMillisecond);

// Avocets on a bitmap member: the host's block, the DIB writer, the copy.
void BM_BitmapExport(benchmark::State& state) {
  FreshFiles();
  Session session;
  sim::SimCast cast;
  cast.members[1].name = "Picture";
  cast.members[1].type = "bitmap";
  cast.members[1].dib = PackedDib24(4096, 4096);
  session.host.casts.push_back(std::move(cast));
  const std::size_t size = session.host.casts[0].members[1].dib.size();
  const std::string destination = InFolder("picture.bmp");
  for (auto _ : state) {
    state.PauseTiming();
    sim::NativeFs().Remove(destination);
    state.ResumeTiming();
    if (session.Call(2, {session.host.IntegerValue(1), session.host.IntegerValue(1),
                         session.host.StringValue(destination)}) != 0) {
      state.SkipWithError("the export failed");
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}
BENCHMARK(BM_BitmapExport)->Unit(benchmark::kMillisecond);

// Plovers on a 1 KB file: argument reading, splitting, completing, joining
// and lowercasing the paths, the checks, the copy. Items: calls.
void BM_PloversPaths(benchmark::State& state) {
  FreshFiles();
  sim::NativeFs().MakeDirectory(InFolder("Backup"));
  sim::NativeFs().WriteFile(InFolder("Notes.TXT"), std::string(1024, 'n'));
  Session session;
  struct Form {
    const char* label;
    std::string source;
    std::string destination;
    std::string written;
  };
  const Form forms[] = {
      {"absolute paths", InFolder("Notes.TXT"), InFolder("Backup\\Copy.TXT"),
       InFolder("backup\\copy.txt")},
      {"relative paths", "Notes.TXT", "Backup\\Copy.TXT", InFolder("backup\\copy.txt")},
      {"folder only", "Notes.TXT", "Backup\\", InFolder("backup\\notes.txt")},
  };
  const Form& form = forms[state.range(0)];
  for (auto _ : state) {
    sim::NativeFs().Remove(form.written);
    if (session.Call(1, {session.host.StringValue(form.source),
                         session.host.StringValue(form.destination)}) != 0) {
      state.SkipWithError("the copy failed");
    }
  }
  state.SetLabel(form.label);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PloversPaths)->DenseRange(0, 2);

}  // namespace
}  // namespace bench
}  // namespace tamarisk

int main(int argc, char** argv) {
  // The in-memory files are strings that grow and are dropped every run.
  // Freed memory is kept in the process, so that no run pays the kernel for
  // fresh pages (how often it did depended on the allocator's own history,
  // and moved the figures by a factor of ten): what is measured is the
  // module's code and the double's copying.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
