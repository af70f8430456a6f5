#!/usr/bin/env python3
"""Runs the demo CD (build/cd) under Wine.

With a display (DISPLAY set) Setup.exe opens on it and the demo lasts until the chain ends.
Without one the chain runs in a private X server by itself, and a screenshot of each step is
written to build/demo/.
"""

import os
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "e2e"))

from geometry import (NEXT_BUTTON, ON_BACKGROUND, ON_LABEL, STAND_IN_TITLE,  # noqa: E402
                      TITLE, Wizard, continue_shows, highlight_shows, on_screen)
from winelab import (BUILD_OF, Display, Wine, XServer, detect_machine, make_prefix,  # noqa: E402
                     poll, runnable_cd)
from wizard_tests import catalogue  # noqa: E402

ROOT = HERE.parent
OUT = HERE.parent / "build" / "demo"


def probe_for(arch):
    return ROOT / "build" / BUILD_OF[arch] / "tests" / "e2e" / "probe.exe"


def language_of(wanted):
    """The catalogue a /lang= switch of `wanted` picks: the same tag, or the first of the same
    language; English where none is."""
    tags = sorted(path.stem for path in (ROOT / "common" / "texts").glob("*.txt"))
    wanted = wanted.lower()
    return next((tag for tag in tags if tag.lower() == wanted), None) or next(
        (tag for tag in tags if tag.lower().split("-")[0] == wanted.split("-")[0]), "en-US")


def interactive(display, machine, cd, arch, args):
    # A prefix of the other kind of loader cannot be reused.
    wine = Wine(OUT / f"prefix-desktop-{machine.route}", display, OUT / "logs", machine)
    if not (wine.prefix / "system.reg").exists():
        print("Preparing a Wine prefix for the demo (once)...", flush=True)
        make_prefix(wine.prefix, display, OUT / "logs", machine, managed=True)
    print(f"Starting {cd / 'Setup.exe'}; the demo ends with the chain.", flush=True)
    wine.probe_exe = probe_for(arch)
    setup = wine.start(cd / "Setup.exe", cd, "setup", args=args)
    setup.wait()
    # Setup has handed over to the next program, or ended: the demo lasts while any window
    # of the chain (Tourlet, the installer's stand-in, a message box) is still open.
    poll("the end of the chain", lambda: not wine.visible(), 24 * 60 * 60, interval=1)
    return 0


def headless(machine, cd, arch, args, texts):
    xserver = XServer(OUT)
    wine = Wine(OUT / "prefix", xserver.display, OUT / "logs", machine)
    wine.probe_exe = probe_for(arch)
    screen = Display(xserver.display, OUT)
    shots = []

    def shot(name):
        screen.screenshot(name)
        shots.append(OUT / f"{name}.png")
        print(f"  {name}", flush=True)

    try:
        print("No display: running the demo CD in a private X server.", flush=True)
        make_prefix(wine.prefix, xserver.display, OUT / "logs", machine)
        setup = wine.start(cd / "Setup.exe", cd, "setup", args=args)
        wine.wait_for("the splash window", cls="VarnokForm")
        shot("1-splash")
        screen.wait_for_picture("Continue", continue_shows)
        shot("2-continue")
        screen.move(*on_screen(*ON_BACKGROUND))
        screen.move(*on_screen(*ON_LABEL))
        screen.wait_for_picture("the highlight", highlight_shows)
        shot("3-highlight")
        screen.click(*on_screen(*ON_LABEL))
        if (cd / "Tourlet.exe").exists():
            wizard = Wizard(wine, screen, 20, title=texts["TOURLET_CAPTION"],
                            mirrored=texts["LAYOUT"] == "RTL")
            page = screen.screenshot()
            for number in range(3):
                if number:
                    page = wizard.wait_for_page(page, f"page{number}")
                shot(f"{4 + number}-tourlet-page{number}")
                screen.click(*wizard.on_screen(*NEXT_BUTTON))
            wine.wait_for("the installer", title=STAND_IN_TITLE, seconds=20)
            shot("7-installer")
            wine.press_ok(STAND_IN_TITLE)
        else:
            wine.wait_for("the notice", title=texts["FATAL_ERROR_TITLE"])
            shot("4-fatal-error")
            wine.press_ok(texts["FATAL_ERROR_TITLE"])
            wine.wait_for("the command box", title=TITLE)
            shot("5-command")
            wine.press_ok(TITLE)
            setup.wait(20)
    finally:
        wine.stop()
        xserver.stop()
    print("Screenshots:")
    for path in shots:
        print(f"  {path}")
    return 0


def main():
    if not (ROOT / "build" / "cd" / "Setup.exe").exists():
        print("build/cd is not staged: run make demo", file=sys.stderr)
        return 2
    OUT.mkdir(parents=True, exist_ok=True)
    machine = detect_machine()
    cd, arch = runnable_cd(ROOT, machine)
    display = os.environ.get("DISPLAY", "")
    # DEMO_LANG, such as ja or de-DE, as Setup's /lang= switch; LANG is the environment's own.
    language = os.environ.get("DEMO_LANG", "")
    args = [f"/lang={language}"] if language else []
    if display:
        return interactive(display, machine, cd, arch, args)
    return headless(machine, cd, arch, args, catalogue(language_of(language or "en-US")))


if __name__ == "__main__":
    sys.exit(main())
