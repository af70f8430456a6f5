#!/usr/bin/env python3
"""Runs the shipped i686 programs of build/cd once, on a machine whose kernel runs no 32-bit
program: through qemu's user emulation, registered with binfmt_misc for the length of the
run. Where 32-bit programs run natively, make check has run them already, and this says so.

First a trivial i686 window program of our own must run through the emulation. Where the
emulation cannot be set up (not root, no binfmt_misc) or does not run that control, it says
why, with the loader's own error lines, and counts the shipped programs as skipped, not
passed; where the control runs, any failure of the shipped programs fails the run. While the
emulator is registered, every 32-bit program on the machine runs through qemu.

    check_shipped.py --build build --work build/shipped
"""

import argparse
import contextlib
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from geometry import SPLASH_AT, WIZARD_TITLE, continue_shows  # noqa: E402
from runner import Runner, Skipped  # noqa: E402
from splash_tests import expect_splash_tree  # noqa: E402
from winelab import (BINFMT, LOADER_32, Display, Timeout, Wine, XServer,  # noqa: E402
                     detect_machine, loader_runs, make_prefix, poll)

QEMU = Path("/usr/bin/qemu-i386")
ENTRY = "varnok-qemu-i386"
# i386 ELF programs and shared objects, as qemu's own binfmt table has them.
MAGIC = r"\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
MASK = r"\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"
# A start through the emulator takes about a minute; the first one also installs the
# prefix's 32-bit half, a few minutes more.
SLOW = 900


class CannotEmulate(Exception):
    pass


def quietly(args):
    return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def install_qemu():
    if QEMU.exists():
        return
    print("Installing qemu-user for the emulation...", flush=True)
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    # A mirror caught mid-sync fails an index or two; the lists fetched still serve.
    subprocess.run(["apt-get", "update", "-q"], env=env, stdin=subprocess.DEVNULL)
    install = ["apt-get", "install", "-y", "-q", "--no-install-recommends", "qemu-user"]
    if subprocess.run(install, env=env, stdin=subprocess.DEVNULL).returncode != 0:
        raise CannotEmulate("qemu-user cannot be installed")


@contextlib.contextmanager
def i386_emulation():
    """Registers qemu for i386 programs, and on the way out removes only what it set up."""
    if os.geteuid() != 0:
        raise CannotEmulate("registering an emulator with binfmt_misc needs root")
    mounted = False
    if not (BINFMT / "register").exists():
        if not quietly(["mount", "-t", "binfmt_misc", "binfmt_misc", str(BINFMT)]):
            raise CannotEmulate(f"binfmt_misc cannot be mounted on {BINFMT}")
        mounted = True
    registered = False
    try:
        install_qemu()
        try:
            # F: the kernel opens the emulator now, so it serves in every mount namespace.
            (BINFMT / "register").write_text(f":{ENTRY}:M::{MAGIC}:{MASK}:{QEMU}:F")
            registered = True
        except OSError as error:
            raise CannotEmulate(f"binfmt_misc refused the entry: {error}") from error
        yield
    finally:
        if registered:
            (BINFMT / ENTRY).write_text("-1")
        if mounted:
            quietly(["umount", str(BINFMT)])


class Emulated:
    """The run's prefix and X server, with i686 programs started through qemu and the native
    x86_64 probe looking on through the same prefix."""

    def __init__(self, options, machine, xserver):
        self.options = options
        self.wine = Wine(options.work / "prefix", xserver.display, options.work / "logs", machine)
        self.wine.probe_exe = options.build / "win64" / "tests" / "e2e" / "probe.exe"
        # Wine's error channel says why an emulated start fails. qemu's default guest space can
        # collide with where Wine maps the shared user data; a reserved space leaves it free.
        self.wine.debug = "err+all"
        self.wine.extra_env = {"QEMU_RESERVED_VA": "0xf7000000"}
        self.display = Display(xserver.display, options.work / "screenshots")

    def start(self, exe, name):
        return self.wine.start(exe, exe.parent, name, loader=LOADER_32)

    def why_not(self, name):
        """The loader's own error lines from a program's log, for a run that cannot go on."""
        log = self.wine.logs / f"{name}.log"
        lines = log.read_text("utf-8", "replace").splitlines() if log.exists() else []
        errors = [line for line in lines if ":err:" in line or line.startswith("wine:")]
        return "; ".join(errors[-3:]) or f"nothing in {log}"


