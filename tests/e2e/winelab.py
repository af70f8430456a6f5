"""Runs the real Windows programs under Wine in a private X server, and looks at them.

One Wine prefix is made per run and copied for every test. Every Wine process gets
/dev/null as input and a log file as output: Wine's helper processes inherit pipes and would
keep them open. Waiting is always polling against a deadline.
"""

import contextlib
import ctypes
import json
import os
import select
import shutil
import struct
import subprocess
import sys
import time
from dataclasses import dataclass, replace
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import i386_root  # noqa: E402
from runner import Skipped  # noqa: E402

SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768

# The dots per inch Wine tells programs; it stretches none of them.
DPI_REGISTRY = r"""REGEDIT4

[HKEY_CURRENT_CONFIG\Software\Fonts]
"LogPixels"=dword:{dpi:08x}

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:{dpi:08x}
"""

# Windows' faces for Japanese, Chinese and Arabic, which Wine lacks, drawn by Debian's fonts:
# IPA P Gothic keeps the metrics of MS PGothic, which MS UI Gothic shares. Keyboard cues off,
# as Windows has them (Wine's preferences have them on): focus rectangles come with the
# first key.
REGISTRY = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Control Panel\Desktop]
"UserPreferencesMask"=hex:10,00,02,80,12,00,00,00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="IPAPGothic"
"Microsoft YaHei UI"="WenQuanYi Zen Hei"
"Segoe UI"="DejaVu Sans"
""" + DPI_REGISTRY.format(dpi=96).removeprefix("REGEDIT4\n")



def _hex(data):
    return ",".join(f"{byte:02x}" for byte in data)


def _logfont(face, height, weight):
    """A LOGFONTW as the registry keeps the system's fonts: DEFAULT_CHARSET, variable pitch."""
    return (struct.pack("<5i8B", height, 0, 0, 0, weight, 0, 0, 0, 1, 0, 0, 0, 0x22)
            + face.encode("utf-16-le").ljust(64, b"\0"))


# The caption bar as Windows 7 to 11 draw it, in Segoe UI 9 point, which they link to East
# Asian faces for the letters it lacks; here DejaVu Sans (for Segoe UI, above: Wine links by
# the face it chose), linked to the faces that stand in for MS UI Gothic and Microsoft YaHei
# UI. (Wine's own caption face links to Windows' files, which the prefix lacks, and shows a
# Japanese caption as boxes.)
CAPTION_REGISTRY = f"""
[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]
"CaptionFont"=hex:{_hex(_logfont("Segoe UI", -12, 400))}

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]
"DejaVu Sans"=hex(7):{_hex(b"ipagp.ttf,IPAPGothic" + bytes(1) + b"wqy-zenhei.ttc,WenQuanYi Zen Hei" + bytes(2))}
"""
REGISTRY += CAPTION_REGISTRY

# Xvfb has no window manager: Wine places and stacks its windows itself.
UNMANAGED = r"""
[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"""


# Debian's Wine has no preloader to reserve the ranges Windows fixes before anything else is
# mapped. With a randomised layout about one start in 5,000 finds the loader's heap on the
# shared user data at 0x7ffe0000 and ends at once with exit code 1 ("failed to map the
# shared user data"); unrandomised, the heap starts far below it. setarch execs the command,
# so its process id is the program's.
FIXED_LAYOUT = ["setarch", "--addr-no-randomize"]
LOADER_32 = "/usr/lib/wine/wine"  # the host's, or inside the i386 root
LOADER_64 = "/usr/lib/wine/wine64"
WINE_FONTS = Path("/usr/share/wine/fonts")
# Folders of the Windows builds, by the architecture of their programs.
BUILD_OF = {"i686": "win32", "x86_64": "win64"}


# How many times longer than natively the programs take here: every deadline of the tests is
# stretched by it. Through an emulator it is large.
SLOWNESS = 1


class Timeout(AssertionError):
    pass


class WineProcess(subprocess.Popen):
    """A started program, whose waits are stretched by SLOWNESS as the tests' deadlines are."""

    def wait(self, timeout=None):
        return super().wait(None if timeout is None else timeout * SLOWNESS)


