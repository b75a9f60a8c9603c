// Wide text in the ANSI code page only when it stays itself: a best-fit form
// would name another file (e for é) or another folder (the backslash for a
// yen sign, U+00A5), and some characters map one way only.
#pragma once

#include "base/base_types.h"
#include "base/text.h"

namespace tamarisk {
namespace platform {

// The ANSI form of text in out, NUL included, when every character converts
// and comes back as it was; false otherwise or when it does not fit.
bool ExactAnsi(const WideChar* text, char* out, uint32 capacity);

}  // namespace platform
}  // namespace tamarisk
