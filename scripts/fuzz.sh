#!/usr/bin/env bash
# Builds the fuzz targets with clang (in build-fuzz) and runs each for a
# bounded time, as many at once as there are cores:
#   scripts/fuzz.sh [SECONDS]    build, then run each target SECONDS (30)
#   scripts/fuzz.sh build        only build them
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
dir=build-fuzz
targets=$(ls fuzz/*_fuzz.cpp | sed 's|fuzz/\(.*\)_fuzz.cpp|fuzz_\1|')
[ ! -f "$dir/CMakeCache.txt" ] || grep -q "^CMAKE_GENERATOR:INTERNAL=Ninja$" "$dir/CMakeCache.txt" ||
  rm -rf "$dir"
# -O1 with line tables only: what libFuzzer advises, and a third of the
# compile time of -O2 -g; a crash's stack still names files and lines.
CXX=clang++ cmake -S . -B "$dir" -G Ninja -DVELMORA_FUZZ=ON -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only -fsanitize=address,undefined" \
  -DVELMORA_TERMINAL=OFF -DVELMORA_WINDOW=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$dir" -j "$(nproc)" --target $targets
[ "$seconds" != build ] || exit 0

# Each target runs for its full time, as many at once as there are cores;
# each one's last lines are printed when all have ended. A crash fails.
export dir seconds
status=0
printf '%s\n' $targets | xargs -P "$(nproc)" -I{} bash -c '
  mkdir -p "$dir/corpus-$0"
  exec ./"$dir/$0" -max_total_time="$seconds" -print_final_stats=0 "$dir/corpus-$0" \
    "fuzz/seeds/${0#fuzz_}" >"$dir/$0.log" 2>&1' {} || status=1
for t in $targets; do
  echo "fuzz: $t for ${seconds}s"
  tail -n 2 "$dir/$t.log"
done
exit "$status"
