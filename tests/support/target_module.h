// The loaded TAMARISK.x32, for tests that patch or inspect it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "simhost/iat_patch.h"
#include "support/test_env.h"

namespace tamarisk {
namespace test {

HMODULE LoadedModule();

// The names in a folder's listing.
inline std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& entry : FolderListing(folder))
    names.push_back(entry.substr(0, entry.find(' ')));
  return names;
}

// A second name for `file`, a hard link.
inline bool Linked(const std::string& second, const std::string& file) {
  return CreateHardLinkA(second.c_str(), file.c_str(), nullptr) != FALSE;
}

// Polls every 10 ms, `tries` times at most, for what another program or
// thread does: whether `done` came true.
template <class Done>
bool Eventually(Done done, int tries = 100) {
  for (int i = 0; i < tries && !done(); ++i) Sleep(10);
  return done();
}

// The import a stand-in replaced, called as the function it is:
// Real(&::WriteFile, original)(file, data, size, done, at).
template <class Function>
Function* Real(Function*, void* original) {
  return reinterpret_cast<Function*>(original);
}

// The module's imports replaced by stand-ins, each until Undo or the end of
// this object, the latest undone first.
class StandIns {
 public:
  StandIns() = default;
  StandIns(const StandIns&) = delete;
  StandIns& operator=(const StandIns&) = delete;
  ~StandIns() { Undo(); }

  // Replaces the import of `function` with `standIn` and gives the real
  // one; unless `optional`, the module must import it.
  template <class Function>
  void* Patch(const char* function, Function* standIn, const char* dll = "kernel32.dll",
              bool optional = false) {
    patches_.emplace_back(
        new sim::ImportPatch(LoadedModule(), dll, function, reinterpret_cast<void*>(standIn)));
    if (!optional && !patches_.back()->installed()) ADD_FAILURE() << "no import of " << function;
    return patches_.back()->original();
  }
  void Undo() {
    while (!patches_.empty()) patches_.pop_back();
  }

 private:
  std::vector<std::unique_ptr<sim::ImportPatch>> patches_;
};

// A call refused as the platform documents it can be, leaving the files as
// they were: with `error`, once `passes` calls have gone through to the real
// one, `refusals` times. One at a time, for every stand-in that Refusing makes;
// `real` is the import that a test's one stand-in replaced, whichever it is.
constexpr int kEveryCall = 1 << 30;
struct Refusal {
  DWORD error = 0;
  int passes = 0;
  int refusals = kEveryCall;
  int calls = 0;
  void* real = nullptr;
  bool Refused() {
    const int call = calls++;
    if (call < passes || call >= passes + refusals) return false;
    SetLastError(error);
    return true;
  }
};
inline Refusal refusal;

// The stand-in: the call refused, its failure value being 0, FALSE or a null
// handle alike, or the real one.
template <class Result, class... Args>
Result WINAPI RefusedCall(Args... args) {
  if (refusal.Refused()) return Result();
  return Real(static_cast<Result(WINAPI*)(Args...)>(nullptr), refusal.real)(args...);
}
// The stand-in for a function of this type: Refusing(&::ReadFile).
template <class Result, class... Args>
void* Refusing(Result(WINAPI*)(Args...)) {
  return reinterpret_cast<void*>(&RefusedCall<Result, Args...>);
}

}  // namespace test
}  // namespace tamarisk
