#!/usr/bin/env python3
"""The WebAssembly runner under node must give, on every stored replay, the
very trace the native runner stored: same SHA-256 over state, sound and draw.

    wasm_replays.py SIM_JS
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "golden"))
import golden  # noqa: E402  (the stored replays' list and its reader)

# This emscripten's loader trips over node's own fetch.
NODE = ["node", "--no-experimental-fetch"]

if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(golden.check_elsewhere(NODE + [sys.argv[1]], "WebAssembly"))
