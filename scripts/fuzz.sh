#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time:
# scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
CXX=clang++ cmake -S . -B build-fuzz -G "Unix Makefiles" -DVELMORA_FUZZ=ON -DVELMORA_TERMINAL=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
targets=$(ls fuzz/*_fuzz.cpp | sed 's|fuzz/\(.*\)_fuzz.cpp|fuzz_\1|')
cmake --build build-fuzz -j "$(nproc)" --target $targets
for t in $targets; do
  corpus=build-fuzz/corpus-$t
  mkdir -p "$corpus"
  echo "fuzz: $t for ${seconds}s"
  ./build-fuzz/$t -max_total_time="$seconds" -print_final_stats=0 "$corpus" "fuzz/seeds/${t#fuzz_}" 2>&1 | tail -n 2
done
