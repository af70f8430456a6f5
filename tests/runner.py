"""The one test runner of the Python checks: each test a function, every exception in one
fails that test alone, and the run ends with its closing line "N passed, N failed"."""

import time
import traceback


class Skipped(Exception):
    """Raised by a test that cannot run here; the reason is printed, the test counted apart."""


class Registry:
    """The tests of one module, in the order they are written."""

    def __init__(self):
        self.tests = []

    def __call__(self, function):
        self.tests.append(function)
        return function


class Runner:
    def __init__(self):
        self.passed = self.failed = self.skipped = 0

    def run(self, name, body):
        """Runs body() as the test `name`."""
        started = time.monotonic()
        try:
            body()
        except Skipped as why:
            print(f"SKIP {name}: {why}", flush=True)
            self.skipped += 1
            return
        except Exception as error:  # noqa: BLE001 - one failure is one test
            print(f"FAIL {name}: {type(error).__name__}: {error}", flush=True)
            traceback.print_exc()
            self.failed += 1
            return
        print(f"PASS {name} ({time.monotonic() - started:.1f} s)", flush=True)
        self.passed += 1

    def close(self):
        """Prints the closing line; the exit code: 0 where nothing failed and something ran or
        was honestly skipped."""
        skipped = f", {self.skipped} skipped" if self.skipped else ""
        print(f"{self.passed} passed, {self.failed} failed{skipped}", flush=True)
        return 1 if self.failed or not (self.passed or self.skipped) else 0


def run_all(registry):
    """Runs the tests of `registry`, which take nothing; the exit code, as Runner.close()."""
    runner = Runner()
    for test in registry.tests:
        runner.run(test.__name__, test)
    return runner.close()
