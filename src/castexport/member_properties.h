// Reading a cast member's properties; each value is disposed of as soon as
// it has been converted.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

// The property as text (at most 511 bytes) into a 512-byte buffer; empty
// when the host delivers no text.
void ReadTextProperty(HostUtilities* utilities, MemberAccess* member, const char* property,
                      char* buffer);

// The name of the property's symbol value into a 512-byte buffer; empty
// when the value is not a symbol.
void ReadSymbolProperty(HostUtilities* utilities, MemberAccess* member, const char* property,
                        char* buffer);

}  // namespace tamarisk
