#!/usr/bin/env python3
"""Speed of the web build against the native one, on the same scenarios.

Runs each scenario RUNS times with halden-cli and with the web build's
scenario runner under node (halden-scenario.js, the page's firmware and
board, stepped as fast as possible), each on a fresh eeprom.bin, the two
taking turns, and prints the best instrument time per wall second of each
(the run least disturbed by the rest of the machine; the figure both print
with --stats, timed from power-up, so node's start and the compiling of the
module are left out) and the ratio web / native. The web build should reach
at least a third of the native speed.

    bench/web_speed.py [--build build/release] [--runs 5]

Cases:
  power-up   standby to the main menu
  readings   then a reference and twenty sample readings (key test, wait 6s)
  sustained  the same with 2000 readings (about 3 1/2 hours of instrument
             time): the pace of a page left running at max speed

The short cases are mostly the engine's warm-up: the web build's code runs
first from V8's baseline compiler and only later from its optimising one.
"""
import argparse
import os
import re
import subprocess
import tempfile

POWER_UP = """key standby
wait-screen self-test-passed within 2m
key soft2
wait-screen main-menu within 1s
"""
SETUP = POWER_UP + """key soft2
key soft1
key soft1
wait-screen single-measure within 1s
key ref
wait 6s
"""
READINGS = SETUP + "key test\nwait 6s\n" * 20
SUSTAINED = SETUP + "key test\nwait 6s\n" * 2000

STATS = re.compile(r"(\d+) ms of firmware time in ([\d.]+) ms")


def speed(command, scenario, scratch):
    eeprom = os.path.join(scratch, "eeprom.bin")
    if os.path.exists(eeprom):
        os.remove(eeprom)
    result = subprocess.run(command + ["--stats", "--eeprom", eeprom, scenario], cwd=scratch,
                            capture_output=True, text=True, check=True)
    firmware_ms, wall_ms = STATS.search(result.stderr).groups()
    return float(firmware_ms) / float(wall_ms)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    native = [os.path.join(args.build, "host/headless/halden-cli")]
    web = ["node", "--no-experimental-fetch", os.path.join(args.build, "host/web/wasm/halden-scenario.js")]
    with tempfile.TemporaryDirectory() as scratch:
        for name, text in (("power-up", POWER_UP), ("readings", READINGS), ("sustained", SUSTAINED)):
            scenario = os.path.join(scratch, name + ".scn")
            with open(scenario, "w") as f:
                f.write(text)
            runs = [(speed(native, scenario, scratch), speed(web, scenario, scratch)) for _ in range(args.runs)]
            n = max(r[0] for r in runs)
            w = max(r[1] for r in runs)
            print(f"{name:9}  native {n:9.0f} x real time   web {w:8.0f} x real time   web/native {w / n:.2f}")


if __name__ == "__main__":
    main()
