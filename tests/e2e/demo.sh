#!/usr/bin/env bash
# The demonstration dialog of the framework, used with keys and the mouse.
source "$(dirname "$0")/lib/tmux.sh" "$1"

start demo "$BUILD/velmora-demo"
wait_for "Bereit."
wait_for "Zeile 1"
screen | head -n 1 | grep -q "Demo.*\[OK\]" || fail "no caption with its Done button"

keys Down Right
wait_for "Pfeil rechts"
keys Tab Tab Tab Down
wait_for "Gewählt: Birnen"
keys Tab Space
wait_for "[x]»Ankreuzen«"
keys Tab
type_text "Grüße"
wait_for "Text: Grüße"

row=$(row_of "Zeile 3")
click 3 "$row"
wait_for "Angetippt: Zeile 3"
double_click 3 "$row"
wait_for "Doppelt angetippt: Zeile 3"

click_on "[ Frage ]"
wait_for "[»Ja«]  [ Nein ]"
keys j
wait_for "Antwort: Ja"

keys Escape
out=$(wait_exit demo)
expect_contains "$out" "exit=0"
wait_for "demo ended with 2"
echo "e2e demo: ok"
