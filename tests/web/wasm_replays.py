#!/usr/bin/env python3
"""The WebAssembly runner under node must give, on every stored replay, the
very trace the native runner stored: same SHA-256 over state, sound and draw.

    wasm_replays.py SIM_JS
"""
import hashlib
import os
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GOLDEN = os.path.join(HERE, "..", "golden")
sys.path.insert(0, GOLDEN)
import golden  # noqa: E402  (the stored replays' list and its reader)

# This emscripten's loader trips over node's own fetch.
NODE = ["node", "--no-experimental-fetch"]


def run(sim, replay, tmp):
    whole = hashlib.sha256()
    last = b""
    for line in golden.trace(NODE + [sim], replay, tmp):
        whole.update(line)
        last = line
    return whole.hexdigest(), last


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    sim = argv[1]
    _, replays = golden.read_list()
    failed = 0
    started = time.monotonic()
    with tempfile.TemporaryDirectory() as tmp:
        for r in replays:
            try:
                sha, last = run(sim, r, tmp)
            except RuntimeError as e:
                failed += 1
                print(f"FAIL  {e}")
                continue
            if sha == r.sha:
                print(f"ok    wasm {r.name}: {last.decode().strip()}")
            else:
                failed += 1
                print(f"FAIL  wasm {r.name}: trace {sha} differs from the stored {r.sha}")
    print(f"{len(replays) - failed} of {len(replays)} stored replays identical under WebAssembly "
          f"({time.monotonic() - started:.1f} s)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
