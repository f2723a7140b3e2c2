#!/usr/bin/env python3
"""Fails when a product file includes a header from a layer above its own.

The folders form one-directional layers; a lower layer reaches a higher one only
through an interface it owns. Headers private to a folder (engine/Channel.h,
engine/ChannelLock.h) may not be included from outside it at all. Core shows
nothing on screen (it reports through the error handler the layers above
install), a few shared rules live in the one layer that owns them, and each
folder's build compiles only its own sources.
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
    "ui/framework": {"core", "util"},
    "ui/plugin": {"core", "util", "wavedata", "engine", "recording", "ui/framework", "resources"},
    "plugin": {"core", "util", "wavedata", "engine", "recording", "ui/framework", "ui/plugin", "resources",
               "vklshared"},
}
# Calls that put something on screen; none may appear in these folders.
SCREEN = re.compile(r"\b(MessageBox\w*|DialogBox\w*|CreateWindow\w*|ShowWindow)\s*\(")
NO_SCREEN = {"core"}
# Functions whose declaration belongs to exactly one folder.
OWNER = {"FirstFreeTrack": "engine", "LoadSharedLibrary": "plugin", "ShowEngineBox": "util"}
DECLARATION = re.compile(r"^\w[\w\s\*&:]*?\b(\w+)\s*\(", re.M)
SOURCE_OUTSIDE = re.compile(r"\$\{PROJECT_SOURCE_DIR\}/[\w/]+\.(?:cpp|c)\b")
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
                if own in NO_SCREEN:
                    for call in SCREEN.findall(text):
                        faults.append(f"{path}: calls {call}; {own}/ shows nothing on screen")
                if name.endswith(".h"):
                    for function in DECLARATION.findall(text):
                        if function in OWNER and OWNER[function] != own:
                            faults.append(f"{path}: declares {function}, which belongs in {OWNER[function]}/")
                for header in INCLUDE.findall(text):
                    target = folder_of(header)
                    if header in PRIVATE and PRIVATE[header] != own:
                        faults.append(f"{path}: includes {header}, private to {PRIVATE[header]}/")
                    elif target and target != own and target not in ALLOWED[own]:
                        faults.append(f"{path}: includes {header} from {target}/, a layer above {own}/")
                    elif target is None and "/" in header:
                        faults.append(f"{path}: includes {header}, which belongs to no product layer")
        build = os.path.join(root, folder, "CMakeLists.txt")
        if os.path.exists(build):
            with open(build, encoding="utf-8") as f:
                for source in SOURCE_OUTSIDE.findall(f.read()):
                    faults.append(f"{folder}/CMakeLists.txt: compiles {source} instead of linking its library")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} layer faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")))
