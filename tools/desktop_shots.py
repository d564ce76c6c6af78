#!/usr/bin/env python3
"""Pictures of the desktop simulator for the guide (docs/desktop.md).

Runs halden-sim under Xvfb at 10x speed with its serial port on TCP, powers
the instrument up (the standby key), goes on to the main menu, takes two
sample readings by ^T, and saves the window with the simulator's own
screenshot hotkey (Shift+F12): at 1x, at 2x, and with the chart recorder in
front of the printer. The pictures go to docs/ as desktop_1x.png,
desktop_2x.png and desktop_chart.png.

    tools/desktop_shots.py [--sim PATH] [--out DIR]
"""
import argparse
import glob
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "bench"))
from process_stats import free_port  # noqa: E402
from sim_reading import free_display, press, xdotool  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sim", default=os.path.join(here, "..", "build", "release", "host", "qt", "halden-sim"))
    parser.add_argument("--out", default=os.path.join(here, "..", "docs"))
    args = parser.parse_args()
    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1600x1400x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.5)
    port = free_port()
    with tempfile.TemporaryDirectory(prefix="halden-shots-") as workdir:
        shots = os.path.join(workdir, "shots")
        os.makedirs(shots)
        os.makedirs(os.path.join(workdir, "Halden"))
        with open(os.path.join(workdir, "Halden", "halden-sim.conf"), "w") as f:
            f.write(f"[View]\nZoom=1\nScreenshotFolder={shots}\n")
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=workdir)
        proc = subprocess.Popen([os.path.abspath(args.sim), "--speed", "10", "--serial-tcp", str(port)], cwd=workdir,
                                env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            window = ""
            for _ in range(50):
                time.sleep(0.2)
                found = xdotool(env, "search", "--onlyvisible", "--name", "Halden PC Simulation").stdout.split()
                if found:
                    window = found[0]
                    break
            if not window:
                sys.exit("the simulator's window did not appear")
            time.sleep(1)
            press(env, window, "s")
            time.sleep(6)
            press(env, window, "2")
            time.sleep(1)
            with socket.create_connection(("127.0.0.1", port)) as sock:
                sock.settimeout(30)
                for _ in range(2):
                    sock.sendall(b"\x14")
                    seen = b""
                    while b"TEST DONE" not in seen:
                        seen = seen[-64:] + sock.recv(4096)
            time.sleep(1)

            def shot(name):
                before = set(glob.glob(os.path.join(shots, "halden-window-*.png")))
                xdotool(env, "key", "--window", window, "shift+F12")
                for _ in range(50):
                    time.sleep(0.2)
                    new = set(glob.glob(os.path.join(shots, "halden-window-*.png"))) - before
                    if new:
                        time.sleep(0.3)
                        shutil.copy(new.pop(), os.path.join(args.out, name))
                        print("wrote", os.path.join(args.out, name))
                        return
                sys.exit(f"no screenshot for {name}")

            shot("desktop_1x.png")
            xdotool(env, "key", "--window", window, "ctrl+2")
            time.sleep(1.5)
            shot("desktop_2x.png")
            xdotool(env, "key", "--window", window, "ctrl+1")
            time.sleep(0.5)
            xdotool(env, "key", "--window", window, "ctrl+shift+p")  # the printer's tab away: the chart in front
            time.sleep(1.5)
            shot("desktop_chart.png")
        finally:
            proc.terminate()
            proc.wait()
            xvfb.terminate()
            xvfb.wait()


if __name__ == "__main__":
    main()
