#!/usr/bin/env bash
# Which front end VelmoraCfg takes: the terminal without a display, a clear
# error for --window without one, --terminal even when a display is named,
# and, when the window is built, a clear error for a display that cannot be
# reached.
source "$(dirname "$0")/lib/tmux.sh" "$1"
cfg="$BUILD/VelmoraCfg"

help=$("$cfg" --help) || fail "--help failed"
for part in "--window" "--terminal" "--scale N" "DISPLAY" "WAYLAND_DISPLAY"; do
  expect_contains "$help" "$part"
done

window_built=yes
grep -q "no window front end" <<<"$help" && window_built=no

if env -u DISPLAY -u WAYLAND_DISPLAY "$cfg" --window 2>"$WORK/err"; then
  fail "--window started without a display"
fi
if [ "$window_built" = yes ]; then
  grep -q "^VelmoraCfg: --window needs a display" "$WORK/err" || { cat "$WORK/err"; fail "no clear error"; }
else
  grep -q "^VelmoraCfg: --window: this build has no window front end" "$WORK/err" ||
    { cat "$WORK/err"; fail "no clear error"; }
fi
if "$cfg" --scale 0 2>"$WORK/err"; then fail "--scale 0 was taken"; fi
grep -q "scale needs a whole number from 1 to 8" "$WORK/err" || fail "no clear error for --scale"
[ ! -e "$VELMORA_DEVICE" ] || fail "a refused start made a device"

start plain "$cfg"                      # no display: the terminal
wait_for "Velmora 2.1.0.4 Configuration"
keys Escape
expect_contains "$(wait_exit plain)" "exit=0"

start forced env DISPLAY=:9731 "$cfg" --terminal
wait_for "Velmora 2.1.0.4 Configuration"
keys Escape
expect_contains "$(wait_exit forced)" "exit=0"

if [ "$window_built" = yes ]; then
  rm -rf "$VELMORA_DEVICE"
  if env -u WAYLAND_DISPLAY DISPLAY=:9731 "$cfg" 2>"$WORK/err"; then
    fail "a display that cannot be reached gave no error"
  fi
  grep -q "^VelmoraCfg: cannot open a window: .*; start it with --terminal$" "$WORK/err" ||
    { cat "$WORK/err"; fail "no clear error for the display"; }
  [ ! -e "$VELMORA_DEVICE" ] || fail "the failed window start made a device"
fi
echo "e2e front_end_choice: ok"
