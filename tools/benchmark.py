#!/usr/bin/env python3
"""Reports how quickly Setup.exe shows its splash window under Wine, beside an empty Win32
window program built the same way: from the local disk, and from a modelled CD drive (see
drive_bench.py), with the hand-off to the wizard; how long decoding its compressed pictures
takes; and the size of both programs, of every file of the demo CD and of its image. It
reports figures only; it never fails on them.

    benchmark.py [--runs N] [--drive-runs N] [--rate KIB_PER_S] [--access-ms MS]
                                   (after make cd; a run count of 0 leaves that part out)
"""

import argparse
import ctypes
import select
import statistics
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

import drive_bench  # noqa: E402
from winelab import (BUILD_OF, Wine, XServer, detect_machine, make_prefix, poll,  # noqa: E402
                     runnable_cd)

GOAL = 1.10
# Wine goes on tidying up after a program has ended; the next start waits until it is quiet.
SETTLE_SECONDS = 1.0


class XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("override_redirect", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("map", XMapEvent), ("pad", ctypes.c_long * 24)]


class XClassHint(ctypes.Structure):
    _fields_ = [("res_name", ctypes.c_char_p), ("res_class", ctypes.c_char_p)]


class MapWatcher:
    """Notes the moment the X server maps a program's window. It listens to the root window
    through libX11 in this process, so the measuring takes no processor time from Wine."""

    MAP_NOTIFY, SUBSTRUCTURE_NOTIFY_MASK = 19, 1 << 19

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        self.x11.XPending.argtypes = [ctypes.c_void_p]
        self.x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
        self.x11.XGetClassHint.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                           ctypes.POINTER(XClassHint)]
        self.x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise OSError(f"cannot open display {display}")
        root = self.x11.XDefaultRootWindow(self.display)
        self.x11.XSelectInput(self.display, root, self.SUBSTRUCTURE_NOTIFY_MASK)
        self.x11.XPending(self.display)
        self.fd = self.x11.XConnectionNumber(self.display)

    def _events(self):
        while self.x11.XPending(self.display):
            event = XEvent()
            self.x11.XNextEvent(self.display, ctypes.byref(event))
            yield time.monotonic(), event

    def forget(self):
        for _ in self._events():
            pass

    def next_map(self, name, seconds):
        """When a window whose class name is `name` was mapped."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            select.select([self.fd], [], [], 0.05)
            for stamp, event in self._events():
                if event.map.type == self.MAP_NOTIFY and self._name(event.map.window) == name:
                    return stamp
        raise TimeoutError(f"no window of {name} within {seconds} s")

    def _name(self, window):
        hint = XClassHint()
        if not self.x11.XGetClassHint(self.display, window, ctypes.byref(hint)):
            return None
        return hint.res_name.decode(errors="replace") if hint.res_name else None

    def stop(self):
        self.x11.XCloseDisplay(self.display)


def seconds_to_window(wine, watcher, exe, window_class, deadline=30):
    """From the start of the process to its window being mapped on the X server."""
    watcher.forget()
    started = time.monotonic()
    process = wine.start(exe, exe.parent, exe.stem)
    mapped = watcher.next_map(exe.name.lower(), deadline)
    poll(f"{exe.name}'s window", lambda: wine.close(window_class), deadline)
    process.wait(30)
    time.sleep(SETTLE_SECONDS)
    return mapped - started


def report_local(setup_times, empty_times, arch):
    ratio = statistics.median(s / e for s, e in zip(setup_times, empty_times))
    print(f"Start to window under Wine from the local disk, {arch} programs, median (fastest "
          f"to slowest) of {len(setup_times)} runs:")
    for name, times in (("Setup.exe   ", setup_times), ("empty window", empty_times)):
        print(f"  {name}  {drive_bench.spread([t * 1000 for t in times], ' ms', width=7)}")
    print(f"  ratio         {ratio:7.2f}   (the goal: {GOAL:.2f} or less)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=21, help="local starts of each program")
    parser.add_argument("--drive-runs", type=int, default=7,
                        help="starts of each program from the modelled drive")
    parser.add_argument("--rate", type=float, default=drive_bench.DEFAULT_RATE_KIB,
                        help="the drive's sustained rate in KiB/s (default: 8x)")
    parser.add_argument("--access-ms", type=float, default=drive_bench.DEFAULT_ACCESS_MS,
                        help="the drive's access time for a read that needs a seek")
    options = parser.parse_args()
    machine = detect_machine()
    cd, arch = runnable_cd(ROOT, machine)
    programs = ROOT / "build" / BUILD_OF[arch]
    work = ROOT / "build" / "bench"
    work.mkdir(parents=True, exist_ok=True)
    staged_empty = work / "emptywin.exe"
    staged_empty.write_bytes((programs / "tools" / "bench" / "emptywin.exe").read_bytes())

    xserver = XServer(work)
    wine = Wine(work / "prefix", xserver.display, work / "logs", machine)
    wine.probe_exe = programs / "tests" / "e2e" / "probe.exe"
    watcher = None
    try:
        make_prefix(wine.prefix, xserver.display, work / "logs", machine)
        watcher = MapWatcher(xserver.display)
        # Wine ends its system processes with the last program of the prefix and starts them
        # again with the next one; a program kept open makes every start a warm one.
        wine.start("notepad.exe", work, "keeper")
        watcher.next_map("notepad.exe", 180)
        # A new prefix's first program waits for Wine to finish setting up.
        seconds_to_window(wine, watcher, staged_empty, "EmptyWindow", deadline=180)
        (work / "logs" / "decode.log").unlink(missing_ok=True)
        wine.run(machine.command([programs / "tools" / "bench" / "decode_pictures.exe",
                                  cd / "Setup.exe"]), "decode", 120)
        decoding = (work / "logs" / "decode.log").read_text(errors="replace").splitlines()
        setup_times, empty_times = [], []
        for _ in range(options.runs):
            setup_times.append(seconds_to_window(wine, watcher, cd / "Setup.exe", "VarnokForm"))
            empty_times.append(seconds_to_window(wine, watcher, staged_empty, "EmptyWindow"))
        if options.drive_runs:
            from_drive = drive_bench.measure(wine, watcher, xserver, cd, staged_empty, work,
                                             options.drive_runs, options.rate, options.access_ms,
                                             SETTLE_SECONDS)
    finally:
        if watcher:
            watcher.stop()
        wine.stop()
        xserver.stop()

    if options.runs:
        report_local(setup_times, empty_times, arch)
    if options.drive_runs:
        drive_bench.report(*from_drive, arch, options.rate, options.access_ms)
    print(f"Decoding Setup.exe's pictures under Wine, {arch}:")
    for line in decoding:
        print(f"  {line}")
    print("Program sizes (the CD ships i686):")
    for build in ("win32", "win64"):
        for program in ("setup/Setup.exe", "tourlet/Tourlet.exe"):
            path = ROOT / "build" / build / program
            if path.exists():
                print(f"  {build}/{program:22} {path.stat().st_size:9,} bytes")
    image = ROOT / "build" / "varnok-cd.iso"
    if image.exists():
        print(f"CD image varnok-cd.iso       {image.stat().st_size:9,} bytes")
    print("Demo CD files:")
    for path in sorted(p for p in cd.rglob("*") if p.is_file()):
        print(f"  {str(path.relative_to(cd)):24} {path.stat().st_size:9,} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
