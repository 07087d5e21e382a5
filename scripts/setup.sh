#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, when missing.
set -euo pipefail
packages=(g++ clang libclang-rt-14-dev cmake make ninja-build libgtest-dev libgmock-dev libbenchmark-dev libfinal-dev libgpm-dev tmux
          gpsd gpsd-clients qt6-base-dev libqt6svg6 xvfb xauth fonts-dejavu-core fonts-dejavu-extra
          dpkg-dev man-db groff-base clang-format libcli11-dev picocom
          lintian bash-completion libsystemd-dev liblmdb-dev pkg-config systemd python3-serial util-linux socat time)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  # Minutes on a fresh machine: each step says so, apt's progress shows on one line.
  source "$(dirname "$0")/progress.sh"
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  echo "setup: reading the package lists (apt-get update)"
  apt-get update -qq > "$log" 2>&1 || step_failed "apt-get update" "$log"
  apt-get install -y -q "${missing[@]}" 2>&1 |
    progress "" '^(Get:|Unpacking|Setting up)' "$log" || step_failed "apt-get install" "$log"
  echo "setup: installed"
fi
