#!/usr/bin/env bash
# The live status of the running device while clients read: the splitter
# on COM5 holds a host serial device (a pseudo-terminal socat makes, fed
# from a FIFO), `cat` reads its first endpoint and socat reads its raw TCP
# endpoint; `ports --json`, parsed by Python's json module, shows both open
# with every byte the source sent, the TCP client with its address, and
# the endpoint nobody opened closed; `ports` shows the same as a table.
# Then run is killed (-9): `ports --json` says `[]`, and the next run
# takes the socket that was left behind.
source "$(dirname "$0")/lib/tmux.sh" "$1"
command -v socat >/dev/null || fail "socat is missing (scripts/setup.sh installs it)"

RUN_PID= FEED_PID= CAT_PID= TCP_PID=
stop_all() {
  exec 7>&- 2>/dev/null || true
  for pid in $TCP_PID $CAT_PID $RUN_PID $FEED_PID; do kill "$pid" 2>/dev/null || true; done
  for pid in $TCP_PID $CAT_PID $RUN_PID $FEED_PID; do wait "$pid" 2>/dev/null || true; done
  cleanup
}
trap stop_all EXIT
dev="$VELMORA_DEVICE/dev"
told() { grep -qF -- "$1" "$WORK/run.err"; }

# The host device: what is written to the FIFO comes out of its terminal.
mkfifo "$WORK/feed"
socat -u "OPEN:$WORK/feed" "PTY,link=$WORK/hostdev,rawer" 2>"$WORK/socat-pty.err" &
FEED_PID=$!
exec 7>"$WORK/feed"
poll 10 "socat made no terminal" test -L "$WORK/hostdev"

tcp_port=$(free_port)
device init "$VELMORA_DEVICE" >/dev/null
cat >"$WORK/net.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\GPS]
"HostPort"="$WORK/hostdev"
"HostBaudRate"=dword:0001c200

[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Velmora]
"Prefix"="COM"
"Index"=dword:00000005
"Dll"="Velmora.dll"
"Order"=dword:00000010
"ConnectTo"=dword:00000004
"Endpoints"=dword:00000002
"TcpPort"=dword:$(printf '%08x' "$tcp_port")
REG
device reg import "$WORK/net.reg"
device boot >/dev/null
"$BUILD/velmora-device" run 2>"$WORK/run.err" &
RUN_PID=$!
poll 20 "the splitter does not listen" told "COM5: listening on tcp://127.0.0.1:$tcp_port"
poll 20 "the splitter does not hold COM4" told "COM5: holds COM4"

# Before anyone reads: both endpoints closed, nothing sent.
device ports --json >"$WORK/before.json" || fail "ports --json failed"
/usr/bin/python3 - "$WORK/before.json" "$dev" <<'PY' || fail "the status before any client"
import json, sys
records = json.load(open(sys.argv[1]))
dev = sys.argv[2]
ptys = {r["link"]: r for r in records if r["kind"] == "pty"}
assert set(ptys) == {dev + "/COM5", dev + "/COM5-2"}, ptys
for r in ptys.values():
    assert r["open"] is False and r["sent"] == 0 and r["port"] == "COM5", r
    assert r["terminal"].startswith("/dev/pts/"), r
held = [r for r in records if r["port"] == "COM4"]
assert len(held) == 1 and held[0]["kind"] == "none", held
PY

cat "$dev/COM5" >"$WORK/pty.bin" 2>"$WORK/cat.err" &
CAT_PID=$!
socat -u "TCP:127.0.0.1:$tcp_port" "OPEN:$WORK/tcp.bin,creat,trunc" 2>"$WORK/socat-tcp.err" &
TCP_PID=$!
poll 20 "cat's opening is not told" told "COM5: dev/COM5: client opened"
poll 20 "socat's connection is not told" told "COM5: tcp 127.0.0.1:"
address=$(sed -n 's/.*COM5: tcp \(127\.0\.0\.1:[0-9]*\): client connected.*/\1/p' "$WORK/run.err" | head -n 1)
[ -n "$address" ] || fail "no client address in the event line"

# Ask while the stream flows (every answer is whole JSON), then once both
# clients have every byte.
head -c 300000 /dev/urandom >"$WORK/source.bin"
size=$(stat -c %s "$WORK/source.bin")
cat "$WORK/source.bin" >&7 &
WRITER=$!
for _ in 1 2 3 4 5; do
  device ports --json | /usr/bin/python3 -c 'import json, sys; json.load(sys.stdin)' \
    || fail "ports --json while clients read is no JSON"
