// The Avocets handler: save a cast member to a file.
#pragma once

#include "castexport/scripting_instance.h"
#include "filecopy/copy_routine.h"
#include "filecopy/person.h"
#include "host/host_abi.h"
#include "base/text.h"

namespace tamarisk {

CopyResult Avocets(const CallContext& context, ScriptingInstance* instance,
                   const CallRecord* call);

}  // namespace tamarisk
