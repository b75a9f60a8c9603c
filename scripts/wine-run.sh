#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in a private prefix (created
# once), with the ANSI code page 932, or that of TAMARISK_LOCALE
# (en_US.UTF-8: 1252, an English Windows).
set -euo pipefail
prefix=$1; shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win32 LC_ALL=${TAMARISK_LOCALE:-ja_JP.UTF-8}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY
# With TAMARISK_AS_USER set, Wine runs as that user, who owns the prefix:
# root ignores folder permissions, so the cases about them need someone else.
# The program and the module beside it are copied into the prefix, where
# that user can read them wherever the build is.
as=()
owner=
if [ -n "${TAMARISK_AS_USER:-}" ]; then
  if [ "$(id -u)" != 0 ] || ! id "$TAMARISK_AS_USER" >/dev/null 2>&1; then
    echo "wine-run: cannot run as $TAMARISK_AS_USER (needs root and that user); its cases are skipped" >&2
    exit 0
  fi
  owner=$(id -u "$TAMARISK_AS_USER"):$(id -g "$TAMARISK_AS_USER")
  as=(setpriv --reuid="${owner%:*}" --regid="${owner#*:}" --clear-groups env HOME="$prefix")
  mkdir -p "$prefix"
  chown "$owner" "$prefix"
fi
wine() { "${as[@]}" /usr/bin/wine "$@"; }
wineserver() { "${as[@]}" /usr/bin/wineserver "$@"; }
wineboot() { "${as[@]}" /usr/bin/wineboot "$@"; }
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
if [ -n "$owner" ]; then
  run=$prefix/drive_c/tamarisk-run
  mkdir -p "$run"
  cp "$1" "$run/"
  [ ! -f "$(dirname "$1")/TAMARISK.x32" ] || cp "$(dirname "$1")/TAMARISK.x32" "$run/"
  chown -R "$owner" "$run"
  program=$run/$(basename "$1")
  shift
  set -- "$program" "$@"
fi
# No display here: Wine's null graphics driver still makes real windows.
if [ ! -f "$prefix/.null-graphics" ]; then
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.null-graphics"
fi
# A crash ends the program with its exception code: Wine's debugger, started
# by default, waits for nobody, and once it is killed the run exits 0.
if [ ! -f "$prefix/.no-debugger" ]; then
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
    /d no-debugger /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.no-debugger"
fi
# A second drive for copies across drives.
mkdir -p "$prefix/drive_d"
[ -z "$owner" ] || chown "$owner" "$prefix/drive_d"
[ -e "$prefix/dosdevices/d:" ] || ln -s ../drive_d "$prefix/dosdevices/d:"
# A folder where nothing can be created, even by root: for write failures.
[ -e "$prefix/dosdevices/r:" ] || ln -s /proc/self/fdinfo "$prefix/dosdevices/r:"

# With TAMARISK_SMALL_DRIVE set, T: is a 2 MiB tmpfs: a disk that fills up.
small=
if [ -n "${TAMARISK_SMALL_DRIVE:-}" ]; then
  small=$prefix/small-drive
  mkdir -p "$small"
  if mount -t tmpfs -o "size=2m${owner:+,uid=${owner%:*},gid=${owner#*:}}" tamarisk-small "$small" 2>/dev/null; then
    ln -sfn ../small-drive "$prefix/dosdevices/t:"
  else
    echo "wine-run: no small drive (mounting a tmpfs needs root); its cases are skipped" >&2
    rm -f "$prefix/dosdevices/t:"
    small=
  fi
fi
# With TAMARISK_SLOW_DRIVE set, S: is a FUSE drive that serves read-only
# files at 12 MB/s, as a CD-ROM does: big.bin (48 MB) and short.bin (6 MB),
# and hang.bin (8 MB), whose reads past its first MiB hang for seconds and fail.
slow=
if [ -n "${TAMARISK_SLOW_DRIVE:-}" ]; then
  slow=$prefix/slow-drive
  mkdir -p "$slow"
  umount -l "$slow" 2>/dev/null || true  # left by a run that was killed
  /usr/bin/python3 "$(dirname "$0")/../tests/slowdrive/slow_drive.py" "$slow" 12000000 \
    big.bin=48000000 short.bin=6000000 hang.bin=8000000 2>"$prefix/slow-drive.log" &
  for _ in $(seq 50); do mountpoint -q "$slow" && break; sleep 0.1; done
  if mountpoint -q "$slow"; then
    ln -sfn ../slow-drive "$prefix/dosdevices/s:"
  else
    echo "wine-run: no slow drive (mounting FUSE needs /dev/fuse, libfuse2 and python3-fusepy:" \
      "$(tail -1 "$prefix/slow-drive.log")); its cases are skipped" >&2
    rm -f "$prefix/dosdevices/s:"
    slow=
  fi
fi
status=0
wine "$@" || status=$?
[ -z "$small$slow" ] || wineserver -w
if [ -n "$small" ]; then
  rm -f "$prefix/dosdevices/t:"
  umount -l "$small"
fi
if [ -n "$slow" ]; then
  rm -f "$prefix/dosdevices/s:"
  umount -l "$slow"  # which ends the drive's process
fi
exit $status
