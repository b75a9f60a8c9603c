// The platform's save dialog, as the copy routine asks the user with it.
#pragma once

#include <cstddef>

#include "host/host_abi.h"
#include "base/text.h"

namespace tamarisk {

constexpr uint32 kDialogFileSize = 260;  // the dialog's file buffer, NUL included

// "desc | pattern ||" to the platform's NUL-separated list: each bar that is
// a character of its own becomes a NUL. out always ends in two NULs.
void TranslateFilter(const char* filter, char* out, std::size_t capacity);

// Shows the dialog, owned by the host window, in the remembered folder,
// offering initialName. True with the chosen full path in chosen;
// false when the user cancelled or the dialog failed. A path that the ANSI
// code page cannot hold exactly is never taken: the user is told and
// chooses again, in the folder of that path.
bool ChooseDestination(HostUtilities* utilities, const char* initialName,
                       const char* defaultExtension, const char* filter, Path* chosen);

}  // namespace tamarisk
