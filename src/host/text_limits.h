// The size of every text buffer of the module and of a path's components.
#pragma once

namespace tamarisk {

constexpr int kTextBufferSize = 512;  // 511 bytes of text and a NUL
constexpr int kTextLimit = kTextBufferSize - 1;
constexpr int kComponentLimit = 255;  // drive, directory, name, extension

}  // namespace tamarisk
