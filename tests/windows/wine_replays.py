#!/usr/bin/env python3
"""pellimunch-sim.exe under Wine must give, on every stored replay, the very
trace the native runner stored: the same SHA-256 over state, sound and draw,
byte for byte (no CR added to a line).

    wine_replays.py SIM_EXE
"""
import hashlib
import os
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "golden"))
import golden  # noqa: E402  (the stored replays' list and its reader)


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    sim = argv[1]
    _, replays = golden.read_list()
    failed = 0
    started = time.monotonic()
    with tempfile.TemporaryDirectory() as tmp:
        for r in replays:
            whole = hashlib.sha256()
            last = b""
            try:
                for line in golden.trace(["wine", sim], r, tmp):
                    whole.update(line)
                    last = line
            except RuntimeError as e:
                failed += 1
                print(f"FAIL  {e}")
                continue
            if whole.hexdigest() == r.sha:
                print(f"ok    windows {r.name}: {last.decode().strip()}")
            else:
                failed += 1
                cr = " (CR found in the trace)" if b"\r" in last else ""
                print(f"FAIL  windows {r.name}: trace {whole.hexdigest()} differs from the stored {r.sha}{cr}")
    print(f"{len(replays) - failed} of {len(replays)} stored replays identical under Wine "
          f"({time.monotonic() - started:.1f} s)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
