#!/usr/bin/env python3
"""Reports how quickly Setup.exe shows its splash window under Wine, beside an empty Win32
window program built the same way, and the size of every file of the demo CD. It reports
figures only; it never fails on them.

    benchmark.py [--runs N]        (after make cd)
"""

import argparse
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from winelab import Wine, XServer, make_prefix, poll  # noqa: E402

GOAL = 1.10


def seconds_to_window(wine, display, exe, window_class):
    """From the start of the process to its window being mapped on the X server."""
    def shown():
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname",
                                exe.name.lower()], env={"DISPLAY": display},
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=10)
        return found.returncode == 0 and found.stdout.strip()

    started = time.monotonic()
    process = wine.start(exe, exe.parent, exe.stem)
    poll(f"{exe.name}'s window", shown, 30, interval=0.002)
    elapsed = time.monotonic() - started
    wine.close(window_class)
    process.wait(30)
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=9)
    options = parser.parse_args()
    cd = ROOT / "build" / "cd"
    empty = ROOT / "build" / "win32" / "tools" / "bench" / "emptywin.exe"
    work = ROOT / "build" / "bench"
    work.mkdir(parents=True, exist_ok=True)
    staged_empty = cd.parent / "bench" / "emptywin.exe"
    staged_empty.write_bytes(empty.read_bytes())

    xserver = XServer(work)
    wine = Wine(work / "prefix", xserver.display, work / "logs")
    wine.probe_exe = ROOT / "build" / "win32" / "tests" / "e2e" / "probe.exe"
    try:
        make_prefix(wine.prefix, xserver.display, work / "logs")
        wine.run(["wineserver", "-p", "60"], "wineserver", 30)  # both start with it warm
        seconds_to_window(wine, xserver.display, staged_empty, "EmptyWindow")  # warm-up
        setup_times, empty_times = [], []
        for _ in range(options.runs):
            setup_times.append(seconds_to_window(wine, xserver.display, cd / "Setup.exe",
                                                 "VarnokForm"))
            empty_times.append(seconds_to_window(wine, xserver.display, staged_empty,
                                                 "EmptyWindow"))
    finally:
        wine.stop()
        xserver.stop()

    setup_median = statistics.median(setup_times)
    empty_median = statistics.median(empty_times)
    ratio = statistics.median(s / e for s, e in zip(setup_times, empty_times))
    print(f"Start to window under Wine, median of {options.runs} runs:")
    print(f"  Setup.exe     {setup_median * 1000:7.0f} ms")
    print(f"  empty window  {empty_median * 1000:7.0f} ms")
    print(f"  ratio         {ratio:7.2f}   (goal {GOAL:.2f} or less: "
          f"{'met' if ratio <= GOAL else 'not met'})")
    print("Demo CD files:")
    for path in sorted(p for p in cd.rglob("*") if p.is_file()):
        print(f"  {str(path.relative_to(cd)):24} {path.stat().st_size:9,} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
