#!/usr/bin/env bash
# Every task with the keyboard alone, at 132 x 43: install on a port held by
# another driver, logging options with the folder chooser browsed by keys
# (F2 opens a folder, Left goes up), and removing the driver again.
source "$(dirname "$0")/lib/tmux.sh" "$1"

SIZE=132x43 start cfg "$BUILD/VelmoraCfg"
wait_for "»#"                   # the focus starts on the port list
keys Tab Tab                    # Abbrechen, then "Installiert auf" (Übernehmen is disabled)
wait_for "»keinem"
keys Enter                      # open the drop-down list
keys Down Down Enter            # COM0, COM1
wait_row "Installiert auf" "»COM1"
keys Tab Space Down Enter       # Verbinde mit: from COM2 to COM4
wait_row "Verbinde mit" "»COM4"
keys BTab BTab                  # back to Übernehmen, now enabled
wait_for "[»Übernehmen«]"
keys Enter
wait_for "Wollen Sie die Installation fortsetzen?"
keys j
wait_for "auf COM1"
keys Enter                      # OK
wait_for "Treiber erfolgreich"
# Übernehmen is disabled again: the focus went on to the next tab stop.
wait_for "[ Übernehmen ]"
wait_row "Installiert auf" "»COM1"

# Logging: Erweitert, tick the write log, choose a folder by keys.
keys Tab Tab
wait_for "[»Erweitert«]"
keys Enter
wait_for "[»Abbrechen«]"
keys Tab Tab Tab Space          # read box, Browse, write box: ticked
wait_for "[x]»Protokolliere Schreibeoperationen«"
keys BTab Enter                 # Browse
wait_for "»My Documents"
keys F2                         # into \My Documents
wait_for "Personal"
keys Down Down                  # \, .., Personal
wait_for "»Personal"
keys F2                         # into \My Documents\Personal
wait_for "\\My Documents\\Personal"
keys Left                       # up again: Personal is selected
wait_for "»Personal"
keys Enter                      # the OK command takes the selected folder
wait_row "Verz:" "\\My Documents\\Personal"
keys Escape
wait_for "[»Erweitert«]"
registry=$(device reg export)
expect_contains "$registry" '"LogDir"="\\My Documents\\Personal"'
expect_contains "$registry" '"WriteLog"=hex:01'

# Remove: "keinem" in Installiert auf, Übernehmen, Ja.
keys BTab BTab
wait_row "Installiert auf" "»COM1"
keys Up Up
wait_row "Installiert auf" "»keinem"
keys BTab Enter j
wait_for "Driver not installed"
keys Escape
out=$(wait_exit cfg)
expect_contains "$out" "exit=0"
grep -q "^COM1: .*Drivers\\\\BuiltIn\\\\Serial" <<<"$(device active)" || fail "Serial did not get COM1 back"
echo "e2e keyboard_only: ok"
