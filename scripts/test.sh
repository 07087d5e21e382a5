#!/usr/bin/env bash
# Sets up, builds and runs every test: the formatting of the code, the
# normal build, the Debian packages (built, checked, installed, used and
# removed), the sanitizer build (address + undefined behaviour) and a short
# run of each fuzz target. Ends with one line "N passed, N failed" over both
# builds.
#
# Made to finish in under 10 minutes on 2 cores without dropping a check.
# Every test is built and run once, in the build where it finds the most:
# - The sanitizer build (g++) runs the unit tests and the end-to-end tests:
#   the sanitizers find more in the same run.
# - The normal build is what the package ships, and what the sanitizers
#   cannot look at: the window front end (its tests spend their time in
#   Qt, which Debian builds without sanitizers, while the code below the
#   window runs under the sanitizers through the headless and terminal
#   tests), a process out of descriptors (the sanitizers need some), the
#   memory bound under hostile clients (the sanitizers keep freed memory),
#   the package, and the benchmarks (compiled, never run). Its debug
#   information is -g1: the package strips it anyway.
# - The fuzz targets (clang, for libFuzzer) compile only what they reach,
#   and each runs 30 s (FUZZ_SECONDS), two at a time.
# The sanitizer and fuzz builds compile from the start at the lowest
# priority, in what the normal build, its tests and the package test leave
# of the two cores; the fuzz targets, also at the lowest priority, run
# beside the sanitizer build's tests, which wait for programs in tmux, for
# switched-on devices and for child processes. Nothing there is timed, so
# the tests run several at a time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
log=$(mktemp)
background_log=$(mktemp)
fuzz_log=$(mktemp)
trap 'rm -f "$log" "$background_log" "$fuzz_log"' EXIT

bash scripts/format-check.sh

# The sanitizer build and the fuzz targets compile from the start, at the
# lowest priority: they take what the normal build and its tests leave.
nice -n 19 bash scripts/build.sh build-asan -DVELMORA_SANITIZE=ON -DVELMORA_WINDOW=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" >"$background_log" 2>&1 &
sanitizer_build=$!
nice -n 19 bash scripts/fuzz.sh build >"$fuzz_log" 2>&1 &
fuzz_build=$!

bash scripts/build.sh build -DVELMORA_BENCH=ON -DVELMORA_UNIT_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"

# In the normal build: the window's tests, the process out of descriptors,
# and of the end-to-end tests the window module's loading and the memory
# bound under hostile clients.
(cd build && ctest --output-on-failure -j 4 -E '^e2e\.') | tee -a "$log"
(cd build && ctest --output-on-failure -j 2 -R '^e2e\.(front_end_choice|network_hostile)$') | tee -a "$log"
bash scripts/package-test.sh build

wait "$sanitizer_build" || { cat "$background_log"; echo "test: the sanitizer build failed"; exit 1; }
wait "$fuzz_build" || { cat "$fuzz_log"; echo "test: the fuzz build failed"; exit 1; }
# Each fuzz target runs 30 s by default (FUZZ_SECONDS), two at a time.
nice -n 19 bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}" >"$fuzz_log" 2>&1 &
fuzzing=$!
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
(cd build-asan && ctest --output-on-failure -j 6) | tee -a "$log"
fuzz_status=0
wait "$fuzzing" || fuzz_status=$?
cat "$fuzz_log"
[ "$fuzz_status" = 0 ] || { echo "test: a fuzz target failed"; exit 1; }

# ctest ends each run with "100% tests passed, 0 tests failed out of 145".
awk '/tests failed out of/ { failed += $(NF - 5); total += $NF }
     END { print total - failed " passed, " failed + 0 " failed" }' "$log"
