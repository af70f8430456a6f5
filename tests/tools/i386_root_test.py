#!/usr/bin/env python3
"""The route of the i686 programs, chosen in one place, and apt's checks left on everywhere."""

import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))

from i386_root import HOST, NONE, ROOT, ROOT_EMULATED, choose_route  # noqa: E402
from runner import Registry, run_all  # noqa: E402

TESTS = Registry()

# wine32 installed, kernel runs 32-bit programs, VARNOK_I386_ROOT=1, run as root: the route.
ROUTES = [
    (True, True, False, True, HOST),
    (True, True, False, False, HOST),
    (True, True, True, True, ROOT),
    (True, True, True, False, NONE),
    (True, False, False, True, ROOT_EMULATED),
    (True, False, True, True, ROOT_EMULATED),
    (False, True, False, True, ROOT),
    (False, True, True, True, ROOT),
    (False, False, False, True, ROOT_EMULATED),
    (False, True, False, False, NONE),
    (False, False, True, False, NONE),
]


@TESTS
def the_route_follows_wine32_the_kernel_the_switch_and_privilege():
    for *given, expected in ROUTES:
        route, why = choose_route(*given)
        assert route == expected and why, (given, route, expected)


# Each of these would let apt take an index or package that fails its signature, size or hash;
# they are spelt in two parts so that this file does not name them whole.
UNCHECKED = [a + b for a, b in [("trusted=", "yes"), ("allow-", "unauthenticated"),
                                ("AllowInsecure", "Repositories"), ("AllowDowngradeTo", "Insecure"),
                                ("allow-insecure", "-repositories"), ("--no-check-", "gpg"),
                                ("Check-Valid-", "Until")]]


@TESTS
def no_file_turns_off_a_check_of_apt():
    root = Path(__file__).resolve().parents[2]
    files = subprocess.run(["git", "ls-files", "-z"], cwd=root, check=True, capture_output=True)
    found = [f"{name}: {option}" for name in files.stdout.decode().split("\0")
             if (root / name).is_file() for text in [(root / name).read_bytes().decode("utf-8", "replace")]
             for option in UNCHECKED if option.lower() in text.lower()]
    assert not found, found


if __name__ == "__main__":
    sys.exit(run_all(TESTS))
