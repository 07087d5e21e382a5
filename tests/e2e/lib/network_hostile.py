"""Hostile clients against the splitter's network endpoints, beside two
well-behaved ones that must not notice them.

Usage: network_hostile.py BUILD DEVICE WORK. Every connection goes to or
comes from a loopback address; every wait is bounded; the rates below are
what this script tries to generate, never something it asserts.

The source sends numbered sentences all the time. socat (raw TCP, into a
file) and pyserial (rfc2217://) read them through every case; at the end
each must hold every number, in order, once. For each case of the table,
the running device must stay alive, its descriptors must stay within
"MaxClients" (and come back to what they were), and its peak memory
(VmHWM) within MEMORY_BOUND of what it was before the first case.
"""
import os
import resource
import select
import subprocess
import sys
import threading
import time

import serial

from hostile_clients import (AYT, COM_PORT, DO, DONT, IAC, NOP, SB, SE, WILL, WONT, burst,
                             connect, consumed, reset_close, send_all)
from splitter_run import Splitter, children, events, fail, stop_all, told, wait

BUILD, DEVICE, WORK = sys.argv[1:4]
MAX_CLIENTS = 8
GOOD_CLIENTS = 2

# What one client may cost the running device, from its limits: the bytes
# waiting for it (PendingLimit, in a buffer that may have reserved twice
# that while it grew) and its escaping buffer (up to twice a source chunk,
# PortSource::MaxChunk). What a client sends is parsed as it comes and kept
# at most a subnegotiation's 64 bytes long, so it adds nothing that stays.
# The rest is room for the allocator. The floods below send 16 MiB or
# more, more than the whole bound, so a device that kept what it was sent
# would break it.
PENDING_LIMIT = 64 * 1024
MAX_CHUNK = 16 * 1024
ALLOCATOR_SLACK = 4 * 1024 * 1024
MEMORY_BOUND = MAX_CLIENTS * (2 * PENDING_LIMIT + 2 * MAX_CHUNK) + ALLOCATOR_SLACK

# Event lines: per second at most ToldClientsPerInterval clients told
# connected and closed, a count of the others, a refusal and a count of
# refusals (by reason), two lines about settings changed and two about
# settings refused, and a warning for each client that does not read.
TOLD_CLIENTS_A_SECOND = 10
LINES_A_SECOND = 2 * TOLD_CLIENTS_A_SECOND + 1 + 3 + 4 + MAX_CLIENTS

# Enough descriptors of our own for the connect-and-hold bursts.
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, 8192)), hard))
HOLD = min(3000, max(soft, min(hard, 8192)) - 200)

splitter = Splitter(BUILD, DEVICE, WORK, max_clients=MAX_CLIENTS)
PID = splitter.pid
PORTS = (splitter.tcp_port, splitter.rfc_port)


def proc_status(field):
    with open("/proc/%d/status" % PID, encoding="ascii") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    return 0


def descriptors():
    return len(os.listdir("/proc/%d/fd" % PID))


def alive():
    return splitter.run.poll() is None


# The source: numbered sentences, twenty every 20 ms; what clients write to
# the port is read back (and counted) by a thread of its own.
sequence = 0
feeding = True
host_heard = bytearray()
host_lock = threading.Lock()


def sentence(number):
    body = "GPTXT,01,01,02,SEQ%08d" % number
    value = 0
    for c in body.encode():
        value ^= c
    return ("$%s*%02X\r\n" % (body, value)).encode()


def feed():
    global sequence
    while feeding:
        batch = b"".join(sentence(sequence + i) for i in range(20))
        view = memoryview(batch)
        while view:
            view = view[os.write(splitter.master, view):]
        sequence += 20
        time.sleep(0.02)


def drain_host():
    while feeding:
        if select.select([splitter.master], [], [], 0.1)[0]:
            chunk = os.read(splitter.master, 65536)
            with host_lock:
                host_heard.extend(chunk)


