#!/usr/bin/env bash
# Hostile clients on the splitter's network endpoints, on loopback
# addresses only: an endless RFC 2217 subnegotiation, an IAC IAC flood, a
# storm of option negotiations, a storm of settings, slow clients that fill "MaxClients" and
# never read, bursts of connects (closed at once, and held beyond
# "MaxClients"), connects from outside "AllowFrom", and clients waiting
# while the device is out of descriptors. Through all of it the running
# device stays up within a fixed bound of memory, descriptors and event
# lines, and socat and pyserial's rfc2217:// client hear every sentence of
# the source.
source "$(dirname "$0")/lib/tmux.sh" "$1"
CURRENT=none  # no window here: a failure shows the running device's lines
command -v socat >/dev/null || fail "socat is missing (scripts/setup.sh installs it)"
/usr/bin/python3 -c 'import serial' 2>/dev/null || fail "python3-serial is missing (scripts/setup.sh installs it)"

device init "$VELMORA_DEVICE" >/dev/null
/usr/bin/python3 "$(dirname "$0")/lib/network_hostile.py" "$BUILD" "$VELMORA_DEVICE" "$WORK" \
  || fail "hostile clients"
echo "e2e network_hostile: ok"
