#!/usr/bin/env python3
"""Runs the shipped i686 programs of build/cd by the route this machine has for them: the
host's 32-bit Wine, or the i386 root of tools/i386_root.py, natively where the kernel runs
32-bit programs and else through qemu's user emulation, registered with binfmt_misc for the
length of the run (every 32-bit program on the machine runs through qemu meanwhile).

It runs the chain (splash, "Continue", the wizard's three pages, the installer's stand-in),
a failed start's boxes, the Arabic wizard, and a drive that fails under the clip. A run in
which no shipped program ran, or one was left out, fails, saying why; VARNOK_ALLOW_SKIP=1
makes that a skip, for a machine where no route can be had.

    check_shipped.py --build build --work build/shipped
"""

import argparse
import os
import signal
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))

import chain_tests  # noqa: E402
import i386_root  # noqa: E402
import language_tests  # noqa: E402
import splash_tests  # noqa: E402
import winelab  # noqa: E402
from run_tests import make_prefixes, run_test  # noqa: E402
from runner import Runner  # noqa: E402

SHIPPED_TESTS = [
    chain_tests.the_chain_runs_from_setup_through_tourlet_to_the_installer,
    splash_tests.splash_reveals_continue_and_reports_a_missing_tourlet,
    language_tests.a_widened_arabic_wizard_paints_and_reads_out_where_it_shows,
    chain_tests.a_failing_drive_stops_the_clip_or_the_start_and_nothing_more,
]
# Through the emulator a program takes most of a minute to start, and draws that much slower.
EMULATED_SLOWNESS = 15


def skip_allowed():
    return os.environ.get("VARNOK_ALLOW_SKIP") == "1"


def nothing_ran(why):
    if skip_allowed():
        print(f"SKIP shipped programs [i686]: {why} (VARNOK_ALLOW_SKIP=1)")
        print("0 passed, 0 failed, 1 skipped")
        return 0
    print(f"FAIL shipped programs [i686]: none ran: {why}. Where no route can be had, "
          "VARNOK_ALLOW_SKIP=1 makes this a skip.")
    print("0 passed, 1 failed")
    return 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", type=Path, default=Path("build"))
    parser.add_argument("--work", type=Path, default=Path("build/shipped"))
    options = parser.parse_args()
    options.build, options.work = options.build.resolve(), options.work.resolve()
    options.work.mkdir(parents=True, exist_ok=True)
    # Ended from outside, the run still unmounts and unregisters on the way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    machine = winelab.detect_machine(emulated_i686=True)
    if "i686" not in machine.arches:
        return nothing_ran(machine.left_out["i686"])
    emulated = machine.route == i386_root.ROOT_EMULATED
    where = "in the i386 root" if machine.i386_root else "with the host's Wine"
    print(f"i686: the shipped programs, {where}"
          + (", through qemu's user emulation (slow)" if emulated else ""), flush=True)
    if emulated:
        winelab.SLOWNESS = EMULATED_SLOWNESS
    started = time.monotonic()
    runner = Runner()
    xserver = winelab.XServer(options.work)
    try:
        with machine.attached([options.build, options.work]):
            make_prefixes(options, xserver, machine, ["i686"])
            print(f"  prefix ready after {time.monotonic() - started:.0f} s", flush=True)
            for test in SHIPPED_TESTS:
                run_test(runner, test, options, xserver, machine, "i686")
    finally:
        xserver.stop()
    if runner.skipped and not skip_allowed():
        print(f"FAIL shipped programs [i686]: {runner.skipped} left out (above); "
              "VARNOK_ALLOW_SKIP=1 makes that a skip")
        runner.failed, runner.skipped = runner.failed + runner.skipped, 0
    if runner.failed:
        print(f"  logs and screenshots: {options.work}")
    print(f"  the shipped programs took {time.monotonic() - started:.0f} s", flush=True)
    return runner.close()


if __name__ == "__main__":
    sys.exit(main())
