// Every way a call of either handler can end, one row each: the Lingo
// result and the box the user sees. Steps decide an outcome and return it;
// the call reports it once, after every host reference it held is gone.
#pragma once

#include "filecopy/result.h"

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
  kOldBytesKept,  // a write in place failed and its old bytes could not be written back
  kDirectoryExists,
  kBusy,      // another call is still running
  kNoAnswer,  // the overwrite question could not be shown
  kNoMovie,
  kNoSuchCast,
  kNoSuchMember,
  kNotConverted,  // a bitmap the module cannot convert
  kCount
};

// What an outcome gives the script, and tells the user.
struct OutcomeText {
  Result result;
  const char* message;  // null: nothing to tell
  const char* caption;
};
const OutcomeText& TextOf(Outcome outcome);

}  // namespace tamarisk
