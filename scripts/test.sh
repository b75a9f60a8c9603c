#!/usr/bin/env bash
# Installs what is missing, builds both builds and runs every test: the
# scenarios against the real DLL under Wine, and natively under ASan/UBSan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/setup.sh"

cmake -S "$root" -B "$root/build/target" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/target" -j"$jobs"

cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build/native" -j"$jobs"

# The native scenarios once more without sanitizers, under valgrind's memcheck.
cmake -S "$root" -B "$root/build/native-valgrind" -DCMAKE_BUILD_TYPE=Debug -DTAMARISK_SANITIZE=OFF >/dev/null
cmake --build "$root/build/native-valgrind" --target native_tests -j"$jobs"

passed=0
failed=0
stage() {  # stage NAME COMMAND...: one line of the summary
  if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}
stage "the real DLL under Wine" ctest --test-dir "$root/build/target" --output-on-failure
stage "the native build under ASan and UBSan" ctest --test-dir "$root/build/native" --output-on-failure
echo "valgrind memcheck of the native scenarios (the multi-megabyte cases left to ASan):"
stage "valgrind" valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
  "$root/build/native-valgrind/native_tests" --gtest_brief=1 --gtest_filter='-*VeryLarge*:*LargeText*'
stage "fuzzing" "$root/scripts/fuzz.sh"
echo "stages: $passed passed, $failed failed"
test $failed -eq 0
