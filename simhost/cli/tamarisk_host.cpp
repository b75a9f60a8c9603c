// tamarisk-host: loads TAMARISK.x32 the way the authoring host does and shows
// what the host sees when it registers the module.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_ids.h"
#include "simhost/module_loader.h"
#include "simhost/sim_host.h"

using namespace tamarisk;

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

int Usage() {
  std::fprintf(stderr,
               "usage: tamarisk-host [--module PATH]\n"
               "  Loads the module, registers it and prints its class table and\n"
               "  Lingo message table.\n");
  return 2;
}

bool PrintClassTable(sim::SimHost& host) {
  ClassInfoEntry* table = nullptr;
  if (host.module().getClassInfo(host.allocator(), &table) != kOk || table == nullptr) {
    std::printf("DllGetClassInfo failed\n");
    return false;
  }
  const Guid none = {};
  std::printf("Class table (DllGetClassInfo):\n");
  for (ClassInfoEntry* e = table; !(SameGuid(e->classId, none) && SameGuid(e->interfaceId, none)); ++e) {
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

bool PrintMessageTable(sim::SimHost& host) {
  sim::SimInstance* instance = host.NewInstance(kRegistrationClassId);
  InterfaceObject* object = nullptr;
  if (instance == nullptr || host.GetInterface(instance, kRegistrationInterfaceId, &object) != kOk) {
    std::printf("no registration interface\n");
    return false;
  }
  const RegistrationInterfaceOps* ops = static_cast<const RegistrationInterfaceOps*>(object->ops);
  const Status status = ops->PublishMessageTable(object, host.registrar(), nullptr);
  ops->Release(object);
  host.DeleteInstance(instance);
  if (status != kOk || host.dictionaryEntries.empty()) {
    std::printf("PublishMessageTable failed: 0x%08X\n", static_cast<unsigned>(status));
    return false;
  }
  for (const sim::DictionaryEntry& entry : host.dictionaryEntries) {
    std::printf("Lingo message table (\"%s\", entry type %d, for %s):\n", entry.key.c_str(),
                static_cast<int>(entry.type), ClassName(entry.classId));
    std::size_t start = 0;
    int number = 0;
    while (start < entry.text.size()) {
      std::size_t end = entry.text.find('\n', start);
      if (end == std::string::npos) end = entry.text.size();
      const std::string line = entry.text.substr(start, end - start);
      if (start == 0) {
        std::printf("      %s\n", line.c_str());
      } else {
        std::printf("  %2d  %s\n", number++, line.c_str());
      }
      start = end + 1;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string modulePath = sim::ModuleBesideProgram();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--module") == 0 && i + 1 < argc) {
      modulePath = argv[++i];
    } else {
      return Usage();
    }
  }
  sim::LoadedModule module;
  std::string error;
  if (!sim::LoadModule(modulePath, &module, &error)) {
    std::fprintf(stderr, "tamarisk-host: %s\n", error.c_str());
    return 1;
  }
  int exitCode = 0;
  {
    sim::SimHost host(module.api);
    std::printf("Module: %s\n", modulePath.c_str());
    if (!PrintClassTable(host) || !PrintMessageTable(host)) exitCode = 1;
    const std::string audit = host.Audit();
    if (!audit.empty()) {
      std::printf("Host audit:\n%s", audit.c_str());
      exitCode = 1;
    }
  }
  if (module.api.canUnloadNow() != kOk) {
    std::printf("The module refuses to unload: interface objects are alive\n");
    exitCode = 1;
  }
  sim::UnloadModule(&module);
  return exitCode;
}
