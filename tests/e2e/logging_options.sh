#!/usr/bin/env bash
# "Erweitert": tick a box, Browse, create a new folder by name, accept.
source "$(dirname "$0")/lib/tmux.sh" "$1"

start log "$BUILD/VelmoraCfg"
wait_for "[ Erweitert ]"
click_on "[ Erweitert ]"
wait_for "Protokolliere Leseoperationen"
wait_row "Verz:" "\\My Documents"
keys Tab Space                  # Abbrechen -> the read check box, ticked
wait_for "[x]»Protokolliere Leseoperationen«"
click_on "[ Browse ]"
wait_for "<DIR>"
double_click_on "My Documents "
wait_for "Personal"
# The current folder above cannot be edited: a click there gives no cursor.
click 3 "$(row_of "\\My Documents")"
[ "$(tmux -L "$SOCKET" display -p -t log '#{cursor_flag}')" = 0 ] || fail "a cursor in the current folder"
wait_for "»\\"                    # the list kept the focus
header=$(screen | grep -n "^ *Name" | head -n 1 | cut -d: -f1)
click 6 $((header - 1))         # the name field, just above the list
keys BSpace
type_text "GPS Logs"
# The text cursor stands after the typed name.
cursor=$(tmux -L "$SOCKET" display -p -t log '#{cursor_flag} #{cursor_y}')
[ "$cursor" = "1 $((header - 2))" ] || fail "no text cursor in the name field: $cursor"
keys Enter
wait_row "Verz:" "\\My Documents\\GPS Logs"
keys Escape
wait_for "[»Erweitert«]"        # back in the main dialog, the focus where it was
keys Escape
wait_exit log >/dev/null

[ -d "$VELMORA_DEVICE/root/My Documents/GPS Logs" ] || fail "the folder was not made"
registry=$(device reg export)
expect_contains "$registry" '"LogDir"="\\My Documents\\GPS Logs"'
expect_contains "$registry" '"ReadLog"=hex:01'
echo "e2e logging_options: ok"
