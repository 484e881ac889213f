#!/usr/bin/env bash
# Runs the soak program twice at once with the same seed; both must pass and print the same digest.
# Usage: run_twice.sh SOAK_PROGRAM FRAMES SEED
set -euo pipefail
program=$1 frames=$2 seed=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$program" --frames "$frames" --seed "$seed" >"$out/a" 2>&1 &
first=$!
"$program" --frames "$frames" --seed "$seed" >"$out/b" 2>&1 &
second=$!
status=0
wait $first || status=1
wait $second || status=1
cat "$out/a" "$out/b"
digest_a=$(grep '^frames' "$out/a" || true)
digest_b=$(grep '^frames' "$out/b" || true)
if [[ -z $digest_a || $digest_a != "$digest_b" ]]; then
  echo "soak: the two runs with seed $seed differ" >&2
  status=1
fi
exit $status
