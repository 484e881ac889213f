#!/usr/bin/env bash
# Installs what is missing, builds both configurations (and the sanitizer and fuzz builds) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# The house's habits first, for a quick answer: includes run one way between the layers (fails at once), and the
# tree follows .clang-format (its verdict waits for the end, so that every test still runs).
bash scripts/include_graph.sh
format_status=0
bash scripts/check_format.sh || format_status=1

for preset in native sanitize plugin web obs; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/sanitize --output-on-failure -j2
# ThreadSanitizer over the threaded parts: the player's tests, whose tavelmir runs the sound device's or the
# capture's thread beside the frame loop and the sample history between them (preset tsan builds their program
# alone). Every race report, the tests' own or their tavelmir's, fails the stage. Left out: the two that judge when
# frames show the sound against the device's clock (a click track played, a monitor captured), as the instrumented
# frame loop runs slower than the sound; their threads run in the others (play, seek, pause, pipes, signals, live
# without a server and its reconnecting reader).
tsan_tests='PlayerTest.*-PlayerTest.PlayShowsEachClick*:PlayerTest.LiveFollowsTheMonitor*'
cmake --preset tsan >/dev/null
cmake --build --preset tsan
rm -rf build/tsan/races && mkdir -p build/tsan/races
tsan_status=0
tsan_options="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/cli/tsan_suppressions.txt"
TSAN_OPTIONS="$tsan_options log_path=$PWD/build/tsan/races/race" build/tsan/tests/cli/tavelmir_player_tests \
  --gtest_brief=1 --gtest_filter="$tsan_tests" || tsan_status=1
if compgen -G 'build/tsan/races/race*' >/dev/null; then
  cat build/tsan/races/race* >&2
  tsan_status=1
fi
((tsan_status == 0)) || exit 1
# Every fuzz target for a short while, so that CI keeps the targets and the readers they cover honest.
bash scripts/fuzz.sh 30
ctest --test-dir build/plugin --output-on-failure
ctest --test-dir build/native --output-on-failure -j2
# The OBS Studio source in Debian's libobs under Xvfb with Mesa's software OpenGL, and its package.
ctest --test-dir build/obs --output-on-failure
# The web page: its WebAssembly effect against the regression digests in Node, the page itself in Chromium.
ctest --test-dir build/web-wasm --output-on-failure

# A plain build as a packager makes it (no preset, so warnings stay warnings) with the other compiler, so that
# the standard build types keep building and clang keeps giving the same frames.
cmake -S . -B build/plain-clang -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/plain-clang -j2 --target tavelmir_tests tavelmir tavelmir_data
build/plain-clang/tavelmir_tests --gtest_brief=1
ctest --test-dir build/plain-clang --output-on-failure -R '^regression\.'

if ((format_status)); then
  echo "every test passed, but the format check failed (above): reformat with scripts/check_format.sh --fix" >&2
  exit 1
fi
