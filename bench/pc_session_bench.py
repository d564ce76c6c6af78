#!/usr/bin/env python3
"""A PC client's session over halden-cli's serial port, at real time and at
--speed max, and the CPU an idle instrument costs at --speed max.

Serves the port on TCP (halden-cli --serial-tcp) from a scratch directory
with a fresh EEPROM, and runs the session a PC program runs: the greeting
(^H), CONTROL, a reference reading, a sample reading (^T), three READA?,
SCANBIN, SCANTXT and RELEASE. Prints the wall time of the session at each
speed and their ratio, then the process's CPU time (user + system, from
/proc) over a measuring period while the instrument waits for the client,
as a percentage of one core.

    bench/pc_session_bench.py [--cli PATH] [--measure S] [--skip-realtime]

  --measure        seconds to measure the idle CPU (default 10)
  --skip-realtime  run only at --speed max (the real-time run takes ~25 s)
"""
import argparse
import os
import re
import socket
import subprocess
import sys
import tempfile
import time
from process_stats import cpu_seconds, free_port

REPLY = re.compile(rb"(^|,)E\d\d( [^\r\n]*)?$")


class Client:
    def __init__(self, port, deadline_s=300):
        end = time.monotonic() + deadline_s
        while True:
            try:
                self.sock = socket.create_connection(("127.0.0.1", port), timeout=1)
                break
            except OSError:
                if time.monotonic() > end:
                    raise
                time.sleep(0.05)
        self.sock.settimeout(120)
        self.pending = b""

    def line(self):
        while b"\r\n" not in self.pending:
            data = self.sock.recv(65536)
            if not data:
                raise EOFError("the instrument closed the port")
            self.pending += data
        text, self.pending = self.pending.split(b"\r\n", 1)
        return text

    def until(self, done):
        lines = []
        while True:
            text = self.line()
            lines.append(text)
            if done(text):
                return lines

    def command(self, text):
        self.sock.sendall(text + b"\r\n")
        lines = self.until(lambda t: REPLY.search(t) is not None)
        reply = REPLY.search(lines[-1]).group(0).lstrip(b",")
        if not reply.startswith(b"E00"):
            raise RuntimeError(f"{text!r} answered {reply!r}")
        return lines


def session(port):
    """The session; returns its wall time in seconds."""
    client = Client(port)
    t0 = time.monotonic()
    client.sock.sendall(b"\x08")
    client.until(lambda t: t == b"HELLO")
    client.command(b"CONTROL")
    client.command(b"SETREF")
    client.sock.sendall(b"\x14")
    client.until(lambda t: t == b"TEST DONE")
    for wavelength in (b"450", b"579", b"620"):
        client.command(b"READA? " + wavelength)
    client.command(b"SCANBIN")
    client.command(b"SCANTXT")
    client.command(b"RELEASE")
    elapsed = time.monotonic() - t0
    return client, elapsed


def run(cli, speed_args, measure_s):
    with tempfile.TemporaryDirectory(prefix="halden-pc-") as workdir:
        port = free_port()
        proc = subprocess.Popen([cli, "--eeprom", "eeprom.bin", "--serial-tcp", str(port)] + speed_args,
                                cwd=workdir, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            client, elapsed = session(port)
            idle = None
            if measure_s:
                time.sleep(1)
                c0, t0 = cpu_seconds(proc.pid), time.monotonic()
                time.sleep(measure_s)
                c1, t1 = cpu_seconds(proc.pid), time.monotonic()
                idle = 100.0 * (c1 - c0) / (t1 - t0)
            client.sock.close()
        finally:
            proc.terminate()
            proc.wait()
    return elapsed, idle


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(here, "..", "build", "release", "host", "headless", "halden-cli"))
    parser.add_argument("--measure", type=float, default=10)
    parser.add_argument("--skip-realtime", action="store_true")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    if not os.access(cli, os.X_OK):
        sys.exit(f"no halden-cli at {cli}; build it first")

    fast, idle = run(cli, ["--speed", "max"], args.measure)
    print(f"session at --speed max: {fast * 1000:.0f} ms")
    print(f"idle instrument at --speed max: {idle:.2f} % of one core over {args.measure:.0f} s")
    if not args.skip_realtime:
        slow, _ = run(cli, ["--realtime"], 0)
        print(f"session at real time: {slow:.1f} s")
        print(f"ratio: {slow / fast:.0f} times faster at --speed max (goal: at least 100)")


if __name__ == "__main__":
    main()
