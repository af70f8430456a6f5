#!/usr/bin/env python3
"""An i386 Debian root holding Wine's 32-bit loader, its libraries, the faces and the locales
the tests use, for a machine whose own package set cannot take wine32:i386 (its i386 and amd64
lists out of step, as on a mirror caught mid-sync). The i686 programs then run in it, through
chroot: natively where the kernel runs 32-bit programs, else through qemu's user emulation.

It is made by mmdebstrap from bookworm and bookworm-updates, and from bookworm-security where
that index verifies, with apt checking every index and package against Debian's keyring, and
kept outside the clone (VARNOK_CACHE_DIR, else ~/.cache/varnok). It is reused while its recipe
(the packages and locales asked for) is the same and dpkg finds its files as packaged, and made
again otherwise.

    i386_root.py ensure [--locales de_DE,ja_JP]   make it where missing, stale or damaged
    i386_root.py remove                           unmount what a run left in it, and remove it
    i386_root.py where                            print its folder
"""

import argparse
import contextlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

SUITE = "bookworm"
# Both halves of Wine from the same lists, so that they are in step: the 64-bit one serves the
# prefix and the probe natively, the 32-bit one runs the i686 programs.
PACKAGES = ("wine", "wine64", "wine32:i386", "locales", "fonts-dejavu-core", "fonts-liberation",
            "fonts-wqy-zenhei", "fonts-ipafont-gothic")
KEYRING = Path("/usr/share/keyrings/debian-archive-keyring.gpg")
DEBIAN, SECURITY = "http://deb.debian.org/debian", "http://deb.debian.org/debian-security"
RECIPE_FILE = "etc/varnok-recipe"  # written last: a root without it was never finished
LOADER = "usr/lib/wine/wine"

QEMU = Path("/usr/bin/qemu-i386-static")  # static: it must run inside the root too
BINFMT = Path("/proc/sys/fs/binfmt_misc")
ENTRY = "varnok-qemu-i386"
# i386 ELF programs and shared objects, as qemu's own binfmt table has them.
MAGIC = r"\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
MASK = r"\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"

# How the i686 programs run: the host's own 32-bit Wine, the root's natively, the root's through
# qemu, or not at all.
HOST, ROOT, ROOT_EMULATED, NONE = "host", "root", "root-emulated", "none"


class RootError(Exception):
    pass


def choose_route(host_wine32, kernel_runs_i386, root_asked, privileged):
    """The route of the i686 programs, and why: the host's Wine where it has a 32-bit one the
    kernel runs and nobody asked for the root; else the root, which chroot and binfmt_misc
    leave to root."""
    if host_wine32 and kernel_runs_i386 and not root_asked:
        return HOST, "wine32 is installed and the kernel runs 32-bit programs"
    why = ("VARNOK_I386_ROOT=1 asks for it" if root_asked and host_wine32 else
           "wine32:i386 is not installed")
    if not privileged:
        return NONE, f"{why}, and the i386 root needs root (chroot, mounts, binfmt_misc)"
    if kernel_runs_i386:
        return ROOT, f"{why}: the i386 root, natively"
    return ROOT_EMULATED, (f"{why}, and the kernel runs no 32-bit program: the i386 root, "
                           "through qemu")


def cache_folder():
    if os.environ.get("VARNOK_CACHE_DIR"):
        return Path(os.environ["VARNOK_CACHE_DIR"])
    return Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache") / "varnok"


def folder():
    return cache_folder() / f"i386-root-{SUITE}"


def recipe(locales):
    return (f"suite {SUITE} amd64 i386\npackages {' '.join(PACKAGES)}\n"
            f"locales {' '.join(sorted(locales))}\n")


