"""The splitter on the network, as the network tests set it up.

`velmora-device run` in a process of its own serves a device whose
splitter COM5 holds COM4, a host device that is a pseudo-terminal pair the
test owns (it writes the source's bytes to `master`), with a raw TCP and an
RFC 2217 endpoint on free loopback ports. Its event lines go to
WORK/run.err. Every wait is bounded; fail() ends every child started here
or added to `children`.
"""
import os
import socket
import subprocess
import sys
import time

children = []
_run_err = None


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    for child in children:
        child.kill()
    sys.exit(1)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def events():
    with open(_run_err, encoding="utf-8", errors="replace") as log:
        return log.read()


def wait(what, check, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if check():
            return
        time.sleep(0.05)
    fail(what + "\n--- run (last lines) ---\n" + "\n".join(events().splitlines()[-40:]))


def told(text):
    return lambda: text in events()


def checksum(body):
    value = 0
    for c in body.encode():
        value ^= c
    return "$%s*%02X\r\n" % (body, value)


def second_of_nmea():
    now = time.gmtime()
    clock = time.strftime("%H%M%S.00", now)
    date = time.strftime("%d%m%y", now)
    return (checksum("GPGGA,%s,5333.6000,N,00959.9000,E,1,08,1.0,10.0,M,40.0,M,," % clock) +
            checksum("GPRMC,%s,A,5333.6000,N,00959.9000,E,5.0,90.0,%s,,,A" % (clock, date))).encode()


class Splitter:
    """The running device and the host device under its splitter."""

    def __init__(self, build, device, work, allow_from="127.0.0.1/32", max_clients=None):
        global _run_err
        _run_err = os.path.join(work, "run.err")
        self.tool = os.path.join(build, "velmora-device")
        self.device = device
        self.master, self.slave = os.openpty()
        self.slave_path = os.ttyname(self.slave)
        self.tcp_port, self.rfc_port = free_port(), free_port()
        extra = ""
        if max_clients is not None:
            extra += '"MaxClients"=dword:%08x\n' % max_clients
        reg = os.path.join(work, "net.reg")
        with open(reg, "w", encoding="utf-8") as out:
            out.write("Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\GPS]\n"
                      '"HostPort"="%s"\n"HostBaudRate"=dword:000012c0\n\n'
                      "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Velmora]\n"
                      '"Prefix"="COM"\n"Index"=dword:00000005\n"Dll"="Velmora.dll"\n'
                      '"Order"=dword:00000010\n"ConnectTo"=dword:00000004\n'
                      '"Endpoints"=dword:00000001\n'
                      '"TcpPort"=dword:%08x\n"Rfc2217Port"=dword:%08x\n"AllowFrom"="%s"\n%s'
                      % (self.slave_path, self.tcp_port, self.rfc_port, allow_from, extra))
        subprocess.run([self.tool, "--device", device, "reg", "import", reg], check=True)
        subprocess.run([self.tool, "--device", device, "boot"], check=True,
                       stdout=subprocess.DEVNULL)
        self.run = subprocess.Popen([self.tool, "--device", device, "run"],
                                    stderr=open(_run_err, "w"))
        children.append(self.run)
        wait("the splitter does not listen",
             told("COM5: listening on rfc2217://127.0.0.1:%d" % self.rfc_port))
        wait("the splitter does not hold COM4", told("COM5: holds COM4"))

    @property
    def pid(self):
        return self.run.pid


def stop_all():
    for child in reversed(children):
        child.terminate()
        child.wait()
