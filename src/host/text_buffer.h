// The size of every text buffer of the module, and the host conversions that
// fill one.
#pragma once

#include "host/host_abi.h"

namespace tamarisk {

constexpr int kTextBufferSize = 512;  // 511 bytes of text and a NUL
constexpr int kTextLimit = kTextBufferSize - 1;
constexpr int kComponentLimit = 255;  // drive, directory, name, extension

enum class ArgumentText { kText, kNotText, kTooLong };

// A Lingo argument as text into a 512-byte buffer, which never keeps an
// earlier call's text (empty unless kText). A string longer than the buffer
// is kTooLong: the host would cut it to fit, and a cut path names another file.
ArgumentText ReadArgumentText(HostUtilities* utilities, const HostValue* value, char* buffer);

}  // namespace tamarisk
