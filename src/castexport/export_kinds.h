// The kinds of media Avocets converts: each kind's writer, extension and
// dialog filter, spelled once.
#pragma once

#include "base/text.h"
#include "castexport/media_writers.h"
#include "filecopy/outcome.h"
#include "host/host_abi.h"

namespace tamarisk {

struct ExportKind {
  const char* typeName;
  MediaWriter writer;
  bool piecewise;  // written in _lwrite pieces, as bitmap files always were
  const char* defaultExtension;  // without its dot
  const char* filter;
  Outcome notConverted;  // what media that could not be converted leads to
};

// The type name's export kind (case matters), or null when unsupported.
const ExportKind* FindExportKind(const char* typeName);

// The file name offered for a member: its base name with the kind's
// extension, or "cast-member" with it when the member has no name.
void ComposeDefaultName(const char* name, int32 castIndex, int32 memberIndex,
                        const ExportKind& kind, TextBuffer* out);

}  // namespace tamarisk
