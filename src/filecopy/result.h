// The integer every Lingo call of the module ends with, and what it means.
// The same number can have more than one cause.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

enum class Result : int32 {
  kCopied = 0,       // copied or saved
  kNothingDone = 1,  // No to the overwrite question, or the dialog was cancelled
  kInvalid = 2,      // invalid arguments or path, the source itself, unsupported media
  kNotFound = 3,     // the source cannot be found
  kFailed = 4,       // reading, copying or the temporary file failed; a folder of that name
  kNoAnswer = 5,     // the overwrite question could not be shown; no movie is playing
  kNoSuchCast = 10,
  kNoSuchMember = 11,
  kNotConverted = 12,  // the bitmap could not be converted
};

}  // namespace tamarisk
