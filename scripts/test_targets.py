#!/usr/bin/env python3
"""What a test run needs built, from the tests CTest would run over both builds
(its JSON listing on stdin, from `ctest --show-only=json-v1 ARGS` in BUILD).
Prints one line per need: "ARCH all" when a chosen test of that build needs the
whole build, else "ARCH TARGET" for each program the chosen tests run (each
brings the targets it depends on). A test's build is the prefix of its name
("i686:", "x86_64:"); a test without one checks the sources (label "nobuild":
nothing to build) or both builds at once (label "i686": the whole of both).
Data scripts (fixture set-ups that require nothing) need nothing built.

    test_targets.py BUILD < listing.json
"""
import json
import os
import sys

ARCHES = ("i686", "x86_64")


def main():
    build = os.path.realpath(sys.argv[1])
    tests = json.load(sys.stdin).get("tests", [])
    needs_all, targets = set(), {arch: [] for arch in ARCHES}
    for test in tests:
        props = {p["name"]: p["value"] for p in test.get("properties", [])}
        labels = props.get("LABELS", [])
        arch = test["name"].split(":", 1)[0] if ":" in test["name"] else None
        if arch not in ARCHES:
            if "i686" in labels:
                needs_all.update(ARCHES)
            continue
        if "nobuild" in labels or ("FIXTURES_SETUP" in props and "FIXTURES_REQUIRED" not in props):
            continue
        bin_dir = os.path.join(build, arch, "bin")
        # A test program (run through the Wine emulator) or a script given a program: their file names.
        programs = [os.path.splitext(os.path.basename(arg))[0] for arg in test.get("command") or []
                    if arg.endswith(".exe") and os.path.dirname(os.path.realpath(arg)) == bin_dir]
        if not programs:
            needs_all.add(arch)  # a script that drives whatever the build made
        targets[arch] += [name for name in programs if name not in targets[arch]]
    for arch in ARCHES:
        if arch in needs_all:
            print(arch, "all")
        else:
            for name in targets[arch]:
                print(arch, name)


if __name__ == "__main__":
    main()
