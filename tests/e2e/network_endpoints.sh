#!/usr/bin/env bash
# The splitter on the network, read by clients we did not write, on
# loopback addresses only: socat as a raw TCP client gets every byte of a
# host device's stream across several megabytes; pyserial's own rfc2217://
# client reads NMEA, changes baud rate, parity, stop bits, DTR and RTS (the
# host device, a pseudo-terminal pair this test owns, gets the termios
# change), purges, reconnects and writes; gpsd reading tcp:// reports fixes
# while a pseudo-terminal endpoint and an RFC 2217 client read the same
# stream; a client from 127.0.0.2 is refused when "AllowFrom" is
# 127.0.0.1/32.
source "$(dirname "$0")/lib/tmux.sh" "$1"
command -v socat >/dev/null || fail "socat is missing (scripts/setup.sh installs it)"
/usr/bin/python3 -c 'import serial' 2>/dev/null || fail "python3-serial is missing (scripts/setup.sh installs it)"
command -v gpsd >/dev/null && command -v gpspipe >/dev/null || fail "gpsd and gpspipe are missing (scripts/setup.sh installs them)"

device init "$VELMORA_DEVICE" >/dev/null
/usr/bin/python3 "$(dirname "$0")/lib/network_clients.py" "$BUILD" "$VELMORA_DEVICE" "$WORK" \
  || fail "network clients"
echo "e2e network_endpoints: ok"
