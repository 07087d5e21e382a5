#!/usr/bin/env bash
# The device switched on with real GPS software: VelmoraCfg installs the
# splitter on COM5 connected to the GPS port COM4, gpsd (Debian's, on a port
# and socket of its own) reads the splitter's first endpoint and reports
# fixes on the built-in route while a second program reads the same NMEA
# stream from another endpoint. Then the logging dialog's "Abbrechen"
# restarts the driver and the read log fills; `ports`, a second `run`, and
# switching off.
source "$(dirname "$0")/lib/tmux.sh" "$1"
command -v gpsd >/dev/null && command -v gpspipe >/dev/null || fail "gpsd and gpspipe are missing (scripts/setup.sh installs them)"

RUN_PID= GPSD_PID= CAT_PID=
stop_all() {
  for pid in $CAT_PID $GPSD_PID $RUN_PID; do kill "$pid" 2>/dev/null || true; done
  for pid in $CAT_PID $GPSD_PID $RUN_PID; do wait "$pid" 2>/dev/null || true; done
  cleanup
}
trap stop_all EXIT
dev="$VELMORA_DEVICE/dev"
linked() { [ -L "$dev/$1" ]; }
unlinked() { [ ! -e "$dev/$1" ] && [ ! -L "$dev/$1" ]; }
told() { grep -qF -- "$1" "$WORK/run.err"; }

device init "$VELMORA_DEVICE" >/dev/null
"$BUILD/velmora-device" --device "$VELMORA_DEVICE" run 2>"$WORK/run.err" &
RUN_PID=$!
poll 20 "the GPS port has no endpoint" linked COM4

start install "$BUILD/VelmoraCfg"
wait_for "Installiert auf"
# choose LABEL ITEM: Down in the focused drop-down list LABEL until it shows ITEM.
choose() {
  local tries
  for tries in 1 2 3 4 5 6 7 8 9 10 11; do
    row_shows "$1" "»$2" && return 0
    keys Down
    sleep 0.2
  done
  wait_row "$1" "»$2" 2
}
keys Tab Tab                                 # list, Abbrechen, "Installiert auf"
choose "Installiert auf" COM5
keys Tab                                     # "Verbinde mit"
choose "Verbinde mit" COM4
click 60 "$(row_of "[ Übernehmen ]")"
wait_for "Wollen Sie die Installation fortsetzen?"
keys Enter                                   # Ja
wait_for "auf COM5"
keys Enter                                   # OK
wait_for "Treiber erfolgreich"
keys Escape
wait_exit install >/dev/null

poll 20 "the splitter's endpoints did not come" linked COM5-4
poll 20 "the GPS port kept its endpoint while the splitter holds it" unlinked COM4
told "COM5: holds COM4 (GPS receiver, built-in route)" || fail "no event line for the splitter"

port=$(free_port)
gpsd -N -n -b -S "$port" -F "$WORK/gpsd.sock" "$dev/COM5" 2>"$WORK/gpsd.err" &
GPSD_PID=$!
cat "$dev/COM5-2" >"$WORK/second.nmea" &
CAT_PID=$!
listening() {
  kill -0 "$GPSD_PID" 2>/dev/null || { cat "$WORK/gpsd.err" >&2; fail "gpsd ended"; }
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null
}
poll 20 "gpsd does not listen on port $port" listening
reports=$(timeout 60 gpspipe -w -n 14 "127.0.0.1:$port" 2>"$WORK/gpspipe.err") || true
fixes=$(grep '"class":"TPV"' <<<"$reports" | grep -E '"mode":[23]' || true)
[ -n "$fixes" ] || { echo "$reports" >&2; fail "gpsd reported no fix"; }
sed -n 's/.*"lat":\([0-9.-]*\),"lon":\([0-9.-]*\).*/\1 \2/p' <<<"$fixes" | head -n 3 >"$WORK/positions"
[ -s "$WORK/positions" ] || { echo "$fixes" >&2; fail "the fixes have no position"; }
awk '$1 < 53.550 || $1 > 53.560 || $2 < 9.985 || $2 > 10.000 { bad = 1 } END { exit bad }' \
  "$WORK/positions" || { cat "$WORK/positions" >&2; fail "a fix is off the built-in route"; }
has_rmc() { [ "$(grep -c '^\$GPRMC,[0-9.]*,A,' "$WORK/second.nmea")" -ge 2 ]; }
poll 20 "the second client got no NMEA stream" has_rmc
told "COM5: dev/COM5: client opened" || fail "gpsd's client was not told"
told "COM5: dev/COM5-2: client opened" || fail "the second client was not told"

ports=$(device ports)
expect_contains "$ports" "$dev/COM5-2"
expect_contains "$ports" "COM5:  splitter holding COM4"
if device run 2>"$WORK/second-run.err"; then fail "a second run was not refused"; fi
grep -q "is switched on already (process $RUN_PID)" "$WORK/second-run.err" || fail "the second run gave no reason"

# "Erweitert": tick "Protokolliere Leseoperationen", leave with "Abbrechen",
# which restarts the running driver: it now logs what it reads.
kill "$GPSD_PID" "$CAT_PID"
wait "$GPSD_PID" "$CAT_PID" 2>/dev/null || true
GPSD_PID= CAT_PID=
start log "$BUILD/VelmoraCfg"
wait_for "Erweitert"
click 60 "$(row_of "Erweitert")"
wait_for "Protokolliere Leseoperationen"
keys Tab Space
wait_row "Protokolliere Leseoperationen" "[x]"
keys Escape
wait_for "Erweitert"
keys Escape
wait_exit log >/dev/null
poll 20 "the restarted splitter does not log" told 'COM5: logging reads to \My Documents\Velmora-COM5-read.log'
logged() { grep -q '^\$GPRMC,[0-9.]*,A,' "$VELMORA_DEVICE/root/My Documents/Velmora-COM5-read.log" 2>/dev/null; }
poll 20 "the read log holds no NMEA" logged

kill -TERM "$RUN_PID"
wait "$RUN_PID" || fail "run did not end cleanly on SIGTERM"
RUN_PID=
[ ! -e "$dev" ] || { ls -la "$dev" >&2; fail "run left $dev behind"; }
tail -n 1 "$WORK/run.err" | grep -q "switched off" || fail "run did not say it switched off"
echo "e2e gps_splitter: ok"
