#include "module/scripting_class.h"

#include <cstring>

#include "module/module_state.h"
#include "base/path.h"
#include "host/host_ids.h"
#include "host/host_ref.h"

namespace tamarisk {

namespace {

constexpr int kBasePathBufferSize = 260;
// The host path selector that yields the base path of relative file names.
constexpr int32 kBasePathSelector = 4;

template <class T>
bool Query(HostGateway* gateway, const Guid& id, T** field) {
  T* acquired = nullptr;
  if (gateway->ops->QueryInterface(gateway, &id, reinterpret_cast<void**>(&acquired)) != kOk) {
    return false;
  }
  *field = acquired;
  return true;
}

template <class T>
void ReleaseField(T* field) {
  if (field != nullptr) field->ops->Release(field);
}

// Drive and directory of the host's base path; the file name is dropped and
// an over-long directory is cut.
void SetBaseFromPath(const char* path) {
  PathComponents parts;
  SplitPath(path, &parts);
  std::memcpy(moduleContext.baseDrive, parts.drive, sizeof parts.drive);
  std::memcpy(moduleContext.baseDirectory, parts.directory, sizeof parts.directory);
}

}  // namespace

Status TAMARISK_CALL CreateScriptingInstance(void* record) {
  ScriptingInstance* instance = static_cast<ScriptingInstance*>(record);
  instance->utilities = nullptr;
  instance->movieSource = nullptr;
  instance->mediaServices = nullptr;
  instance->handleServices = nullptr;

  HostGateway* gateway = instance->header.gateway;
  if (gateway == nullptr) return kNoInterface;

  // Fields already filled when a query fails stay for Destroy to release.
  HostPaths* pathsTemporary = nullptr;
  if (!Query(gateway, kHostUtilitiesId, &instance->utilities) ||
      !Query(gateway, kMovieSourceId, &instance->movieSource) ||
      !Query(gateway, kMediaServicesId, &instance->mediaServices) ||
      !Query(gateway, kHandleServicesId, &instance->handleServices) ||
      !Query(gateway, kHostPathsId, &pathsTemporary)) {
    return kNoInterface;
  }
  HostRef<HostPaths> paths(pathsTemporary);

  char basePath[kBasePathBufferSize] = {};
  if (paths->ops->GetPath(paths.Get(), kBasePathSelector, basePath, kBasePathBufferSize - 1) !=
      kOk) {
    return kNoInterface;
  }
  basePath[kBasePathBufferSize - 1] = '\0';
  SetBaseFromPath(basePath);
  paths.Reset();

  HostUtilities* utilities = instance->utilities;
  if (utilities->ops->GetHostWindows(utilities, &moduleContext.hostInstance,
                                     &moduleContext.hostWindow) != kOk) {
    return kNoInterface;
  }
  return kOk;
}

void TAMARISK_CALL DestroyScriptingInstance(void* record) {
  ScriptingInstance* instance = static_cast<ScriptingInstance*>(record);
  ReleaseField(instance->utilities);
  ReleaseField(instance->movieSource);
  ReleaseField(instance->mediaServices);
  ReleaseField(instance->handleServices);
}

}  // namespace tamarisk