# The smallest i386 program: exit(0) through int 0x80. Run where no emulator is registered, it
# tells whether the kernel itself runs 32-bit programs.
CODE = bytes.fromhex("b801000000" "31db" "cd80")  # mov eax, 1 (exit); xor ebx, ebx; int 0x80
BASE = 0x08048000
TINY_I386 = (
    b"\x7fELF\x01\x01\x01" + bytes(9)  # 32 bits, little-endian, version 1
    + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, BASE + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
    + struct.pack("<8I", 1, 0, BASE, BASE, 84 + len(CODE), 84 + len(CODE), 5, 0x1000)
    + CODE)


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


def kernel_runs_i386():
    """Whether the kernel runs 32-bit programs itself; False where an emulator would run them."""
    if i386_emulators() or os.environ.get("VARNOK_NO_IA32") == "1":
        return False
    cache_folder().mkdir(parents=True, exist_ok=True)  # /tmp may forbid running programs
    with tempfile.TemporaryDirectory(dir=cache_folder()) as scratch:
        program = Path(scratch) / "tiny"
        program.write_bytes(TINY_I386)
        program.chmod(0o755)
        try:
            return subprocess.run([program], stdin=subprocess.DEVNULL,
                                  timeout=30).returncode == 0
        except OSError:
            return False  # "Exec format error": no ia32 emulation in this kernel


def quietly(args):
    return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def install(packages):
    """Installs Debian's packages where missing, as the set-up does."""
    def installed(name):
        status = subprocess.run(["dpkg-query", "-W", "-f=${Status}", name], capture_output=True,
                                text=True, stdin=subprocess.DEVNULL).stdout
        return status == "install ok installed"

    missing = [name for name in packages if not installed(name)]
    if not missing:
        return
    print(f"Installing {' '.join(missing)}...", flush=True)
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    command = ["apt-get", "install", "-y", "-q", "--no-install-recommends", *missing]
    if subprocess.run(command, env=env, stdin=subprocess.DEVNULL).returncode != 0:
        raise RootError(f"{' '.join(missing)} cannot be installed")


@contextlib.contextmanager
def emulation():
    """Registers qemu for i386 programs where the kernel runs none and no emulator is
    registered; on the way out removes only what it set up. With the F flag the kernel opens
    the emulator now, so it serves inside the root as well."""
    if kernel_runs_i386() or i386_emulators():
        yield
        return
    if os.geteuid() != 0:
        raise RootError("registering an emulator with binfmt_misc needs root")
    mounted = registered = False
    try:
        if not (BINFMT / "register").exists():
            if not quietly(["mount", "-t", "binfmt_misc", "binfmt_misc", str(BINFMT)]):
                raise RootError(f"binfmt_misc cannot be mounted on {BINFMT}")
            mounted = True
        install(["qemu-user-static"])
        try:
            (BINFMT / "register").write_text(f":{ENTRY}:M::{MAGIC}:{MASK}:{QEMU}:F")
            registered = True
        except OSError as error:
            raise RootError(f"binfmt_misc refused the entry: {error}") from error
        yield
    finally:
        if registered:
            (BINFMT / ENTRY).write_text("-1")
        if mounted:
            quietly(["umount", str(BINFMT)])


def mounts_below(path):
    """Mount points at or below `path`, deepest first."""
    points = []
    with open("/proc/self/mountinfo", encoding="utf-8", errors="surrogateescape") as table:
        for line in table:
            # Spaces, tabs, newlines and backslashes come as octal escapes.
            point = re.sub(r"\\([0-7]{3})", lambda m: chr(int(m.group(1), 8)), line.split()[4])
            if point == str(path) or point.startswith(f"{path}/"):
                points.append(point)
    return sorted(set(points), key=len, reverse=True)


def unmount(point):
    """Unmounts, or detaches where something still holds it."""
    if not quietly(["umount", point]):
        quietly(["umount", "--lazy", point])


def release_mounts(root):
    """Unmounts whatever an earlier run ended by force left mounted in the root."""
    for point in mounts_below(root):
        unmount(point)
    if mounts_below(root):
        raise RootError(f"{root} still has mounts: {', '.join(mounts_below(root))}")


