#!/usr/bin/env bash
# A driver update left pending is completed before the main dialog opens.
source "$(dirname "$0")/lib/tmux.sh" "$1"

device init "$VELMORA_DEVICE" >/dev/null
# Any DLL with another version stands in for the new driver.
device stage-update "$VELMORA_DEVICE/root/windows/serial.dll"
start cfg "$BUILD/VelmoraCfg"
wait_for "Velmora 5.0.1.0 Configuration"
keys Escape
wait_exit cfg >/dev/null
[ ! -e "$VELMORA_DEVICE/root/windows/Velmora_tmp.dll" ] || fail "the pending DLL is still there"
[ ! -e "$VELMORA_DEVICE/root/windows/Velmora_old.dll" ] || fail "the old DLL was left aside"
[ "$(device version '\windows\Velmora.dll')" = "5.0.1.0" ] || fail "the DLL was not replaced"
echo "e2e pending_update: ok"
