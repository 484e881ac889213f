#!/usr/bin/env bash
# Prints which folders include headers of which others ("from -> to (count)") for src/, cli/, bench/ and obs/, the
# arrows of src/ that run back up its layers, and where the plug-in's static record g_state is named.
set -euo pipefail
cd "$(dirname "$0")/.."
# The layers of src/, lowest first: a folder may include its own and lower layers only.
layers=(numeric formats core data platform/headless platform settings display host plugin)
rank() { local i; for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done; echo 99; }
folder() { # path -> its folder; src/ paths without the "src/" prefix, the headless platform apart
  case "$1" in
    src/platform/headless/* | platform/headless/*) echo platform/headless ;;
    src/*) local p=${1#src/}; echo "${p%%/*}" ;;
    cli/* | bench/* | obs/*) echo "${1%%/*}" ;;
    *) echo "${1%%/*}" ;;
  esac
}
edges=$(grep -rHoE '^#include "[^"]+"' --include='*.cpp' --include='*.h' src cli bench obs 2>/dev/null |
  sed -E 's|^([^:]+):#include "([^"]+)"|\1 \2|' |
  while read -r from to; do
    a=$(folder "$from")
    # cli/, bench/ and obs/ name their own headers without a folder; src/ headers by their folder.
    case "$to" in */*) b=$(folder "$to") ;; *) b=$a ;; esac
    if [ -d "src/${b%%/*}" ] || [ "$b" = platform/headless ]; then :; else b=$a; fi
    if [ "$a" != "$b" ]; then echo "$a -> $b"; fi
  done | sort | uniq -c | awk '{ printf "%-18s -> %-18s (%d)\n", $2, $4, $1 }')
echo "$edges"
echo
echo "arrows of src/ that run back up:"
back=0
while read -r a _ b _; do
  [ -z "${a:-}" ] && continue
  case "$a" in cli | bench | obs) continue ;; esac
  if [ "$(rank "$a")" -lt "$(rank "$b")" ]; then echo "  $a -> $b"; back=$((back + 1)); fi
done <<<"$edges"
echo "  ($back)"
echo
echo "g_state named, per folder:"
for d in src/*/ cli/ bench/ obs/; do printf "  %-14s %d\n" "${d%/}" "$( (grep -rwo g_state "$d" || true) | wc -l)"; done