@dataclass
class WineMachine:
    """What this machine runs, decided once: the loader every Wine command goes through, the
    architectures whose programs the tests run, why any is left out, and the route of the
    i686 programs (i386_root.choose_route), with the i386 root where they run in it. A Wine
    that runs in the root (`chroot`) has a prefix of its own, of both halves as the host's."""
    loader: str
    arches: list
    left_out: dict
    route: str
    i386_root: Path = None
    chroot: Path = None

    def for_arch(self, arch):
        """The Wine that runs `arch`'s programs: the i386 root's for i686 where they run there."""
        if arch == "i686" and self.i386_root:
            return replace(self, loader=LOADER_64, arches=["i686"], chroot=self.i386_root)
        return self

    @property
    def prefix_name(self):
        return "prefix-i386-root" if self.chroot else "prefix"

    def command(self, args):
        return [self.loader, *map(str, args)]

    def env(self):
        # The 64-bit loader hands a 32-bit program to its 32-bit twin, where there is one.
        env = {"WINELOADER": LOADER_64, "WINEARCH": "win64"} if self.loader == LOADER_64 else {}
        if self.chroot and self.route == i386_root.ROOT_EMULATED:
            # qemu's default guest space can collide with where Wine maps the shared user
            # data; a reserved space leaves it free.
            env["QEMU_RESERVED_VA"] = "0xf7000000"
        return env

    def describe(self):
        lines = [f"{arch}: runs" + (" in the i386 root" if self.for_arch(arch).chroot else "")
                 for arch in self.arches]
        return lines + [f"{arch}: not run - {why}" for arch, why in self.left_out.items()]

    def attached(self, folders):
        """The i386 root ready for the tests (emulation registered where it needs it, the
        folders seen inside at their own paths) for the length of the block."""
        stack = contextlib.ExitStack()
        if self.i386_root:
            stack.enter_context(i386_root.emulation())
            stack.enter_context(i386_root.attached(self.i386_root, folders))
        return stack


def detect_machine(emulated_i686=False):
    """How this machine runs the programs. i686 runs with the host's 32-bit Wine, or in the
    i386 root where the set-up made one; through an emulator every start takes most of a
    minute, so there only make check-shipped (`emulated_i686`) runs i686."""
    route, why = i386_root.choose_route(
        Path(LOADER_32).exists(), i386_root.kernel_runs_i386(),
        os.environ.get("VARNOK_I386_ROOT") == "1", os.geteuid() == 0)
    if route == i386_root.HOST:
        return WineMachine(LOADER_32, ["i686", "x86_64"], {}, route)
    root = i386_root.folder()
    if route == i386_root.NONE:
        left_out = why
    elif not (root / i386_root.RECIPE_FILE).exists():
        left_out = f"{why}, yet there is no i386 root in {root}: make i386-root makes it"
    elif route == i386_root.ROOT_EMULATED and not emulated_i686:
        left_out = f"{why}; make check-shipped runs them"
    else:
        return WineMachine(LOADER_64, ["i686", "x86_64"], {}, route, root)
    return WineMachine(LOADER_64, ["x86_64"], {"i686": left_out}, route)


def poll(what, check, seconds, interval=0.1):
    """Calls check() until it returns something true, or fails after `seconds` (stretched by
    SLOWNESS)."""
    seconds *= SLOWNESS
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
    """A top-level window as the probe lists it; `children` as the probe gives them (class,
    text, enabled), `texts` their texts; `focus` the text of the window that holds its
    thread's keyboard focus (None: none does), `captured` whether it or a child of it holds
    the mouse capture; `foreground` whether it is the foreground window."""
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
    children: list
    listed_age: float  # the process's age in seconds when listed; negative where unknown
    asked_at: float    # time.monotonic() before the listing was asked for
    focus: str
    captured: bool
    foreground: bool

    @staticmethod
    def of(listed, asked_at):
        left, top, right, bottom = listed["outer"]
        width, height = listed["client"]
        return Window(listed["pid"], listed["visible"], listed["class"], listed["title"], left,
                      top, right, bottom, width, height, listed["style"] & 0xFFFFFFFF,
                      listed["ex_style"] & 0xFFFFFFFF, listed["children"],
                      listed["process_age_ms"] / 1000, asked_at, listed["focus"],
                      listed["captured"], listed["foreground"])

    def process_age(self):
        """An upper bound of how long the window's process has run by now; None where the
        probe could not read it."""
        if self.listed_age < 0:
            return None
        return self.listed_age + time.monotonic() - self.asked_at

    @property
    def texts(self):
        return [child["text"] for child in self.children if child["text"]]

    def enabled(self, text):
        matching = [child["enabled"] for child in self.children if child["text"] == text]
        assert len(matching) == 1, f"{len(matching)} children {text!r} in {self.texts}"
        return matching[0]