def remove(root):
    """Removes a root, never through a mount: the host's folders can be bound into it."""
    if not root.exists() and not root.is_symlink():
        return
    release_mounts(root)
    subprocess.run(["rm", "-rf", "--one-file-system", str(root)], check=True)


def outermost(folders):
    """The folders that lie within none of the others."""
    folders = sorted({Path(f).resolve() for f in folders}, key=lambda f: len(f.parts))
    kept = []
    for candidate in folders:
        if not any(candidate.is_relative_to(outer) for outer in kept):
            kept.append(candidate)
    return kept


@contextlib.contextmanager
def attached(root, folders):
    """The root ready to run programs in: /proc mounted inside, and each of `folders` at its
    own path inside, so that paths read the same in and out. Mounts made later below such a
    folder (the modelled CD drive) show on both sides, as the two are made peers. On the way
    out it unmounts what it mounted, and nothing else."""
    release_mounts(root)
    made = []
    try:
        def mount(*args):
            subprocess.run(["mount", *map(str, args)], check=True, stdin=subprocess.DEVNULL)
            made.append(str(args[-1]))

        mount("-t", "proc", "proc", root / "proc")
        for outside in outermost(folders):
            inside = root / outside.relative_to("/")
            inside.mkdir(parents=True, exist_ok=True)
            mount("--bind", outside, outside)
            subprocess.run(["mount", "--make-shared", str(outside)], check=True)
            mount("--bind", outside, inside)
        yield
    finally:
        for point in reversed(made):
            unmount(point)


def enter(root, cwd):
    """For subprocess's preexec_fn: the child runs in the root, in `cwd` as it reads there."""
    def preexec():
        os.chroot(root)
        os.chdir(cwd)
    return preexec


def host_mirrors():
    """The host's own mirrors of Debian and of its security archive, where its sources name
    them for this suite; Debian's own addresses otherwise."""
    debian, security = DEBIAN, SECURITY
    sources = Path("/etc/apt")
    files = [sources / "sources.list", *sorted((sources / "sources.list.d").glob("*"))]
    for path in files:
        try:
            text = path.read_text()
        except OSError:
            continue
        entries = []
        if path.suffix == ".sources":  # deb822: a paragraph an entry
            for paragraph in text.split("\n\n"):
                fields = dict(re.findall(r"^(\w+):\s*(.*)$", paragraph, re.M))
                for uri in fields.get("URIs", "").split():
                    entries += [(uri, suite) for suite in fields.get("Suites", "").split()]
        else:
            entries = re.findall(r"^deb\s+(?:\[[^]]*\]\s+)?(\S+)\s+(\S+)", text, re.M)
        for uri, suite in entries:
            if suite == SUITE:
                debian = uri
            elif suite == f"{SUITE}-security":
                security = uri
    return debian, security


class Progress:
    """Says which step a long run is at, and every half minute that it goes on."""

    STEPS = {"running apt-get update": "indexes", "downloading": "download",
             "extracting": "unpack", "installing": "configure"}

    def __init__(self, started):
        self.started = started
        self.step = "start"
        self.said = time.monotonic()
        self.done = threading.Event()
        self.ticker = threading.Thread(target=self._tick, daemon=True)
        self.ticker.start()

    def say(self, text):
        minutes, seconds = divmod(int(time.monotonic() - self.started), 60)
        print(f"  i386 root [{minutes}:{seconds:02d}] {text}", flush=True)
        self.said = time.monotonic()

    def line(self, line):
        """One line of mmdebstrap's: a step's start, or a locale made by its hooks."""
        locale = re.search(r"localedef -i (\S+)", line)
        if line.startswith("I: running --customize-hook") and locale:
            self.say(f"configure: the locale {locale.group(1)}")
            return
        for start, step in self.STEPS.items():
            if line.startswith(f"I: {start}"):
                self.step = step
                self.say(f"{step}: {line[3:].strip()}")

    def _tick(self):
        while not self.done.wait(5):
            if time.monotonic() - self.said >= 30:
                self.say(f"{self.step}: going on")

    def stop(self):
        self.done.set()
        self.ticker.join()


