#!/usr/bin/env bash
# Builds and runs the benchmarks and prints their figures: the module's file
# paths natively under Google Benchmark (files in memory), then the real
# TAMARISK.x32 under Wine side by side with the platform's CopyFileA.
#
#   scripts/bench.sh [--reps N] [--profile]
#
# --reps: alternated repetitions under Wine (default 7). --profile adds the
# investigation views: callgrind of the native text export, the system
# calls of one text export under Wine, and the file system's cost of
# deleting a file truncated on creation.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
reps=7
profile=0
while [ $# -gt 0 ]; do
  case $1 in
    --reps) reps=$2; shift 2 ;;
    --profile) profile=1; shift ;;
    *) echo "usage: scripts/bench.sh [--reps N] [--profile]" >&2; exit 2 ;;
  esac
done

"$root/scripts/setup.sh"
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
need=()
have libbenchmark-dev || need+=(libbenchmark-dev)
[ $profile -eq 0 ] || have strace || need+=(strace)
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${need[@]}"
fi

jobs=$(nproc)
native=$root/build/bench-native
target=$root/build/target
# Sanitizers would be what is measured: a build of its own without them.
cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release -DTAMARISK_SANITIZE=OFF >/dev/null
cmake --build "$native" --target native_bench -j"$jobs" >/dev/null
cmake -S "$root" -B "$target" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$target" --target wine_bench -j"$jobs" >/dev/null

echo "== Native: the module's paths against the in-memory platform double"
"$native/bench/native_bench" --benchmark_min_time=0.3

prefix=$target/wineprefix
wine_bench() {
  # The Unix process id survives the execs down to the Windows process,
  # which uses it to reset its own peak resident size.
  # S: is the slow drive of the responsiveness case.
  TAMARISK_SLOW_DRIVE=1 bash -c 'export TAMARISK_UNIX_PID=$$; exec "$@"' _ \
    "$root/scripts/wine-run.sh" "$prefix" "$target/wine_bench.exe" "$@"
}
echo
echo "== Wine: the real TAMARISK.x32 against CopyFileA"
wine_bench --reps "$reps"

[ $profile -eq 1 ] || exit 0

echo
echo "== Profile: callgrind of one native text export (inclusive, the module's functions)"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out/text.callgrind" --toggle-collect='tamarisk::Avocets*' \
  "$native/bench/native_bench" --benchmark_filter='BM_TextExport' --benchmark_min_time=0.01 >/dev/null 2>&1
callgrind_annotate --inclusive=yes "$out/text.callgrind" | grep -E 'PROGRAM TOTALS|tamarisk::' | head -14

echo
echo "== Profile: write(2) calls of one text export under Wine (the whole process)"
for kind in trace-text; do
  WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win32 LC_ALL=ja_JP.UTF-8 \
    strace -f -c -e trace=write -o "$out/$kind.strace" "$root/scripts/wine-run.sh" "$prefix" \
    "$target/wine_bench.exe" --case "$kind" >/dev/null
  printf '  %-20s %s write calls\n' "$kind" "$(awk '$NF == "write" {n += $4} END {print n + 0}' "$out/$kind.strace")"
done

echo
echo "== Profile: this file system, a 48 MB file created, written in 32767-byte pieces, closed, read, deleted"
python3 - "$target" <<'EOF'
import os, sys, time
path = os.path.join(sys.argv[1], "bench-truncate-probe.bin")
piece = b"x" * 32767
for truncate in (False, True, False, True):
    fd = os.open(path, os.O_RDWR | os.O_CREAT, 0o644)
    if truncate:
        os.ftruncate(fd, 0)  # what Wine does for CREATE_ALWAYS, even on a new file
    for _ in range(1536):
        os.write(fd, piece)
    t0 = time.perf_counter(); os.close(fd); t1 = time.perf_counter()
    with open(path, "rb") as f:
        while f.read(1 << 16):
            pass
    t2 = time.perf_counter(); os.unlink(path); t3 = time.perf_counter()
    label = "open(O_CREAT) + ftruncate(0)" if truncate else "open(O_CREAT)"
    print(f"  {label:30} close {t1 - t0:.4f} s, unlink {t3 - t2:.4f} s")
EOF
