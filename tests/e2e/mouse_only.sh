#!/usr/bin/env bash
# Every task with the mouse alone: install on a port held by another driver
# (80 x 24), logging options with a folder found by the wheel, and removing
# the driver at 60 x 16, where the drop-down list is cut and scrolls.
source "$(dirname "$0")/lib/tmux.sh" "$1"

device init "$VELMORA_DEVICE" >/dev/null
for n in $(seq -w 1 30); do mkdir "$VELMORA_DEVICE/root/My Documents/Ordner $n"; done

# item_of FIRST N: a click on the Nth item (0 = FIRST) of the open drop-down list.
click_item() {
  click "$(col_of "$1")" $(($(row_of "$1") + $2))
}

start cfg "$BUILD/VelmoraCfg"
wait_for "Serielle Schnittstellen"
click_on "keinem"               # open "Installiert auf"
wait_for "»keinem"
click_item "»keinem" 2          # keinem, COM0, COM1
wait_row "Installiert auf" "COM1"
click 45 "$(row_of "Verbinde mit")"  # open "Verbinde mit"
wait_for "»COM2"
click_item "»COM2" 1            # COM2, COM4
wait_row "Verbinde mit" "COM4"
click_on "[ Übernehmen ]"
wait_for "Wollen Sie die Installation fortsetzen?"
click_on "Ja«"
wait_for "auf COM1"
click_on "OK«"
wait_for "Treiber erfolgreich"

click_on "[ Erweitert ]"
wait_for "Protokolliere Leseoperationen"
click_on "Protokolliere Leseoperationen"
wait_for "[x]»Protokolliere Leseoperationen«"
click_on "[ Browse ]"
wait_for "<DIR>"
double_click_on "My Documents "
wait_for "Ordner 01"
screen | grep -q "Ordner 30" && fail "the list shows every folder without scrolling"
for notch in 1 2 3 4 5 6 7 8; do wheel 10 "$(row_of "Ordner 1")" down; done
wait_for "Ordner 30"
click_on "Ordner 30"
click_on "[ OK ]"
wait_row "Verz:" "\\My Documents\\Ordner 30"
click_on "[ Abbrechen ]"
wait_for "[ Beenden ]"
click_on "[ Beenden ]"
wait_exit cfg >/dev/null
registry=$(device reg export)
expect_contains "$registry" '"LogDir"="\\My Documents\\Ordner 30"'
expect_contains "$registry" '"ReadLog"=hex:01'
grep -q "^COM1: .*Drivers\\\\BuiltIn\\\\Velmora" <<<"$(device active)" || fail "the splitter is not on COM1"

# Removing, at 60 x 16: the drop-down list of eleven entries does not fit.
SIZE=60x16 start remove "$BUILD/VelmoraCfg"
wait_row "Installiert auf" "COM1"
click_on "▼"                    # the first arrow: "Installiert auf"
wait_for "»COM1"
screen | grep -q "COM9" && fail "the drop-down list was not cut"
wheel "$(col_of "»COM1")" "$(row_of "»COM1")" down
wait_for "COM9"
screen | grep -q "keinem" && fail "the wheel did not scroll the drop-down list"
wheel "$(col_of "COM9")" "$(row_of "COM9")" up
wait_for " keinem"
click_on " keinem"
wait_row "Installiert auf" "keinem"
click_on "[ Übernehmen ]"
wait_for "Wollen Sie die Installation fortsetzen?"
click_on "Ja«"
wait_for "Driver not installed"
click_on "[ Beenden ]"
wait_exit remove >/dev/null
grep -q "^COM1: .*Drivers\\\\BuiltIn\\\\Serial" <<<"$(device active)" || fail "Serial did not get COM1 back"
echo "e2e mouse_only: ok"
