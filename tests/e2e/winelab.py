"""Runs the real Windows programs under Wine in a private X server, and looks at them.

One Wine prefix is made per run and copied for every test. Every Wine process gets
/dev/null as input and a log file as output: Wine's helper processes inherit pipes and would
keep them open. Waiting is always polling against a deadline.
"""

import os
import shutil
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768

REGISTRY = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_CONFIG\Software\Fonts]
"LogPixels"=dword:00000060

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000060
"""

# Xvfb has no window manager: Wine places and stacks its windows itself.
UNMANAGED = r"""
[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"""


LOADER_32 = "/usr/lib/wine/wine"
LOADER_64 = "/usr/lib/wine/wine64"
BINFMT = Path("/proc/sys/fs/binfmt_misc")
WINE_FONTS = Path("/usr/share/wine/fonts")
# Folders of the Windows builds, by the architecture of their programs.
BUILD_OF = {"i686": "win32", "x86_64": "win64"}


class Timeout(AssertionError):
    pass


def i386_emulators():
    """Enabled binfmt_misc entries that hand i386 Linux programs to an emulator."""
    found = []
    if not (BINFMT / "status").exists():
        return found
    for entry in BINFMT.iterdir():
        if entry.name in ("register", "status"):
            continue
        try:
            lines = entry.read_text().splitlines()
        except OSError:
            continue
        fields = dict(line.split(" ", 1) for line in lines[1:] if " " in line)
        magic = fields.get("magic", "")
        # An ELF header of 32 bits, little-endian, machine 3 (i386).
        if lines[:1] == ["enabled"] and magic.startswith("7f454c4601") and magic[36:40] == "0300":
            found.append(entry.name)
    return found


def loader_runs(loader):
    try:
        return subprocess.run([loader, "--version"], stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=120).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


@dataclass
class WineMachine:
    """What this machine runs, decided once: the loader every Wine command goes through, the
    architectures whose programs the tests run, and why any is left out."""
    loader: str
    arches: list
    left_out: dict
    i386: str  # "native", "emulated" or "none"

    def command(self, args):
        return [self.loader, *map(str, args)]

    def env(self):
        if self.loader == LOADER_64:
            return {"WINELOADER": LOADER_64, "WINEARCH": "win64"}
        return {}

    def describe(self):
        lines = [f"{arch}: runs" for arch in self.arches]
        return lines + [f"{arch}: not run - {why}" for arch, why in self.left_out.items()]


def detect_machine():
    """Native 32-bit programs, 32-bit through an emulator, or 64-bit alone. Through an
    emulator every start takes most of a minute, so only make check-shipped runs i686 there.
    VARNOK_NO_IA32=1 treats the kernel as one that runs no 32-bit program, to try that path."""
    emulators = i386_emulators()
    runs32 = loader_runs(LOADER_32) if Path(LOADER_32).exists() else False
    if os.environ.get("VARNOK_NO_IA32") == "1" and not emulators:
        runs32 = False
    if runs32 and not emulators:
        return WineMachine(LOADER_32, ["i686", "x86_64"], {}, "native")
    if runs32:
        why = ("32-bit programs run here only through an emulator "
               f"(binfmt_misc: {', '.join(emulators)}); make check-shipped runs them")
        return WineMachine(LOADER_64, ["x86_64"], {"i686": why}, "emulated")
    why = ("this kernel cannot run 32-bit programs (ia32 emulation off); "
           "make check-shipped runs them through emulation")
    return WineMachine(LOADER_64, ["x86_64"], {"i686": why}, "none")


def poll(what, check, seconds, interval=0.1):
    """Calls check() until it returns something true, or fails after `seconds`."""
    deadline = time.monotonic() + seconds
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Timeout(f"gave up waiting for {what} after {seconds} s")
        time.sleep(interval)


@dataclass
class Window:
    pid: int
    visible: bool
    cls: str
    title: str
    left: int
    top: int
    right: int
    bottom: int
    client_width: int
    client_height: int
    style: int
    ex_style: int
    texts: str

    @staticmethod
    def parse(line):
        f = line.rstrip("\n").split("\t")
        left, top, right, bottom = map(int, f[4].split(","))
        cw, ch = map(int, f[5].split(","))
        return Window(int(f[0]), f[1] == "1", f[2], f[3], left, top, right, bottom, cw, ch,
                      int(f[6], 16), int(f[7], 16), f[8].replace("\\n", "\n"))


@dataclass
class Accessible:
    child_id: int
    name: str
    role: int
    state: int
    action: str
    place: tuple

    @staticmethod
    def parse(line):
        child_id, name, role, state, action, place = line.split("\t")
        return Accessible(int(child_id), name.replace("\\n", "\n"), int(role), int(state, 16),
                          action, tuple(int(v) for v in place.split(",")))


class Screenshot:
    def __init__(self, rgb):
        self.rgb = rgb

    def pixel(self, x, y):
        at = (y * SCREEN_WIDTH + x) * 3
        return tuple(self.rgb[at:at + 3])

    def region(self, left, top, right, bottom):
        """The pixels of [left, right) x [top, bottom), row after row."""
        return b"".join(self.rgb[(y * SCREEN_WIDTH + left) * 3:(y * SCREEN_WIDTH + right) * 3]
                        for y in range(top, bottom))

    def count(self, colour, left, top, right, bottom):
        """Pixels of exactly `colour` in [left, right) x [top, bottom)."""
        hits = 0
        for y in range(top, bottom):
            row = self.rgb[(y * SCREEN_WIDTH + left) * 3:(y * SCREEN_WIDTH + right) * 3]
            hits += sum(1 for i in range(0, len(row), 3) if tuple(row[i:i + 3]) == colour)
        return hits


class XServer:
    """A private Xvfb at 1024 x 768, 24 bits; `display` is its DISPLAY value."""

    def __init__(self, logs):
        number = next(n for n in range(90, 200)
                            if not Path(f"/tmp/.X11-unix/X{n}").exists()
                            and not Path(f"/tmp/.X{n}-lock").exists())
        self.log = open(logs / "xvfb.log", "wb")
        self.process = subprocess.Popen(
            ["Xvfb", f":{number}", "-screen", "0",
             f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}x24", "-nolisten", "tcp"],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
        poll("the X server", lambda: Path(f"/tmp/.X11-unix/X{number}").exists(), 20)
        self.display = f":{number}"

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
        self.log.close()


class Wine:
    """A Wine prefix of its own on a shared X server, run through the machine's loader."""

    def __init__(self, prefix, display, logs, machine):
        self.prefix = Path(prefix)
        self.display = display
        self.logs = Path(logs)
        self.logs.mkdir(parents=True, exist_ok=True)
        self.machine = machine
        self.started = []
        self.probe_exe = None
        self.overrides = ""  # more of WINEDLLOVERRIDES, for the programs this test starts

    def env(self):
        env = dict(os.environ)
        env.update(WINEPREFIX=str(self.prefix), DISPLAY=self.display, WINEDEBUG="-all",
                   WINEDLLOVERRIDES=";".join(filter(None, ["mscoree,mshtml=", self.overrides])),
                   LANG="C.UTF-8", LC_ALL="C.UTF-8")
        env.update(self.machine.env())
        return env

    def start(self, exe, cwd, name, loader=None, args=()):
        """Starts a program; `loader` overrides the machine's, for i686 through emulation."""
        log = open(self.logs / f"{name}.log", "wb")
        command = [loader, str(exe), *args] if loader else self.machine.command([exe, *args])
        process = subprocess.Popen(command, cwd=str(cwd), env=self.env(),
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        process.log_file = log
        self.started.append(process)
        return process

    def run(self, args, name, seconds=60, cwd=None):
        with open(self.logs / f"{name}.log", "ab") as log:
            return subprocess.run(args, env=self.env(), stdin=subprocess.DEVNULL, stdout=log,
                                  stderr=subprocess.STDOUT, timeout=seconds, cwd=cwd).returncode

    @staticmethod
    def windows_path(path):
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    def windows(self):
        listing = self.logs / "windows.txt"
        listing.unlink(missing_ok=True)
        self.probe("list", self.windows_path(listing))
        if not listing.exists():
            return []
        return [Window.parse(line) for line in listing.read_text("utf-8").splitlines() if line]

    def visible(self, cls=None, title=None):
        return [w for w in self.windows() if w.visible
                and (cls is None or w.cls == cls) and (title is None or w.title == title)]

    def wait_for(self, what, seconds=20, **match):
        return poll(what, lambda: self.visible(**match), seconds, 0.05)[0]

    def probe(self, *args, seconds=30):
        """Runs the probe program in this prefix; its exit code."""
        return self.run(self.machine.command([self.probe_exe, *args]), "probe", seconds)

    def accessible_tree(self, cls):
        """The client area's accessible object, then its children, as a screen reader reads
        them: one Accessible each."""
        tree = self.logs / "tree.txt"
        tree.unlink(missing_ok=True)
        written = self.probe("tree", cls, self.windows_path(tree), seconds=120) == 0
        if not written or not tree.exists():
            raise AssertionError(f"no accessible object for the {cls} window")
        return [Accessible.parse(line) for line in tree.read_text("utf-8").splitlines() if line]

    def watch_events(self, cls, seconds):
        """Starts noting the accessibility events of the `cls` window's client area; returns
        the process and the file it writes, once the watch is in place."""
        events = self.logs / "events.txt"
        events.unlink(missing_ok=True)
        watcher = self.start(self.probe_exe, self.logs, "events",
                             args=["events", cls, str(seconds), self.windows_path(events)])
        poll("the event watch", lambda: events.exists() and events.read_text("utf-8"), 30)
        return watcher, events

    def press_accessible(self, cls, name):
        """Does the default action of the accessible child named `name`."""
        return self.probe("press", cls, name, seconds=120) == 0

    def press_ok(self, title):
        return self.probe("ok", title) == 0

    def resize(self, cls, width, height):
        return self.probe("resize", cls, width, height) == 0

    def close(self, cls):
        return self.probe("close", cls) == 0

    def stop(self):
        """Ends this prefix's Wine server, which ends the programs this test started in it."""
        self.run(["wineserver", "-k"], "wineserver", 30)
        for process in self.started:
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
            process.log_file.close()


class Display:
    """Pointer and screen of the X server, through xdotool, xwd and ImageMagick."""

    def __init__(self, display, shots):
        self.env = dict(os.environ, DISPLAY=display)
        self.shots = Path(shots)
        self.shots.mkdir(parents=True, exist_ok=True)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                       stdin=subprocess.DEVNULL, timeout=10)

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def click(self, x, y):
        self.move(x, y)
        self.xdotool("click", 1)

    def screenshot(self, name=None):
        raw = subprocess.run("xwd -root -silent | convert xwd:- rgb:-", shell=True, env=self.env,
                             stdin=subprocess.DEVNULL, capture_output=True, check=True,
                             timeout=30).stdout
        if len(raw) != SCREEN_WIDTH * SCREEN_HEIGHT * 3:
            raise AssertionError(f"a screenshot of {len(raw)} bytes")
        if name:
            self.save(raw, name)
        return Screenshot(raw)

    def save_crop(self, shot, name, left, top, width, height):
        path = self.save(shot.rgb, name)
        subprocess.run(["convert", str(path), "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                        str(path)], check=True, timeout=30)
        return path

    def save(self, raw, name):
        path = self.shots / f"{name}.png"
        subprocess.run(["convert", "-size", f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}", "-depth", "8",
                        "rgb:-", str(path)], input=raw, check=True, timeout=30)
        return path


def make_prefix(template, display, logs, machine, managed=False):
    """Boots a Wine prefix at 96 dots per inch, without crash dialogs."""
    shutil.rmtree(template, ignore_errors=True)
    template.mkdir(parents=True)
    wine = Wine(template, display, logs, machine)
    wine.run(machine.command(["wineboot", "-i"]), "wineboot", 600)
    # Debian's Wine leaves its own faces (MS Sans Serif, Tahoma...) out of a new prefix; in the
    # system's font folder they are there as on Windows.
    fonts = template / "drive_c" / "windows" / "Fonts"
    fonts.mkdir(parents=True, exist_ok=True)
    for face in WINE_FONTS.glob("*"):
        shutil.copy(face, fonts / face.name)
    registry = logs / "settings.reg"
    registry.write_text(REGISTRY + ("" if managed else UNMANAGED))
    wine.run(machine.command(["regedit", "/S", registry]), "regedit", 120)
    wine.run(["wineserver", "-w"], "wineserver", 120)


def copy_prefix(template, prefix):
    """Hard links keep the copy quick; files Wine may rewrite in place are real copies."""
    shutil.rmtree(prefix, ignore_errors=True)
    subprocess.run(["cp", "-al", str(template), str(prefix)], check=True)
    for path in [*prefix.glob("*.reg"), *prefix.glob("drive_c/windows/*.ini")]:
        path.unlink()
        shutil.copy2(template / path.relative_to(prefix), path)


def runnable_cd(root, machine):
    """The demo CD folder whose programs this machine runs, and their architecture: build/cd
    (i686, what ships) where 32-bit programs run natively, else a twin staged from the
    x86_64 build."""
    if "i686" in machine.arches:
        return root / "build" / "cd", "i686"
    cd = root / "build" / "cd-x86_64"
    subprocess.run([str(root / "tools" / "stage-cd.sh"), str(root / "build" / "win64"),
                    str(root / "build" / "host"), str(cd)], check=True, stdin=subprocess.DEVNULL)
    print(f"i686 cannot run here ({machine.left_out['i686'].split(';')[0]}): "
          f"using the x86_64 programs of {cd}", flush=True)
    return cd, "x86_64"
