// The save dialog branch of the copy routine.
#pragma once

#include <cstddef>

#include "host/host_abi.h"

namespace tamarisk {

// "desc | pattern ||" to the platform's NUL-separated list: each bar that is
// a character of its own becomes a NUL. out always ends in two NULs.
void TranslateFilter(const char* filter, char* out, std::size_t capacity);

// Lets the user choose the destination, then copies source there.
void ChooseDestinationAndCopy(InterfaceObject* self, const char* source, const char* initialName,
                              const char* defaultExtension, const char* filter);

}  // namespace tamarisk
