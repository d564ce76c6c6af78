#!/usr/bin/env python3
"""Whole-process speed of halden-cli on the power-up scenarios.

Runs each scenario N times as a separate halden-cli process (start, run,
exit), in a scratch directory, and prints the median, the fastest and the
slowest wall time, the spread (slowest / median), the speed as a multiple of
real time (firmware time of the scenario / median wall time), the median CPU
time (user + system, less disturbed by other work on the machine) and the
largest peak resident memory (one extra run of each case under /usr/bin/time). Then the power-up on an
existing and on a new eeprom.bin each side by side with an empty scenario,
which only starts and ends the process: PAIRS pairs of runs, one of each in
alternating order, and the median of the pairs' ratios of wall time and of
CPU time. A ratio is steadier than a time on a machine that other work
slows down, since both runs of a pair see about the same machine.
The load average before and after the runs is printed with the figures.

    bench/powerup_bench.py [--cli PATH] [--runs N] [--pairs N] [--strace] [--clock-cli PATH]

  --cli     halden-cli to run (default build/release/host/headless/halden-cli)
  --runs    runs per case (default 10)
  --pairs   pairs of runs for each ratio against the empty scenario (default 25;
            0 leaves the ratios out)
  --strace  also count the futex calls of one run of each case (strace -c -f)
  --clock-cli PATH  take the firmware time from this halden-cli (--cli may be a build
            from before halden-cli reported it)

Cases:
  existing  power-up to the Make a measurement menu on an initialised eeprom.bin
  new       the same on a missing eeprom.bin (the store is initialised over the bus)
  reading   the same as existing, then ten sample readings (key test, wait 6s);
            the speed of the readings alone is the extra firmware time over the
            extra wall time (and CPU time) against "existing"
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

POWERUP = """key standby
wait-screen 9 within 90s
key soft2
wait-screen 11
"""

READINGS = 10

# Continues from the menu to the single-wavelength screen and takes readings.
READING = POWERUP + """key soft2
wait-screen 12 within 0
key soft1
wait-screen 76 within 0
key soft1
wait-screen 15 within 0
""" + READINGS * """key test
wait 6s
wait-screen 15 within 0
"""


EMPTY = "# nothing: the process starts and ends\n"


def run_once(cli, scenario_path, workdir, fresh):
    """One whole halden-cli process: (wall seconds, CPU seconds)."""
    eeprom = os.path.join(workdir, "eeprom.bin")
    if fresh and os.path.exists(eeprom):
        os.remove(eeprom)
    t0 = time.perf_counter()
    proc = subprocess.Popen([cli, scenario_path], cwd=workdir, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    t1 = time.perf_counter()
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit(f"halden-cli failed on {scenario_path} (status {proc.returncode})")
    return t1 - t0, usage.ru_utime + usage.ru_stime


def peak_memory_kb(cli, scenario_path, workdir, fresh):
    """Peak resident memory of one run, measured by /usr/bin/time (a child of
    this script would count the script's own memory as well)."""
    if not os.access("/usr/bin/time", os.X_OK):
        return None
    eeprom = os.path.join(workdir, "eeprom.bin")
    if fresh and os.path.exists(eeprom):
        os.remove(eeprom)
    err = subprocess.run(["/usr/bin/time", "-f", "%M", cli, scenario_path], cwd=workdir,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True).stderr
    return int(err.split()[-1])


def futex_calls(cli, scenario_path, workdir, fresh):
    if not shutil.which("strace"):
        return None
    eeprom = os.path.join(workdir, "eeprom.bin")
    if fresh and os.path.exists(eeprom):
        os.remove(eeprom)
    out = subprocess.run(["strace", "-c", "-f", "-e", "trace=futex", cli, scenario_path], cwd=workdir,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE).stderr.decode(errors="replace")
    for line in out.splitlines():
        fields = line.split()
        if fields and fields[-1] == "futex":
            return int(fields[3])
    return 0


def measure(cli, runs, scenario, workdir, fresh):
    """The runs of one case, after one run that is not counted."""
    path = os.path.join(workdir, "scenario.scn")
    with open(path, "w") as f:
        f.write(scenario)
    run_once(cli, path, workdir, True)  # the eeprom.bin the runs start from, and a warm cache
    return [run_once(cli, path, workdir, fresh) for _ in range(runs)]


def ratios(cli, pairs, scenario, workdir, fresh):
    """Pairs of runs, the scenario and the empty one on the same kind of
    eeprom.bin (missing when fresh), in alternating order: the medians of
    each side and the median ratios, as ((wall, CPU) scenario, (wall, CPU)
    empty, wall ratio, CPU ratio)."""
    path = os.path.join(workdir, "scenario.scn")
    empty = os.path.join(workdir, "empty.scn")
    with open(path, "w") as f:
        f.write(scenario)
    with open(empty, "w") as f:
        f.write(EMPTY)
    run_once(cli, path, workdir, True)  # an initialised eeprom.bin unless fresh, and a warm cache
    runs, empties = [], []
    for i in range(pairs):
        if i % 2 == 0:
            runs.append(run_once(cli, path, workdir, fresh))
            empties.append(run_once(cli, empty, workdir, fresh))
        else:
            empties.append(run_once(cli, empty, workdir, fresh))
            runs.append(run_once(cli, path, workdir, fresh))
    def side(rs):
        return statistics.median(r[0] for r in rs), statistics.median(r[1] for r in rs)
    wall = statistics.median(r[0] / e[0] for r, e in zip(runs, empties))
    cpu = statistics.median(r[1] / e[1] for r, e in zip(runs, empties) if e[1] > 0)
    return side(runs), side(empties), wall, cpu


def virtual_ms(cli, scenario, workdir, fresh):
    """The scenario's firmware time, as halden-cli --stats reports it."""
    path = os.path.join(workdir, "clock.scn")
    with open(path, "w") as f:
        f.write(scenario)
    eeprom = os.path.join(workdir, "eeprom.bin")
    if os.path.exists(eeprom):
        os.remove(eeprom)
    if not fresh:
        subprocess.run([cli, path], cwd=workdir, capture_output=True)
    err = subprocess.run([cli, "--stats", path], cwd=workdir, capture_output=True, text=True).stderr
    match = re.search(r"(\d+) ms of firmware time", err)
    if not match:
        sys.exit("halden-cli --stats gave no firmware time: " + err)
    return int(match.group(1))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(here, "..", "build", "release", "host", "headless",
                                                      "halden-cli"))
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--pairs", type=int, default=25)
    parser.add_argument("--strace", action="store_true")
    parser.add_argument("--clock-cli", help="halden-cli that reports the firmware time (--stats), when --cli "
                        "is an older build without it")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    if not os.access(cli, os.X_OK):
        sys.exit(f"no halden-cli at {cli}; build it first")
    clock_cli = os.path.abspath(args.clock_cli) if args.clock_cli else cli

    # Other work on the machine shows in the wall times: say how much there was.
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())
    with tempfile.TemporaryDirectory(prefix="halden-powerup-") as workdir:
        cases = [("existing", POWERUP, False), ("new", POWERUP, True), ("reading", READING, False)]
        medians = {}
        peak_kb = 0
        print(f"{'case':<10}{'firmware':>10}{'median':>10}{'min':>9}{'max':>9}{'max/med':>9}{'x real':>9}"
              f"{'cpu med':>9}" + ("  futex" if args.strace else ""))
        for name, scenario, fresh in cases:
            vms = virtual_ms(clock_cli, scenario, workdir, fresh)
            runs = measure(cli, args.runs, scenario, workdir, fresh)
            times = [r[0] for r in runs]
            med = statistics.median(times)
            cpu = statistics.median(r[1] for r in runs)
            kb = peak_memory_kb(cli, os.path.join(workdir, "scenario.scn"), workdir, fresh)
            peak_kb = max(peak_kb, kb) if kb is not None else peak_kb
            medians[name] = (vms, med, cpu)
            speed = vms / 1000.0 / med
            line = (f"{name:<10}{vms / 1000.0:>9.1f}s{med * 1000:>8.1f}ms{min(times) * 1000:>7.1f}ms"
                    f"{max(times) * 1000:>7.1f}ms{max(times) / med:>9.2f}{speed:>9.0f}{cpu * 1000:>7.1f}ms")
            if args.strace:
                path = os.path.join(workdir, "scenario.scn")
                n = futex_calls(cli, path, workdir, fresh)
                line += f"  {n if n is not None else 'n/a'}"
            print(line)
        extra_vms = medians["reading"][0] - medians["existing"][0]
        for i, what in ((1, "wall"), (2, "CPU")):
            extra_s = medians["reading"][i] - medians["existing"][i]
            if extra_s > 0:
                print(f"{READINGS} readings alone: {extra_vms / 1000.0:.1f}s of firmware time in "
                      f"{extra_s * 1000:.1f}ms of {what} time, {extra_vms / 1000.0 / extra_s:.0f} x real time")
            else:
                print(f"{READINGS} readings alone: {extra_vms / 1000.0:.1f}s of firmware time, {what} time "
                      f"below the noise of the runs")
        if peak_kb:
            print(f"peak resident memory of halden-cli: {peak_kb / 1024.0:.1f} MB")
        if args.pairs > 0:
            print(f"side by side with an empty scenario, medians of {args.pairs} pairs:")
            print(f"{'case':<10}{'wall':>9}{'empty':>9}{'ratio':>8}{'cpu':>9}{'empty':>9}{'ratio':>8}")
            for name, fresh in (("existing", False), ("new", True)):
                (wall, cpu), (ewall, ecpu), wratio, cratio = ratios(cli, args.pairs, POWERUP, workdir, fresh)
                print(f"{name:<10}{wall * 1000:>7.2f}ms{ewall * 1000:>7.2f}ms{wratio:>8.2f}"
                      f"{cpu * 1000:>7.2f}ms{ecpu * 1000:>7.2f}ms{cratio:>8.2f}")
    print("load average after: %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    main()
