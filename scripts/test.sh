#!/usr/bin/env bash
# Sets up, builds and runs every test: the formatting of the code, the
# normal build, the Debian packages (built, checked, installed, used and
# removed), the sanitizer build (address + undefined behaviour) and a short
# run of each fuzz target. Ends with one line "N passed, N failed" over both
# builds.
#
# Made to finish in under 10 minutes on 2 cores without dropping a check:
# - Ninja, and nothing built twice for one purpose: the normal build
#   (everything, with the window and the benchmarks), the sanitizer build
#   and the fuzz targets (clang, for libFuzzer; the terminal's FINAL CUT
#   headers do not compile with clang, so the sanitizer build stays g++).
# - The sanitizer build leaves out what only the normal build needs to
#   check: the window front end (its tests spend their time in Qt, which
#   Debian builds without sanitizers, while the code below the window -
#   dialogs, framework, device - runs under the sanitizers through the
#   headless and terminal tests), the benchmarks (compiled, never run) and
#   the package.
# - The sanitizer build keeps only the debug information that its reports
#   need (-g1: functions and lines), the fuzz targets line tables.
# - The sanitizer build and the fuzz targets compile at the lowest priority
#   while the normal build's tests run: those mostly wait for programs in
#   tmux and leave the cores idle.
# - The unit tests run four at a time on the two cores: many of them wait
#   (for a switched-on device, a child process), none is timed.
# - The end-to-end tests, one at a time, run once: under the sanitizers,
#   which find more in the same run, except the window's and the memory
#   bound of the hostile clients' (in the normal build).
# - GoogleTest's header is precompiled for the unit tests.
# - The fuzz targets run side by side, one per core, each for its full
#   time, while the sanitizer build's end-to-end tests run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
log=$(mktemp)
trap 'rm -f "$log"' EXIT

bash scripts/format-check.sh

bash scripts/build.sh build -DVELMORA_BENCH=ON  # the benchmarks must keep compiling

background_log=$(mktemp)
trap 'rm -f "$log" "$background_log"' EXIT
nice -n 19 bash -c 'bash scripts/build.sh build-asan -DVELMORA_SANITIZE=ON -DVELMORA_WINDOW=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" && bash scripts/fuzz.sh build' \
  >"$background_log" 2>&1 &
background=$!

# The end-to-end tests run once, under the sanitizers, below; here only
# those that need this build: the window, which the sanitizer build leaves
# out, and the memory bound under hostile clients, which the sanitizer's
# own bookkeeping hides.
(cd build && ctest --output-on-failure -j 4 -E '^e2e\.') | tee -a "$log"
(cd build && ctest --output-on-failure -R '^e2e\.(front_end_choice|network_hostile)$') | tee -a "$log"
bash scripts/package-test.sh build

wait "$background" || { cat "$background_log"; echo "test: the sanitizer or fuzz build failed"; exit 1; }
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
(cd build-asan && ctest --output-on-failure -j 4 -E '^e2e\.') | tee -a "$log"

# The end-to-end tests (one at a time, mostly waiting for the screen) run
# beside the fuzz targets; the fuzzers take the lowest priority, and the
# idle cores, for their full time each.
fuzz_log=$(mktemp)
trap 'rm -f "$log" "$background_log" "$fuzz_log"' EXIT
nice -n 19 bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}" >"$fuzz_log" 2>&1 &
fuzzing=$!
(cd build-asan && ctest --output-on-failure -R '^e2e\.') | tee -a "$log"
fuzz_status=0
wait "$fuzzing" || fuzz_status=$?
cat "$fuzz_log"
[ "$fuzz_status" = 0 ] || { echo "test: a fuzz target failed"; exit 1; }

# ctest ends each run with "100% tests passed, 0 tests failed out of 145".
awk '/tests failed out of/ { failed += $(NF - 5); total += $NF }
     END { print total - failed " passed, " failed + 0 " failed" }' "$log"
