#!/usr/bin/env bash
# Sets up, builds and runs every test: the formatting of the code, the
# normal build, the Debian packages (built, checked, installed, used and
# removed), the sanitizer build (address + undefined behaviour) and a short
# run of each fuzz target. Ends with one line "N passed, N failed" over both
# builds.
#
# With Ninja, and nothing built twice for one purpose: the normal build
# (everything, with the window and the benchmarks), the sanitizer build and
# the fuzz targets (clang, for libFuzzer; the terminal's FINAL CUT headers
# do not compile with clang, so the sanitizer build stays with g++). The
# sanitizer build leaves out what only the normal build needs to check: the
# window front end (its tests spend their time in Qt, which Debian builds
# without sanitizers, while the code below the window - dialogs,
# framework, device - runs under the sanitizers through the headless and
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

bash scripts/build.sh build-asan -DVELMORA_SANITIZE=ON -DVELMORA_WINDOW=OFF -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j 2) | tee -a "$log"

bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

# ctest ends each run with "100% tests passed, 0 tests failed out of 145".
awk '/tests failed out of/ { failed += $(NF - 5); total += $NF }
     END { print total - failed " passed, " failed + 0 " failed" }' "$log"
