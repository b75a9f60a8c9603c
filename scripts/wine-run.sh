#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in a private prefix (created
# once), with the ANSI code page 932.
set -euo pipefail
prefix=$1; shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win32 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
# No display here: Wine's null graphics driver still makes real windows.
if [ ! -f "$prefix/.null-graphics" ]; then
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.null-graphics"
fi
# A second drive for copies across drives.
mkdir -p "$prefix/drive_d"
[ -e "$prefix/dosdevices/d:" ] || ln -s ../drive_d "$prefix/dosdevices/d:"
# A folder where nothing can be created, even by root: for write failures.
[ -e "$prefix/dosdevices/r:" ] || ln -s /proc/self/fdinfo "$prefix/dosdevices/r:"

exec wine "$@"
