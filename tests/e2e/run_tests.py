#!/usr/bin/env python3
"""End-to-end tests of the real programs under Wine at 1024 x 768, driven by pointer and
keyboard and read back through the probe and screenshots. Every test runs on every
architecture the machine can run.

    run_tests.py --build build --work build/e2e [test names...]
"""

import argparse
import os
import signal
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

import chain_tests  # noqa: E402
import dpi_tests  # noqa: E402
import language_tests  # noqa: E402
import settings_tests  # noqa: E402
import splash_tests  # noqa: E402
import wizard_tests  # noqa: E402
from runner import Runner  # noqa: E402
from winelab import BUILD_OF, Lab, XServer, detect_machine, make_prefix  # noqa: E402

MODULES = [splash_tests, wizard_tests, chain_tests, dpi_tests, language_tests, settings_tests]


def competing_load():
    """One busy process a core, at the same priority as the suite: its processes compete for
    the cores as on a loaded CI machine."""
    cores = os.cpu_count() or 1
    print(f"stress: {cores} busy processes compete with the suite", flush=True)
    return [subprocess.Popen([sys.executable, "-c", "while True: pass"],
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
            for _ in range(cores)]


def run_test(runner, function, options, xserver, machine, arch):
    def body():
        xserver.check()
        lab = Lab(options, xserver, function.__name__, machine, arch)
        try:
            function(lab)
        except BaseException:
            lab.evidence()  # while the windows are still there
            raise
        finally:
            lab.close()

    runner.run(f"{function.__name__} [{arch}]", body)


def make_prefixes(options, xserver, machine, arches):
    """The prefix every test copies, one for each Wine the architectures run with."""
    for wine in {machine.for_arch(arch).prefix_name: machine.for_arch(arch)
                 for arch in arches}.values():
        make_prefix(options.work / wine.prefix_name, xserver.display, options.work / "logs", wine)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", type=Path, default=Path("build"))
    parser.add_argument("--work", type=Path, default=Path("build/e2e"))
    parser.add_argument("--stress", action="store_true",
                        help="keep every core busy with a competing load meanwhile")
    parser.add_argument("--arch", choices=sorted(BUILD_OF), help="this architecture alone")
    parser.add_argument("names", nargs="*")
    options = parser.parse_args()
    options.build, options.work = options.build.resolve(), options.work.resolve()
    options.work.mkdir(parents=True, exist_ok=True)

    # Ended from outside, the run still stops its X server and its load on the way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    machine = detect_machine()
    for line in machine.describe():
        print(line, flush=True)
    runner = Runner()
    load = competing_load() if options.stress else []
    xserver = XServer(options.work)
    try:
        with machine.attached([options.build, options.work]):
            arches = [arch for arch in machine.arches if options.arch in (None, arch)]
            make_prefixes(options, xserver, machine, arches)
            for arch in arches:
                for module in MODULES:
                    for function in module.TESTS.tests:
                        if not options.names or function.__name__ in options.names:
                            run_test(runner, function, options, xserver, machine, arch)
    finally:
        xserver.stop()
        for process in load:
            process.kill()
            process.wait()
    return runner.close()


if __name__ == "__main__":
    sys.exit(main())
