#include "iat_patch.h"

#include <cstring>

namespace tamarisk {
namespace sim {
namespace {

// Calls fn(name, slot) for each by-name import of `dllName` in `module`.
template <typename Fn>
void ForEachImport(HMODULE module, const char* dllName, Fn fn) {
  const BYTE* base = reinterpret_cast<const BYTE*>(module);
  if (!base || !dllName) return;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE ||
      nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT)
    return;
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return;
  for (const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dllName) != 0) continue;
    // Once loaded, the IAT holds addresses; only the lookup table keeps the
    // names. Without it (old linkers) the slots cannot be identified.
    if (d->OriginalFirstThunk == 0) continue;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(const_cast<BYTE*>(base) + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      fn(reinterpret_cast<const char*>(byName->Name),
         reinterpret_cast<void**>(&slots->u1.Function));
    }
  }
}

// The IAT may sit in a read-only page; keep its execute bit if it has one.
bool WriteSlot(void** slot, void* value, void** previous) {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(slot, &info, sizeof info) != sizeof info) return false;
  const DWORD exec =
      PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  const DWORD writable = (info.Protect & exec) ? PAGE_EXECUTE_READWRITE : PAGE_READWRITE;
  DWORD old = 0;
  if (!VirtualProtect(slot, sizeof *slot, writable, &old)) return false;
  // One aligned exchange, so a concurrent caller sees old or new, never half.
  *previous = InterlockedExchangePointer(slot, value);
  DWORD ignored = 0;
  VirtualProtect(slot, sizeof *slot, old, &ignored);
  return true;
}

}  // namespace

void* PatchImport(HMODULE module, const char* dllName, const char* functionName,
                  void* replacement) {
  void* first = nullptr;
  if (!functionName) return nullptr;
  ForEachImport(module, dllName, [&](const char* name, void** slot) {
    if (std::strcmp(name, functionName) != 0) return;
    void* previous = nullptr;
    if (WriteSlot(slot, replacement, &previous) && !first) first = previous;
  });
  return first;
}

std::vector<std::string> ImportedFunctions(HMODULE module, const char* dllName) {
  std::vector<std::string> names;
  ForEachImport(module, dllName, [&](const char* name, void**) { names.emplace_back(name); });
  return names;
}

ImportPatch::ImportPatch(HMODULE module, const char* dllName, const char* functionName,
                         void* replacement)
    : module_(module),
      dllName_(dllName ? dllName : ""),
      functionName_(functionName ? functionName : ""),
      original_(PatchImport(module, dllName, functionName, replacement)) {}

ImportPatch::~ImportPatch() {
  if (original_) PatchImport(module_, dllName_.c_str(), functionName_.c_str(), original_);
}

}  // namespace sim
}  // namespace tamarisk
