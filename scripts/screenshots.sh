#!/usr/bin/env bash
# Pictures of what the user sees, for the README: calls of the example tour
# that ask the user something run in the command-line host with the
# platform's own windows, on a virtual display (Xvfb) with a Japanese font;
# a person (ui-person.exe) saves each window before answering it, and the
# pictures land in docs/ as PNG files. Not part of the tests.
#
#   scripts/screenshots.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" --pictures
build=$root/build/target
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target tamarisk tamarisk-host ui-person -j2 >/dev/null

work=$root/build/pictures
mkdir -p "$work"
# A prefix of its own: the tests' prefix draws nothing (Wine's null driver).
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEARCH=win32 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
# No window manager: Wine draws the title bars itself, as Windows does.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# The Japanese system fonts, from Debian's IPA Gothic.
for font in 'MS UI Gothic' 'MS Shell Dlg' 'MS Shell Dlg 2' 'Tahoma' 'ＭＳ ゴシック' 'ＭＳ Ｐゴシック'; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d 'IPAPGothic' /f >/dev/null 2>&1
done
# The title bar's buttons are drawn in Wine's own Marlett, which this Wine
# finds only among the prefix's fonts.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
wineserver -w

windows() { printf 'Z:%s' "${1//\//\\}"; }
demo=$WINEPREFIX/drive_c/tamarisk-demo
rm -rf "$demo" "$work/shots" && mkdir -p "$demo/out/backup" "$work/shots"
printf 'an older copy' >"$demo/out/backup/welcome.txt"

# The last call: a name the code page cannot hold, told, then the second
# dialog cancelled.
wine "$build/ui-person.exe" --pictures "$(windows "$work/shots")" yes ok save:logo \
  save:café.txt ok cancel ok &
person=$!
wine "$build/tamarisk-host.exe" --real-dialogs --movie "$(windows "$root/examples/movie.json")" \
  --folder 'C:\tamarisk-demo' \
  'Avocets("Internal", "Welcome.doc", "out\welcome.txt")' \
  'Plovers("C:\tamarisk-demo\out\welcome.txt", "backup\")' \
  'Avocets("Nowhere", 1)' \
  'Avocets("Internal", "Logo")' \
  'Plovers("C:\tamarisk-demo\out\welcome.txt")' </dev/null
wait $person

# A long copy, from a slow drive as scripts/wine-run.sh mounts it: its
# progress window, watched until the copy ends.
slow=$work/slow-drive
mkdir -p "$slow" "$work/shots/progress"
umount -l "$slow" 2>/dev/null || true
/usr/bin/python3 "$root/tests/slowdrive/slow_drive.py" "$slow" 12000000 big.bin=48000000 &
for _ in $(seq 50); do mountpoint -q "$slow" && break; sleep 0.1; done
ln -sfn "$slow" "$WINEPREFIX/dosdevices/s:"
wine "$build/ui-person.exe" --pictures "$(windows "$work/shots/progress")" wait &
person=$!
wine "$build/tamarisk-host.exe" --real-dialogs --folder 'C:\tamarisk-demo' \
  'Plovers("S:\big.bin", "C:\tamarisk-demo\out\big.bin")' </dev/null
wait $person
rm -f "$WINEPREFIX/dosdevices/s:"
umount -l "$slow"

# ImageMagick's own convert, whatever else is called so on the PATH.
convert=$(command -v convert-im6.q16 || command -v convert)
for shot in 1:overwrite-question 2:error-box 3:save-dialog 5:unusable-name; do
  "$convert" "$work/shots/${shot%%:*}.bmp" -strip "$root/docs/${shot#*:}.png"
  echo "docs/${shot#*:}.png"
done
"$convert" "$work/shots/progress/1.bmp" -strip "$root/docs/progress.png"
echo docs/progress.png
