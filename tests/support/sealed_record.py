#!/usr/bin/env python3
"""Outside the game, nothing names a field of the record.

Compiles every translation unit of the build that is not the game's own (nor a
test's) once more, syntax only, with PM_SEAL_RECORD defined: the record's
fields and inner steps are private then, so naming one is a compile error
that says where. Usage: sealed_record.py BUILD_DIR SOURCE_DIR [FILE...]
(FILE: check these sources only, with the flags of any game-side unit)."""
import json
import os
import shlex
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor


# Code that measures or tests the game from inside, setting up its states
# field by field, as the game's own tests do.
INSIDE = ("src/game/", "tests/", "fuzz/", "bench/bench_frames.cpp", "..")


def outside_game(path, src):
    rel = os.path.relpath(path, src)
    if rel.startswith(INSIDE):
        return False
    return rel.endswith((".cpp", ".cc"))


def reaches_record(path, src, memo={}):
    """Whether the source includes the record's header, directly or not."""
    if path in memo:
        return memo[path]
    memo[path] = False
    found = False
    try:
        text = open(path, encoding="utf-8", errors="replace").read()
    except OSError:
        return False
    for line in text.splitlines():
        line = line.strip()
        if not line.startswith('#include "'):
            continue
        name = line.split('"')[1]
        if name == "game/shell/game_state.h":
            found = True
            break
        for base in (os.path.dirname(path), os.path.join(src, "src"), os.path.join(src, "tools")):
            cand = os.path.join(base, name)
            if os.path.isfile(cand):
                if reaches_record(os.path.realpath(cand), src):
                    found = True
                break
        if found:
            break
    memo[path] = found
    return found


def command_for(entry, path):
    args = entry.get("arguments") or shlex.split(entry["command"])
    out = []
    skip = False
    for a in args:
        if skip:
            skip = False
            continue
        if a in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
            continue
        if a in ("-c", "-MD", "-MMD") or a == entry["file"]:
            continue
        out.append(a)
    return out + ["-fsyntax-only", "-DPM_SEAL_RECORD", path]


def main():
    build, src = sys.argv[1], os.path.realpath(sys.argv[2])
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    jobs = []
    if len(sys.argv) > 3:
        model = next(e for e in entries if os.path.realpath(e["file"]).startswith(os.path.join(src, "src/driver/")))
        jobs = [(model, os.path.realpath(p)) for p in sys.argv[3:]]
    else:
        seen = set()
        for e in entries:
            p = os.path.realpath(e["file"])
            if outside_game(p, src) and p not in seen and reaches_record(p, src):
                seen.add(p)
                jobs.append((e, p))
    if not jobs:
        print("FAIL: no translation unit to check (is compile_commands.json there?)")
        return 1

    def check(job):
        entry, path = job
        r = subprocess.run(command_for(entry, path), cwd=entry["directory"], capture_output=True, text=True)
        return path, r.returncode, r.stderr

    failed = 0
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for path, code, err in pool.map(check, jobs):
            if code != 0:
                failed += 1
                lines = [l for l in err.splitlines() if "error:" in l][:5]
                print(f"FAIL: {os.path.relpath(path, src)} reaches into the record:")
                for l in lines:
                    print("    " + l)
    if failed:
        return 1
    print(f"ok    {len(jobs)} sources outside the game read it through its view only")
    return 0


if __name__ == "__main__":
    sys.exit(main())