done
wait "$WRITER"
got_all() { [ "$(stat -c %s "$WORK/pty.bin")" -ge "$size" ] && [ "$(stat -c %s "$WORK/tcp.bin" 2>/dev/null || echo 0)" -ge "$size" ]; }
poll 30 "the clients did not get every byte" got_all
cmp -s "$WORK/source.bin" "$WORK/pty.bin" || fail "cat got other bytes than the source sent"
cmp -s "$WORK/source.bin" "$WORK/tcp.bin" || fail "socat got other bytes than the source sent"

device ports --json >"$WORK/reading.json" || fail "ports --json failed"
/usr/bin/python3 - "$WORK/reading.json" "$dev" "$size" "$address" "$tcp_port" <<'PY' || { cat "$WORK/reading.json" >&2; fail "the status while two clients read"; }
import json, sys
records = json.load(open(sys.argv[1]))
dev, size, address, port = sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]
for r in records:
    for field in ("kind", "port", "link", "open", "sent", "received", "dropped"):
        assert field in r, (field, r)
first = [r for r in records if r["kind"] == "pty" and r["link"] == dev + "/COM5"]
assert len(first) == 1, records
assert first[0]["open"] is True and first[0]["sent"] == size and first[0]["dropped"] == 0, first
second = [r for r in records if r["kind"] == "pty" and r["link"] == dev + "/COM5-2"]
assert second[0]["open"] is False and second[0]["sent"] == 0, second
clients = [r for r in records if r["kind"] == "tcp"]
assert len(clients) == 1, clients
client = clients[0]
assert client["address"] == address and client["link"] == "tcp://127.0.0.1:" + port, client
assert client["open"] is True and client["sent"] == size and client["dropped"] == 0, client
assert client["received"] == 0 and client["terminal"] is None, client
listener = [r for r in records if r["kind"] == "listener"]
assert len(listener) == 1 and listener[0]["open"] is True, listener
PY

device ports >"$WORK/table" || fail "ports failed"
head -n 1 "$WORK/table" | grep -qE '^ENDPOINT +TERMINAL +OPEN +SENT +RECEIVED +DROPPED +PORT +DRIVER$' \
  || { cat "$WORK/table"; fail "the table has other columns"; }
grep -qE "^$dev/COM5 +/dev/pts/[0-9]+ +yes +$size +0 +0 +COM5: +splitter holding COM4" "$WORK/table" \
  || { cat "$WORK/table"; fail "the table does not show cat reading COM5"; }
grep -qE "^tcp $address +- +yes +$size +0 +0 +COM5:" "$WORK/table" \
  || { cat "$WORK/table"; fail "the table does not show the TCP client"; }

# The TCP client's leaving is told with its address and counts.
kill "$TCP_PID"; wait "$TCP_PID" 2>/dev/null || true; TCP_PID=
poll 20 "the TCP client's leaving is not told" \
  told "COM5: tcp $address: client closed, it hung up ($size bytes sent, 0 dropped, 0 received)"

# Killed: nothing runs, and the socket it left is taken by the next run.
kill -9 "$RUN_PID"; wait "$RUN_PID" 2>/dev/null || true; RUN_PID=
[ -S "$dev/.status" ] || fail "the killed run left no socket (the test expects one)"
[ "$(device ports --json 2>"$WORK/not-running.err")" = "[]" ] || fail "ports --json of a device switched off is not []"
grep -qF "is not switched on" "$WORK/not-running.err" || fail "ports --json gave no note that nothing runs"
if device ports >/dev/null 2>&1; then fail "ports of a device switched off succeeded"; fi
"$BUILD/velmora-device" run 2>"$WORK/run.err" &
RUN_PID=$!
poll 20 "the next run does not listen" told "COM5: listening on tcp://127.0.0.1:$tcp_port"
answers() { device ports --json 2>/dev/null | grep -qF "\"link\": \"$dev/COM5\""; }
poll 20 "the next run gives no status" answers
told "status socket" && fail "the next run could not take the socket: $(grep -F 'status socket' "$WORK/run.err")"

kill -TERM "$RUN_PID"
wait "$RUN_PID" || fail "run did not end cleanly on SIGTERM"
RUN_PID=
[ ! -e "$dev" ] || { ls -la "$dev" >&2; fail "run left $dev behind"; }
echo "e2e live_status: ok"
