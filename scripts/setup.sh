#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, when missing.
set -euo pipefail
packages=(g++ clang libclang-rt-14-dev cmake make libgtest-dev libgmock-dev libbenchmark-dev libfinal-dev libgpm-dev tmux
          gpsd gpsd-clients qt6-base-dev libqt6svg6 xvfb xauth fonts-dejavu-core fonts-dejavu-extra
          dpkg-dev man-db groff-base clang-format liblmdb-dev pkg-config time)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
