// Puts a copy of a file at a destination so that the user keeps either the
// old file unchanged or the new file whole, under every failure the
// platform documents.
#pragma once

#include "base/path.h"
#include "filecopy/person.h"
#include "host/host_abi.h"
#include "platform/platform.h"

namespace tamarisk {

// Where a copy goes, decided from what is known of the destination.
enum class Placement {
  kNewFile,  // none there: made under its own name, marked for deletion until whole
  kBeside,   // made whole beside it, then renamed onto it
  kInPlace,  // written over its own bytes, every name of it then shows them
  kRefused,  // left as it is: 4
};

// What the copy knows of an existing destination's file.
struct DestinationFacts {
  bool readOnly;      // the user's word that it stays as it is
  uint32 links;       // names of the same data
  bool throughLink;   // a symbolic link that only writing through it reaches
  bool replaceable;   // nobody holds it without delete sharing
};

// replace: a file of that name exists and may be replaced; facts then tell of it.
Placement PlacementFor(bool replace, const DestinationFacts& facts);
// A copy beside that could not be made (kAccessDenied: the folder lets no new
// file be made; kTooLong: no room for a name beside): written in place instead.
Placement PlacementAfterBeside(platform::FileError besideError);

// Copies source to destination (an absolute path of at most 511 bytes);
// replace when a file of that name exists and may be replaced. The person
// watches a long copy and may cancel it (kCancelled). kNone when the new
// file is in place. keptAt: where the old bytes of a file written in place
// wait, when they could not be written back; empty otherwise.
platform::FileError CopySafely(Person* person, const char* source, const char* destination,
                               bool replace, Path* keptAt);

}  // namespace tamarisk
