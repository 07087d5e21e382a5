#!/usr/bin/env bash
# Runs each fuzz target for a bounded time: scripts/fuzz.sh [SECONDS [DIR]].
# DIR is a build folder made with clang and -DVELMORA_FUZZ=ON (the
# sanitizer build of scripts/test.sh is one); without it the targets are
# built in build-fuzz first.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
dir=${2:-}
targets=$(ls fuzz/*_fuzz.cpp | sed 's|fuzz/\(.*\)_fuzz.cpp|fuzz_\1|')
if [ -z "$dir" ]; then
  dir=build-fuzz
  [ ! -f "$dir/CMakeCache.txt" ] || grep -q "^CMAKE_GENERATOR:INTERNAL=Ninja$" "$dir/CMakeCache.txt" ||
    rm -rf "$dir"
  CXX=clang++ cmake -S . -B "$dir" -G Ninja -DVELMORA_FUZZ=ON -DVELMORA_SANITIZE=ON \
    -DVELMORA_TERMINAL=OFF -DVELMORA_WINDOW=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  # shellcheck disable=SC2086
  cmake --build "$dir" -j "$(nproc)" --target $targets
fi
for t in $targets; do
  [ -x "$dir/$t" ] || { echo "fuzz: $dir/$t is not built (configure $dir with clang and -DVELMORA_FUZZ=ON)"; exit 1; }
done
for t in $targets; do
  corpus=$dir/corpus-$t
  mkdir -p "$corpus"
  echo "fuzz: $t for ${seconds}s"
  ./"$dir/$t" -max_total_time="$seconds" -print_final_stats=0 "$corpus" "fuzz/seeds/${t#fuzz_}" 2>&1 | tail -n 2
done
