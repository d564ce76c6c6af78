#!/usr/bin/env python3
"""CPU cost of the desktop simulator's display while the instrument works at real time.

Starts halden-sim under an X server (Xvfb on a free display unless --display
names a running one) with its serial port on TCP, in a scratch directory with
a scratch profile. Presses the standby key with xdotool and measures the
process's CPU time (user + system, all threads, from /proc) over the
power-up; then presses soft key 2 ("All tests passed" -> OK) and takes
sample readings by ^T over the serial port, each to its "TEST DONE" reply,
measuring the CPU time over the readings. Last, the idle cost. Each is
printed as a percentage of one core.

    bench/sim_reading.py [--sim PATH] [--readings N] [--powerup S] [--idle S] [--display :N]

  --readings  sample readings to measure (default 5; about 6 s each)
  --powerup   seconds measured after the standby key (default 40: the power-up,
              self-test and reference reading take about 30 s at real time)
  --idle      seconds of idle measured at the end (default 10)
  --platform  Qt platform (default xcb; offscreen works without an X server)
"""
import argparse
import os
import socket
import subprocess
import sys
import tempfile
import time
from process_stats import cpu_seconds, free_port


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def free_display():
    for n in range(90, 200):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return f":{n}"
    sys.exit("no free X display number")


def xdotool(env, *args):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True)


def press(env, window, key, hold=0.3):
    xdotool(env, "windowfocus", "--sync", window)
    xdotool(env, "keydown", "--window", window, key)
    time.sleep(hold)
    xdotool(env, "keyup", "--window", window, key)


class Measure:
    def __init__(self, pid):
        self.pid = pid
        self.c0, self.t0 = cpu_seconds(pid), time.monotonic()

    def percent(self):
        return 100.0 * (cpu_seconds(self.pid) - self.c0) / (time.monotonic() - self.t0), time.monotonic() - self.t0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sim", default=os.path.join(here, "..", "build", "release", "host", "qt", "halden-sim"))
    parser.add_argument("--readings", type=int, default=5)
    parser.add_argument("--powerup", type=float, default=40)
    parser.add_argument("--idle", type=float, default=10)
    parser.add_argument("--display")
    parser.add_argument("--platform", default="xcb")
    parser.add_argument("--zoom", type=int, default=2)
    args = parser.parse_args()
    sim = os.path.abspath(args.sim)
    if not os.access(sim, os.X_OK):
        sys.exit(f"no halden-sim at {sim}; build it first")

    xvfb = None
    display = args.display or os.environ.get("DISPLAY")
    if args.platform == "xcb" and not args.display:
        display = free_display()
        xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1600x1200x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.5)
    port = free_port()
    with tempfile.TemporaryDirectory(prefix="halden-reading-") as workdir:
        env = dict(os.environ, QT_QPA_PLATFORM=args.platform, XDG_CONFIG_HOME=workdir)
        if display:
            env["DISPLAY"] = display
        os.makedirs(os.path.join(workdir, "Halden"), exist_ok=True)
        with open(os.path.join(workdir, "Halden", "halden-sim.conf"), "w") as f:
            f.write(f"[View]\nZoom={args.zoom}\n")
        proc = subprocess.Popen([sim, "--speed", "1", "--serial-tcp", str(port)], cwd=workdir, env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            window = ""
            for _ in range(50):
                time.sleep(0.2)
                window = xdotool(env, "search", "--sync", "--onlyvisible", "--name", "Halden PC Simulation").stdout.split()
                if window:
                    window = window[0]
                    break
            if not window:
                sys.exit("the simulator's window did not appear")
            time.sleep(2)
            rss0 = rss_mb(proc.pid)
            press(env, window, "s")
            m = Measure(proc.pid)
            time.sleep(args.powerup)
            powerup, powerup_s = m.percent()
            press(env, window, "2")
            time.sleep(2)
            sock = socket.create_connection(("127.0.0.1", port))
            sock.settimeout(30)
            m = Measure(proc.pid)
            done = 0
            for _ in range(args.readings):
                sock.sendall(b"\x14")
                seen = b""
                while b"TEST DONE" not in seen:
                    chunk = sock.recv(4096)
                    if not chunk:
                        sys.exit("the serial port closed")
                    seen = seen[-64:] + chunk
                done += 1
            reading, reading_s = m.percent()
            sock.close()
            m = Measure(proc.pid)
            time.sleep(args.idle)
            idle, idle_s = m.percent()
            rss1 = rss_mb(proc.pid)
        finally:
            proc.terminate()
            proc.wait()
            if xvfb:
                xvfb.terminate()
                xvfb.wait()
    print(f"halden-sim at real time, zoom {args.zoom}x, platform {args.platform}:")
    print(f"  power-up  {powerup:6.2f} % of one core over {powerup_s:.0f} s")
    print(f"  readings  {reading:6.2f} % of one core over {reading_s:.0f} s ({done} sample readings)")
    print(f"  idle      {idle:6.2f} % of one core over {idle_s:.0f} s")
    print(f"  resident memory {rss0:.0f} MB at start, {rss1:.0f} MB at the end")


if __name__ == "__main__":
    main()
