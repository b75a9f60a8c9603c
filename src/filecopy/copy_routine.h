// CopyToDestination: the copy routine that both handlers deliver files with.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

// Result codes the routine leaves for the Lingo caller.
enum CopyResult : int32 {
  kCopied = 0,
  kNothingDoneResult = 1,
  kInvalidRequest = 2,
  kSourceNotFound = 3,
  kCopyFailed = 4,
  kNoAnswer = 5,
};

// Copies source to destination (empty: the user chooses in the save dialog)
// and stores the result code into the call's result. source and destination
// are writable 512-byte buffers, rewritten in place to their absolute,
// lowercased forms. initialName and defaultExtension may be null.
void CopyToDestination(InterfaceObject* self, CallRecord* call, char* source, char* destination,
                       const char* initialName, const char* defaultExtension, const char* filter);

// Shows the copy routine's warning (caption "copy failed") and sets the result.
void Fail(HostUtilities* utilities, const char* message, int32 result);

// Copies so that the destination is the old file or the new one whole, never
// a part (replace: it exists), with the result set: copied, or the error shown.
void CopyAndReport(HostUtilities* utilities, const char* source, const char* destination,
                   bool replace);

// Asks before destination is replaced; copies on Yes. Sets the result.
void AskAndOverwrite(HostUtilities* utilities, const char* source, const char* destination);

}  // namespace tamarisk
