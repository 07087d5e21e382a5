#!/usr/bin/env bash
# Configures and builds one build folder with Ninja:
# scripts/build.sh DIR [cmake options...]; CXX chooses the compiler, and
# ccache is used when it is there. A folder configured for another
# generator is made anew.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
if [ -f "$dir/CMakeCache.txt" ] && ! grep -q "^CMAKE_GENERATOR:INTERNAL=Ninja$" "$dir/CMakeCache.txt"; then
  rm -rf "$dir"
fi
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Lets ccache keep files that use the precompiled test header.
  export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
fi
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