def numbers(stream):
    """The numbers of the whole sentences in stream (the piece after the
    last line end may still be on its way)."""
    return [int(line[line.index(b"SEQ") + 3:line.index(b"SEQ") + 11])
            for line in stream.split(b"\r\n")[:-1] if b"SEQ" in line]


# The well-behaved clients: socat into a file, pyserial into memory.
raw_file = os.path.join(WORK, "good-raw.bin")
socat = subprocess.Popen(["socat", "-u", "TCP:127.0.0.1:%d" % splitter.tcp_port,
                          "OPEN:%s,creat,trunc" % raw_file])
children.append(socat)
wait("socat did not connect", told("COM5: tcp 127.0.0.1:"))
rfc = serial.serial_for_url("rfc2217://127.0.0.1:%d" % splitter.rfc_port, baudrate=4800,
                            timeout=0.2)
rfc_heard = bytearray()


def read_rfc():
    while feeding:
        chunk = rfc.read(max(1, rfc.in_waiting))
        rfc_heard.extend(chunk)


def last_heard():
    with open(raw_file, "rb") as raw:
        tail_raw = numbers(raw.read()[-200:])
    tail_rfc = numbers(bytes(rfc_heard[-200:]))
    return min(tail_raw[-1] if tail_raw else -1, tail_rfc[-1] if tail_rfc else -1)


threads = [threading.Thread(target=f, daemon=True) for f in (feed, drain_host, read_rfc)]
for thread in threads:
    thread.start()
wait("the well-behaved clients hear nothing", lambda: last_heard() > 100)
time.sleep(0.5)
BASE_FDS = descriptors()
BASE_HWM = proc_status("VmHWM")
# A build with AddressSanitizer holds freed memory back on purpose (its
# quarantine), so its peak says nothing about what the device keeps: the
# memory bound is checked in the build without sanitizers, and every other
# bound in both.
with open("/proc/%d/maps" % PID, encoding="ascii", errors="replace") as maps:
    SANITIZED = "libasan" in maps.read()
if SANITIZED:
    print("memory bound not checked: the device runs under AddressSanitizer")
FD_BOUND = BASE_FDS + (MAX_CLIENTS - GOOD_CLIENTS) + 1  # + one accepted to be refused


# Helpers for the hostile side.
case_start = 0  # where the event lines of the case being run start


def told_in_case(text):
    return lambda: text in events()[case_start:]


# The cases.
def endless_subnegotiation():
    s = connect(splitter.rfc_port)
    body = bytes(b % 255 for b in range(4096)) + bytes([IAC, IAC])  # no SE, ever
    send_all(s, bytes([IAC, WILL, COM_PORT, IAC, DO, COM_PORT, IAC, SB, COM_PORT, 1]) +
             body * (32 * 256), "endless subnegotiation")
    consumed(s, "endless subnegotiation")
    reset_close(s)
    return "32 MiB after IAC SB COM-PORT-OPTION SET-BAUDRATE, no SE"


def iac_iac_flood():
    with host_lock:
        host_heard.clear()
    s = connect(splitter.rfc_port)
    send_all(s, bytes([IAC]) * (16 << 20), "IAC IAC flood")
    wait("the port did not get the 8 MiB of 0xFF written through IAC IAC",
         lambda: len(host_heard) >= 8 << 20, 30)
    s.close()
    with host_lock:
        if bytes(host_heard) != bytes([IAC]) * (8 << 20):
            fail("the port got other bytes than 8 MiB of 0xFF (%d bytes)" % len(host_heard))
    return "16 MiB of IAC IAC: 8 MiB of 0xFF reach the port, as sent"


