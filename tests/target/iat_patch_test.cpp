// Patches this test executable's own kernel32 import of GetCurrentThreadId,
// which the code below calls the ordinary way, i.e. through the IAT.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "../simhost/iat_patch.h"

namespace tamarisk::test {
namespace {

using sim::ImportedFunctions;
using sim::ImportPatch;
using sim::PatchImport;

using GetCurrentThreadIdFn = DWORD(WINAPI*)();

std::atomic<int> g_calls{0};
std::atomic<void*> g_forwardTo{nullptr};
constexpr DWORD kFakeThreadId = 0x7A3A;

// Counts and forwards, so other callers in the process (the C runtime,
// winpthreads) keep getting a real answer while the patch is in place.
DWORD WINAPI CountingGetCurrentThreadId() {
  ++g_calls;
  return reinterpret_cast<GetCurrentThreadIdFn>(g_forwardTo.load())();
}

DWORD WINAPI FakeGetCurrentThreadId() { return kFakeThreadId; }

void* const kCounting = reinterpret_cast<void*>(&CountingGetCurrentThreadId);
void* const kFake = reinterpret_cast<void*>(&FakeGetCurrentThreadId);

// Not inlined, so each call loads the IAT slot afresh instead of reusing a
// pointer loaded before the patch changed.
__attribute__((noinline)) DWORD CallGetCurrentThreadId() { return GetCurrentThreadId(); }

void* RealGetCurrentThreadId() {
  return reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetCurrentThreadId"));
}

HMODULE Self() { return GetModuleHandleA(nullptr); }

TEST(ImportPatch, ImportedFunctionsListsKernel32Imports) {
  const std::vector<std::string> names = ImportedFunctions(Self(), "KERNEL32.dll");
  EXPECT_NE(std::find(names.begin(), names.end(), "GetCurrentThreadId"), names.end());
  // DLL names compare case-insensitively.
  EXPECT_EQ(ImportedFunctions(Self(), "kernel32.DLL"), names);
  EXPECT_TRUE(ImportedFunctions(Self(), "nosuch.dll").empty());
}

TEST(ImportPatch, ReplacementIsCalled) {
  const DWORD real = CallGetCurrentThreadId();
  g_calls = 0;
  ImportPatch patch(Self(), "kernel32.dll", "GetCurrentThreadId", kCounting);
  ASSERT_TRUE(patch.installed());
  EXPECT_EQ(patch.original(), RealGetCurrentThreadId());
  g_forwardTo = patch.original();
  EXPECT_EQ(CallGetCurrentThreadId(), real);
  EXPECT_GE(g_calls.load(), 1);
}

TEST(ImportPatch, ReplacementResultIsSeen) {
  DWORD seen = 0;
  {
    ImportPatch patch(Self(), "KERNEL32.DLL", "GetCurrentThreadId", kFake);
    ASSERT_TRUE(patch.installed());
    seen = CallGetCurrentThreadId();
  }
  EXPECT_EQ(seen, kFakeThreadId);
  EXPECT_NE(CallGetCurrentThreadId(), kFakeThreadId);
}

TEST(ImportPatch, DestructorRestoresOriginal) {
  {
    ImportPatch patch(Self(), "kernel32.dll", "GetCurrentThreadId", kCounting);
    ASSERT_TRUE(patch.installed());
    g_forwardTo = patch.original();
  }
  g_calls = 0;
  EXPECT_EQ(CallGetCurrentThreadId(), GetCurrentThreadId());
  EXPECT_EQ(g_calls.load(), 0);
  // The slot holds the real function again: patching it back reports it.
  void* slot = PatchImport(Self(), "kernel32.dll", "GetCurrentThreadId", RealGetCurrentThreadId());
  EXPECT_EQ(slot, RealGetCurrentThreadId());
}

TEST(ImportPatch, NestedPatchesUnwindInOrder) {
  g_forwardTo = RealGetCurrentThreadId();
  {
    ImportPatch outer(Self(), "kernel32.dll", "GetCurrentThreadId", kCounting);
    ASSERT_TRUE(outer.installed());
    {
      ImportPatch inner(Self(), "kernel32.dll", "GetCurrentThreadId", kFake);
      ASSERT_TRUE(inner.installed());
      EXPECT_EQ(inner.original(), kCounting);
      EXPECT_EQ(CallGetCurrentThreadId(), kFakeThreadId);
    }
    g_calls = 0;
    EXPECT_NE(CallGetCurrentThreadId(), kFakeThreadId);
    EXPECT_EQ(g_calls.load(), 1);
  }
  g_calls = 0;
  CallGetCurrentThreadId();
  EXPECT_EQ(g_calls.load(), 0);
}

TEST(ImportPatch, PatchImportReturnsPreviousValue) {
  void* real = PatchImport(Self(), "kernel32.dll", "GetCurrentThreadId", kFake);
  ASSERT_NE(real, nullptr);
  g_forwardTo = real;
  EXPECT_EQ(PatchImport(Self(), "kernel32.dll", "GetCurrentThreadId", kCounting), kFake);
  EXPECT_EQ(PatchImport(Self(), "kernel32.dll", "GetCurrentThreadId", real), kCounting);
  EXPECT_EQ(real, RealGetCurrentThreadId());
}

// A function the exe does not import, a DLL it does not import from, a
// function it imports but from another DLL than the one named, and nothing
// named at all.
TEST(ImportPatch, WhatIsNotImportedIsNotInstalled) {
  const struct {
    const char* what;
    HMODULE module;
    const char* dll;
    const char* function;
  } rows[] = {{"no such function", Self(), "kernel32.dll", "NoSuchFunction"},
              {"no such DLL", Self(), "nosuch.dll", "GetCurrentThreadId"},
              {"another DLL's", Self(), "user32.dll", "GetCurrentThreadId"},
              {"no module", nullptr, "kernel32.dll", "GetCurrentThreadId"},
              {"no DLL", Self(), nullptr, "GetCurrentThreadId"},
              {"no function", Self(), "kernel32.dll", nullptr}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ImportPatch patch(row.module, row.dll, row.function, kFake);
    EXPECT_FALSE(patch.installed());
    EXPECT_EQ(patch.original(), nullptr);
    EXPECT_EQ(PatchImport(row.module, row.dll, row.function, kFake), nullptr);
    EXPECT_NE(CallGetCurrentThreadId(), kFakeThreadId);
  }
  EXPECT_TRUE(ImportedFunctions(nullptr, "kernel32.dll").empty());
}

}  // namespace
}  // namespace tamarisk::test
