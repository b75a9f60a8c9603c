#!/usr/bin/env bash
# Builds the release in a clean build folder (default build/release):
# TAMARISK.x32, whose SHA-256 it prints (the same sources give the same
# bytes), and the archive an author downloads, tamarisk-VERSION.zip, with the
# module, the command-line host, the handler reference in Japanese and in
# English, the examples and SHA256SUMS. The archive is reproducible too:
# fixed order, times and permissions, no extra attributes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/release}
version=$(head -n 1 "$root/VERSION")
"$root/scripts/setup.sh"
rm -rf "$out"
cmake -S "$root" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" --target tamarisk tamarisk-host -j"$(nproc)" >/dev/null
sha256sum "$out/TAMARISK.x32" | sed "s|  .*|  TAMARISK.x32|"

# Files carry the time of the last commit (or SOURCE_DATE_EPOCH), not the
# time of the build. Zip stores local time, hence UTC throughout.
export TZ=UTC
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 946684800)}

name=tamarisk-$version
stage=$out/archive/$name
mkdir -p "$stage/examples/media"
cp "$out/TAMARISK.x32" "$out/tamarisk-host.exe" "$stage/"
cp "$root"/examples/media/* "$stage/examples/media/"
# Texts get CR LF so that every Notepad shows their lines; the references
# also get a UTF-8 byte-order mark, by which Notepad knows the encoding
# whatever the system's code page (the English one quotes the Japanese
# messages too).
crlf() { sed 's/\r$//; s/$/\r/' "$1"; }
crlf "$root/examples/movie.json" >"$stage/examples/movie.json"
crlf "$root/examples/demo.lingo" >"$stage/examples/demo.lingo"
{ printf '\xEF\xBB\xBF'; crlf "$root/docs/README.ja.md"; } >"$stage/README.ja.txt"
{ printf '\xEF\xBB\xBF'; crlf "$root/README.md"; } >"$stage/README.en.txt"
(cd "$stage" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)

find "$stage" -type f -exec chmod 644 {} + -exec touch -d "@$epoch" {} +
# Under its name only when complete.
zip=$out/$name.zip
(cd "$out/archive" && find "$name" -type f | LC_ALL=C sort | zip -X -D -q -9 "$zip.part" -@)
mv "$zip.part" "$zip"
echo "$zip"
