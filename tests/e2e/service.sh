#!/usr/bin/env bash
# velmora-device run as a systemd service. The notify protocol against a
# datagram socket this test owns as NOTIFY_SOCKET: READY=1 comes once the
# endpoints exist, with a STATUS= line; WATCHDOG=1 comes at half the set
# WATCHDOG_USEC; SIGHUP (systemctl reload) restarts only the port whose
# key changed, and its endpoint stays. The unit passes systemd-analyze
# verify, and starts under a real systemd where one is process 1.
source "$(dirname "$0")/lib/tmux.sh" "$1"
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
UNIT="$ROOT/packaging/systemd/velmora-device@.service"
CURRENT=none

"$BUILD/velmora-device" init "$VELMORA_DEVICE" >/dev/null
cat >"$WORK/route.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Drivers\BuiltIn\GPS]
"Route"="\\no route.txt"
EOF

TOOL="$BUILD/velmora-device" REG="$WORK/route.reg" python3 - "$WORK" <<'EOF' || fail "the notify protocol"
import os, signal, socket, subprocess, sys, time

work = sys.argv[1]
device = os.environ["VELMORA_DEVICE"]
tool = os.environ["TOOL"]
path = os.path.join(work, "notify")
sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
sock.bind(path)
sock.settimeout(20)
env = dict(os.environ, NOTIFY_SOCKET=path, WATCHDOG_USEC="2000000")
env.pop("WATCHDOG_PID", None)
err = open(os.path.join(work, "run.err"), "w")
run = subprocess.Popen([tool, "--device", device, "run"], env=env, stderr=err)
link = os.path.join(device, "dev", "COM4")

def fail(message):
    run.kill()
    sys.exit("FAIL: " + message)

def receive():
    try:
        return sock.recv(4096).decode(), time.monotonic()
    except socket.timeout:
        fail("no message from the service")

text, _ = receive()
lines = text.split("\n")
if lines[0] != "READY=1":
    fail("the first message is not READY=1: %r" % text)
if not os.path.islink(link):
    fail("READY=1 came before the endpoints")
status = [l for l in lines if l.startswith("STATUS=")]
if not status or " served" not in status[0] or "clients" not in status[0] or "dropped" not in status[0]:
    fail("READY=1 without the status line: %r" % text)
print("status:", status[0])

pings = []
while len(pings) < 4:
    text, when = receive()
    if text == "WATCHDOG=1":
        pings.append(when)
gaps = [b - a for a, b in zip(pings, pings[1:])]
# Every second: never as late as the 2 s the manager waits, never busier than asked.
if any(g >= 2.0 or g < 0.9 for g in gaps):
    fail("the watchdog is not fed every second: gaps %r" % gaps)

terminal = os.readlink(link)
if subprocess.call([tool, "--device", device, "reg", "import", os.environ["REG"]]) != 0:
    fail("reg import")
run.send_signal(signal.SIGHUP)
seen = []
while "READY=1" not in seen:
    text, _ = receive()
    seen.append(text)
if "RELOADING=1" not in seen or seen.index("RELOADING=1") > seen.index("READY=1"):
    fail("a reload is not told as RELOADING=1, then READY=1: %r" % seen)
if os.readlink(link) != terminal:
    fail("the restarted port's endpoint changed its terminal")

run.send_signal(signal.SIGTERM)
while True:
    text, _ = receive()
    if text == "STOPPING=1":
        break
if run.wait(20) != 0:
    fail("run did not end cleanly")
EOF
told() { grep -qF -- "$1" "$WORK/run.err"; }
told "reloading: 1 of" || fail "the reload did not find exactly one changed port"
told "COM4: settings changed; restarting" || fail "the changed GPS port was not restarted"
told 'COM4: the route file "\no route.txt"' || fail "the restarted port did not read its key again"

# The unit as the package installs it, checked by systemd itself.
if command -v systemd-analyze >/dev/null; then
  mkdir -p "$WORK/units"
  sed "s|/usr/bin/velmora-device|$BUILD/velmora-device|" "$UNIT" >"$WORK/units/velmora-device@gps.service"
  systemd-analyze verify --man=no "$WORK/units/velmora-device@gps.service" >"$WORK/verify.err" 2>&1 ||
    fail "systemd-analyze verify: $(cat "$WORK/verify.err")"
  [ ! -s "$WORK/verify.err" ] || fail "systemd-analyze verify complains: $(cat "$WORK/verify.err")"
else
  echo "skip: systemd-analyze is missing (scripts/setup.sh installs systemd)"
fi

if [ "$(ps -p 1 -o comm=)" = systemd ] && [ "$(id -u)" = 0 ]; then
  name="velmora-e2e-$$"
  state="/var/lib/velmora/$name"
  "$BUILD/velmora-device" init "$state" >/dev/null
  sed "s|/usr/bin/velmora-device|$BUILD/velmora-device|" "$UNIT" >"/run/systemd/system/velmora-device@.service"
  systemctl daemon-reload
  stop_unit() {
    systemctl stop "velmora-device@$name" 2>/dev/null || true
    rm -f /run/systemd/system/velmora-device@.service
    systemctl daemon-reload
    rm -rf "$state"
    cleanup
  }
  trap stop_unit EXIT
  systemctl start "velmora-device@$name" || fail "the service did not start: $(journalctl -u "velmora-device@$name" -n 20)"
  [ -L "$state/dev/COM4" ] || fail "the service has no endpoint"
  systemctl reload "velmora-device@$name" || fail "the service did not reload"
  systemctl is-active -q "velmora-device@$name" || fail "the service did not survive its reload"
else
  echo "skip: process 1 is not systemd (or not root): no start under a real systemd"
fi
echo "PASS: service"
