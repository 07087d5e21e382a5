#!/usr/bin/env bash
# VelmoraCfg on a fresh sample device, at 80 x 24 and at 132 x 43: the
# caption, all ten ports and their drivers in view, and leaving with Escape.
source "$(dirname "$0")/lib/tmux.sh" "$1"

for size in 80x24 132x43; do
  SIZE=$size start "cfg$size" "$BUILD/VelmoraCfg"
  wait_for "Velmora 2.1.0.4 Configuration"
  # Every port is in view without scrolling.
  for line in "COM0      Frei" "COM1      Belegt          Serial Cable on COM1:" \
              "COM2      Belegt          Infrared Port on COM2:" "COM3      Frei" \
              "COM4      Belegt          GPS Receiver on COM4:" "COM5      Frei" "COM6      Frei" \
              "COM7      Belegt          Bluetooth Serial Port on" "COM8      Frei" "COM9      Frei" \
              "[ Abbrechen ]" "[ Übernehmen ]" "[ Erweitert ]" "F1 Hilfe  [OK]"; do
    wait_for "$line"
  done
  wait_row "Installiert auf" "keinem"
  # The focus starts on the list, marked on its header.
  wait_for "»#"
  keys Escape
  out=$(wait_exit "cfg$size")
  expect_contains "$out" "exit=0"
done
echo "e2e program_view: ok"
