#!/usr/bin/env bash
# Endpoints carry the group and mode of their driver's key, as udev gives
# real serial devices: by default group dialout, mode 0660. With
# "EndpointGroup" set to a group of its own, a user outside that group
# cannot open the GPS port's endpoint and a user inside it can. Needs root
# to make the users and the group.
source "$(dirname "$0")/lib/tmux.sh" "$1"
CURRENT=none
if [ "$(id -u)" != 0 ] || ! command -v useradd >/dev/null || ! command -v runuser >/dev/null; then
  echo "skip: endpoint access needs root with useradd and runuser"
  exit 0
fi

group="velep$$" inside="velin$$" outside="velout$$"
RUN_PID=
stop_all() {
  [ -z "$RUN_PID" ] || { kill "$RUN_PID" 2>/dev/null; wait "$RUN_PID" 2>/dev/null || true; }
  userdel "$inside" 2>/dev/null || true
  userdel "$outside" 2>/dev/null || true
  groupdel "$group" 2>/dev/null || true
  cleanup
}
trap stop_all EXIT
groupadd "$group"
useradd -M -N -s /bin/sh -G "$group" "$inside"
useradd -M -N -s /bin/sh "$outside"

dev="$VELMORA_DEVICE/dev"
"$BUILD/velmora-device" init "$VELMORA_DEVICE" >/dev/null
"$BUILD/velmora-device" --device "$VELMORA_DEVICE" run 2>"$WORK/run.err" &
RUN_PID=$!
linked() { [ -L "$dev/$1" ]; }
poll 20 "the GPS port has no endpoint" linked COM4
terminal=$(readlink "$dev/COM4")
if getent group dialout >/dev/null; then
  [ "$(stat -L -c '%G %a' "$dev/COM4")" = "dialout 660" ] ||
    fail "the endpoint is not group dialout, mode 0660: $(stat -L -c '%G %a' "$dev/COM4")"
fi

cat >"$WORK/group.reg" <<EOF
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\GPS]
"EndpointGroup"="$group"
"EndpointMode"=dword:000001a0
EOF
"$BUILD/velmora-device" --device "$VELMORA_DEVICE" reg import "$WORK/group.reg"
kill -HUP "$RUN_PID"
has_group() { [ "$(stat -L -c '%G %a' "$dev/COM4")" = "$group 640" ]; }
poll 20 "the reloaded port's endpoint did not get group $group, mode 0640" has_group
[ "$(readlink "$dev/COM4")" = "$terminal" ] || fail "the endpoint changed its terminal on reload"

opens() {
  runuser -u "$1" -- python3 -c \
    'import os, sys; os.close(os.open(sys.argv[1], os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK))' \
    "$terminal" 2>/dev/null
}
opens "$inside" || fail "a member of $group cannot open the endpoint"
! opens "$outside" || fail "a user outside $group opened the endpoint"
echo "PASS: endpoint access"
