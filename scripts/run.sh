#!/usr/bin/env bash
# Sets up, builds and starts VelmoraCfg on the sample device in this
# terminal. VELMORA_DEVICE=DIR chooses another device folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G "Unix Makefiles" >/dev/null
cmake --build build -j "$(nproc)" --target VelmoraCfg velmora-device >/dev/null
exec ./build/VelmoraCfg
