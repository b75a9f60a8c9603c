// Every way a call of either handler can end, one row each: the Lingo
// result and the box the user sees. Steps decide an outcome and return it;
// the handler reports it once, after every host reference it held is gone.
#pragma once

#include "common/result.h"
#include "host/host_abi.h"

namespace tamarisk {

enum class Outcome {
  kCopied,
  kNothingDone,       // No to the question, a cancelled dialog or copy
  kInvalidArguments,  // an argument count or kind, a path, an extension alone
  kInvalidMember,     // the cast or member argument of the export
  kSameAsSource,
  kUnsupportedMedia,
  kNotFound,  // the source
  kCopyError,
  kDirectoryExists,
  kBusy,      // another call is still running
  kNoAnswer,  // the overwrite question could not be shown
  kNoMovie,
  kNoSuchCast,
  kNoSuchMember,
  kNotConverted,  // a bitmap the module cannot convert
  kCount
};

// Shows the outcome's box, if it has one, inside the host's modal bracket,
// and returns its result.
Result Report(HostUtilities* utilities, Outcome outcome);

// Ends a Lingo call: the outcome reported and its result stored in the call.
void EndCall(HostUtilities* utilities, CallRecord* call, Outcome outcome);

}  // namespace tamarisk