def mmdebstrap(target, sources, locales, progress):
    """One run of mmdebstrap; its output lines, and whether it succeeded."""
    hooks = [f'chroot "$1" localedef -i {name} -f UTF-8 {name}.UTF-8' for name in locales]
    hooks.append(f"printf '%s' '{recipe(locales)}' > \"$1/{RECIPE_FILE}\"")
    command = ["mmdebstrap", "--mode=root", "--architectures=amd64,i386", "--variant=essential",
               f"--include={','.join(PACKAGES)}", f"--keyring={KEYRING}",
               *(f"--customize-hook={hook}" for hook in hooks), SUITE, str(target), *sources]
    lines = []
    with subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, errors="replace") as process:
        for line in process.stdout:
            lines.append(line.rstrip())
            progress.line(line)
    return process.returncode == 0, lines


def make(root, locales):
    """Makes the root afresh beside the old one, and puts it in its place once whole."""
    install(["mmdebstrap", "arch-test", "debian-archive-keyring"])
    started = time.monotonic()
    print(f"Making the i386 root for 32-bit Wine in {root}, once: a minute or two with a good "
          "mirror, 1.7 GB.", flush=True)
    partial = root.with_name(root.name + ".partial")
    root.parent.mkdir(parents=True, exist_ok=True)
    debian, security = host_mirrors()
    sources = [f"deb {debian} {SUITE} main", f"deb {debian} {SUITE}-updates main"]
    progress = Progress(started)
    try:
        with emulation():
            remove(partial)
            done, lines = mmdebstrap(partial, [*sources, f"deb {security} {SUITE}-security main"],
                                     locales, progress)
            if not done and any(f"{SUITE}-security" in line and "Err" in line for line in lines):
                progress.say(f"{SUITE}-security's i386 index does not verify now: the root is "
                             f"made from {SUITE} and {SUITE}-updates alone")
                remove(partial)
                done, lines = mmdebstrap(partial, sources, locales, progress)
            if not done:
                raise RootError("mmdebstrap failed:\n  " + "\n  ".join(lines[-15:]))
    finally:
        progress.stop()
    remove(root)
    partial.rename(root)
    progress.say(f"ready in {root}")


def damage(root, locales):
    """Why the root cannot serve as it is, or None."""
    stamp = root / RECIPE_FILE
    if not stamp.exists():
        return "it is missing or was never finished" if root.exists() else "it is missing"
    if stamp.read_text() != recipe(locales):
        return "its recipe has changed"
    verify = subprocess.run(["dpkg", f"--root={root}", "--verify"], stdin=subprocess.DEVNULL,
                            capture_output=True, text=True, errors="replace")
    changed = [line for line in verify.stdout.splitlines() if line.strip()]
    if verify.returncode != 0 or changed:
        first = changed[0].split()[-1] if changed else f"dpkg exits {verify.returncode}"
        return f"dpkg finds {len(changed)} of its files changed or gone ({first})"
    return None


def ensure(root, locales):
    """The root, made again where it is missing, stale or damaged."""
    why = damage(root, locales)
    if why:
        if root.exists():
            print(f"The i386 root in {root} is made again: {why}.", flush=True)
        make(root, locales)
        why = damage(root, locales)
        if why:
            raise RootError(f"the i386 root just made does not verify: {why}")
    else:
        print(f"The i386 root for 32-bit Wine is in place: {root}", flush=True)
    return root


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["ensure", "remove", "where"])
    parser.add_argument("--locales", default="", help="comma-separated, such as de_DE,ja_JP")
    options = parser.parse_args()
    root = folder()
    try:
        if options.command == "ensure":
            ensure(root, [name for name in options.locales.split(",") if name])
        elif options.command == "remove":
            remove(root)
            remove(root.with_name(root.name + ".partial"))
        else:
            print(root)
    except (RootError, subprocess.CalledProcessError) as error:
        print(f"i386 root: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
