// Puts a copy of a file at a destination so that the user keeps either the
// old file unchanged or the new file whole, under every failure the
// platform documents.
#pragma once

#include "filecopy/person.h"
#include "host/host_abi.h"
#include "platform/platform.h"

namespace tamarisk {

// Copies source to destination (an absolute path of at most 511 bytes);
// replace when a file of that name exists and may be replaced. The person
// watches a long copy and may cancel it (kCancelled). kNone when the new
// file is in place.
platform::FileError CopySafely(Person* person, const char* source,
                               const char* destination, bool replace);

}  // namespace tamarisk
