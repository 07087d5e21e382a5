#!/usr/bin/env bash
# Sets up, builds and starts VelmoraCfg on the sample device in this
# terminal. VELMORA_DEVICE=DIR chooses another device folder. Each step
# that has work to do says so, with the build's progress on one line; a
# rerun with nothing to build starts the program at once, without a word.
# The programs are in build/: ./build/VelmoraCfg and ./build/velmora-device.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/progress.sh
log=$(mktemp)
trap 'rm -f "$log"' EXIT

bash scripts/setup.sh
# A build folder of an older make-based configuration is made anew for Ninja.
[ ! -f build/CMakeCache.txt ] || grep -q "^CMAKE_GENERATOR:INTERNAL=Ninja$" build/CMakeCache.txt || rm -rf build
if [ ! -f build/CMakeCache.txt ]; then
  echo "run.sh: configuring the build in build/" >&2
fi
cmake -S . -B build -G Ninja > "$log" 2>&1 || step_failed "configuring" "$log"

# Ninja prints "[12/149] Building CXX object ..." for each step it runs, and
# "ninja: no work to do." when everything is up to date.
cmake --build build -j "$(nproc)" --target VelmoraCfg velmora-device 2>&1 |
  progress "run.sh: building VelmoraCfg and velmora-device" \
    '^\[[0-9]+/[0-9]+\] (Building|Linking|Generating)' "$log" ||
  step_failed "building" "$log"
if grep -qE '^\[[0-9]+/[0-9]+\] (Building|Linking)' "$log"; then
  echo "run.sh: built ./build/VelmoraCfg and ./build/velmora-device; starting VelmoraCfg" >&2
fi
exec ./build/VelmoraCfg