class Accessible:
    """One element of an accessible tree: id, name, role, state, action (None where it has no
    default action), place, and for a child the state its parent tells by child id. A value
    the probe could not read fails the test that reads it, with the HRESULT it got."""

    FIELDS = ("name", "role", "state", "action", "place", "parent_state")

    def __init__(self, element):
        self.child_id = element.get("id")
        self.failed = element.get("failed", {})
        self.values = element

    def __getattr__(self, field):
        if field not in Accessible.FIELDS:
            raise AttributeError(field)
        if field in self.failed or "object" in self.failed:
            raise AssertionError(f"the {field} of element {self.child_id} could not be read: "
                                 f"{self.failed}")
        value = self.values[field]
        return tuple(value) if field == "place" else value

    def __repr__(self):
        return f"Accessible({self.values})"


class Screenshot:
    def __init__(self, rgb, width=SCREEN_WIDTH):
        self.rgb = rgb
        self.width = width

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.rgb[at:at + 3])

    def region(self, left, top, right, bottom):
        """The pixels of [left, right) x [top, bottom), row after row."""
        return b"".join(self.rgb[(y * self.width + left) * 3:(y * self.width + right) * 3]
                        for y in range(top, bottom))

    def count(self, colour, left, top, right, bottom):
        """Pixels of exactly `colour` in [left, right) x [top, bottom)."""
        hits = 0
        for y in range(top, bottom):
            row = self.rgb[(y * self.width + left) * 3:(y * self.width + right) * 3]
            hits += sum(1 for i in range(0, len(row), 3) if tuple(row[i:i + 3]) == colour)
        return hits


