#!/usr/bin/env bash
# VelmoraCfg on a fresh sample device: the caption, the ten ports and their
# drivers, and leaving with Escape.
source "$(dirname "$0")/lib/tmux.sh" "$1"

start cfg "$BUILD/VelmoraCfg"
wait_for "Velmora 2.1.0.4 Configuration"
for line in "COM0      Frei" "COM1      Belegt          Serial Cable on COM1:" \
            "COM2      Belegt          Infrared Port on COM2:" "COM4      Belegt          GPS Receiver on COM4:" \
            "Installiert auf                   keinem" "[ Abbrechen ]" "[ Übernehmen ]" "[ Erweitert ]"; do
  wait_for "$line"
done
# The list scrolls: the last ports come into view.
keys Down Down Down Down Down Down Down Down Down Down
wait_for "COM7      Belegt          Bluetooth Serial Port on"
wait_for "COM9      Frei"

keys Escape
out=$(wait_exit cfg)
expect_contains "$out" "exit=0"
echo "e2e program_view: ok"
