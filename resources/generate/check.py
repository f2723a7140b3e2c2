#!/usr/bin/env python3
"""Fails when the committed skin bitmaps, icons or cursor differ from what the
generators draw now (a generator was changed without regenerating, or a
bitmap was edited by hand)."""
import filecmp
import os
import sys
import tempfile

sys.dont_write_bytecode = True
here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)

import icons  # noqa: E402
import skin  # noqa: E402


def main():
    resources = os.path.join(here, "..")
    with tempfile.TemporaryDirectory() as out:
        skin.main(out)
        icons.main(out)
        stale = []
        for name in sorted(os.listdir(out)):
            committed = os.path.join(resources, "skin" if name.endswith(".bmp") else "", name)
            if not os.path.exists(committed) or not filecmp.cmp(committed, os.path.join(out, name), shallow=False):
                stale.append(name)
    for name in stale:
        print("out of date: %s (run resources/generate/skin.py and icons.py)" % name)
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main())
