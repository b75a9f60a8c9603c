// The cast and member a call of Avocets names, looked up in the movie while
// the call holds its references.
#pragma once

#include <optional>

#include "castexport/scripting_instance.h"
#include "filecopy/outcome.h"
#include "host/host_abi.h"
#include "host/host_ref.h"

namespace tamarisk {

// The steps that lead to a delivery return why the call ends, if it does.
using Refusal = std::optional<Outcome>;

// The member that the call's first two arguments name, with the cast's and
// the member's numbers.
struct FoundMember {
  HostRef<MemberAccess> member;
  int32 castIndex = 0;
  int32 memberIndex = 0;
};

Refusal FindMember(ScriptingInstance* instance, const CallRecord* call, FoundMember* found);

}  // namespace tamarisk
