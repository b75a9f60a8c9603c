#include "filecopy/file_copy_handler.h"

#include "filecopy/outcome.h"
#include "host/host_ref.h"

namespace tamarisk {

namespace {

// The call's one or two string arguments, each whole.
bool ReadArguments(HostUtilities* utilities, const CallRecord* call, Path* source,
                   Path* destination) {
  return call->argCount >= 1 && call->argCount <= 2 &&
         ReadArgumentText(utilities, &call->args[0], source) == ArgumentText::kText &&
         (call->argCount == 1 ||
          ReadArgumentText(utilities, &call->args[1], destination) == ArgumentText::kText);
}

}  // namespace

CopyResult Plovers(const CallContext& context, HostUtilities* utilities, const CallRecord* call) {
  Path source;
  Path destination;
  if (!ReadArguments(utilities, call, &source, &destination))
    return {Outcome::kInvalidArguments, {}, {}, {}};
  return CopyToDestination(context, {source.c_str(), destination.c_str(), nullptr, nullptr});
}

}  // namespace tamarisk
