#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/fuzz_*.cpp) with libFuzzer, ASan and UBSan
# and runs each for a bounded time (FUZZ_SECONDS, default 20) from its
# committed seed corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
seconds=${FUZZ_SECONDS:-20}
cmake -S "$root" -B "$out" -DTAMARISK_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" >/dev/null
cmake --build "$out" --target fuzzers -j"$(nproc)" >/dev/null

status=0
for source in "$root"/fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
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
