#!/usr/bin/env python3
"""Runs the shipped i686 programs of build/cd once, on a machine whose kernel runs no 32-bit
program: through qemu's user emulation, registered with binfmt_misc for the length of the
run. Where 32-bit programs run natively, make check has run them already, and this says so.
Where the emulation cannot be set up (not root, no binfmt_misc), it says why and succeeds.

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

from run_tests import expect_splash_tree
from winelab import (BINFMT, LOADER_32, Display, Wine, XServer, detect_machine, loader_runs,
                     make_prefix, poll)

QEMU = Path("/usr/bin/qemu-i386")
ENTRY = "varnok-qemu-i386"
# i386 ELF programs and shared objects, as qemu's own binfmt table has them.
MAGIC = r"\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
MASK = r"\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"
# Every program start through the emulator takes most of a minute.
SLOW = 600
CLIENT_LEFT, CLIENT_TOP = 193, 145
CONTINUE = (CLIENT_LEFT + 436, CLIENT_TOP + 440)
DARK_BLUE = (0, 0, 0xC0)


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
    for args in (["apt-get", "update", "-q"],
                 ["apt-get", "install", "-y", "-q", "--no-install-recommends", "qemu-user"]):
        if subprocess.run(args, env=env, stdin=subprocess.DEVNULL).returncode != 0:
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


def smoke_test(options, machine):
    """The shipped CD from a copy: splash centred, Continue, its accessible tree read by the
    native probe, and the hand-off pressed through it."""
    started = time.monotonic()
    xserver = XServer(options.work)
    wine = Wine(options.work / "prefix", xserver.display, options.work / "logs", machine)
    # The probe is the native x86_64 one: it sees the emulated program through the same prefix.
    wine.probe_exe = options.build / "win64" / "tests" / "e2e" / "probe.exe"
    display = Display(xserver.display, options.work / "screenshots")
    try:
        make_prefix(wine.prefix, xserver.display, options.work / "logs", machine)
        print(f"  prefix ready after {time.monotonic() - started:.0f} s", flush=True)
        cd = options.work / "cd"
        shutil.rmtree(cd, ignore_errors=True)
        shutil.copytree(options.build / "cd", cd)
        setup = wine.start(cd / "Setup.exe", cd, "setup", loader=LOADER_32)
        window = wine.wait_for("the splash window", SLOW, cls="VarnokForm")
        assert (window.left, window.top) == (192, 144), window
        print(f"  splash at (192, 144) after {time.monotonic() - started:.0f} s", flush=True)
        poll("Continue", lambda: display.screenshot().count(DARK_BLUE, *CONTINUE,
                                                             CONTINUE[0] + 60, CONTINUE[1] + 9),
             SLOW, 1)
        display.screenshot("continue")
        # Through the emulated program's COM tables, as a screen reader would.
        expect_splash_tree(wine, continue_shown=True)
        print(f"  accessible tree read after {time.monotonic() - started:.0f} s", flush=True)
        assert wine.press_accessible("VarnokForm", "Continue")
        if (cd / "Tourlet.exe").exists():
            wine.wait_for("Tourlet's window", SLOW, title="Introduction to Pelmor's VARNOK")
            display.screenshot("tourlet")
            assert wine.close("VarnokForm")
        else:
            wine.wait_for("the Fatal Error notice", SLOW, title="Fatal Error")
            assert wine.press_ok("Fatal Error")
            wine.wait_for("the command box", SLOW, title="Pelmor's VARNOK")
            assert wine.press_ok("Pelmor's VARNOK")
        assert setup.wait(SLOW) == 0
        print(f"  hand-off done after {time.monotonic() - started:.0f} s", flush=True)
    finally:
        wine.stop()
        xserver.stop()


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
                print("FAIL the emulator is registered, yet the 32-bit Wine loader does not run")
                print("0 passed, 1 failed")
                return 1
            print("i686: the shipped programs, through qemu user emulation (slow)", flush=True)
            smoke_test(options, machine)
    except CannotEmulate as why:
        print(f"i686: not run - {why}")
        return 0
    except AssertionError as error:
        print(f"FAIL shipped_cd_runs [i686]: {error}\n  logs: {options.work}")
        print("0 passed, 1 failed")
        return 1
    print("PASS shipped_cd_runs [i686]")
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
