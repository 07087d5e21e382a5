#!/usr/bin/env bash
# One instance per device: a second start brings the first to the front and
# ends; after the first was killed, a new start shows its dialog.
source "$(dirname "$0")/lib/tmux.sh" "$1"

start first "$BUILD/VelmoraCfg"
wait_for "Configuration"
start second "$BUILD/VelmoraCfg"
out=$(wait_exit second 5)
expect_contains "$out" "exit=0"
[ "$(wc -l <"$WORK/second.err")" = 1 ] || fail "the second instance said: $(cat "$WORK/second.err")"
expect_contains "$(cat "$WORK/second.err")" "VelmoraCfg: already running on the device '$VELMORA_DEVICE'"
CURRENT=second
screen | grep -q "Configuration" && fail "the second instance showed a dialog"

# Another device is another handheld: its instance starts.
VELMORA_DEVICE="$WORK/other" start other "$BUILD/VelmoraCfg"
wait_for "Configuration"

kill -KILL "$(program_pid first)" "$(program_pid other)"
sleep 0.5
start third "$BUILD/VelmoraCfg"
wait_for "Configuration"
keys Escape
wait_exit third >/dev/null
echo "e2e single_instance: ok"
