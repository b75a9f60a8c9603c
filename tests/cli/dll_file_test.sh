#!/usr/bin/env bash
# The built TAMARISK.x32 as binutils read it, without loading it: its
# exports, imports, time stamp and version resource.
#
#   tests/cli/dll_file_test.sh DLL [OBJDUMP [WINDRES]]
set -uo pipefail
dll=$1
objdump=${2:-i686-w64-mingw32-objdump}
windres=${3:-i686-w64-mingw32-windres}
passed=0
failed=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# The time stamp is shown as a date in the local zone.
headers=$(TZ=UTC "$objdump" -p "$dll") || { echo "FAILED: $objdump cannot read $dll"; exit 1; }
# -J coff reads the resources of a PE image too.
resources=$("$windres" -J coff -O rc -i "$dll") || { echo "FAILED: $windres cannot read $dll"; exit 1; }

# ---- exports: the five entry points by undecorated name, under the module's name ----
check "the export table names the library TAMARISK.x32" \
  grep -qE '^Name[[:space:]]+[0-9a-f]+ TAMARISK\.x32$' <<<"$headers"
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' <<<"$headers" | sort | xargs)
check "exactly the five entry points, undecorated (got: $exports)" \
  test "$exports" = "DllCanUnloadNow DllGetClassForm DllGetClassInfo DllGetClassObject DllGetInterface"

# ---- imports: Windows system DLLs only; the MinGW runtime is linked in ----------------
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr '[:upper:]' '[:lower:]')
check "it imports something" test -n "$imports"
for name in $imports; do
  case $name in
    kernel32.dll | user32.dll | comdlg32.dll | msvcrt.dll | advapi32.dll | gdi32.dll | shell32.dll | ole32.dll) ;;
    api-ms-win-crt-*.dll) ;;
    *) check "imports only system DLLs, not $name" false ;;
  esac
done

# ---- reproducible: no build time in the image -----------------------------------------
check "the time stamp is zero" grep -qE $'^Time/Date\t+Thu Jan  1 00:00:00 1970$' <<<"$headers"

# ---- the version resource: 1.3.0.0, Japanese, Unicode strings ---------------------------
check "one version resource" test "$(grep -c 'VERSIONINFO$' <<<"$resources")" -eq 1
language=$(awk '/^LANGUAGE/ { language = $0 } /VERSIONINFO$/ { print language; exit }' <<<"$resources")
check "stored under Japanese (LANG_JAPANESE, SUBLANG_DEFAULT; got: $language)" test "$language" = "LANGUAGE 17, 1"
check "file version 1.3.0.0" grep -qx ' FILEVERSION 1, 3, 0, 0' <<<"$resources"
check "product version 1.3.0.0" grep -qx ' PRODUCTVERSION 1, 3, 0, 0' <<<"$resources"
strings=$(sed -n '/BLOCK "041104b0"/,/END/p' <<<"$resources")
check "the string block 041104b0" test -n "$strings"
check "its FileVersion" grep -qx '      VALUE "FileVersion", "1, 3, 0, 0"' <<<"$strings"
check "its ProductVersion" grep -qx '      VALUE "ProductVersion", "1, 3, 0, 0"' <<<"$strings"
check "the translation Japanese, Unicode (0x411, 1200)" grep -qx '    VALUE "Translation", 0x411, 1200' <<<"$resources"

echo "$passed passed, $failed failed"
test $failed -eq 0
