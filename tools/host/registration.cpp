#include "tools/host/registration.h"

#include <cstdio>
#include <string>

#include "host/host_ids.h"

namespace tamarisk {
namespace cli {

namespace {

const char* InterfaceName(const Guid& id) {
  if (SameGuid(id, kClassFactoryInterfaceId)) return "class factory";
  if (SameGuid(id, kRegistrationInterfaceId)) return "registration interface";
  if (SameGuid(id, kScriptingInterfaceId)) return "scripting interface";
  return "unknown interface";
}

const char* ClassName(const Guid& id) {
  if (SameGuid(id, kRegistrationClassId)) return "registration class";
  if (SameGuid(id, kScriptingClassId)) return "scripting class";
  return "unknown class";
}

}  // namespace

bool PrintClassTable(sim::SimHost& host) {
  ClassInfoEntry* table = nullptr;
  if (host.module().getClassInfo(host.allocator(), &table) != kOk || table == nullptr) {
    std::printf("DllGetClassInfo failed\n");
    return false;
  }
  const Guid none = {};
  std::printf("Class table (DllGetClassInfo):\n");
  for (ClassInfoEntry* e = table; !(SameGuid(e->classId, none) && SameGuid(e->interfaceId, none));
       ++e) {
    std::printf("  %s v%u  %-20s  %s v%u  (%s)\n", sim::GuidText(e->classId).c_str(),
                static_cast<unsigned>(e->classVersion), ClassName(e->classId),
                sim::GuidText(e->interfaceId).c_str(), static_cast<unsigned>(e->interfaceVersion),
                InterfaceName(e->interfaceId));
  }
  host.allocator()->ops->FreeBlock(host.allocator(), table);
  std::printf("Instance sizes (DllGetClassForm):\n");
  for (const Guid* id : {&kRegistrationClassId, &kScriptingClassId}) {
    uint32 size = 0;
    CreateFn create = nullptr;
    DestroyFn destroy = nullptr;
    if (host.module().getClassForm(id, &size, &create, &destroy) != kOk) return false;
    std::printf("  %s %-20s %u bytes\n", sim::GuidText(*id).c_str(), ClassName(*id),
                static_cast<unsigned>(size));
  }
  return true;
}

bool Register(sim::SimHost& host, bool print) {
  sim::SimInstance* instance = host.NewInstance(kRegistrationClassId);
  InterfaceObject* object = nullptr;
  if (instance == nullptr ||
      host.GetInterface(instance, kRegistrationInterfaceId, &object) != kOk) {
    std::fprintf(stderr, "tamarisk-host: the module offers no registration interface\n");
    return false;
  }
  const RegistrationInterfaceOps* ops = static_cast<const RegistrationInterfaceOps*>(object->ops);
  const Status status = ops->PublishMessageTable(object, host.registrar(), nullptr);
  ops->Release(object);
  host.DeleteInstance(instance);
  if (status != kOk || host.dictionaryEntries.empty()) {
    std::fprintf(stderr, "tamarisk-host: PublishMessageTable failed: 0x%08X\n",
                 static_cast<unsigned>(status));
    return false;
  }
  if (!print) return true;
  const sim::DictionaryEntry& entry = host.dictionaryEntries[0];
  std::printf("Lingo message table (\"%s\", entry type %d, for the %s):\n", entry.key.c_str(),
              static_cast<int>(entry.type), ClassName(entry.classId));
  std::size_t start = 0;
  int number = -1;
  while (start < entry.text.size()) {
    std::size_t end = entry.text.find('\n', start);
    if (end == std::string::npos) end = entry.text.size();
    const std::string line = entry.text.substr(start, end - start);
    if (number < 0) {
      std::printf("      %s\n", line.c_str());
    } else {
      std::printf("  %2d  %s\n", number, line.c_str());
    }
    ++number;
    start = end + 1;
  }
  return true;
}

}  // namespace cli
}  // namespace tamarisk
