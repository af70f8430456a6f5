#!/usr/bin/env python3
"""Redraws docs/wizard-languages.png: Tourlet's first page in English, German, Japanese and
Arabic under Wine, in the test prefix, two by two.

    /usr/bin/python3 demo/language_picture.py     (after make cd; Debian's Python has PIL)
"""

import sys
from pathlib import Path

from PIL import Image

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "e2e"))

from winelab import (BUILD_OF, Display, Wine, XServer, detect_machine, make_prefix,  # noqa: E402
                     poll, runnable_cd)
from wizard_tests import catalogue  # noqa: E402

ROOT = HERE.parent
OUT = ROOT / "build" / "language-picture"
LANGUAGES = ("en-US", "de-DE", "ja-JP", "ar-SA")
GAP = 2  # black between the windows


def shoot(wine, screen, cd, tag):
    """The wizard's window in the language `tag`, its frame included, once it has settled."""
    texts = catalogue(tag)
    tourlet = wine.start(cd / "Tourlet.exe", cd, f"tourlet-{tag}", args=[f"/lang={tag}"])
    window = wine.wait_for("the wizard", title=texts["TOURLET_CAPTION"])
    box = (window.left, window.top, window.right, window.bottom)
    pixels = screen.wait_for_still(f"the wizard in {tag}", box)
    wine.close("VarnokForm")
    tourlet.wait(20)
    poll("the wizard to go", lambda: not wine.visible(cls="VarnokForm"), 20)
    width, height = box[2] - box[0], box[3] - box[1]
    return Image.frombytes("RGB", (width, height), pixels)


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    machine = detect_machine()
    cd, arch = runnable_cd(ROOT, machine)
    xserver = XServer(OUT)
    wine = Wine(OUT / "prefix", xserver.display, OUT / "logs", machine)
    wine.probe_exe = ROOT / "build" / BUILD_OF[arch] / "tests" / "e2e" / "probe.exe"
    screen = Display(xserver.display, OUT)
    try:
        make_prefix(wine.prefix, xserver.display, OUT / "logs", machine)
        windows = [shoot(wine, screen, cd, tag) for tag in LANGUAGES]
    finally:
        wine.stop()
        screen.close()
        xserver.stop()
    width, height = windows[0].size
    picture = Image.new("RGB", (2 * width + GAP, 2 * height + GAP))
    for index, window in enumerate(windows):
        picture.paste(window, ((index % 2) * (width + GAP), (index // 2) * (height + GAP)))
    target = ROOT / "docs" / "wizard-languages.png"
    picture.save(target, optimize=True)
    print(f"wrote {target}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
