#!/usr/bin/env python3
"""pellimunch-sim.exe under Wine must give, on every stored replay, the very
trace the native runner stored: the same SHA-256 over state, sound and draw,
byte for byte (no CR added to a line).

    wine_replays.py SIM_EXE
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "golden"))
import golden  # noqa: E402  (the stored replays' list and its reader)

if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(golden.check_elsewhere(["wine", sys.argv[1]], "Wine"))
