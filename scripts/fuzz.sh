#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan) and runs each for a given time; exits non-zero on a finding.
# Usage: scripts/fuzz.sh [seconds per target, default 30] [target ...]   (targets: the names after fuzz_, default all)
# The seed corpus of each target is tests/fuzz/corpus/<target>/ (only read); what the fuzzer adds goes to
# build/fuzz/corpus/<target>/, crashing inputs to build/fuzz/findings/<target>/, the full log to build/fuzz/logs/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

bin=build/fuzz/tests/fuzz
targets=("$@")
if ((${#targets[@]} == 0)); then
  for exe in "$bin"/fuzz_*; do targets+=("${exe##*/fuzz_}"); done
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
for t in "${targets[@]}"; do
  exe=$bin/fuzz_$t
  [ -x "$exe" ] || { echo "no fuzz target '$t'" >&2; exit 2; }
  work=build/fuzz/corpus/$t findings=build/fuzz/findings/$t log=build/fuzz/logs/$t.log
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  dict=()
  [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="tests/fuzz/$t.dict")
  status=0
  "$exe" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 -print_final_stats=1 \
    -artifact_prefix="$findings/" "${dict[@]}" "$work" "tests/fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if ((status == 0)); then
    echo "fuzz_$t: ${runs:-?} executions in ${seconds} s, no finding"
  else
    echo "fuzz_$t: FINDING after ${runs:-?} executions (exit $status); input in $findings/, log $log" >&2
    grep -E 'ERROR|SUMMARY|invariant|runtime error' "$log" | head -20 >&2 || true
    failed=1
  fi
done
exit $failed
