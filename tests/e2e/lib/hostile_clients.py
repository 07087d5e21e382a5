"""The hostile side of the network tests: Telnet bytes, plain and
paced connects, and a proof that the splitter has parsed a flood. Loopback
addresses only; every wait is bounded."""
import socket
import struct
import time

from splitter_run import fail

IAC, SB, SE, WILL, WONT, DO, DONT, NOP, AYT = 255, 250, 240, 251, 252, 253, 254, 241, 246
COM_PORT = 44


def connect(port, timeout=20.0):
    s = socket.socket()
    s.settimeout(timeout)
    s.connect(("127.0.0.1", port))
    return s


def send_all(s, data, what):
    view = memoryview(data)
    try:
        while view:
            view = view[s.send(view[:1 << 20]):]
    except OSError as error:
        fail("%s: the splitter stopped taking bytes (%s)" % (what, error))


def consumed(s, what):
    """Once the splitter answers a SIGNATURE request sent after them, it
    has parsed every byte sent before. The client reads from here on, and
    asks again while the answers to a client that did not read are lost."""
    heard = b""
    deadline = time.monotonic() + 20
    while b"Velmora splitter" not in heard[-4096:]:
        if time.monotonic() > deadline:
            fail("%s: the splitter never answered after the flood" % what)
        s.settimeout(20)
        s.sendall(bytes([IAC, SE, IAC, SB, COM_PORT, 0, IAC, SE]))
        s.settimeout(0.1)
        ask_again = time.monotonic() + 0.2
        while time.monotonic() < ask_again and b"Velmora splitter" not in heard[-4096:]:
            try:
                chunk = s.recv(65536)
            except socket.timeout:
                continue
            if not chunk:
                fail("%s: the splitter hung up" % what)
            heard = heard[-4096:] + chunk


def reset_close(s):
    s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    s.close()


def burst(ports, rate, seconds, hold, source="127.0.0.1", limit=None):
    """Connects to the ports in turn at about `rate` a second (for at
    most `seconds`, at most `limit` times), from the loopback address
    source; closes each at once (with a reset) unless hold; returns
    (made, held)."""
    held = []
    made = 0
    start = time.monotonic()
    while time.monotonic() - start < seconds and (limit is None or made < limit):
        due = int((time.monotonic() - start) * rate) + 1
        while made < due and (limit is None or made < limit):
            s = socket.socket(socket.AF_INET, socket.SOCK_STREAM | socket.SOCK_NONBLOCK)
            if source != "127.0.0.1":
                s.setsockopt(socket.IPPROTO_IP, 24, 1)  # IP_BIND_ADDRESS_NO_PORT
                s.bind((source, 0))
            s.connect_ex(("127.0.0.1", ports[made % len(ports)]))
            made += 1
            if hold:
                held.append(s)
            else:
                reset_close(s)
        time.sleep(0.001)
    return made, held
