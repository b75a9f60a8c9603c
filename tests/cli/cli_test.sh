#!/usr/bin/env bash
# The command-line host under Wine, as a user runs it: the example movie and
# script end to end with the files checked byte for byte, the three ways of
# answering (the platform's own windows among them), and the refusals of bad
# input before the module is called.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/target}
prefix=$build/wineprefix
host=("$root/scripts/wine-run.sh" "$prefix" "$build/tamarisk-host.exe")
windows() { printf 'Z:%s' "${1//\//\\}"; }
passed=0
failed=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
same() { cmp -s "$1" "$2"; }
# Only the rows that need the slow drive mount it: two mounts at once would
# unmount each other.
unset TAMARISK_SLOW_DRIVE

# ---- the example, end to end ---------------------------------------------------
demo=$prefix/drive_c/tamarisk-demo
rm -rf "$demo" && mkdir -p "$demo/out/backup"
out=$("${host[@]}" --movie "$(windows "$root/examples/movie.json")" \
  --script "$(windows "$root/examples/demo.lingo")" --folder 'C:\tamarisk-demo' \
  --choose picked --no </dev/null)
status=$?
check "the example runs" test $status -eq 0
expected=$root/tests/cli/expected
check "the results, call by call" test "$(grep -o '=> [0-9]*' <<<"$out" | cut -c4-)" = "$(cat "$expected/results.txt")"
for f in welcome.txt story.txt 1-6.txt footer.txt; do
  check "out/$f" same "$demo/out/$f" "$expected/$f"
done
check "the bitmap comes back unchanged" same "$demo/out/logo.bmp" "$root/examples/media/logo.bmp"
check "the picture comes back unchanged" same "$demo/out/map.pic" "$root/examples/media/map.pict"
check "the linked file is copied" same "$demo/out/theme.wav" "$root/examples/media/theme.wav"
check "the dialog's choice" same "$demo/picked.bmp" "$root/examples/media/logo.bmp"
check "the copy" same "$demo/out/backup/welcome.txt" "$expected/welcome.txt"
check "messages are shown decoded" grep -q 'そのようなｷｬｽﾄは見つかりません。' <<<"$out"
check "the dialog is described" grep -q 'offered name: Logo.bmp' <<<"$out"
check "no temporary file is left" test -z "$(find "$demo" -name 'cx?[0-9][0-9][0-9][0-9][0-9]')"

# ---- answering ------------------------------------------------------------------
work=$prefix/drive_c/tamarisk-cli-test
rm -rf "$work" && mkdir -p "$work"
reset() { printf 'new' > "$work/a.txt"; printf 'old' > "$work/b.txt"; }
overwrite=(--folder 'C:\tamarisk-cli-test' 'Plovers("C:\tamarisk-cli-test\a.txt", "b.txt")')

reset; "${host[@]}" --yes "${overwrite[@]}" </dev/null >/dev/null
check "scripted: --yes replaces" test "$(cat "$work/b.txt")" = new
reset; "${host[@]}" "${overwrite[@]}" </dev/null >/dev/null
check "scripted: No by default" test "$(cat "$work/b.txt")" = old

reset; printf 'n\n' | "${host[@]}" --interactive "${overwrite[@]}" >/dev/null
check "piped: n keeps the file" test "$(cat "$work/b.txt")" = old
reset; printf 'y\n' | "${host[@]}" --interactive "${overwrite[@]}" >/dev/null
check "piped: y replaces" test "$(cat "$work/b.txt")" = new
reset; printf 'chosen.txt\n' | "${host[@]}" --interactive --folder 'C:\tamarisk-cli-test' \
  'Plovers("C:\tamarisk-cli-test\a.txt")' >/dev/null
check "piped: a typed name in the dialog's folder" test "$(cat "$work/chosen.txt" 2>/dev/null)" = new

