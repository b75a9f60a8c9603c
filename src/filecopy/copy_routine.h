// CopyToDestination: the copy routine that both handlers deliver files with.
#pragma once

#include "base/path.h"
#include "base/text.h"
#include "filecopy/outcome.h"
#include "filecopy/person.h"
#include "host/host_abi.h"

namespace tamarisk {

// What a handler asks the copy routine to deliver.
struct CopyRequest {
  const char* source;               // completed from the base path when relative
  const char* destination;          // empty: the person chooses in the save dialog
  const char* offeredName;          // null: the source's own name
  const char* defaultExtension;     // forced on the destination; may be null
  const char* filter = nullptr;     // the dialog's; null: all files
};

// How a copy ended, and what it leaves for the calls after it: where the
// save dialog opens is the first copy's source folder (whatever its outcome),
// and later the folder the person last saved to.
struct CopyResult {
  Outcome outcome;
  Path sourceFolder;  // empty when the source could not be completed
  Path savedFolder;   // empty unless a path was chosen in the dialog
  Path keptAt;        // kOldBytesKept: where the old bytes wait
};

CopyResult CopyToDestination(const CallContext& call, const CopyRequest& request);

// Where the save dialog opens after a call: the first copy's source folder,
// whatever its outcome, then the folder last saved to.
void RememberDialogFolder(const CopyResult& result, Path* dialogFolder);

// The destination a caller gave, completed from the source's drive and
// folder: a relative one starts there, one that names only a folder or a
// drive takes offeredName, and the forced extension replaces its own.
// Lowercased. False when it is too long or has an extension without a name.
bool ResolveDestination(const char* given, const char* sourceDrive, const char* sourceDirectory,
                        const char* offeredName, const char* defaultExtension, Path* destination);

}  // namespace tamarisk
