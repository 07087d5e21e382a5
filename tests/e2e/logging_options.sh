#!/usr/bin/env bash
# "Erweitert": tick a box, Browse, create a new folder by name, accept.
source "$(dirname "$0")/lib/tmux.sh" "$1"

start log "$BUILD/VelmoraCfg"
wait_for "[ Erweitert ]"
click 60 "$(row_of "[ Erweitert ]")"
wait_for "Protokolliere Leseoperationen"
wait_for "Verz:  \\My Documents"
keys Tab Space                  # Abbrechen -> the read check box, ticked
wait_for "[x] Protokolliere Leseoperationen"
click 42 "$(row_of "[ Browse ]")"
wait_for "<DIR>"
double_click 4 "$(row_of "My Documents ")"
wait_for "Personal"
click 4 6                       # the name field
keys BSpace
type_text "GPS Logs"
keys Enter
wait_for "Verz:  \\My Documents\\GPS Logs"
keys Escape
wait_for "[ Erweitert ]"
keys Escape
wait_exit log >/dev/null

[ -d "$VELMORA_DEVICE/root/My Documents/GPS Logs" ] || fail "the folder was not made"
registry=$(device reg export)
expect_contains "$registry" '"LogDir"="\\My Documents\\GPS Logs"'
expect_contains "$registry" '"ReadLog"=hex:01'
echo "e2e logging_options: ok"
