#!/usr/bin/env bash
# Two release builds of the same sources, in different folders, must give
# byte-identical modules.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
first=$("$root/scripts/release.sh" "$scratch/one")
second=$("$root/scripts/release.sh" "$scratch/other-folder")
echo "$first"
if cmp "$scratch/one/TAMARISK.x32" "$scratch/other-folder/TAMARISK.x32"; then
  echo "1 passed, 0 failed"
else
  echo "the two builds differ"; echo "0 passed, 1 failed"; exit 1
fi
