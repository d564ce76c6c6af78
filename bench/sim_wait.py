#!/usr/bin/env python3
"""CPU load of the desktop simulator while a calibration waits for the sample, against idle.

Starts halden-sim in a scratch directory on an X display with its serial
port on TCP, switches the instrument on with its keyboard shortcuts (S, then
2 for OK once the self-test has passed), and measures the process's CPU
time (user + system, all threads, from /proc) while the main menu sits
idle. Then it starts the stray-light calibration over the serial port
(CONTROL, DIAG TESTSL), waits for "Waiting for sample" and measures again
while the calibration waits for the operator. Both are printed as a
percentage of one core. Needs xdotool and an X server, for example:

    xvfb-run -a bench/sim_wait.py [--sim PATH] [--speed N] [--settle S] [--measure S] [--port P]
"""
import argparse
import os
import socket
import subprocess
import sys
import tempfile
import time
from process_stats import cpu_seconds


def measure(pid, seconds):
    c0, t0 = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    c1, t1 = cpu_seconds(pid), time.monotonic()
    return 100.0 * (c1 - c0) / (t1 - t0)


def press(key):
    """Types a key into the simulator's window (its keyboard shortcut for a panel key)."""
    subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--class", "halden-sim",
                    "windowfocus", "--sync", "key", key], check=True, timeout=20,
                   stdout=subprocess.DEVNULL)


def read_until(sock, text, timeout):
    """Reads from the socket until text has arrived; everything read so far."""
    seen = b""
    end = time.monotonic() + timeout
    while text.encode() not in seen:
        left = end - time.monotonic()
        if left <= 0:
            sys.exit(f"no {text!r} from the instrument within {timeout:.0f} s; got {seen!r}")
        sock.settimeout(left)
        try:
            chunk = sock.recv(4096)
        except socket.timeout:
            continue
        if not chunk:
            sys.exit("the serial port closed")
        seen += chunk
    return seen


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sim", default=os.path.join(here, "..", "build", "release", "host", "qt", "halden-sim"))
    parser.add_argument("--speed", default="1")
    parser.add_argument("--settle", type=float, default=40)
    parser.add_argument("--measure", type=float, default=20)
    parser.add_argument("--port", type=int, default=47613)
    args = parser.parse_args()
    sim = os.path.abspath(args.sim)
    if not os.access(sim, os.X_OK):
        sys.exit(f"no halden-sim at {sim}; build it first")

    if "DISPLAY" not in os.environ:
        sys.exit("no X display: run under xvfb-run -a")
    env = dict(os.environ, QT_QPA_PLATFORM="xcb")
    with tempfile.TemporaryDirectory(prefix="halden-wait-") as workdir:
        env["XDG_CONFIG_HOME"] = workdir  # a scratch profile
        proc = subprocess.Popen([sim, "--speed", args.speed, "--serial-tcp", str(args.port)], cwd=workdir,
                                env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            time.sleep(5)
            press("s")  # the standby key: power-up, self-test, reference reading
            time.sleep(args.settle)
            press("2")  # OK on "All tests passed": the main menu
            time.sleep(2)
            if proc.poll() is not None:
                sys.exit(f"halden-sim exited with status {proc.returncode}")
            idle = measure(proc.pid, args.measure)
            with socket.create_connection(("127.0.0.1", args.port), timeout=10) as sock:
                sock.sendall(b"CONTROL\r\n")
                read_until(sock, "E00", 30)
                sock.sendall(b"DIAG TESTSL\r\n")
                read_until(sock, "Waiting for sample", 60)
                waiting = measure(proc.pid, args.measure)
        finally:
            proc.terminate()
            proc.wait()
    print(f"halden-sim --speed {args.speed}, % of one core over {args.measure:.0f} s: "
          f"idle {idle:.2f}, waiting for the sample {waiting:.2f}")


if __name__ == "__main__":
    main()
