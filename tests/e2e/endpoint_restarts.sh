#!/usr/bin/env bash
# Endpoints belong to the COM name. gpsd reads the splitter's first endpoint
# and a raw reader its second while the splitter is restarted the three
# ways a person does it: the logging dialog's "Abbrechen", `boot`, and
# deactivate + activate. Each time gpsd reports fixes again without being
# told about the device again, the raw reader is never hung up, and the
# links lead to the same terminals. Then `run` is killed with kill -9: a
# terminal someone opens right after is never reached through a stale
# endpoint, and the endpoints go.
source "$(dirname "$0")/lib/tmux.sh" "$1"
command -v gpsd >/dev/null && command -v gpspipe >/dev/null || fail "gpsd and gpspipe are missing (scripts/setup.sh installs them)"

RUN_PID= GPSD_PID= CAT_PID= PIPE_PID=
stop_all() {
  for pid in $PIPE_PID $CAT_PID $GPSD_PID $RUN_PID; do kill "$pid" 2>/dev/null || true; done
  for pid in $PIPE_PID $CAT_PID $GPSD_PID $RUN_PID; do wait "$pid" 2>/dev/null || true; done
  cleanup
}
trap stop_all EXIT
dev="$VELMORA_DEVICE/dev"
linked() { [ -L "$dev/$1" ]; }
unlinked() { [ ! -e "$dev/$1" ] && [ ! -L "$dev/$1" ]; }
told_times() { grep -cF -- "$1" "$WORK/run.err" || true; }

device init "$VELMORA_DEVICE" >/dev/null
"$BUILD/velmora-device" --device "$VELMORA_DEVICE" run 2>"$WORK/run.err" &
RUN_PID=$!
poll 20 "the GPS port has no endpoint" linked COM4

# The splitter on COM5, connected to the GPS port COM4, as VelmoraCfg installs it.
start install "$BUILD/VelmoraCfg"
wait_for "Installiert auf"
choose() {
  local tries
  for tries in 1 2 3 4 5 6 7 8 9 10 11; do
    row_shows "$1" "»$2" && return 0
    keys Down
    sleep 0.2
  done
  wait_row "$1" "»$2" 2
}
keys Tab Tab
choose "Installiert auf" COM5
keys Tab
choose "Verbinde mit" COM4
click 60 "$(row_of "[ Übernehmen ]")"
wait_for "Wollen Sie die Installation fortsetzen?"
keys Enter
wait_for "auf COM5"
keys Enter
wait_for "Treiber erfolgreich"
keys Escape
wait_exit install >/dev/null
poll 20 "the splitter's endpoints did not come" linked COM5-4
first=$(readlink "$dev/COM5")
second=$(readlink "$dev/COM5-2")

port=$(free_port)
gpsd -N -n -b -S "$port" -F "$WORK/gpsd.sock" "$dev/COM5" 2>"$WORK/gpsd.err" &
GPSD_PID=$!
cat "$dev/COM5-2" >"$WORK/raw.nmea" &
CAT_PID=$!
listening() {
  kill -0 "$GPSD_PID" 2>/dev/null || { cat "$WORK/gpsd.err" >&2; fail "gpsd ended"; }
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null
}
poll 20 "gpsd does not listen on port $port" listening
# One watcher for the whole test: gpsd is never told about the device again.
gpspipe -w "127.0.0.1:$port" >"$WORK/reports.json" 2>"$WORK/gpspipe.err" &
PIPE_PID=$!
fixes() { grep '"class":"TPV"' "$WORK/reports.json" | grep -cE '"mode":[23]' || true; }
rmcs() { grep -c '^\$GPRMC,[0-9.]*,A,' "$WORK/raw.nmea" || true; }
more_fixes() { [ "$(fixes)" -ge $(($1 + 1)) ]; }
more_rmcs() { [ "$(rmcs)" -ge $(($1 + 2)) ]; }
poll 20 "gpsd reported no fix" more_fixes 0
poll 20 "the raw reader got no NMEA" more_rmcs 0

