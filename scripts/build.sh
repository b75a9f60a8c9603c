#!/usr/bin/env bash
# Builds TAMARISK.x32 and runs its main job under Wine: the command-line host
# loads the real module, registers it and runs the example script against the
# example movie, in C:\tamarisk-demo of the Wine prefix. With arguments, they
# go to the command-line host instead (see README.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/target" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/target" --target tamarisk tamarisk-host -j"$(nproc)" >/dev/null
dll=$root/build/target/TAMARISK.x32
echo "Built $dll"
echo "SHA-256 $(sha256sum "$dll" | cut -d' ' -f1)"
echo

prefix=$root/build/target/wineprefix
host=("$root/scripts/wine-run.sh" "$prefix" "$root/build/target/tamarisk-host.exe")
if [ $# -gt 0 ]; then
  exec "${host[@]}" "$@"
fi

# Wine sees this machine's / as drive Z:.
windows() { printf 'Z:%s' "${1//\//\\}"; }
demo=$prefix/drive_c/tamarisk-demo
rm -rf "$demo" && mkdir -p "$demo/out/backup" "$demo/Movies"
"${host[@]}" --register --movie "$(windows "$root/examples/movie.json")" \
  --script "$(windows "$root/examples/demo.lingo")" --folder 'C:\tamarisk-demo' \
  --choose 'picked' --no </dev/null
echo
echo "Files written, in C:\\tamarisk-demo ($demo):"
(cd "$demo" && find . -type f | sort | sed 's/^\.\//  /')
