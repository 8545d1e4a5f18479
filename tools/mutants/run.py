#!/usr/bin/env python3
"""Mutation testing: proves that the unit tests catch the faults of mutants.py.

For each mutant the snippet is replaced in the source tree, the unit tests
are rebuilt in build-mutants/ and run (the end-to-end tests are left out;
the mutant's nearest tests first), and the source file is restored, whatever
happens (also on Ctrl+C). A mutant is
killed when a test fails, survives when every test passes, is a build error
when it does not compile, and is not applicable when its snippet does not
occur exactly once (an error in mutants.py).

    tools/mutants/run.py             every mutant
    tools/mutants/run.py 3 7         only mutants 3 and 7 (numbers as listed)

Exits 1 when the kill rate, killed / (killed + survived), is below 90 %, or
when a mutant is not applicable; 2 when the unmutated tree fails.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from mutants import MUTANTS  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
BUILD = ROOT / "build-mutants"
END_TO_END = ["tst_park", "tst_faults", "tst_logstream", "tst_metrics", "smoke_window"]
EXCLUDE = "^(" + "|".join(END_TO_END) + ")$"
MIN_KILL_RATE = 0.90
# The object files keep their own debug paths: share the cache with build/.
ENV = dict(os.environ, CCACHE_NOHASHDIR="true", QT_QPA_PLATFORM="offscreen")


class Stop(Exception):
    """SIGTERM: end like Ctrl+C, through the finally blocks."""


def on_sigterm(signum, frame):
    raise Stop()


def run(command, log):
    with open(log, "ab") as out:
        out.write(("\n$ " + " ".join(command) + "\n").encode())
        out.flush()
        return subprocess.run(command, cwd=ROOT, env=ENV, stdout=out, stderr=subprocess.STDOUT).returncode


def unit_tests():
    listing = subprocess.run(["ctest", "--test-dir", str(BUILD), "-N", "-E", EXCLUDE], env=ENV,
                             capture_output=True, text=True, check=True).stdout
    return re.findall(r"^\s*Test\s+#\d+: (\S+)$", listing, re.MULTILINE)


def build(log, targets=()):
    """Builds the given targets (the first tests, named as their programs), else everything."""
    return run(["cmake", "--build", str(BUILD), "-j2"] + [arg for target in targets for arg in ("--target", target)],
               log) == 0


def tests_pass(log, tests):
    pattern = "^(" + "|".join(tests) + ")$"
    return run(["ctest", "--test-dir", str(BUILD), "--stop-on-failure", "-j2", "--timeout", "120", "-R", pattern],
               log) == 0


def killed(log, tests, targets=()):
    """Builds and runs tests; None when they do not build."""
    if not build(log, targets):
        return None
    return not tests_pass(log, tests)


def try_mutant(mutant, log):
    path = ROOT / mutant.file
    original = path.read_bytes()
    text = original.decode()
    if text.count(mutant.original) != 1:
        return "not-applicable"
    if subprocess.run(["git", "diff", "--quiet", "--", mutant.file], cwd=ROOT).returncode != 0:
        raise SystemExit(f"{mutant.file} has changes of its own: commit or stash them first")
    try:
        path.write_bytes(text.replace(mutant.original, mutant.replacement).encode())
        # The tests nearest the fault first, so that a killed mutant ends early.
        everything = unit_tests()
        first = [test for test in mutant.first if test in everything]
        for tests, targets in ((first, first), ([test for test in everything if test not in first], ())):
            if not tests:
                continue
            outcome = killed(log, tests, targets)
            if outcome is None:
                return "build-error"
            if outcome:
                return "killed"
        return "survived"
    finally:
        path.write_bytes(original)
        if subprocess.run(["git", "diff", "--quiet", "--", mutant.file], cwd=ROOT).returncode != 0:
            print(f"ERROR: {mutant.file} was not restored", file=sys.stderr)
            sys.exit(3)


def main():
    signal.signal(signal.SIGTERM, on_sigterm)
    chosen = [int(arg) for arg in sys.argv[1:]] or list(range(1, len(MUTANTS) + 1))
    BUILD.mkdir(exist_ok=True)
    log = BUILD / "mutants.log"
    log.write_text("")
    started = time.monotonic()
    if not (BUILD / "build.ninja").exists():
        # ccache, when there is one, makes a fault put back a cache hit.
        launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
        run(["cmake", "-S", str(ROOT), "-B", str(BUILD), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
             "-DQUORVANE_BUILD_BENCH=OFF"] + launcher, log)
    print("Building and testing the unmutated tree...", flush=True)
    if killed(log, unit_tests()) is not False:
        print(f"The unmutated tree does not pass its unit tests: see {log}", file=sys.stderr)
        return 2

    results = []
    try:
        for number in chosen:
            mutant = MUTANTS[number - 1]
            begun = time.monotonic()
            outcome = try_mutant(mutant, log)
            seconds = time.monotonic() - begun
            results.append((number, mutant, outcome, seconds))
            print(f"{number:3} {outcome:14} {seconds:5.0f} s  {mutant.file}: {mutant.description}", flush=True)
            if outcome == "not-applicable":
                print(f"ERROR: mutant {number}: its snippet does not occur exactly once in {mutant.file}",
                      file=sys.stderr, flush=True)
    except (KeyboardInterrupt, Stop):
        print("\nInterrupted: the source tree is restored.", file=sys.stderr)
        return 130

    counts = {kind: sum(1 for r in results if r[2] == kind)
              for kind in ("killed", "survived", "build-error", "not-applicable")}
    print("\n  #  outcome        file: fault")
    for number, mutant, outcome, _ in results:
        print(f"{number:3}  {outcome:14} {mutant.file}: {mutant.description}")
    judged = counts["killed"] + counts["survived"]
    rate = counts["killed"] / judged if judged else 0.0
    print("\n" + ", ".join(f"{count} {kind}" for kind, count in counts.items()))
    print(f"Kill rate {rate:.1%} ({counts['killed']} of {judged}) in {time.monotonic() - started:.0f} s; "
          f"log in {log}")
    if counts["not-applicable"]:
        return 1
    return 0 if rate >= MIN_KILL_RATE else 1


if __name__ == "__main__":
    sys.exit(main())
