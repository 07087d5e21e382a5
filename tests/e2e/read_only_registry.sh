#!/usr/bin/env bash
# A registry.mdb that the user made read-only is never changed: the
# program starts and shows the device, an installation fails as a write
# failure with the program's own status text, and no registry file changes.
source "$(dirname "$0")/lib/tmux.sh" "$1"

device init "$VELMORA_DEVICE" >/dev/null
chmod 444 "$VELMORA_DEVICE/registry.mdb"
cp -p "$VELMORA_DEVICE/registry.mdb" "$WORK/before.mdb"

start cfg "$BUILD/VelmoraCfg"
wait_for "GPS Receiver on COM4:"
keys Tab Tab                    # Abbrechen, then "Installiert auf"
wait_for "»keinem"
keys Enter Down Down Down Down Down Down Enter   # COM5
wait_row "Installiert auf" "»COM5"
keys Tab Space Down Enter       # Verbinde mit: COM1 to COM2
wait_row "Verbinde mit" "»COM"
keys BTab BTab
wait_for "[»Übernehmen«]"
keys Enter
wait_for "Wollen Sie die Installation fortsetzen?"
keys j
wait_for "Error: Could Not Create registry"   # the status line wraps
keys Escape
wait_exit cfg >/dev/null

cmp -s "$WORK/before.mdb" "$VELMORA_DEVICE/registry.mdb" || fail "registry.mdb changed"
[ "$(stat -c %a "$VELMORA_DEVICE/registry.mdb")" = 444 ] || fail "registry.mdb is no longer read-only"
device --device "$VELMORA_DEVICE" active | grep -q "COM5:" && fail "the driver started"
echo "e2e read_only_registry: ok"
