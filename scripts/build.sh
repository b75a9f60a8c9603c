#!/usr/bin/env bash
# Builds TAMARISK.x32 and runs its main job under Wine: the command-line host
# loads the real module, registers it (class table, Lingo message table) and
# runs Lingo calls. Arguments go to the host; without them a demonstration
# runs in a folder of its own, C:\tamarisk-demo inside the Wine prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/target" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/target" --target tamarisk tamarisk-host -j"$(nproc)" >/dev/null
echo "Built $root/build/target/TAMARISK.x32 ($(sha256sum "$root/build/target/TAMARISK.x32" | cut -c1-16)...)"

prefix=$root/build/target/wineprefix
host=("$root/scripts/wine-run.sh" "$prefix" "$root/build/target/tamarisk-host.exe")
if [ $# -gt 0 ]; then
  exec "${host[@]}" "$@"
fi

"${host[@]}" --register
demo=$prefix/drive_c/tamarisk-demo
rm -rf "$demo" && mkdir -p "$demo/Backup"
printf 'Notes\r\nfor the demo\r\n' > "$demo/Notes.txt"
echo
"${host[@]}" --base 'C:\tamarisk-demo\movie.dir' \
  'Plovers("Notes.txt", "Backup\Notes.TXT")' \
  --no 'Plovers("Notes.txt", "Backup\notes.txt")' \
  --choose 'C:\tamarisk-demo\Backup\chosen.txt' 'Plovers("Notes.txt")' \
  'Plovers("Missing.txt", "x.txt")' \
  'Plovers("Notes.txt", "Backup")' \
  'Plovers("Notes.txt")'
echo
echo "Files in C:\\tamarisk-demo\\Backup:"
ls "$demo/Backup"
