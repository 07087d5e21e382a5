#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build, the sanitizer
# build (address + undefined behaviour) and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

bash scripts/build.sh build
(cd build && ctest --output-on-failure -j 2)

bash scripts/build.sh build-asan -DVELMORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j 2)

bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
