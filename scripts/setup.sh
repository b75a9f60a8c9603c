#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, as root.
# Quick when everything is already present. With --pictures, also what
# scripts/screenshots.sh needs: a virtual display, a Japanese font, Wine's
# own fonts (the title bar's buttons) and ImageMagick.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  NEED_UPDATE=1
fi

for p in cmake make g++ g++-mingw-w64-i686-posix binutils-mingw-w64-i686 \
         wine wine32:i386 googletest clang-14 libclang-rt-14-dev llvm-14 valgrind \
         locales xxd python3 nlohmann-json3-dev zip unzip fuse3 libfuse2 python3-fusepy; do
  have "$p" || need+=("$p")
done
if [ "${1:-}" = --pictures ]; then
  for p in xvfb fonts-ipafont-gothic fonts-wine imagemagick; do
    have "$p" || need+=("$p")
  done
fi

if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${need[@]}"
fi

# A user without privileges, who runs the cases about folder permissions
# (root ignores them).
id tamarisk-wine >/dev/null 2>&1 ||
  useradd --system --no-create-home --shell /usr/sbin/nologin tamarisk-wine

# Wine maps CP932 file names to disk only when a Japanese UTF-8 locale exists;
# the English one gives the code page 1252, where the box checks run again.
for lang in ja_JP en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$lang\.utf-\?8\$"; then
    localedef -i $lang -f UTF-8 $lang.UTF-8
  fi
done
