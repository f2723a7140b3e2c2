#!/usr/bin/env python3
"""Fails when a product file includes a header from a layer above its own.

The folders form one-directional layers; a lower layer reaches a higher one only
through an interface it owns. Headers private to a folder (engine/Channel.h,
engine/ChannelLock.h) may not be included from outside it at all.
"""
import os
import re
import sys

# Each folder with the folders it may include from (besides itself).
ALLOWED = {
    "core": set(),
    "resources": set(),
    "util": {"core"},
    "wavedata": {"core", "util"},
    "engine": {"core", "util", "wavedata"},
    "recording": {"core", "util", "wavedata"},
    "vklshared": {"core", "util"},
    "ui/framework": {"core", "util", "vklshared"},
    "ui/plugin": {"core", "util", "wavedata", "engine", "recording", "ui/framework", "resources"},
    "plugin": {"core", "util", "wavedata", "engine", "recording", "ui/framework", "ui/plugin", "resources"},
}
PRIVATE = {"engine/Channel.h": "engine", "engine/ChannelLock.h": "engine"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(path):
    for folder in sorted(ALLOWED, key=len, reverse=True):
        if path == folder or path.startswith(folder + "/"):
            return folder
    return None


def main(root):
    faults = []
    for folder in ALLOWED:
        for base, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(base, name), root).replace(os.sep, "/")
                own = folder_of(path)
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for header in INCLUDE.findall(text):
                    target = folder_of(header)
                    if header in PRIVATE and PRIVATE[header] != own:
                        faults.append(f"{path}: includes {header}, private to {PRIVATE[header]}/")
                    elif target and target != own and target not in ALLOWED[own]:
                        faults.append(f"{path}: includes {header} from {target}/, a layer above {own}/")
                    elif target is None and "/" in header:
                        faults.append(f"{path}: includes {header}, which belongs to no product layer")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} layer faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")))