class XServer:
    """A private Xvfb at 1024 x 768 (or the size given), 24 bits, on a display number it picks
    itself and tells through -displayfd; `display` is its DISPLAY value."""

    def __init__(self, logs, width=SCREEN_WIDTH, height=SCREEN_HEIGHT):
        self.width, self.height = width, height
        self.log = open(logs / "xvfb.log", "wb")
        told, tell = os.pipe()
        try:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(tell), "-screen", "0", f"{width}x{height}x24",
                 "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT,
                pass_fds=(tell,))
        finally:
            os.close(tell)
        try:
            number = self._read_number(told, logs / "xvfb.log")
        finally:
            os.close(told)
        self.display = f":{number}"

    def _read_number(self, told, log):
        deadline = time.monotonic() + 30
        text = b""
        while not text.endswith(b"\n"):
            left = deadline - time.monotonic()
            ready = select.select([told], [], [], max(left, 0))[0] if left > 0 else []
            chunk = os.read(told, 64) if ready else b""
            if not chunk:
                self.stop()
                raise RuntimeError(f"Xvfb gave no display number (exit code "
                                   f"{self.process.returncode}); see {log}")
            text += chunk
        return int(text)

    def check(self):
        """Fails where the X server has ended: every later test would fail for it."""
        if self.process.poll() is not None:
            raise RuntimeError(f"Xvfb ended with exit code {self.process.returncode}")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(10)
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
        self.debug = "-all"  # WINEDEBUG
        self.extra_env = {}

    def env(self):
        env = dict(os.environ)
        env.update(WINEPREFIX=str(self.prefix), DISPLAY=self.display, WINEDEBUG=self.debug,
                   WINEDLLOVERRIDES=";".join(filter(None, ["mscoree,mshtml=", self.overrides])),
                   LANG="C.UTF-8", LC_ALL="C.UTF-8")
        env.update(self.machine.env(), **self.extra_env)
        return env

    def _entering(self, cwd):
        """For a Wine of the i386 root: the child enters it, in `cwd` as it reads there."""
        if not self.machine.chroot:
            return None
        return i386_root.enter(self.machine.chroot, str(cwd or "/"))

    def start(self, exe, cwd, name, args=()):
        """Starts a program."""
        log = open(self.logs / f"{name}.log", "wb")
        process = WineProcess(FIXED_LAYOUT + self.machine.command([exe, *args]), cwd=str(cwd),
                              env=self.env(), stdin=subprocess.DEVNULL, stdout=log,
                              stderr=subprocess.STDOUT, preexec_fn=self._entering(cwd))
        process.log_file = log
        self.started.append(process)
        return process

    def run(self, args, name, seconds=60, cwd=None):
        with open(self.logs / f"{name}.log", "ab") as log:
            return subprocess.run(FIXED_LAYOUT + list(args), env=self.env(),
                                  stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                  timeout=seconds * SLOWNESS, cwd=cwd,
                                  preexec_fn=self._entering(cwd)).returncode

    @staticmethod
    def windows_path(path):
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    def windows(self):
        """Every top-level window, as one listing that succeeded: a probe that fails or leaves
        no readable listing fails the test with its output, so an absence is never read
        from a listing that did not happen."""
        listing = self.logs / "windows.json"
        listing.unlink(missing_ok=True)
        asked_at = time.monotonic()
        log = self.logs / "probe.log"
        seen = log.stat().st_size if log.exists() else 0
        code = self.probe("list", self.windows_path(listing))
        try:
            windows = json.loads(listing.read_text("utf-8"))
        except (OSError, ValueError) as error:
            windows, code = None, code or str(error)
        if code != 0 or not isinstance(windows, list):
            with open(log, "rb") as out:
                out.seek(seen)
                said = out.read().decode("utf-8", "replace").strip()
            raise AssertionError(f"the window listing failed ({code}): {said or 'no output'}")
        return [Window.of(window, asked_at) for window in windows]

    def visible(self, cls=None, title=None):
        return [w for w in self.windows() if w.visible
                and (cls is None or w.cls == cls) and (title is None or w.title == title)]

    def wait_for(self, what, seconds=20, **match):
        return poll(what, lambda: self.visible(**match), seconds, 0.05)[0]

    def probe(self, *args, seconds=30):
        """Runs the probe program in this prefix; its exit code."""
        return self.run(self.machine.command([self.probe_exe, *args]), "probe", seconds)

    def missing_glyphs(self, face, text):
        """The letters of `text` that the face, as this prefix resolves its name, has no glyph
        for: what would show as empty boxes."""
        source, found = self.logs / "glyphs.txt", self.logs / "glyphs.json"
        source.write_text(text, "utf-8")
        found.unlink(missing_ok=True)
        assert self.probe("glyphs", face, self.windows_path(source),
                          self.windows_path(found)) == 0, "the probe could not look"
        return json.loads(found.read_text("utf-8"))

    def accessible_tree(self, cls, seconds=120):
        """The client area's accessible object, then its children, as a screen reader reads
        them: one Accessible each."""
        tree = self.logs / "tree.json"
        tree.unlink(missing_ok=True)
        written = self.probe("tree", cls, self.windows_path(tree), seconds=seconds) == 0
        if not written or not tree.exists():
            raise AssertionError(f"no accessible object for the {cls} window")
        elements = [Accessible(element) for element in json.loads(tree.read_text("utf-8"))]
        unlisted = [element.failed for element in elements if element.child_id is None]
        assert not unlisted, f"the children of the {cls} window could not be listed: {unlisted}"
        return elements

    def hold_accessible(self, cls):
        """Starts a probe that holds the `cls` window's accessible object, as a screen reader
        may, while the test makes the window go; returns it once it holds the object."""
        answers = self.logs / "held.json"
        ready = self.logs / "held.json.ready"
        answers.unlink(missing_ok=True)
        ready.unlink(missing_ok=True)
        holder = self.start(self.probe_exe, self.logs, "hold",
                            args=["hold", cls, self.windows_path(answers)])
        poll("the probe to hold the accessible object",
             lambda: ready.exists() or holder.poll() is not None, 120)
        assert holder.poll() is None, f"no accessible object for the {cls} window to hold"
        return holder, answers

    @staticmethod
    def held_answers(held, seconds=150):
        """What the held object answered: "alive", where the contract fixes the answers, and
        "gone", each method's HRESULT once the window was gone."""
        holder, answers = held
        code = holder.wait(seconds)
        assert code == 0 and answers.exists(), f"the probe holding the object ended with {code}"
        return json.loads(answers.read_text("utf-8"))

    def watch_events(self, cls):
        """Starts noting the accessibility events of the client area of the `cls` windows,
        also those made later; returns the watch once it is in place. It lasts until
        expect_event() has seen its events."""
        events = self.logs / "events.jsonl"
        events.unlink(missing_ok=True)
        Path(str(events) + ".stop").unlink(missing_ok=True)
        watcher = self.start(self.probe_exe, self.logs, "events",
                             args=["events", cls, self.windows_path(events)])
        poll("the event watch", lambda: events.exists() and events.read_text("utf-8"), 30)
        return watcher, events

    @staticmethod
    def expect_event(watch, *wanted, seconds=30):
        """Waits until the watch has noted every event `wanted`, then ends it. (Wine hands
        a watcher in another process the events of one call in no fixed order.)"""
        watcher, events = watch

        def told():
            lines = events.read_text("utf-8").splitlines()
            assert lines and json.loads(lines[0]) == {"ready": True}, lines[:1]
            noted = [json.loads(line) for line in lines[1:] if line.endswith("}")]
            return all(event in noted for event in wanted)

        try:
            poll(f"the events {wanted}", told, seconds)
        finally:
            Path(str(events) + ".stop").write_text("")
            assert watcher.wait(30) == 0, "the event watch failed"

    def press_accessible(self, cls, name, seconds=120):
        """Does the default action of the accessible child named `name`."""
        return self.probe("press", cls, name, seconds=seconds) == 0

    def short_path(self, path):
        """The short form of a Windows path, as Wine makes it."""
        output = self.logs / "short.json"
        output.unlink(missing_ok=True)
        assert self.probe("short", path, self.windows_path(output)) == 0, f"no short form of {path}"
        return json.loads(output.read_text("utf-8"))

    def frame(self, window, dpi):
        """What the system's frame of `window`'s style adds around a client area at `dpi`:
        left, top, right and bottom."""
        output = self.logs / "frame.json"
        output.unlink(missing_ok=True)
        assert self.probe("frame", str(window.style), str(window.ex_style), str(dpi),
                          self.windows_path(output)) == 0, "no frame"
        return json.loads(output.read_text("utf-8"))

    def press_ok(self, title):
        return self.probe("ok", title) == 0

    def resize(self, cls, width, height):
        return self.probe("resize", cls, width, height) == 0

    def repaint(self, cls):
        """Repaints the visible windows of class `cls` whole, and returns once they have."""
        return self.probe("repaint", cls) == 0

    def close(self, cls):
        return self.probe("close", cls) == 0

    def end_session(self):
        """Waits until this prefix's Wine session has wound down, its services and desktop
        included."""
        assert self.run(["wineserver", "-w"], "wineserver", 60) == 0, "the session did not end"

    def stop(self):
        """Ends this prefix's Wine server, which ends the programs this test started in it."""
        self.run(["wineserver", "-k"], "wineserver", 30)
        for process in self.started:
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
            process.log_file.close()


