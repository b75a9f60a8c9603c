#!/usr/bin/env bash
# Builds the release TAMARISK.x32 from a clean build folder (default
# build/release) and prints its SHA-256. The same sources give the same bytes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/release}
"$root/scripts/setup.sh"
rm -rf "$out"
cmake -S "$root" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" --target tamarisk -j"$(nproc)" >/dev/null
sha256sum "$out/TAMARISK.x32" | sed "s|  .*|  TAMARISK.x32|"
