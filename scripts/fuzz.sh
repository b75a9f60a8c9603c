#!/usr/bin/env bash
# Builds the fuzz targets with libFuzzer, ASan and UBSan and runs each for a
# bounded time (FUZZ_SECONDS, default 20) from its committed seed corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
seconds=${FUZZ_SECONDS:-20}
mkdir -p "$out"
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -I"$root/src" -I"$root")
module=("$root/src/filecopy/path_components.cpp" "$root/simhost/native_platform.cpp")
declare -A extra=(
  [fuzz_paths]=""
  [fuzz_filter]="$root/src/filecopy/save_dialog.cpp $root/src/filecopy/copy_routine.cpp \
$root/src/module/message_box.cpp $root/src/module/module_state.cpp $root/res/messages.cpp"
)
status=0
for target in "${!extra[@]}"; do
  # shellcheck disable=SC2086
  clang++-14 "${flags[@]}" "$root/fuzz/$target.cpp" "${module[@]}" ${extra[$target]} -o "$out/$target"
  corpus=$out/corpus-$target
  mkdir -p "$corpus"
  cp -n "$root/fuzz/seeds/$target"/* "$corpus"/ 2>/dev/null || true
  echo "fuzzing $target for ${seconds}s"
  if ! "$out/$target" -max_total_time="$seconds" -max_len=1024 "$corpus" >"$out/$target.log" 2>&1; then
    echo "$target found a failure:"; tail -40 "$out/$target.log"; status=1
  else
    grep -E "^Done|#[0-9]+.*DONE" "$out/$target.log" | tail -1
  fi
done
exit $status
