#!/usr/bin/env bash
# Prints which folders of src/ include headers of which others ("from -> to (count)"), and where g_state is named.
set -euo pipefail
cd "$(dirname "$0")/../src"
folder() { # src-relative path -> its folder; the headless platform counts apart from the platform header
  case "$1" in
    platform/headless/*) echo platform/headless ;;
    *) echo "${1%%/*}" ;;
  esac
}
grep -rHoE '^#include "[^"]+"' --include='*.cpp' --include='*.h' . | sed -E 's|^\./([^:]+):#include "([^"]+)"|\1 \2|' |
  while read -r from to; do
    a=$(folder "$from") b=$(folder "$to")
    if [ "$a" != "$b" ]; then echo "$a -> $b"; fi
  done | sort | uniq -c | awk '{ printf "%-18s -> %-18s (%d)\n", $2, $4, $1 }'
echo
echo "g_state named, per folder:"
for d in */; do printf "  %-12s %d\n" "${d%/}" "$(grep -rwo g_state "$d" | wc -l)"; done