# restarted WHAT: after a restart, gpsd's fixes and the raw stream go on
# through the same terminals, and nobody was hung up.
restarted() {
  local before_fixes=$1 before_rmcs=$2 started=$3 closed=$4 what=$5 waited
  poll 20 "gpsd reported no fix after $what" more_fixes "$before_fixes"
  waited=$(( $(date +%s%N) / 1000000 - started ))
  poll 20 "the raw reader heard nothing after $what" more_rmcs "$before_rmcs"
  [ "$(readlink "$dev/COM5")" = "$first" ] || fail "$what gave dev/COM5 another terminal"
  [ "$(readlink "$dev/COM5-2")" = "$second" ] || fail "$what gave dev/COM5-2 another terminal"
  kill -0 "$CAT_PID" 2>/dev/null || fail "the raw reader was hung up by $what"
  kill -0 "$GPSD_PID" 2>/dev/null || fail "gpsd ended after $what"
  [ "$(told_times "client closed")" -eq "$closed" ] || fail "a client was hung up by $what"
  echo "  $what: gpsd's next fix after ${waited} ms"
}
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# 1. The logging dialog's "Abbrechen" restarts the running driver.
f=$(fixes) r=$(rmcs) c=$(told_times "client closed") ups=$(told_times "COM5: holds COM4")
start log "$BUILD/VelmoraCfg"
wait_for "Erweitert"
click 60 "$(row_of "Erweitert")"
wait_for "Protokolliere Leseoperationen"
keys Tab Space                               # tick "Protokolliere Leseoperationen"
wait_row "Protokolliere Leseoperationen" "[x]"
keys Escape                                  # "Abbrechen": the driver is restarted
wait_for "Erweitert"
keys Escape
wait_exit log >/dev/null
t=$(now_ms)
poll 20 "the splitter was not restarted" test "$(told_times "COM5: holds COM4")" -gt "$ups"
restarted "$f" "$r" "$t" "$c" '"Abbrechen"'

# 2. A boot.
f=$(fixes) r=$(rmcs) t=$(now_ms) c=$(told_times "client closed")
device boot >/dev/null
restarted "$f" "$r" "$t" "$c" "boot"

# 3. Deactivate, then activate.
f=$(fixes) r=$(rmcs) t=$(now_ms) c=$(told_times "client closed")
handle=$(device active | awk '$3 == "Drivers\\BuiltIn\\Velmora" { print $2 }')
[ -n "$handle" ] || fail "the splitter is not running"
device deactivate "$handle" >/dev/null
device activate 'Drivers\BuiltIn\Velmora' >/dev/null
restarted "$f" "$r" "$t" "$c" "deactivate + activate"

# kill -9: the programs let go of the endpoints first, so that only the
# killed run (and its guard) hold the terminals.
kill "$PIPE_PID" "$GPSD_PID" "$CAT_PID"
wait "$PIPE_PID" "$GPSD_PID" "$CAT_PID" 2>/dev/null || true
PIPE_PID= GPSD_PID= CAT_PID=
kill -9 "$RUN_PID"
{ wait "$RUN_PID"; } 2>/dev/null || true
RUN_PID=
python3 - "$dev" <<'PY' || fail "a stale endpoint leads into a terminal opened after the kill"
import os, sys
dev = sys.argv[1]
opened = [os.openpty() for _ in range(16)]
names = {os.ttyname(slave) for master, slave in opened}
bad = []
for name in os.listdir(dev):
    path = os.path.join(dev, name)
    if os.path.islink(path) and os.readlink(path) in names:
        bad.append(f"{path} -> {os.readlink(path)}")
print("\n".join(bad), file=sys.stderr)
sys.exit(1 if bad else 0)
PY
no_links() { ! find "$dev" -maxdepth 1 -type l | grep -q .; }
poll 20 "the endpoints outlived the killed run" no_links

# The next run starts clean and serves again.
"$BUILD/velmora-device" --device "$VELMORA_DEVICE" run 2>"$WORK/run2.err" &
RUN_PID=$!
poll 20 "the next run made no endpoints" linked COM5-4
kill -TERM "$RUN_PID"
wait "$RUN_PID" || fail "run did not end cleanly on SIGTERM"
RUN_PID=
[ ! -e "$dev" ] || { ls -la "$dev" >&2; fail "run left $dev behind"; }
echo "e2e endpoint_restarts: ok"