class XImage(ctypes.Structure):
    """Xlib's XImage, as far as a screenshot reads it; `destroy` is its own destroy_image."""
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
                ("obdata", ctypes.c_void_p), ("create", ctypes.c_void_p),
                ("destroy", ctypes.c_void_p)]


class Display:
    """Pointer and screen of the X server: xdotool for input, libX11 for screenshots (a few
    milliseconds each, quick enough to see a clip's frames go by), ImageMagick to save them."""

    Z_PIXMAP, ALL_PLANES = 2, 0xFFFFFFFF

    def __init__(self, display, shots, width=SCREEN_WIDTH, height=SCREEN_HEIGHT):
        self.width, self.height = width, height
        self.env = dict(os.environ, DISPLAY=display)
        self.shots = Path(shots)
        self.shots.mkdir(parents=True, exist_ok=True)
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                       ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                       ctypes.c_ulong, ctypes.c_int]
        self.x11.XGetImage.restype = ctypes.POINTER(XImage)
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.connection = self.x11.XOpenDisplay(display.encode())
        if not self.connection:
            raise OSError(f"cannot open display {display}")
        self.root = self.x11.XDefaultRootWindow(self.connection)

    def close(self):
        if self.connection:
            self.x11.XCloseDisplay(self.connection)
            self.connection = None

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                       stdin=subprocess.DEVNULL, timeout=10)

    def keyboard_layout(self, layout):
        """The X keyboard layout, such as us, ru or ara; a Wine program takes it at start."""
        subprocess.run(["setxkbmap", layout], env=self.env, check=True,
                       stdin=subprocess.DEVNULL, timeout=10)

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def click(self, x, y):
        self.move(x, y)
        self.xdotool("click", 1)

    def screenshot(self, name=None):
        if not self.connection:
            raise AssertionError("the display is closed")
        image = self.x11.XGetImage(self.connection, self.root, 0, 0, self.width, self.height,
                                   self.ALL_PLANES, self.Z_PIXMAP)
        if not image:
            raise AssertionError("the X server gave no screenshot")
        try:
            got = image.contents
            # Xvfb at 24 bits: a 32-bit pixel a point, blue in its lowest byte.
            layout = (got.bits_per_pixel, got.bytes_per_line, got.red_mask, got.byte_order)
            assert layout == (32, self.width * 4, 0xFF0000, 0), layout
            raw = ctypes.string_at(got.data, got.bytes_per_line * got.height)
        finally:
            destroy = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(XImage))(
                image.contents.destroy)
            destroy(image)
        rgb = bytearray(self.width * self.height * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = raw[2::4], raw[1::4], raw[0::4]
        if name:
            self.save(bytes(rgb), name)
        return Screenshot(bytes(rgb), self.width)

    def wait_for_picture(self, what, check, seconds=10, name=None):
        """Takes screenshots until check(shot) is true and fails no assertion; returns that
        shot, saved as `name` if given. A window paints after it is changed: no single frame
        is judged. Where the picture never comes, the last shot is kept and the last reason
        given."""
        seconds *= SLOWNESS
        deadline = time.monotonic() + seconds
        while True:
            shot = self.screenshot()
            try:
                if check(shot):
                    if name:
                        self.save(shot.rgb, name)
                    return shot
                reason = "not seen"
            except AssertionError as error:
                reason = str(error)
            if time.monotonic() > deadline:
                kept = self.save(shot.rgb, f"{name or 'picture'}-never-came")
                raise Timeout(f"gave up waiting for {what} after {seconds} s: {reason} "
                              f"(last screenshot {kept})")
            time.sleep(0.1)

    def wait_for_still(self, what, box, seconds=10, name=None):
        """Takes screenshots until the region `box` (left, top, right, bottom) is the same in
        two in a row, as a window that has finished painting is; returns its pixels."""
        regions = []

        def still(shot):
            regions.append(shot.region(*box))
            return len(regions) > 1 and regions[-1] == regions[-2]

        self.wait_for_picture(what, still, seconds, name)
        return regions[-1]

    def save_crop(self, shot, name, left, top, width, height):
        path = self.save(shot.rgb, name)
        subprocess.run(["convert", str(path), "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                        str(path)], check=True, timeout=30)
        return path

    def save(self, raw, name):
        path = self.shots / f"{name}.png"
        subprocess.run(["convert", "-size", f"{self.width}x{self.height}", "-depth", "8",
                        "rgb:-", str(path)], input=raw, check=True, timeout=30)
        return path


def make_prefix(template, display, logs, machine, managed=False):
    """Boots a Wine prefix at 96 dots per inch, without crash dialogs."""
    shutil.rmtree(template, ignore_errors=True)
    template.mkdir(parents=True)
    wine = Wine(template, display, logs, machine)
    try:
        boot_prefix(wine, template, logs, managed)
    except BaseException:
        wine.stop()  # a run ended meanwhile leaves no session behind
        raise


def boot_prefix(wine, template, logs, managed):
    machine = wine.machine
    wine.run(machine.command(["wineboot", "-i"]), "wineboot", 600)
    # Through an emulator the loader stops waiting for the prefix long before it is made.
    wine.run(["wineserver", "-w"], "wineserver", 3600)
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
    (i686, what ships) where the host's Wine runs 32-bit programs, else a twin staged from the
    x86_64 build."""
    if machine.route == i386_root.HOST:
        return root / "build" / "cd", "i686"
    why = machine.left_out.get("i686", "they run only in the i386 root, which the tests use")
    cd = root / "build" / "cd-x86_64"
    subprocess.run([str(root / "tools" / "stage-cd.sh"), str(root / "build" / "win64"),
                    str(root / "build" / "host"), str(cd)], check=True, stdin=subprocess.DEVNULL)
    print(f"i686 cannot run here ({why.split(';')[0]}): "
          f"using the x86_64 programs of {cd}", flush=True)
    return cd, "x86_64"


ROOT = Path(__file__).resolve().parents[2]


class Drive:
    """A CD image in the modelled optical drive of tools/cd_drive.py, through FUSE: one mount
    at a time, each starting with nothing cached."""

    def __init__(self, image, work, rate_kib, access_ms):
        self.image = image
        self.mount_point = work / "drive"
        self.logs = work / "logs"
        self.log = None
        self.rate_kib = rate_kib
        self.access_ms = access_ms
        self.server = None
        self.mount_point.mkdir(parents=True, exist_ok=True)

    def mount(self, program, failing=(), uncached=()):
        """Mounts afresh; the reads go to a log named after the program, the last run's kept.
        `failing`: "PATH@OFFSET" each, a file of the image whose reads fail from there on;
        `uncached`: files the program reads past the system's cache."""
        self.log = self.logs / f"drive-{program}.jsonl"
        self.log.unlink(missing_ok=True)
        output = open(self.log.with_suffix(".log"), "ab")
        self.server = subprocess.Popen(
            ["/usr/bin/python3", str(ROOT / "tools" / "cd_drive.py"), str(self.image),
             str(self.mount_point), "--log", str(self.log), "--rate", str(self.rate_kib),
             "--access-ms", str(self.access_ms), *(f"--fail={where}" for where in failing),
             *(f"--uncached={path}" for path in uncached)],
            stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT)
        output.close()
        poll("the drive's mount", lambda: os.path.ismount(self.mount_point)
             or self.server.poll() is not None, 30, 0.02)
        if self.server.poll() is not None:
            raise RuntimeError(f"the drive model ended; see {self.log.with_suffix('.log')}")

    def unmount(self):
        """Once nothing holds a file of the disc open; the server then ends by itself."""
        def unmounted():
            return subprocess.run(["fusermount", "-u", str(self.mount_point)],
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode == 0
        try:
            poll("the drive to be let go", unmounted, 30)
        finally:
            try:
                self.server.wait(30)
            except subprocess.TimeoutExpired:
                self.server.kill()
                self.server.wait(10)
            self.server = None


class Lab:
    """One test's bench: a copy of the run's prefix, its own folders, the shared X server,
    and the build of the architecture it runs."""

    def __init__(self, options, xserver, name, machine, arch):
        self.options = options
        self.arch = arch
        self.programs = options.build / BUILD_OF[arch]  # the build this test runs
        self.folder = options.work / arch / name
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir(parents=True)
        machine = machine.for_arch(arch)
        copy_prefix(options.work / machine.prefix_name, self.folder / "prefix")
        self.wine = Wine(self.folder / "prefix", xserver.display, self.folder / "logs", machine)
        # Through an emulator the native probe reads the windows, as a start takes a minute.
        probe_arch = "x86_64" if machine.route == i386_root.ROOT_EMULATED else arch
        self.wine.probe_exe = options.build / BUILD_OF[probe_arch] / "tests" / "e2e" / "probe.exe"
        shots = options.work / "screenshots" / arch / name
        shutil.rmtree(shots, ignore_errors=True)
        self.display = Display(xserver.display, shots)
        self.drive = None  # a modelled CD drive, while one is mounted
        self.xserver = None  # an X server of the test's own

    def use_screen(self, width, height):
        """An X server of the test's own of that size, in place of the shared one, until the
        test ends."""
        self.xserver = XServer(self.folder, width, height)
        self.display.close()
        self.display = Display(self.xserver.display, self.display.shots, width, height)
        self.wine.display = self.xserver.display

    def set_dpi(self, dpi):
        """The DPI the programs this test starts from now on are shown at."""
        settings = self.folder / "logs" / f"dpi-{dpi}.reg"
        settings.write_text(DPI_REGISTRY.format(dpi=dpi))
        assert self.wine.run(self.wine.machine.command(["regedit", "/S", settings]),
                             "regedit") == 0

    def stage(self, folder_name="CD", clip=b"", tourlet=False):
        """A CD folder with Setup.exe; the built clip unless `clip` gives other bytes (None:
        no clip); with `tourlet`, the installer's stand-in as Tourlet.exe."""
        cd = self.folder / folder_name
        cd.mkdir(parents=True)
        shutil.copy(self.programs / "setup" / "Setup.exe", cd / "Setup.exe")
        if clip is not None:
            target = cd / "Varnok.avi"
            if clip:
                target.write_bytes(clip)
            else:
                shutil.copy(self.options.build / "host" / "Varnok.avi", target)
        if tourlet:
            shutil.copy(self.programs / "demo" / "Setup.exe", cd / "Tourlet.exe")
        return cd

    def stage_cd(self, installer=True):
        """The demo CD as staged by make cd, from the build of this test's architecture."""
        cd = self.folder / "CD"
        if self.arch == "i686":
            shutil.copytree(self.options.build / "cd", cd)
        else:
            quiet_run([ROOT / "tools" / "stage-cd.sh", self.programs,
                       self.options.build / "host", cd], self.folder / "logs" / "stage.log")
        if not installer:
            shutil.rmtree(cd / "VARNOK")
        return cd

    def image(self):
        """The CD image of this test's architecture."""
        if self.arch == "i686":
            return self.options.build / "varnok-cd.iso"
        image = self.folder / "varnok-cd.iso"
        if not image.exists():
            quiet_run([ROOT / "tools" / "make-iso.sh", self.stage_cd(), image],
                      self.folder / "logs" / "stage.log")
        return image

    def map_drive_d(self, folder):
        """`folder` as drive D:, of the CD-ROM type."""
        (self.folder / "prefix" / "dosdevices" / "d:").symlink_to(folder)
        assert self.wine.run(self.wine.machine.command(
            ["reg", "add", r"HKLM\Software\Wine\Drives", "/v", "d:", "/d", "cdrom", "/f"]),
            "reg") == 0

    def cd_on_drive_d(self):
        """The CD image, extracted and mapped as drive D:. Returns the folder behind D:."""
        disc = self.folder / "disc"
        quiet_run(["osirrox", "-no_rc", "-indev", self.image(), "-extract", "/", disc],
                  self.folder / "logs" / "stage.log")
        self.map_drive_d(disc)
        return disc

    def cd_in_drive_d(self, failing=()):
        """The CD image in the modelled drive, quick, mapped as drive D: until the test ends, or
        put in again; `failing` as Drive.mount takes it. Where this machine has no FUSE, the
        test is left out, saying so."""
        if not Path("/dev/fuse").exists() or not shutil.which("fusermount"):
            raise Skipped("no FUSE here (/dev/fuse and fusermount): no modelled drive")
        if self.drive is None:
            self.drive = Drive(self.image(), self.folder, 1 << 20, 0)
            self.map_drive_d(self.drive.mount_point)
        else:
            self.drive.unmount()  # another disc, as it were
        self.drive.mount("cd", failing)

    def processes(self):
        """This test's Wine processes: each one's folder in /proc and its program's file name."""
        prefix = f"WINEPREFIX={self.folder / 'prefix'}".encode()
        for process in Path("/proc").iterdir():
            try:
                if prefix not in (process / "environ").read_bytes().split(b"\0"):
                    continue
                args = (process / "cmdline").read_bytes().split(b"\0")
            except OSError:
                continue  # gone meanwhile, or not ours to read
            if args[0].rsplit(b"/", 1)[-1].startswith(b"qemu-"):
                args = args[2:]  # the emulator and the 32-bit loader it runs
            command = args[0].decode(errors="replace") if args else ""
            yield process, command.replace("\\", "/").rsplit("/", 1)[-1]

    def end_chain(self):
        """Waits until the chain's programs have ended, then the Wine session they ran in. A
        program started while the session's services wind down can wait on them for good
        (COM's, for a screen reader's calls); so where a test goes on with a screen reader's
        calls, its next start logs on afresh, as it would on Windows after a change of
        language or DPI."""
        poll("the chain to end", lambda: not self.programs_running(), 20)
        self.wine.end_session()

    def programs_running(self):
        """The chain's programs still running in this test's prefix, by file name."""
        return [name.lower() for _, name in self.processes()
                if name.lower() in ("setup.exe", "tourlet.exe")]

    def stays(self, what, check, seconds=1.0):
        """Fails if check() turns false within `seconds`."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if not check():
                raise AssertionError(f"{what} did not last")
            time.sleep(0.1)

    def evidence(self):
        """What a failed test leaves to look at; a failure here hides not the test's own."""
        print(f"  logs: {self.folder / 'logs'}", flush=True)
        try:
            self.display.screenshot("failure")
            print(f"  screenshot: {self.display.shots / 'failure.png'}", flush=True)
        except Exception as error:  # noqa: BLE001
            print(f"  (no screenshot: {error})", flush=True)
        for process, name in self.processes():  # where a hang waits, when its logs are gone
            try:
                state = (process / "stat").read_text().rsplit(")", 1)[1].split()[0]
                waits = (process / "wchan").read_text() or "-"
            except OSError:
                continue
            print(f"  still running: {process.name} {name} {state} {waits}", flush=True)

    def close(self):
        self.wine.stop()
        self.display.close()
        if self.drive is not None:
            self.drive.unmount()
        if self.xserver is not None:
            self.xserver.stop()


def quiet_run(args, log):
    """A tool of the harness, its output to `log`; fails the test where the tool fails."""
    with open(log, "ab") as out:
        subprocess.run([str(arg) for arg in args], stdin=subprocess.DEVNULL, stdout=out,
                       stderr=subprocess.STDOUT, check=True, timeout=600)
