#!/usr/bin/env python3
"""Nothing includes upward: each folder of src/ may include only its own
headers and those of the tiers below it. Usage: include_directions.py SOURCE_DIR
(or SOURCE_DIR FILE... to check those files only, named as if under src/)."""
import os
import re
import sys

# Bottom up: the canvas; what the game asks of the machine; the game; what
# every host shares; the hosts; the driver; the board. A host's main sits in
# the host's folder and drives a session, so it may reach the driver too.
BELOW = {
    "game/canvas/": ["game/canvas/"],
    "machine/": ["machine/", "game/canvas/"],
    "game/": ["game/", "machine/"],
    "platform/": ["platform/", "machine/", "game/canvas/"],
    "hosts/headless/": ["hosts/headless/", "platform/", "machine/", "game/canvas/"],
    "hosts/": ["platform/", "machine/", "game/canvas/"],
    "driver/": ["driver/", "platform/", "machine/", "game/"],
    "board/": ["board/", "driver/", "hosts/headless/", "platform/", "machine/", "game/"],
}
MAIN_ALSO = ["driver/", "game/view.h", "game/game_constants.h"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def allowed(rel):
    """The include prefixes allowed in the file at rel (relative to src/)."""
    for folder in sorted(BELOW, key=len, reverse=True):
        if rel.startswith(folder):
            allow = list(BELOW[folder])
            if folder == "hosts/":
                allow.append("/".join(rel.split("/")[:2]) + "/")   # its own folder
                if os.path.basename(rel) == "main.cpp":
                    allow += MAIN_ALSO
            return allow
    return None


def check(rel, text):
    allow = allowed(rel)
    if allow is None:
        return [f"{rel}: not in a known tier folder"]
    bad = []
    for n, line in enumerate(text.splitlines(), 1):
        m = INCLUDE.match(line)
        if not m:
            continue
        name = m.group(1)
        if "/" not in name:
            continue   # a header beside it
        if not any(name.startswith(a) for a in allow):
            bad.append(f"src/{rel}:{n}: includes {name} from a tier above it")
    return bad


def main():
    src = os.path.join(sys.argv[1], "src")
    files = []
    for root, _, names in os.walk(src):
        for name in names:
            if name.endswith((".h", ".cpp")):
                path = os.path.join(root, name)
                files.append(os.path.relpath(path, src))
    bad = []
    for rel in sorted(files):
        with open(os.path.join(src, rel), encoding="utf-8", errors="replace") as f:
            bad += check(rel, f.read())
    if bad:
        print("FAIL: includes that go upward:")
        for b in bad:
            print("    " + b)
        return 1
    print(f"ok    {len(files)} sources include only their own tier and those below it")
    return 0


if __name__ == "__main__":
    sys.exit(main())
