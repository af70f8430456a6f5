"""Start-up from a modelled optical drive: the CD image served by cd_drive.py, mounted afresh
for every run so nothing is cached, and mapped in the Wine prefix as CD-ROM drive D:.
Measures, for Setup.exe and for the empty window program on the same disc, the time from
`start /d D:\\ D:\\<program>` to the program's window, and what the drive delivered before
it; for Setup also the hand-off, from the click on "Continue" to the wizard's window."""

import contextlib
import json
import os
import shutil
import statistics
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from geometry import ON_LABEL, continue_shows, on_screen  # noqa: E402
from winelab import Display, Drive, poll, quiet_run  # noqa: E402

DEFAULT_RATE_KIB = 1200  # 8x
DEFAULT_ACCESS_MS = 100
EMPTY_PROGRAM = "EmptyWin.exe"
# Setup reads the clip past the system's cache (FILE_FLAG_NO_BUFFERING), which Wine does not
# pass on: the drive serves it as Windows reads such a file, each read as asked.
UNCACHED = ("/Varnok.avi",)


@dataclass
class Delivery:
    """What the drive delivered between two moments."""
    bytes: int
    accesses: int

    @staticmethod
    def between(log, since, until):
        within = [read for read in reads_of(log)
                  if since <= read["began"] and read["ended"] <= until]
        return Delivery(sum(read["size"] for read in within),
                        sum(1 for read in within if read["seek"]))


def reads_of(log):
    return [json.loads(line) for line in log.read_text().splitlines()] if log.exists() else []


@dataclass
class DriveRun:
    seconds: float
    delivered: Delivery
    clip_after: float = 0.0  # Setup: from its window to the clip's last byte read


def stage_disc(cd, empty_program, work):
    """The CD image with the empty window program added, laid out as make-iso.sh lays it."""
    folder = work / "disc"
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(cd, folder)
    shutil.copy(empty_program, folder / EMPTY_PROGRAM)
    image = work / "drive.iso"
    quiet_run([ROOT / "tools" / "make-iso.sh", folder, image], work / "logs" / "iso.log")
    return image


def map_drive_d(wine, mount_point):
    d = wine.prefix / "dosdevices" / "d:"
    if d.is_symlink() or d.exists():
        d.unlink()
    d.symlink_to(mount_point)
    assert wine.run(wine.machine.command(
        ["reg", "add", r"HKLM\Software\Wine\Drives", "/v", "d:", "/d", "cdrom", "/f"]),
        "reg") == 0


def start_from_d(wine, program):
    """As autorun starts it: `start /wait` keeps the command until the program has ended."""
    return wine.start("start", wine.logs, program,
                      args=["/wait", "/d", "D:\\", f"D:\\{program}"])


@contextlib.contextmanager
def fresh_drive(drive, program, settle):
    """A run of `program` on a drive mounted for it alone, let go after, and a quiet spell."""
    drive.mount(program, uncached=UNCACHED)
    try:
        yield
    finally:
        drive.unmount()
    time.sleep(settle)


def start_to_window(wine, watcher, drive, program):
    """Starts `program` from D:; its process, and its run to its window."""
    watcher.forget()
    started = time.monotonic()
    process = start_from_d(wine, program)
    mapped = watcher.next_map(program.lower(), 60)
    return process, mapped, DriveRun(mapped - started, Delivery.between(drive.log, started, mapped))


def run_program(wine, watcher, drive, program, window_class, settle):
    with fresh_drive(drive, program, settle):
        process, _, to_window = start_to_window(wine, watcher, drive, program)
        poll(f"{program}'s window to close", lambda: wine.close(window_class), 30)
        process.wait(30)
    return to_window


def run_setup(wine, watcher, display, drive, settle):
    """Setup to its window, then the click on "Continue" to Tourlet's window."""
    with fresh_drive(drive, "Setup.exe", settle):
        process, mapped, to_window = start_to_window(wine, watcher, drive, "Setup.exe")
        display.wait_for_picture('"Continue"', continue_shows, 20)
        to_window.clip_after = max((read["ended"] for read in reads_of(drive.log)
                                    if read["path"] == "/Varnok.avi"), default=mapped) - mapped
        display.move(*on_screen(*ON_LABEL))
        watcher.forget()
        clicked = time.monotonic()
        display.xdotool("click", 1)
        handed = watcher.next_map("tourlet.exe", 60)
        hand_off = DriveRun(handed - clicked, Delivery.between(drive.log, clicked, handed))
        poll("Tourlet's window to close", lambda: wine.close("VarnokForm"), 30)
        process.wait(30)
        poll("Tourlet to end", lambda: not programs_on(drive.mount_point), 30)
    return to_window, hand_off


def programs_on(mount_point):
    """Processes whose working directory or open files lie on the drive."""
    holding = []
    for process in Path("/proc").iterdir():
        try:
            paths = [os.readlink(process / "cwd"),
                     *(os.readlink(fd) for fd in (process / "fd").iterdir())]
        except OSError:
            continue
        if any(path == str(mount_point) or path.startswith(f"{mount_point}/") for path in paths):
            holding.append(process.name)
    return holding


def measure(wine, watcher, xserver, cd, empty_program, work, runs, rate_kib, access_ms, settle):
    """Setup and the empty program in turns, A B A B: runs of each."""
    image = stage_disc(cd, empty_program, work)
    drive = Drive(image, work, rate_kib, access_ms)
    map_drive_d(wine, drive.mount_point)
    display = Display(xserver.display, work / "screenshots")
    setup, hand_off, empty = [], [], []
    # The first start from a new drive letter sets Wine up for it; not measured.
    run_program(wine, watcher, drive, EMPTY_PROGRAM, "EmptyWindow", settle)
    for _ in range(runs):
        to_window, handed = run_setup(wine, watcher, display, drive, settle)
        setup.append(to_window)
        hand_off.append(handed)
        empty.append(run_program(wine, watcher, drive, EMPTY_PROGRAM, "EmptyWindow", settle))
    return setup, hand_off, empty


def spread(values, unit="", digits=0, width=0):
    """The median, then the fastest and slowest: "286 ms (271 to 303)"."""
    return (f"{statistics.median(values):{width}.{digits}f}{unit} "
            f"({min(values):.{digits}f} to {max(values):.{digits}f})")


def report(setup, hand_off, empty, arch, rate_kib, access_ms):
    runs = len(setup)
    print(f"Start-up from a modelled CD drive, as D: ({rate_kib:g} KiB/s, {access_ms:g} ms an "
          f"access, nothing cached at each start, {', '.join(UNCACHED)} read past the cache as "
          f"Setup opens it), {arch} programs, median (fastest to slowest) of {runs} runs in "
          f"turns:")
    rows = (("Setup.exe", setup), ("empty window", empty),
            ('hand-off: click on "Continue" to the wizard\'s window', hand_off))
    for name, measured in rows:
        times = [run.seconds * 1000 for run in measured]
        kib = statistics.median(run.delivered.bytes for run in measured) / 1024
        accesses = statistics.median(run.delivered.accesses for run in measured)
        print(f"  {name}")
        print(f"    {spread(times, ' ms', width=7)}; "
              f"read before it: {kib:.0f} KiB, {accesses:g} "
              f"{'access' if accesses == 1 else 'accesses'}")
    clip_after = [run.clip_after * 1000 for run in setup]
    print(f"  the clip's last byte read, after Setup's window shows: "
          f"{spread(clip_after, ' ms')}; until then its square is white")
    ratios = [s.seconds / e.seconds for s, e in zip(setup, empty)]
    print(f"  ratio Setup / empty window: {spread(ratios, digits=2)}")
