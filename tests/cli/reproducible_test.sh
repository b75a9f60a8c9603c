#!/usr/bin/env bash
# Two release builds of the same sources, in different folders, must give
# byte-identical modules and archives; the archive holds exactly what an
# author needs, with checksums that match and references that quote every
# message.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$root/build"
scratch=$(mktemp -d "$root/build/reproducible.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
version=$(head -n 1 "$root/VERSION")
name=tamarisk-$version
zip=$name.zip
"$root/scripts/release.sh" "$scratch/one"
"$root/scripts/release.sh" "$scratch/other-folder" >/dev/null

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}
check "the two modules are the same" cmp "$scratch/one/TAMARISK.x32" "$scratch/other-folder/TAMARISK.x32"
check "the two archives are the same" cmp "$scratch/one/$zip" "$scratch/other-folder/$zip"

expected="$name/README.en.txt
$name/README.ja.txt
$name/SHA256SUMS
$name/TAMARISK.x32
$name/examples/demo.lingo
$name/examples/media/logo.bmp
$name/examples/media/map.pict
$name/examples/media/theme.wav
$name/examples/movie.json
$name/tamarisk-host.exe"
check "the archive lists exactly its files" diff <(echo "$expected") <(unzip -Z1 "$scratch/one/$zip")

mkdir "$scratch/unpacked"
unzip -q "$scratch/one/$zip" -d "$scratch/unpacked"
cd "$scratch/unpacked/$name"
check "SHA256SUMS names every other file" \
  diff <(sed "s|^$name/||" <<<"$expected" | grep -vx SHA256SUMS) <(sed 's/^[0-9a-f]*  //' SHA256SUMS)
check "SHA256SUMS matches" sha256sum --quiet -c SHA256SUMS
check "the archived module is the built one" cmp TAMARISK.x32 "$scratch/one/TAMARISK.x32"
for text in README.ja.txt README.en.txt; do
  # Notepad: a UTF-8 byte-order mark, and no line without CR LF.
  check "$text starts with a byte-order mark" test "$(head -c 3 "$text" | xxd -p)" = efbbbf
  check "$text ends its lines in CR LF" test "$(grep -c $'[^\r]$\|^$' "$text")" = 0
done
check "the archived references quote every message" \
  python3 "$root/tests/docs/messages_documented_test.py" README.ja.txt README.en.txt
echo "$passed passed, $failed failed"
test "$failed" -eq 0
