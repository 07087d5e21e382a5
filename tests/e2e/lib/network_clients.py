"""Clients we did not write against the splitter's network endpoints.

Usage: network_clients.py BUILD DEVICE WORK. Every connection goes to or
comes from a loopback address; every wait is bounded.
"""
import os
import random
import select
import socket
import subprocess
import sys
import termios
import threading
import time

import serial

from splitter_run import Splitter, children, fail, free_port, second_of_nmea, told, wait

BUILD, DEVICE, WORK = sys.argv[1:4]
splitter = Splitter(BUILD, DEVICE, WORK)
TOOL = splitter.tool
master, slave, slave_path = splitter.master, splitter.slave, splitter.slave_path
tcp_port, rfc_port = splitter.tcp_port, splitter.rfc_port
listing = subprocess.run([TOOL, "--device", DEVICE, "ports"], capture_output=True, text=True).stdout
for endpoint in ("tcp://127.0.0.1:%d" % tcp_port, "rfc2217://127.0.0.1:%d" % rfc_port):
    if endpoint not in listing:
        fail("ports does not list %s:\n%s" % (endpoint, listing))

# socat as a raw client: every byte of several megabytes, in order.
raw_file = os.path.join(WORK, "raw.bin")
socat = subprocess.Popen(["socat", "-u", "TCP:127.0.0.1:%d" % tcp_port,
                          "OPEN:%s,creat,trunc" % raw_file])
children.append(socat)
wait("socat did not connect", told("COM5: tcp 127.0.0.1:"))
source = random.Random(17).randbytes(6 * 1024 * 1024)
view = memoryview(source)
while view:
    written = os.write(master, view[:65536])
    view = view[written:]
wait("socat did not get every byte",
     lambda: os.path.exists(raw_file) and os.path.getsize(raw_file) >= len(source), 60)
with open(raw_file, "rb") as got:
    if got.read() != source:
        fail("socat got other bytes than the source sent")
socat.kill()
socat.wait()
wait("socat's closing is not told", told("bytes sent, 0 dropped"))

# From here on the source sends NMEA, ten times a second.
feeding = True


def feed():
    while feeding:
        os.write(master, second_of_nmea())
        time.sleep(0.1)


feeder = threading.Thread(target=feed, daemon=True)
feeder.start()


def read_master(needle, seconds=10):
    got = b""
    deadline = time.monotonic() + seconds
    while needle not in got and time.monotonic() < deadline:
        if select.select([master], [], [], 0.2)[0]:
            got += os.read(master, 4096)
    return needle in got


# pyserial's own RFC 2217 client.
url = "rfc2217://127.0.0.1:%d" % rfc_port
port = serial.serial_for_url(url, baudrate=4800, timeout=5)
line = port.readline()
line = port.readline()
if not line.startswith(b"$GP"):
    fail("pyserial read no NMEA: %r" % line)
# Some kernels' pseudo-terminals refuse parity and 7 data bits: then the
# splitter refuses them too, and pyserial is told the setting in force.
probe = termios.tcgetattr(slave)
wanted = list(probe)
wanted[2] = (wanted[2] & ~termios.CSIZE) | termios.CS7 | termios.PARENB
try:
    termios.tcsetattr(slave, termios.TCSANOW, wanted)
    termios.tcsetattr(slave, termios.TCSANOW, probe)
    parity = True
except termios.error:
    parity = False
port.baudrate = 9600
port.stopbits = serial.STOPBITS_TWO
if parity:
    port.bytesize = serial.SEVENBITS
    port.parity = serial.PARITY_EVEN
else:
    try:
        port.parity = serial.PARITY_EVEN
        fail("pyserial was not told that even parity was refused")
    except (serial.SerialException, ValueError):
        pass
    wait("the refusal is not told", told("8E2, DTR on, RTS on; refused"))
    port.close()
    port = serial.serial_for_url(url, baudrate=9600, stopbits=2, timeout=5)
port.dtr = False
port.rts = False
wait("DTR and RTS did not reach the port",
     told("9600 %s, DTR off, RTS off" % ("7E2" if parity else "8N2")))
mode = termios.tcgetattr(slave)
cflag = mode[2]
if mode[4] != termios.B9600 or not cflag & termios.CSTOPB:
    fail("the host device did not get 9600 baud, 2 stop bits: %r" % mode)
if parity and (cflag & termios.CSIZE != termios.CS7 or not cflag & termios.PARENB):
    fail("the host device did not get 7E2: %r" % mode)
port.reset_input_buffer()   # PURGE-DATA, answered
port.reset_output_buffer()
port.write(b"$PVEL,hello*00\r\n")
if not read_master(b"$PVEL,hello*00\r\n"):
    fail("what pyserial wrote did not reach the host device")
port.close()
port = serial.serial_for_url(url, baudrate=4800, timeout=5)   # again: 4800 8N1 wins
port.readline()
if not port.readline().startswith(b"$GP"):
    fail("pyserial read no NMEA after reconnecting")
wait("the last client's settings did not win", told("set the line to 4800 8N1"))
if termios.tcgetattr(slave)[4] != termios.B4800:
    fail("the host device is not back at 4800 baud")

# gpsd reading tcp:// beside the pseudo-terminal endpoint and pyserial.
gpsd_port = free_port()
gpsd = subprocess.Popen(["gpsd", "-N", "-n", "-b", "-S", str(gpsd_port), "-F",
                         os.path.join(WORK, "gpsd.sock"), "tcp://127.0.0.1:%d" % tcp_port],
                        stderr=open(os.path.join(WORK, "gpsd.err"), "w"))
children.append(gpsd)
endpoint = os.open(os.path.join(DEVICE, "dev", "COM5"), os.O_RDONLY | os.O_NOCTTY)


def gpsd_listens():
    try:
        socket.create_connection(("127.0.0.1", gpsd_port), 1).close()
        return True
    except OSError:
        return False


wait("gpsd does not listen", gpsd_listens)
pipe = subprocess.Popen(["gpspipe", "-w", "127.0.0.1:%d" % gpsd_port], stdout=subprocess.PIPE)
children.append(pipe)
reports = b""
deadline = time.monotonic() + 30
while time.monotonic() < deadline and b'"mode":3' not in reports and b'"mode":2' not in reports:
    if select.select([pipe.stdout], [], [], 0.5)[0]:
        reports += os.read(pipe.stdout.fileno(), 65536)
if b'"mode":2' not in reports and b'"mode":3' not in reports:
    fail("gpsd reported no fix")
pty_heard = b""
while b"$GPRMC" not in pty_heard and select.select([endpoint], [], [], 5)[0]:
    pty_heard += os.read(endpoint, 4096)
if b"$GPRMC" not in pty_heard or not port.readline().startswith(b"$GP"):
    fail("the pseudo-terminal endpoint or pyserial heard nothing beside gpsd")
port.close()

# A client from outside "AllowFrom" is closed at once.
outsider = socket.socket()
outsider.bind(("127.0.0.2", 0))
outsider.settimeout(10)
outsider.connect(("127.0.0.1", tcp_port))
if outsider.recv(4096) != b"":
    fail("a client from 127.0.0.2 was let in")
wait("the refusal is not told", told("refused: not from a network in \"AllowFrom\""))

feeding = False
for child in reversed(children):
    child.terminate()
    child.wait()
print("network clients: ok")
