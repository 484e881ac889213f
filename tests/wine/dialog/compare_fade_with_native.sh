#!/usr/bin/env bash
# Computes the fade table natively from the settings and reference palette that the Wine compute case left,
# and compares it byte for byte with the table the dialog wrote.
# Usage: compare_fade_with_native.sh NATIVE_BUILD_DIR WINE_CASE_FOLDER WORK_FOLDER
set -euo pipefail
native=$1 wine_folder=$2 work=$3
cli=""
for candidate in "$native/cli/tavelmir" "$native/tavelmir"; do
  [[ -x $candidate ]] && { cli=$candidate; break; }
done
if [[ -z $cli ]]; then
  echo "native tavelmir CLI not found in $native (build the native tree first)" >&2
  exit 77
fi
for f in plugin.ini TavelDat/refrence.pal TavelDat/fade.dat; do
  [[ -f $wine_folder/$f ]] || { echo "missing $wine_folder/$f: the Wine compute case did not leave it" >&2; exit 1; }
done
rm -rf "$work"
mkdir -p "$work/TavelDat"
cp "$wine_folder/plugin.ini" "$work/"
cp "$wine_folder/TavelDat/refrence.pal" "$work/TavelDat/"
"$cli" fade --plugin-dir "$work"
size=$(stat -c %s "$work/TavelDat/fade.dat")
[[ $size == 65536 ]] || { echo "native fade.dat has $size bytes" >&2; exit 1; }
if ! cmp "$wine_folder/TavelDat/fade.dat" "$work/TavelDat/fade.dat"; then
  echo "the dialog's fade table differs from the native one ($(cmp -l "$wine_folder/TavelDat/fade.dat" \
    "$work/TavelDat/fade.dat" | wc -l) bytes)" >&2
  exit 1
fi
echo "fade.dat from the dialog equals the native build's"
