#!/bin/sh
# Checks the plug-in DLL's export and import tables: exactly one export, winampVisGetHeader, and imports from
# system DLLs only (a runtime DLL such as libgcc or libstdc++ would not be on a user's machine).
#   check_dll.sh OBJDUMP DLL      inspect a built DLL
#   check_dll.sh --dump FILE      inspect a saved `objdump -p` listing (for the checker's own tests)
set -u

if [ "$#" -ne 2 ]; then
  echo "usage: $0 OBJDUMP DLL | --dump FILE" >&2
  exit 2
fi
if [ "$1" = "--dump" ]; then
  listing=$(cat "$2") || exit 2
else
  [ -f "$2" ] || { echo "FAIL: no DLL at $2" >&2; exit 1; }
  listing=$("$1" -p "$2") || { echo "FAIL: $1 -p $2 failed" >&2; exit 1; }
fi

status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

echo "$listing" | grep -q 'file format pei-i386' || fail "not a 32-bit x86 PE file"

# Every exported name, from the [Ordinal/Name Pointer] table (its last field on each line).
exports=$(echo "$listing" | awk '
  /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
  inside && NF == 0 { inside = 0 }
  inside { print $NF }')
# Exports by ordinal only would not show up among the names: the address table must hold one entry too.
address_entries=$(echo "$listing" | awk '/^[ \t]*Export Address Table[ \t]+[0-9a-fA-F]+$/ { print $NF; exit }')

if [ "$exports" != "winampVisGetHeader" ]; then
  fail "exported names are [$(echo $exports)], want exactly [winampVisGetHeader]"
fi
if [ -z "$address_entries" ] || [ $((0x$address_entries)) -ne 1 ]; then
  fail "export address table has ${address_entries:-no} entries, want 1"
fi

imports=$(echo "$listing" | awk '/DLL Name:/ { print $NF }')
[ -n "$imports" ] || fail "no import table found"
for dll in $imports; do
  lower=$(echo "$dll" | tr 'A-Z' 'a-z')
  case "$lower" in
    libgcc* | libstdc++* | libwinpthread*)
      fail "imports the compiler runtime $dll (link it statically)" ;;
    kernel32.dll | user32.dll | gdi32.dll | ddraw.dll | comctl32.dll | comdlg32.dll | msvcrt.dll | \
      advapi32.dll | ole32.dll | oleaut32.dll | shell32.dll | winmm.dll)
      ;;
    *)
      fail "imports $dll, which is not a system DLL on the allow-list" ;;
  esac
done

if [ "$status" -eq 0 ]; then
  echo "OK: exports [$(echo $exports)], imports [$(echo $imports)]"
fi
exit "$status"