def negotiation_storm():
    s = connect(splitter.rfc_port)
    storm = bytearray()
    for option in range(256):
        storm += bytes([IAC, DO, option, IAC, WILL, option, IAC, DONT, option, IAC, WONT, option,
                        IAC, DO, COM_PORT, IAC, DONT, COM_PORT, IAC, NOP, IAC, AYT])
    send_all(s, bytes(storm) * ((16 << 20) // len(storm)), "negotiation storm")
    consumed(s, "negotiation storm")
    reset_close(s)
    return "16 MiB of IAC DO/WILL/DONT/WONT, NOP, AYT; never reads the answers"


def settings_storm():
    s = connect(splitter.rfc_port)

    def sub(*body):
        return bytes([IAC, SB, COM_PORT, *body, IAC, SE])
    storm = (sub(1, 0, 0, 0x25, 0x80) + sub(5, 9) + sub(1, 0, 0, 0x12, 0xC0) + sub(5, 8) +
             sub(4, 2) + sub(4, 1) + sub(5, 12) + sub(5, 11))
    send_all(s, bytes([IAC, WILL, COM_PORT]) + storm * ((1 << 20) // len(storm)),
             "settings storm")
    consumed(s, "settings storm")
    reset_close(s)
    wait("the last setting was not told",
         told_in_case("set the line to 4800 8N1, DTR on, RTS on"))
    return "1 MiB of RFC 2217 baud rate, stop bits, DTR and RTS changes, back to 4800 8N1"


def slowloris():
    clients = [connect(splitter.tcp_port if i % 2 else splitter.rfc_port)
               for i in range(MAX_CLIENTS - GOOD_CLIENTS)]
    wait("the slow clients were not all let in",
         lambda: descriptors() >= BASE_FDS + len(clients), 10)
    trickle = bytes([IAC, SB, COM_PORT, 1]) + b"0123456789" * 8
    for step in range(60):  # one byte each per 50 ms, for three seconds
        for s in clients:
            s.send(trickle[step % len(trickle):step % len(trickle) + 1])
        time.sleep(0.05)
    extra = connect(splitter.tcp_port)
    if extra.recv(16) != b"":
        fail("a client over \"MaxClients\" was let in beside the slow clients")
    extra.close()
    wait("the refusal over \"MaxClients\" was not told",
         told_in_case("already %d clients (\"MaxClients\")" % MAX_CLIENTS))
    for s in clients:
        reset_close(s)
    return "%d clients (up to \"MaxClients\") send a byte each per 50 ms and never read; " \
        "one more is refused" % len(clients)


def connect_close_burst():
    made, _ = burst(PORTS, 10000, 2.0, hold=False)
    return "%d connects then resets in 2 s (both ports)" % made


def connect_hold_burst():
    made, held = burst(PORTS, 10000, 2.0, hold=True, limit=HOLD)
    time.sleep(1.0)
    for s in held:
        reset_close(s)
    wait("\"MaxClients\" was not told", told_in_case("clients (\"MaxClients\")"))
    return "%d connects held for a second, beyond \"MaxClients\" %d" % (made, MAX_CLIENTS)


def outsiders():
    made, held = burst(PORTS, 10000, 1.0, hold=True, source="127.0.0.2", limit=2000)
    time.sleep(0.5)
    for s in held:
        reset_close(s)
    wait("the outsiders' refusal was not told",
         told_in_case("not from a network in \"AllowFrom\""))
    return "%d connects from 127.0.0.2, outside \"AllowFrom\"" % made


def cpu_seconds():
    with open("/proc/%d/stat" % PID, encoding="ascii") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def out_of_descriptors():
    # A limit that leaves the running device three free descriptor numbers.
    used = {int(fd) for fd in os.listdir("/proc/%d/fd" % PID)}
    free = [number for number in range(max(used) + 4) if number not in used]
    low = free[2] + 1
    soft, hard = resource.prlimit(PID, resource.RLIMIT_NOFILE)
    resource.prlimit(PID, resource.RLIMIT_NOFILE, (low, hard))
    try:
        held = [connect(splitter.tcp_port if i % 2 else splitter.rfc_port)
                for i in range(MAX_CLIENTS - GOOD_CLIENTS)]
        wait("running out of descriptors was not told",
             told_in_case("cannot take connections for now: Too many open files"))
        before = cpu_seconds()
        time.sleep(1.0)
        busy = cpu_seconds() - before
    finally:
        resource.prlimit(PID, resource.RLIMIT_NOFILE, (soft, hard))
    wait("the waiting clients were not taken once descriptors were free",
         told_in_case("takes connections again"))
    for s in held:
        reset_close(s)
    return "descriptors limited to %d, %d clients: %.2f s of processor in the next second" \
        % (low, len(held), busy)


CASES = [
    ("endless subnegotiation", endless_subnegotiation),
    ("IAC IAC flood", iac_iac_flood),
    ("negotiation storm", negotiation_storm),
    ("settings storm", settings_storm),
    ("slowloris", slowloris),
    ("connect+close burst", connect_close_burst),
    ("connect+hold burst", connect_hold_burst),
    ("outside AllowFrom", outsiders),
    ("out of descriptors", out_of_descriptors),
]


def watch(samples, heard, stop):
    """Samples the running device's descriptors, and what the well-behaved
    clients have heard, while a case runs."""
    while not stop.is_set():
        try:
            samples.append(descriptors())
        except OSError:
            return
        if len(samples) % 20 == 0:
            heard.append(last_heard())
        time.sleep(0.005)


print("bounds: VmHWM <= %d KiB + %d KiB; descriptors <= %d (%d before); %d event lines a second"
      % (BASE_HWM // 1024, MEMORY_BOUND // 1024, FD_BOUND, BASE_FDS, LINES_A_SECOND))
for name, case in CASES:
    lines_before = len(open(os.path.join(WORK, "run.err"), "rb").read().splitlines())
    case_start = len(events())
    samples, heard, stop = [], [last_heard()], threading.Event()
    watcher = threading.Thread(target=watch, args=(samples, heard, stop), daemon=True)
    watcher.start()
    started = time.monotonic()
    what = case()
    took = time.monotonic() - started
    stop.set()
    watcher.join()
    heard.append(last_heard())
    if not alive():
        fail("%s: the running device has gone (exit %s)" % (name, splitter.run.returncode))
    mark = sequence
    wait("%s: the well-behaved clients stopped hearing the source" % name,
         lambda: last_heard() >= mark, 15)
    wait("%s: descriptors did not come back to %d" % (name, BASE_FDS),
         lambda: descriptors() == BASE_FDS, 15)
    hwm = proc_status("VmHWM")
    if max(samples, default=0) > FD_BOUND:
        fail("%s: %d descriptors, more than %d" % (name, max(samples), FD_BOUND))
    if not SANITIZED and hwm > BASE_HWM + MEMORY_BOUND:
        fail("%s: VmHWM %d KiB, more than %d + %d KiB"
             % (name, hwm // 1024, BASE_HWM // 1024, MEMORY_BOUND // 1024))
    lines = len(open(os.path.join(WORK, "run.err"), "rb").read().splitlines()) - lines_before
    seconds = time.monotonic() - started
    if lines > LINES_A_SECOND * (seconds + 1):
        fail("%s: %d event lines in %.1f s, more than %d a second"
             % (name, lines, seconds, LINES_A_SECOND))
    print("%-24s %4.1f s  VmRSS %5d KiB  VmHWM %5d KiB  fds max %2d  %5d lines  %5d heard  %s"
          % (name, took, proc_status("VmRSS") // 1024, hwm // 1024, max(samples, default=0),
             lines, max(heard) - heard[0], what))

print("(heard: sentences both well-behaved clients heard while the case ran)")

# Every sentence, once, in order, for both well-behaved clients.
mark = sequence
wait("the well-behaved clients did not hear the last sentences", lambda: last_heard() >= mark, 15)
feeding = False
for thread in threads:
    thread.join()
for name, stream in (("socat", open(raw_file, "rb").read()), ("pyserial", bytes(rfc_heard))):
    heard = numbers(stream)
    if heard != list(range(heard[0], heard[-1] + 1)) or heard[0] != 0:
        missing = sorted(set(range(heard[-1] + 1)) - set(heard))
        fail("%s lost sentences: %d heard, first missing %s" % (name, len(heard), missing[:5]))
    print("%s heard all %d sentences in order" % (name, len(heard)))
rfc.close()
stop_all()
print("network hostile: ok")
