#!/usr/bin/env bash
# Sets up, builds and runs every test: the formatting of the code, the
# normal build, the Debian packages (built, checked, installed, used and
# removed), the sanitizer build (address + undefined behaviour) and a short
# run of each fuzz target. Ends with one line "N passed, N failed" over both
# builds.
#
# Two builds, with Ninja. The sanitizer build is made with clang so that
# the fuzz targets (libFuzzer needs clang) are built in it too: the code
# they share is compiled once for both. It is optimised with -O1 (what
# AddressSanitizer is made for): the tests and the fuzzing run faster than
# at -O0, and the sanitizers find the same faults. It leaves out what only
# the normal build needs to check: the window front end (its tests spend
# their time in Qt, which Debian builds without sanitizers, while the code
# below the window runs under the sanitizers through the headless and
# terminal tests), the benchmarks (compiled, never run) and the package.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
log=$(mktemp)
trap 'rm -f "$log"' EXIT

bash scripts/format-check.sh

bash scripts/build.sh build -DVELMORA_BENCH=ON  # the benchmarks must keep compiling
(cd build && ctest --output-on-failure -j 2) | tee -a "$log"
bash scripts/package-test.sh build

CXX=clang++ bash scripts/build.sh build-asan -DVELMORA_SANITIZE=ON -DVELMORA_FUZZ=ON \
  -DVELMORA_WINDOW=OFF -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j 2) | tee -a "$log"

bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}" build-asan

# ctest ends each run with "100% tests passed, 0 tests failed out of 145".
awk '/tests failed out of/ { failed += $(NF - 5); total += $NF }
     END { print total - failed " passed, " failed + 0 " failed" }' "$log"
