#!/usr/bin/env bash
# Builds TAMARISK.x32 and runs its main job: the command-line host loads the
# real module under Wine, registers it and prints what the host sees.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/target" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/target" --target tamarisk tamarisk-host -j"$(nproc)"
echo "Built $root/build/target/TAMARISK.x32"
"$root/scripts/wine-run.sh" "$root/build/target/wineprefix" "$root/build/target/tamarisk-host.exe" "$@"
