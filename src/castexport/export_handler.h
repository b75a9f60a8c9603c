// The Avocets handler: save a cast member to a file.
#pragma once

#include "common/scripting_instance.h"
#include "filecopy/copy_routine.h"
#include "filecopy/person.h"
#include "host/host_abi.h"
#include "base/text.h"

namespace tamarisk {

CopyResult Avocets(const CallContext& context, ScriptingInstance* instance,
                   const CallRecord* call);

struct ExportKind;

// The type name's export kind (case matters), or null when unsupported.
const ExportKind* FindExportKind(const char* typeName);

// The file name offered for a member: its base name with the kind's
// extension, or "cast-member" with it when the member has no name.
void ComposeDefaultName(const char* name, int32 castIndex, int32 memberIndex,
                        const ExportKind& kind, TextBuffer* out);

}  // namespace tamarisk