# The stand-in dialog asks before replacing a file, as the real one does; after
# No it stays open for another name (or the cancel that ends a script).
reset; "${host[@]}" --choose b.txt "${overwrite[@]:0:2}" 'Plovers("C:\tamarisk-cli-test\a.txt")' </dev/null >/dev/null
check "dialog: No by default keeps the file" test "$(cat "$work/b.txt")" = old
reset; "${host[@]}" --choose b.txt --yes "${overwrite[@]:0:2}" 'Plovers("C:\tamarisk-cli-test\a.txt")' </dev/null >/dev/null
check "dialog: --yes replaces" test "$(cat "$work/b.txt")" = new
reset; printf 'b.txt\nn\nc.txt\n' | "${host[@]}" --interactive "${overwrite[@]:0:2}" \
  'Plovers("C:\tamarisk-cli-test\a.txt")' >/dev/null
check "dialog, piped: n, then another name" test "$(cat "$work/b.txt")$(cat "$work/c.txt" 2>/dev/null)" = oldnew

if command -v script >/dev/null; then
  reset
  (sleep 4; printf 'y\r') | script -qec "$(printf '%q ' "${host[@]}" "${overwrite[@]}")" /dev/null >/dev/null 2>&1
  check "terminal: y replaces" test "$(cat "$work/b.txt")" = new
fi

# ---- what the host says and reads --------------------------------------------------
# Each file a copy leaves is named once with its size when the call returns:
# replaced by a rename, made new, written in place (it has a second name);
# a failed copy names none.
reset; rm -f "$work/c.txt"; printf 'old' >"$work/l1.txt"; ln -f "$work/l1.txt" "$work/l2.txt"
out=$("${host[@]}" --yes --yes "${overwrite[@]}" 'Plovers("a.txt", "b?.txt")' 'Plovers("a.txt", "c.txt")' \
  'Plovers("a.txt", "l1.txt")' </dev/null)
check "each file a copy leaves, once" test "$(grep wrote <<<"$out" | tr -d '\r' | tr 'A-Z' 'a-z')" = \
  "$(printf '  wrote c:\\tamarisk-cli-test\\%s (3 bytes)\n' b.txt c.txt l1.txt)"
# A line longer than any buffer answers one question, not the next ones too.
reset; printf 'keep' >"$work/keep.txt"
printf '%skeep.txt\ny\n' "$(printf 'x%.0s' {1..1023})" | "${host[@]}" --interactive "${overwrite[@]:0:2}" \
  'Plovers("C:\tamarisk-cli-test\a.txt")' 'Plovers("C:\tamarisk-cli-test\a.txt")' >/dev/null
check "piped: a long line is one answer" test "$(cat "$work/keep.txt")" = keep
# The module's Japanese reads on an English Windows (code page 1252) too.
reset; out=$(TAMARISK_LOCALE=en_US.UTF-8 "${host[@]}" --movie "$(windows "$root/examples/movie.json")" \
  "${overwrite[@]}" 'Avocets("Nowhere", 1)' </dev/null)
for text in '[ﾌｧｲﾙの上書き確認]' 'このﾌｧｲﾙはすでに存在します。' '何もしませんでした。' \
  '[ｷｬｽﾄﾒﾝﾊﾞｰの指定が不正]' 'そのようなｷｬｽﾄは見つかりません。'; do
  check "code page 1252: $text" grep -qF "$text" <<<"$out"
done
# Notepad saves UTF-8 with a byte-order mark.
printf '\xEF\xBB\xBFPlovers("a.txt", "bom.txt")\r\n' >"$work/bom.lingo"
reset; "${host[@]}" "${overwrite[@]:0:2}" --script 'C:\tamarisk-cli-test\bom.lingo' </dev/null >/dev/null
check "a script with a byte-order mark" test "$(cat "$work/bom.txt" 2>/dev/null)" = new

# ---- the platform's own windows, owned by the stage, answered by a person ---------
reset
"$root/scripts/wine-run.sh" "$prefix" "$build/ui-person.exe" yes 'save:chosen' >"$work/person.out" 2>&1 &
person=$!
out=$("${host[@]}" --real-dialogs --folder 'C:\tamarisk-cli-test' --base 'C:\tamarisk-cli-test\tour.dir' \
  'Plovers("a.txt", "b.txt")' 'Plovers("a.txt")' </dev/null)
