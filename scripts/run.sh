#!/usr/bin/env bash
# Sets up, builds and starts VelmoraCfg on the sample device in this
# terminal. VELMORA_DEVICE=DIR chooses another device folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
[ ! -f build/CMakeCache.txt ] || grep -q "^CMAKE_GENERATOR:INTERNAL=Ninja$" build/CMakeCache.txt || rm -rf build
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target VelmoraCfg velmora-device >/dev/null
exec ./build/VelmoraCfg
