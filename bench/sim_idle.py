#!/usr/bin/env python3
"""CPU load of the desktop simulator while the instrument sits idle.

Starts halden-sim in a scratch directory (Qt's offscreen platform unless
--platform names another, e.g. xcb under Xvfb), lets the instrument power up
and settle on its screen, then reads the process's CPU time (user + system,
all threads, from /proc) over a measuring period and prints it as a
percentage of one core.

    bench/sim_idle.py [--sim PATH] [--speed N|max] [--settle S] [--measure S] [--platform P]

  --settle   seconds to wait before measuring (default 45: at real time the
             power-up, self-test and reference reading take about 30 s)
  --measure  seconds to measure (default 20)
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time
from process_stats import cpu_seconds


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sim", default=os.path.join(here, "..", "build", "release", "host", "qt", "halden-sim"))
    parser.add_argument("--speed", default="1")
    parser.add_argument("--settle", type=float, default=45)
    parser.add_argument("--measure", type=float, default=20)
    parser.add_argument("--platform", default="offscreen")
    args = parser.parse_args()
    sim = os.path.abspath(args.sim)
    if not os.access(sim, os.X_OK):
        sys.exit(f"no halden-sim at {sim}; build it first")

    env = dict(os.environ, QT_QPA_PLATFORM=args.platform)
    with tempfile.TemporaryDirectory(prefix="halden-idle-") as workdir:
        env["XDG_CONFIG_HOME"] = workdir  # a scratch profile
        proc = subprocess.Popen([sim, "--speed", args.speed], cwd=workdir, env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            time.sleep(args.settle)
            if proc.poll() is not None:
                sys.exit(f"halden-sim exited with status {proc.returncode}")
            c0, t0 = cpu_seconds(proc.pid), time.monotonic()
            time.sleep(args.measure)
            c1, t1 = cpu_seconds(proc.pid), time.monotonic()
        finally:
            proc.terminate()
            proc.wait()
    print(f"halden-sim --speed {args.speed}: {100.0 * (c1 - c0) / (t1 - t0):.2f} % of one core "
          f"over {t1 - t0:.0f} s, after {args.settle:.0f} s to settle")


if __name__ == "__main__":
    main()
