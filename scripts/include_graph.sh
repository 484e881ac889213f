#!/usr/bin/env bash
# The layer check: prints which folders include headers of which others ("from -> to (count)") over src/, the
# hosts (cli/, web/, obs/), tests/ and bench/, marks every arrow that runs the wrong way, and fails when there is
# one. Also counts where the plug-in's static record g_state is named. Run by scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

# The libraries of src/, lowest first: each may include its own layer and those listed for it.
# The hosts drive the libraries and never include each other: the plug-in (src/plugin, its display behind a
# seam of its own), the command line, the web engine and the OBS source. Tests and benchmarks may include anything but
# each other's benchmarks.
declare -A allowed=(
  [numeric]=""
  [formats]="numeric"
  [core]="numeric"
  [data]="numeric formats core"
  [plugin]="numeric formats core data"
  [cli]="numeric formats core data"
  [web]="numeric formats core data"
  [obs]="numeric formats core data"
  [tests]="numeric formats core data plugin cli web obs"
  [bench]="numeric formats core data plugin cli web obs tests"
)
roots=(src cli web obs tests bench)

layerOf() { # a path from the repository's root -> its layer in $layer; src/ paths by their folder under src/
  case "$1" in
    src/*) layer=${1#src/}; layer=${layer%%/*} ;;
    *) layer=${1%%/*} ;;
  esac
}

# The command line's and the OBS source's headers are named without their folder (cli/CMakeLists.txt), by
# themselves, their tests and the benchmarks: a bare name found in no folder of the includer is looked up there.
declare -A hostHeader=()
for host in cli obs; do
  [ -d "$host" ] || continue
  while read -r h; do hostHeader[${h##*/}]=$host/${h##*/}; done < <(find "$host" -name '*.h')
done

# Where an include names a file, in $target: beside the includer (or relative to it), then under src/ or tests/
# (the include folders of the builds), then the hosts' headers named bare. Empty for a header of the system or a
# generated one. No subshells: the check runs over thousands of includes on a busy machine.
resolve() { # from to
  local near=${1%/*}/$2
  while [[ $near == */../* ]]; do near=$(sed -E 's|[^/]+/\.\./||' <<<"$near"); done
  near=${near//\/.\//\/}
  target=""
  if [ -f "$near" ]; then target=$near
  elif [ -f "src/$2" ]; then target=src/$2
  elif [ -f "tests/$2" ]; then target=tests/$2
  elif [ -n "${hostHeader[$2]:-}" ]; then target=${hostHeader[$2]}
  fi
}

existing=()
for r in "${roots[@]}"; do [ -d "$r" ] && existing+=("$r"); done
edges=$(grep -rHoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' --include='*.c' --include='*.cpp' \
          --include='*.h' "${existing[@]}" 2>/dev/null |
  sed -E 's|^([^:]+):[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)"|\1 \2|' |
  while read -r from to; do
    resolve "$from" "$to"
    [ -z "$target" ] && continue
    layerOf "$from"
    a=$layer
    layerOf "$target"
    b=$layer
    if [ "$a" != "$b" ]; then echo "$a -> $b"; fi
  done | sort | uniq -c | awk '{ printf "%-10s -> %-10s (%d)\n", $2, $4, $1 }')

report=$(while read -r a _ b count; do
  [ -z "${a:-}" ] && continue
  mark=""
  if [ -z "${allowed[$a]+set}" ] || [[ " ${allowed[$a]} " != *" $b "* ]]; then mark="<- wrong way"; fi
  printf "%-10s -> %-10s %-6s %s\n" "$a" "$b" "$count" "$mark"
done <<<"$edges")
echo "$report"
wrong=$(grep -c 'wrong way' <<<"$report" || true)

echo
echo "g_state named, per folder:"
for d in src/*/ cli/ web/ obs/ tests/ bench/; do
  [ -d "$d" ] || continue
  printf "  %-14s %d\n" "${d%/}" "$( (grep -rwo g_state "$d" || true) | wc -l)"
done

echo
if [ "$wrong" -gt 0 ]; then
  echo "layer check: $wrong arrow(s) run the wrong way (the layers are listed at the top of $0)"
  exit 1
fi
echo "layer check: every include runs the right way"
