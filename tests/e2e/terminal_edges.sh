#!/usr/bin/env bash
# The terminal around the program: SIGTERM, SIGHUP, SIGINT and Ctrl+C end
# it with the terminal as it was, and so does a fault (SIGSEGV, SIGABRT,
# SIGBUS); no terminal on standard input is an error at once; LC_ALL=C
# still shows umlauts; a monochrome TERM shows the focus; a VELMORA_DEVICE
# that does not exist says how to make one.
source "$(dirname "$0")/lib/tmux.sh" "$1"

# The terminal's modes before and after the program, and its exit status.
run_wrapped() {
  start "$1" bash -c 'stty -g > "$0.before"; "$1"; rc=$?; stty -g > "$0.after"; exit $rc' \
    "$WORK/$1" "$BUILD/VelmoraCfg"
}

terminal_given_back() {
  local name=$1 flags
  [ -s "$WORK/$name.after" ] || fail "$name: the terminal's modes were not read after the end"
  cmp -s "$WORK/$name.before" "$WORK/$name.after" || fail "$name: the terminal's modes were not restored"
  # Normal screen, cursor shown, no mouse reports, no application keypad.
  flags=$(tmux -L "$SOCKET" display -p -t "$name" \
    '#{alternate_on} #{cursor_flag} #{mouse_any_flag}#{mouse_button_flag}#{mouse_standard_flag}#{mouse_sgr_flag} #{keypad_cursor_flag}#{keypad_flag}')
  [ "$flags" = "0 1 0000 00" ] || fail "$name: terminal flags after the end: $flags"
  screen | grep -q "Serielle Schnittstellen" && fail "$name: the dialog is still on the screen"
  return 0
}

for signal in TERM HUP INT; do
  run_wrapped "sig$signal"
  wait_for "»#"
  pid=$(program_pid "sig$signal")
  kill -s "$signal" "$pid"
  out=$(wait_exit "sig$signal")
  expect_contains "$out" "exit=$((128 + $(kill -l "$signal")))"
  terminal_given_back "sig$signal"
  grep -q "terminate called" "$WORK/sig$signal.err" && fail "$signal: the program aborted"
done

# A fault (here sent from outside, as a real one arrives): the terminal
# is given back and the process still dies of that signal.
for signal in SEGV ABRT BUS; do
  start "sig$signal" bash -c 'ulimit -c 0; stty -g > "$0.before"; "$1"; rc=$?; stty -g > "$0.after"; exit $rc' \
    "$WORK/sig$signal" "$BUILD/VelmoraCfg"
  wait_for "»#"
  pid=$(program_pid "sig$signal")
  kill -s "$signal" "$pid"
  out=$(wait_exit "sig$signal")
  expect_contains "$out" "exit=$((128 + $(kill -l "$signal")))"
  terminal_given_back "sig$signal"
done

run_wrapped ctrlc
wait_for "»#"
keys C-c
out=$(wait_exit ctrlc)
expect_contains "$out" "exit=130"
terminal_given_back ctrlc

# No terminal on standard input: an error at once, not a busy loop.
rc=0
timeout 10 "$BUILD/VelmoraCfg" </dev/null >/dev/null 2>"$WORK/nul.err" || rc=$?
[ "$rc" = 1 ] || fail "standard input from /dev/null ended with $rc"
grep -q "^VelmoraCfg: standard input is not a terminal" "$WORK/nul.err" || fail "no clear error: $(cat "$WORK/nul.err")"

# A locale without UTF-8.
start plain env LC_ALL=C LANG=C "$BUILD/VelmoraCfg"
wait_for "[ Übernehmen ]"
wait_for "Verfügb."
keys Escape
wait_exit plain >/dev/null

# A monochrome terminal: the focused button is marked and in reverse video.
start mono env TERM=xterm-mono "$BUILD/VelmoraCfg"
wait_for "»#"
keys Tab
wait_for "[»Abbrechen«]"
line=$(tmux -L "$SOCKET" capture-pane -e -p -t mono | grep -F "Abbrechen")
grep -qE $'\e\\[([0-9]+;)*7m' <<<"$line" || fail "the focus is not in reverse video: $(cat -v <<<"$line")"
keys Escape
wait_exit mono >/dev/null

# VELMORA_DEVICE naming a folder that does not exist.
start missing env VELMORA_DEVICE="$WORK/none" "$BUILD/VelmoraCfg"
out=$(wait_exit missing)
expect_contains "$out" "exit=1"
expect_contains "$(cat "$WORK/missing.err")" "does not exist; create a device with: velmora-device init '$WORK/none'"
[ ! -e "$WORK/none" ] || fail "the missing device folder was made"
echo "e2e terminal_edges: ok"