wait $person
check "real: every window answered, nothing else shown" test $? -eq 0
seen=(
  'box [ﾌｧｲﾙの上書き確認] "c:\tamarisk-cli-test\b.txt|このﾌｧｲﾙはすでに存在します。||上書きしますか?|" buttons 6 7 owner [tour.dir] disabled -> Yes'
  'dialog [名前を付けて保存] name "a.txt" type "All Files (*.*) " folder "tamarisk-cli-test" owner [tour.dir] disabled -> typed chosen, Save'
)
check "real: the question and the dialog, owned by the stage" test "$(tr -d '\r' <"$work/person.out")" = "$(printf '%s\n' "${seen[@]}")"
check "real: Yes replaces" test "$(cat "$work/b.txt")" = new
check "real: the name typed" test "$(cat "$work/chosen" 2>/dev/null)" = new
check "real: both calls copied" test "$(grep -c '=> 0: copied' <<<"$out")" = 2

# ---- long copies, from S:, a slow drive serving 12 MB/s -------------------------------
# A copy that lasts more than a second reports its progress on one line that
# updates, in place of the module's window; with --real-dialogs the window
# shows and the person cancels it.
slow=(env TAMARISK_SLOW_DRIVE=1 "${host[@]}" --folder 'C:\tamarisk-cli-test')
rm -f "$work/big.bin"
out=$("${slow[@]}" 'Plovers("S:\big.bin", "C:\tamarisk-cli-test\big.bin")' </dev/null 2>"$work/slow.err"); status=$?
if grep -q 'no slow drive' "$work/slow.err"; then
  echo "skipped: the long copies ($(cat "$work/slow.err"))"
