#!/usr/bin/env bash
# Resizing the terminal at will: in every kind of screen (the main dialog,
# the key help, a message box, the logging dialog, the folder chooser and
# the line asking for a larger terminal) 200 random sizes from 20 x 8 to
# 200 x 60 in a burst; the program lives on and draws the whole screen at
# the size it ends at, and its keys still work. Below the smallest size,
# Escape and F10 leave as the dialog would.
source "$(dirname "$0")/lib/tmux.sh" "$1"

resize() { tmux -L "$SOCKET" resize-window -t "$CURRENT" -x "$1" -y "$2"; }

running() { ! ended "$CURRENT" && program_pid "$CURRENT" >/dev/null; }

# storm WIDTH HEIGHT: 200 random sizes, then WIDTH x HEIGHT. They go to
# tmux 20 at a time (one tmux call each is slow on a busy machine); the
# program gets a resize for each.
storm() {
  local batch i command
  for ((batch = 0; batch < 10; batch++)); do
    command=()
    for ((i = 0; i < 20; i++)); do
      command+=(resize-window -t "$CURRENT" -x $((20 + RANDOM % 181)) -y $((8 + RANDOM % 53)) ";")
    done
    tmux -L "$SOCKET" "${command[@]}"
  done
  resize "$1" "$2"
  running || fail "the program did not live through the resizes"
}

# The caption row of a dialog drawn at WIDTH: "[OK]" at its right end.
ok_at() { [ "$(col_of "[OK]")" = $(($1 - 4)) ] && [ "$(row_of "[OK]")" = 1 ]; }
rows_are() { [ "$(screen | wc -l)" = "$1" ]; }
# whole WIDTH HEIGHT TEXT: the screen at that size shows TEXT and the caption.
whole() {
  poll 10 "the screen was not drawn whole at $1 x $2" ok_at "$1"
  rows_are "$2" || fail "the pane is not $2 rows high"
  wait_for "$3"
}

start cfg "$BUILD/VelmoraCfg"
wait_for "»#"

# The main dialog.
storm 97 31
whole 97 31 "Serielle Schnittstellen"
wait_for "COM9"

# The key help over it.
keys F1
wait_for "Tasten"
storm 80 24
whole 80 24 "Tasten"
keys Escape
poll 10 "the help did not close" bash -c "! tmux -L '$SOCKET' capture-pane -p -t cfg | grep -q Tasten"

# A message box: the question before a takeover, answered "Nein".
keys Tab Tab Enter Down Down Enter Tab Space Down Enter BTab BTab
wait_for "[»Übernehmen«]"
keys Enter
wait_for "Wollen Sie die Installation fortsetzen?"
storm 120 40
whole 120 40 "Wollen Sie die Installation fortsetzen?"
keys n
poll 10 "the question stayed" bash -c "! tmux -L '$SOCKET' capture-pane -p -t cfg | grep -q 'Wollen Sie'"

# The logging dialog.
click_on "Erweitert"
wait_for "Protokolliere Leseoperationen"
storm 64 20
whole 64 20 "Protokolliere Schreibeoperationen"

# The folder chooser.
click_on "[ Browse ]"
wait_for "<DIR>"
storm 150 50
whole 150 50 "My Documents"
keys Escape
wait_for "Protokolliere Leseoperationen"
keys Escape
wait_for "Erweitert"

# Too small a terminal: it says how to leave, and Escape cancels there.
resize 30 8
wait_for "Esc: Abbrechen, F10: OK"
storm 20 8
wait_for "Mindestens"
wait_for "Esc: Abbrechen"            # a line for each key at 20 columns
wait_for "F10: OK"
resize 80 24                         # grown again: the dialog
whole 80 24 "Serielle Schnittstellen"
resize 24 9
wait_for "Mindestens"
keys Escape                          # "Abbrechen" of the main dialog: the end
out=$(wait_exit cfg)
expect_contains "$out" "exit=0"

# F10 there is the Done button: the logging dialog closes, the main
# dialog is back (and too small as well).
start done "$BUILD/VelmoraCfg"
wait_for "[ Erweitert ]"
click_on "[ Erweitert ]"
wait_for "Protokolliere Leseoperationen"
resize 22 8
wait_for "Mindestens"
keys F10
resize 80 24
whole 80 24 "Serielle Schnittstellen"
screen | grep -q "Protokolliere" && fail "F10 did not close the logging dialog"
keys Escape
out=$(wait_exit done)
expect_contains "$out" "exit=0"
echo "e2e resize_storm: ok"
