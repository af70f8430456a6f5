#!/usr/bin/env python3
"""The route of the i686 programs, chosen in one place, and the folders bound into the root."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))

from i386_root import HOST, NONE, ROOT, ROOT_EMULATED, choose_route, outermost  # noqa: E402
from runner import Registry, Runner  # noqa: E402

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


@TESTS
def only_the_outermost_folders_are_bound():
    assert set(outermost(["/b/build/e2e", "/b/build", "/w", "/b/buildings"])) == {
        Path("/b/build"), Path("/w"), Path("/b/buildings")}


def main():
    runner = Runner()
    for test in TESTS.tests:
        runner.run(test.__name__, test)
    return runner.close()


if __name__ == "__main__":
    sys.exit(main())
