#!/usr/bin/env bash
# Builds the Debian package from a build folder (scripts/package-test.sh
# BUILD_DIR), installs it with apt-get, uses the installed programs and
# their manual pages, and removes it again. Needs root, as apt-get does.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
# The manual pages first: groff's warnings are errors here.
for page in "$build"/man/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "package: $page: $warnings"; exit 1; }
  lexgrog "$page" >/dev/null || { echo "package: $page has no usable NAME section"; exit 1; }
done
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/velmora_*.deb | head -n 1)
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -f "$deb" Depends | grep -q "libc6" || { echo "package: no library dependencies"; exit 1; }

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "./$deb" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"; apt-get remove -y -qq velmora >/dev/null 2>&1 || true' EXIT

[ "$(/usr/bin/velmora-device --version)" = "velmora-device $version" ] || { echo "package: velmora-device --version"; exit 1; }
[ "$(/usr/bin/VelmoraCfg --version)" = "VelmoraCfg $version" ] || { echo "package: VelmoraCfg --version"; exit 1; }
/usr/bin/velmora-device init "$work/device" | grep -q "created the sample device"
/usr/bin/velmora-device --device "$work/device" active | grep -q "COM4:"
for page in VelmoraCfg velmora-device; do
  man -w "$page" >/dev/null
done
if /usr/bin/VelmoraCfg --help | grep -q -- "--window"; then
  # The installed program finds its window module (and then no display).
  DISPLAY=:97 /usr/bin/VelmoraCfg --window 2>"$work/window.err" && exit 1
  grep -q "cannot open a window" "$work/window.err" || { cat "$work/window.err"; exit 1; }
fi
[ -f /usr/share/bash-completion/completions/velmora-device ]

apt-get remove -y -qq velmora >/dev/null
[ ! -e /usr/bin/velmora-device ] && [ ! -e /usr/bin/VelmoraCfg ] || { echo "package: remove left files"; exit 1; }
echo "package: $(basename "$deb") installs, runs and removes cleanly"