else
  python3 -c 'import sys; sys.stdout.buffer.write((bytes(range(251)) * 191236)[:48000000])' >"$work/expected.bin"
  check "long: copied" test $status -eq 0 -a -n "$(grep '=> 0: copied' <<<"$out")"
  check "long: the exact bytes" same "$work/big.bin" "$work/expected.bin"
  progress=$(grep -o $'\r  copying big.bin [0-9]*%' <<<"$out" | tr -d '\r' | cut -d' ' -f5)
  check "long: a line that updates, rising" test "$(sort -un <<<"${progress//%/}" | wc -l)" -ge 3 -a \
    "$progress" = "$(sort -n <<<"$progress")"
  check "long: the line ends before the result" \
    grep -qE $'copying big.bin [0-9]+% [0-9.]+ / 48.0 MB( \xe6\xae\x8b\xe3\x82\x8a\xe7\xb4\x84[0-9]+\xe7\xa7\x92)? *\r?$' \
    <(sed -n '2p' <<<"$out")
  rm -f "$work/big.bin" "$work/expected.bin"

  "$root/scripts/wine-run.sh" "$prefix" "$build/ui-person.exe" cancel ok >"$work/person.out" 2>&1 &
  person=$!
  out=$("${slow[@]}" --real-dialogs --base 'C:\tamarisk-cli-test\tour.dir' \
    'Plovers("S:\big.bin", "C:\tamarisk-cli-test\big.bin")' </dev/null)
  wait $person
  check "real long: the progress window, then the result's box" test $? -eq 0 -a \
    "$(tr -d '\r' <"$work/person.out" | sed -E 's/ [0-9]+% / N% /')" = "$(printf '%s\n' \
    'progress [ｺﾋﾟｰ中] "big.bin" N% [ｷｬﾝｾﾙ] owner [tour.dir] disabled -> Cancel' \
    'box [ｺﾋﾟｰ失敗] "何もしませんでした。|" buttons 1 owner [tour.dir] disabled -> OK')"
  check "real long: the line on the terminal too" grep -q $'\r  copying big.bin [0-9]*%' <<<"$out"
  check "real long: nothing done, nothing left" test -n "$(grep '=> 1: nothing done' <<<"$out")" -a \
    -z "$(ls "$work" | grep -iE '^(big\.bin|~tm)')"
fi
short=$("${host[@]}" --folder 'C:\tamarisk-cli-test' 'Plovers("a.txt", "short.txt")' </dev/null)
check "a short copy shows no progress" test -z "$(grep copying <<<"$short")" -a -n "$(grep '=> 0' <<<"$short")"

# ---- double-byte paths: 表 is 0x95 0x5C, its second byte a backslash's -----------
mkdir -p "$work/表" "$work/x" && printf 'new' >"$work/表/a.txt"
"${host[@]}" --folder 'C:\tamarisk-cli-test\表' 'Plovers("a.txt", "b.txt")' </dev/null >/dev/null
check "--folder ending in 表: the calls start there" test "$(cat "$work/表/b.txt" 2>/dev/null)" = new
cp "$root/examples/media/logo.bmp" "$work/表/表.bmp"
printf '{"casts": [{"members": [{"number": 1, "type": "bitmap", "bitmap": "表.bmp"}]}]}' \
  >"$work/表/表.json"
"${host[@]}" --movie 'C:\tamarisk-cli-test\表\表.json' \
  'Avocets(1, 1, "C:\tamarisk-cli-test\表\logo2.bmp")' </dev/null >/dev/null
check "--movie 表\表.json: its media beside it" \
  same "$work/表/logo2.bmp" "$root/examples/media/logo.bmp"
# ¥ (U+00A5) has no CP932 form: like the real dialog's answer, the module
# refuses it and asks again, where its best fit, a backslash, would name x\y.txt.
reset; "${host[@]}" --choose 'C:\tamarisk-cli-test\x¥y.txt' --choose y.txt \
  "${overwrite[@]:0:2}" 'Plovers("C:\tamarisk-cli-test\a.txt")' </dev/null >/dev/null
check "--choose with ¥: asked again" \
  test ! -e "$work/x/y.txt" -a "$(cat "$work/y.txt" 2>/dev/null)" = new
rm -f "$work/x/y.txt"
printf 'x¥y.txt\nz.txt\n' | "${host[@]}" --interactive "${overwrite[@]:0:2}" \
  'Plovers("C:\tamarisk-cli-test\a.txt")' >/dev/null
check "piped ¥: asked again" test ! -e "$work/x/y.txt" -a "$(cat "$work/z.txt" 2>/dev/null)" = new

# ---- refusals before the module is called ---------------------------------------
err=$("${host[@]}" 'Plovers("a.txt", b.txt)' 2>&1 >/dev/null); status=$?
check "a bare word is refused" test $status -eq 2
check "...naming its position" grep -q 'argument 2' <<<"$err"
err=$("${host[@]}" 'Herons("a.txt")' 2>&1 >/dev/null); status=$?
check "an unknown handler is refused" test $status -eq 2
printf '{ "casts": [ { "name": "x", "members": [ { "number": 1, "type": 5 } ] } ] }' > "$work/bad.json"
err=$("${host[@]}" --movie 'C:\tamarisk-cli-test\bad.json' 'Avocets(1, 1)' 2>&1 >/dev/null); status=$?
check "a broken movie is refused" test $status -eq 2
check "...naming the place" grep -q 'casts\[0\].members\[0\].type' <<<"$err"
printf '{ "casts": [ ' > "$work/cut.json"
err=$("${host[@]}" --movie 'C:\tamarisk-cli-test\cut.json' 'Avocets(1, 1)' 2>&1 >/dev/null); status=$?
check "a cut movie file is refused" test $status -eq 2
check "...with its line and column" grep -q 'line 1, column' <<<"$err"
printf '{ "casts": [ { "members": [ { "number": 1, "type": "picture", "size": -1e999 } ] } ] }' > "$work/huge.json"
err=$("${host[@]}" --movie 'C:\tamarisk-cli-test\huge.json' 'Avocets(1, 1)' 2>&1 >/dev/null); status=$?
check "a number beyond a double is refused with its place" test $status -eq 2 -a -n "$(grep 'line 1, column 76' <<<"$err")"
"${host[@]}" --folder 'C:\tamarisk-cli-test\x¥y' 'Plovers("a.txt", "b.txt")' &>/dev/null </dev/null
check "a folder with ¥ is refused, not taken as x\\y" test $? -eq 2 -a ! -e "$work/x/y"
reset; "${host[@]}" --folder 'C:\tamarisk-cli-test' 'Plovers("a.txt", "写し.txt")' </dev/null >/dev/null
check "Japanese on the command line" test "$(cat "$work/写し.txt" 2>/dev/null)" = new
err=$("${host[@]}" --module 'C:\nowhere\TAMARISK.x32' 2>&1 >/dev/null); status=$?
check "a missing module" test $status -eq 1

echo "$passed passed, $failed failed"
test $failed -eq 0
