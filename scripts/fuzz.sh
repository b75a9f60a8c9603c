#!/usr/bin/env bash
# Builds the fuzz targets with libFuzzer, ASan and UBSan and runs each for a
# bounded time (FUZZ_SECONDS, default 20) from its committed seed corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
seconds=${FUZZ_SECONDS:-20}
mkdir -p "$out/objects"
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
       -I"$root/src" -I"$root")

# The module's sources and the native doubles, compiled once for all targets.
sources=("$root"/src/host/*.cpp "$root"/src/platform/scoped.cpp "$root"/src/common/*.cpp "$root"/src/module/*.cpp "$root"/src/filecopy/*.cpp
         "$root"/src/castexport/*.cpp "$root"/src/dib/*.cpp "$root"/res/messages.cpp
         "$root"/simhost/sim_host.cpp "$root"/tests/doubles/native_platform.cpp)
objects=()
for source in "${sources[@]}"; do
  object=$out/objects/$(echo "${source#$root/}" | tr / _).o
  if [ ! -f "$object" ] || [ "$source" -nt "$object" ]; then
    clang++-14 "${flags[@]}" -c "$source" -o "$object" &
  fi
  objects+=("$object")
done
wait

status=0
for target in fuzz_paths fuzz_filter fuzz_text_writer fuzz_default_name fuzz_dib_writer fuzz_picture_writer; do
  clang++-14 "${flags[@]}" -fsanitize=fuzzer "$root/fuzz/$target.cpp" "${objects[@]}" -o "$out/$target"
  corpus=$out/corpus-$target
  mkdir -p "$corpus"
  cp -n "$root/fuzz/seeds/$target"/* "$corpus"/ 2>/dev/null || true
  if ! "$out/$target" -max_total_time="$seconds" -max_len=4096 -artifact_prefix="$out/" "$corpus" >"$out/$target.log" 2>&1; then
    echo "$target found a failure:"; tail -40 "$out/$target.log"; status=1
  else
    echo "$target: $(grep -E '^Done' "$out/$target.log" | tail -1)"
  fi
done
exit $status
