#!/usr/bin/env bash
# The formatting check: every tracked C and C++ file as .clang-format lays it out. Names the files that differ and
# fails; `scripts/check_format.sh --fix` reformats them all in place. Run by scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h')
else  # an exported tree: the same folders
  mapfile -t files < <(find src cli web obs tests bench -name '*.c' -o -name '*.cpp' -o -name '*.h' 2>/dev/null | sort)
fi
((${#files[@]})) || { echo "format check: no C or C++ files found" >&2; exit 1; }

if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  echo "reformatted ${#files[@]} files"
  exit 0
elif [ $# -gt 0 ]; then
  echo "usage: $0 [--fix]" >&2
  exit 2
fi

# One clang-format for all files; it names each place that differs as "FILE:LINE:COL: error: ...".
mapfile -t bad < <(clang-format --dry-run -Werror "${files[@]}" 2>&1 | grep -oE '^[^:]+:[0-9]+:[0-9]+: error' |
                   cut -d: -f1 | sort -u)
if ((${#bad[@]})); then
  printf '  %s\n' "${bad[@]}"
  echo "format check: ${#bad[@]} of ${#files[@]} files differ from .clang-format; fix with: scripts/check_format.sh --fix"
  exit 1
fi
echo "format check: all ${#files[@]} files follow .clang-format"