def control_window_runs(lab, started):
    """A trivial i686 window program of our own: shown, then closed, through the emulation.
    Where it cannot run, the emulation cannot serve here, and the shipped programs are
    left out as skipped, not passed."""
    control = lab.options.build / "win32" / "tools" / "bench" / "emptywin.exe"
    process = lab.start(control, "control")
    try:
        poll("the control window",
             lambda: process.poll() is not None or lab.wine.visible(cls="EmptyWindow"), SLOW, 1)
    except Timeout as error:
        raise Skipped(f"i686 through qemu: {error}; {lab.why_not('control')}") from error
    if process.poll() is not None:
        raise Skipped(f"i686 through qemu: the control program ended with {process.returncode} "
                      f"before its window showed: {lab.why_not('control')}")
    assert lab.wine.close("EmptyWindow")
    assert process.wait(SLOW) == 0
    print(f"  control window shown and closed after {time.monotonic() - started:.0f} s",
          flush=True)


def shipped_cd_runs(lab, started):
    """The shipped CD from a copy: splash centred, Continue, its accessible tree read by the
    native probe, and the hand-off pressed through it."""
    wine = lab.wine
    cd = lab.options.work / "cd"
    shutil.rmtree(cd, ignore_errors=True)
    shutil.copytree(lab.options.build / "cd", cd)
    setup = lab.start(cd / "Setup.exe", "setup")
    window = poll("the splash window", lambda: setup.poll() is not None or wine.visible(
        cls="VarnokForm"), SLOW, 1)
    assert setup.poll() is None, f"Setup ended with {setup.returncode}: {lab.why_not('setup')}"
    assert (window[0].left, window[0].top) == SPLASH_AT, window
    print(f"  splash at {SPLASH_AT} after {time.monotonic() - started:.0f} s", flush=True)
    lab.display.wait_for_picture("Continue", continue_shows, SLOW, "continue")
    # Through the emulated program's COM tables, as a screen reader would.
    expect_splash_tree(wine, continue_shown=True, seconds=SLOW)
    print(f"  accessible tree read after {time.monotonic() - started:.0f} s", flush=True)
    assert wine.press_accessible("VarnokForm", "Continue", SLOW)
    wine.wait_for("Tourlet's window", SLOW, title=WIZARD_TITLE)
    lab.display.screenshot("tourlet")
    assert wine.close("VarnokForm")
    assert setup.wait(SLOW) == 0
    print(f"  hand-off done after {time.monotonic() - started:.0f} s", flush=True)


def run_emulated(options, machine):
    runner = Runner()
    started = time.monotonic()
    xserver = XServer(options.work)
    lab = None
    try:
        make_prefix(options.work / "prefix", xserver.display, options.work / "logs", machine)
        print(f"  prefix ready after {time.monotonic() - started:.0f} s", flush=True)
        lab = Emulated(options, machine, xserver)
        runner.run("emulated_control_window [i686]", lambda: control_window_runs(lab, started))
        if runner.passed:
            runner.run("shipped_cd_runs [i686]", lambda: shipped_cd_runs(lab, started))
        else:
            runner.skipped += 1
            print("SKIP shipped_cd_runs [i686]: the emulation does not run the control")
        if runner.failed:
            print(f"  logs and screenshots: {options.work}")
    finally:
        if lab:
            lab.wine.stop()
        xserver.stop()
    return runner.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", type=Path, default=Path("build"))
    parser.add_argument("--work", type=Path, default=Path("build/shipped"))
    options = parser.parse_args()
    options.build, options.work = options.build.resolve(), options.work.resolve()
    options.work.mkdir(parents=True, exist_ok=True)

    machine = detect_machine()
    if machine.i386 == "native":
        print("32-bit programs run natively here: make check ran the shipped i686 programs.")
        return 0
    try:
        with contextlib.ExitStack() as stack:
            if machine.i386 == "none":
                stack.enter_context(i386_emulation())
            if not loader_runs(LOADER_32):
                print("SKIP shipped_cd_runs [i686]: the emulator is registered, yet the 32-bit "
                      "Wine loader does not run")
                print("0 passed, 0 failed, 1 skipped")
                return 0
            print("i686: the shipped programs, through qemu user emulation (slow)", flush=True)
            return run_emulated(options, machine)
    except CannotEmulate as why:
        print(f"SKIP shipped_cd_runs [i686]: {why}")
        print("0 passed, 0 failed, 1 skipped")
        return 0


if __name__ == "__main__":
    sys.exit(main())
