#!/usr/bin/env python3
"""What a test run needs built, from the tests CTest would run (its JSON listing
on stdin, from `ctest --show-only=json-v1 ARGS`). Prints one word per line:
"i686" when a chosen test reads the 32-bit build (label i686), then "all" when
a chosen test needs the whole x86_64 build, or else the x86_64 targets of the
programs the chosen tests run (each brings the targets it depends on). Tests
labelled "nobuild" need nothing built.

    test_targets.py BIN_DIR < listing.json
"""
import json
import os
import sys


def main():
    bin_dir = os.path.realpath(sys.argv[1])
    tests = json.load(sys.stdin).get("tests", [])
    needs_i686, needs_all, targets = False, False, []
    for test in tests:
        props = {p["name"]: p["value"] for p in test.get("properties", [])}
        if "i686" in props.get("LABELS", []):
            needs_i686 = True
        if "nobuild" in props.get("LABELS", []) or ("FIXTURES_SETUP" in props and "FIXTURES_REQUIRED" not in props):
            continue  # a check of the sources or a data script: needs nothing built
        # A test program (run through the Wine emulator) or a script given a program: their file names.
        programs = [os.path.splitext(os.path.basename(arg))[0] for arg in test.get("command") or []
                    if arg.endswith(".exe") and os.path.dirname(os.path.realpath(arg)) == bin_dir]
        if not programs:
            needs_all = True  # a script that drives whatever the build made
        targets += [name for name in programs if name not in targets]
    if needs_i686:
        print("i686")
    if needs_all:
        print("all")
    else:
        print("\n".join(targets))


if __name__ == "__main__":
    main()
