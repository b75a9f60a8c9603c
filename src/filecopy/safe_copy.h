// Puts a copy of a file at a destination so that the user keeps either the
// old file unchanged or the new file whole, under every failure the
// platform documents.
#pragma once

namespace tamarisk {

// Copies source to destination (an absolute path of at most 511 bytes);
// replace when a file of that name exists and may be replaced. True when the
// new file is in place.
bool CopySafely(const char* source, const char* destination, bool replace);

}  // namespace tamarisk
