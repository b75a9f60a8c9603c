// Reading a cast member's properties; each value is disposed of as soon as
// it has been converted.
#pragma once

#include "host/host_abi.h"
#include "base/text.h"

namespace tamarisk {

// The property as text; empty when the host delivers no text.
void ReadTextProperty(HostUtilities* utilities, MemberAccess* member, const char* property,
                      TextBuffer* text);

// The name of the property's symbol value; empty when it is not a symbol.
void ReadSymbolProperty(HostUtilities* utilities, MemberAccess* member, const char* property,
                        TextBuffer* text);

}  // namespace tamarisk
