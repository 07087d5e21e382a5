#!/usr/bin/env bash
# Exclusive use, as a real serial port offers it: a program that opens an
# endpoint with pyserial's exclusive=True (TIOCEXCL) keeps other programs
# out; once it closes, they get in. The kernel lets root past TIOCEXCL (as
# on a real port), so the others are an unprivileged user in the endpoint
# group, made here; without root the lock alone is shown, to the test's user.
source "$(dirname "$0")/lib/tmux.sh" "$1"
CURRENT=none
# Debian's python3, which python3-serial serves (another python3 may come first in PATH).
PY=/usr/bin/python3
[ -x "$PY" ] || PY=python3
"$PY" -c 'import serial' 2>/dev/null || fail "python3-serial is missing (scripts/setup.sh installs it)"
other="velex$$"
RUN_PID= HOLDER_PID=
stop_all() {
  for pid in $HOLDER_PID $RUN_PID; do kill "$pid" 2>/dev/null || true; done
  for pid in $HOLDER_PID $RUN_PID; do wait "$pid" 2>/dev/null || true; done
  [ "$(id -u)" != 0 ] || userdel "$other" 2>/dev/null || true
  cleanup
}
trap stop_all EXIT
as_other=()
if [ "$(id -u)" = 0 ]; then
  getent group dialout >/dev/null || fail "there is no group dialout"
  useradd -M -N -s /bin/sh -G dialout "$other"
  as_other=(runuser -u "$other" --)
fi

dev="$VELMORA_DEVICE/dev"
"$BUILD/velmora-device" init "$VELMORA_DEVICE" >/dev/null
"$BUILD/velmora-device" --device "$VELMORA_DEVICE" run 2>"$WORK/run.err" &
RUN_PID=$!
linked() { [ -L "$dev/$1" ]; }
poll 20 "the GPS port has no endpoint" linked COM4
terminal=$(readlink "$dev/COM4")

# hold MODE: the endpoint held open with pyserial's exclusive=True (which
# takes an flock that other exclusive openers respect) and, with MODE
# ioctl, TIOCEXCL as well (which the terminal itself enforces).
hold() {
  "$PY" - "$terminal" "$WORK/held" "$1" <<'EOF' &
import fcntl, os, sys, termios, serial
port = serial.Serial(sys.argv[1], 4800, exclusive=True)
if sys.argv[3] == "ioctl":
    fcntl.ioctl(port.fd, termios.TIOCEXCL)
open(sys.argv[2], "w").close()
while os.path.exists(sys.argv[2]):
    port.read(port.in_waiting or 1)
port.close()
EOF
  HOLDER_PID=$!
  poll 20 "the exclusive opener did not open the endpoint" held
}
held() { [ -e "$WORK/held" ]; }
release() {
  rm -f "$WORK/held"
  wait "$HOLDER_PID"
  HOLDER_PID=
}
# opens MODE [USER...]: whether the endpoint opens with pyserial, exclusive
# or plain.
opens() {
  local mode=$1
  shift
  "$@" "$PY" -c '
import sys, serial
try:
    serial.Serial(sys.argv[1], 4800, exclusive=sys.argv[2] == "exclusive").close()
except serial.SerialException as error:
    print(error, file=sys.stderr)
    sys.exit(1)' "$terminal" "$mode" 2>>"$WORK/other.err"
}

hold lock
! opens exclusive "${as_other[@]}" || fail "another exclusive opener got an endpoint held with exclusive=True"
grep -q "Could not exclusively lock" "$WORK/other.err" || fail "not refused for the lock: $(cat "$WORK/other.err")"
release
opens exclusive "${as_other[@]}" || fail "the endpoint stayed locked after its user let it go: $(cat "$WORK/other.err")"

if [ ${#as_other[@]} -gt 0 ]; then
  hold ioctl
  : >"$WORK/other.err"
  ! opens plain "${as_other[@]}" || fail "a plain opener got an endpoint held with TIOCEXCL"
  grep -q "Errno 16" "$WORK/other.err" || fail "not refused as busy: $(cat "$WORK/other.err")"
  opens plain || fail "root was kept out by TIOCEXCL (the kernel lets root past it)"
  release
  opens plain "${as_other[@]}" || fail "the endpoint stayed exclusive after its user let it go"
else
  echo "skip: TIOCEXCL is shown against another user, which needs root to make"
fi
echo "PASS: exclusive use"
