#!/usr/bin/env python3
"""Stored replays: key scripts with a seed, each kept with the SHA-256 of the
runner's full trace (state, sound and draw) and a short digest of every
frame, so a change that moves one frame names the first frame it moved.

    golden.py check BUILD_DIR            replay them all; non-zero on any difference
    golden.py record BUILD_DIR [NAME...] store the hashes of today's traces
                                         (all replays, or the ones named)

The list is replays.tsv beside this file: name, seed, frames ("-" for the
script's length), the high-score file's content at the start ("-" for no
file), the trace's SHA-256 and, optionally, EVERY: a long replay traces only
every EVERY-th frame (the runner's --every), which keeps the set quick while
any change still shows within EVERY frames. The script is NAME.keys, the
frame digests NAME.frames.
"""
import hashlib
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
LIST = os.path.join(HERE, "replays.tsv")
PER_LINE = 32  # frame digests per line of a .frames file


class Replay:
    def __init__(self, fields):
        self.name, self.seed, self.frames, self.score, self.sha = fields[:5]
        self.every = fields[5] if len(fields) > 5 else "1"

    def row(self):
        fields = [self.name, self.seed, self.frames, self.score, self.sha]
        return "\t".join(fields + ([self.every] if self.every != "1" else []))

    def options(self):
        """The runner's options beyond seed, script and score."""
        return (["--frames", self.frames] if self.frames != "-" else []) + \
               (["--every", self.every] if self.every != "1" else [])


def read_list():
    header, replays = [], []
    with open(LIST, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                header.append(line)
                continue
            fields = line.split("\t")
            if len(fields) not in (5, 6) or (len(fields) == 6 and not fields[5].isdigit()):
                sys.exit(f"golden.py: {LIST}: bad line: {line[:80]!r}")
            replays.append(Replay(fields))
    return header, replays


def trace(runner, replay, tmp):
    """Runs the replay with RUNNER (the command that starts a runner, as a
    list); yields the trace line by line (bytes, newline kept)."""
    score = os.path.join(tmp, replay.name + ".dat")
    if os.path.exists(score):
        os.remove(score)
    if replay.score != "-":
        with open(score, "w", encoding="ascii") as f:
            f.write(replay.score + "\n")
    cmd = runner + ["--seed", replay.seed,
           "--script", os.path.join(HERE, replay.name + ".keys"),
           "--trace", "state,sound,draw", "--score", score] + replay.options()
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, bufsize=1 << 20)
    for line in proc.stdout:
        yield line
    if proc.wait() != 0:
        raise RuntimeError(f"{replay.name}: the runner failed (exit {proc.returncode})")


def digests(build, replay, tmp):
    whole = hashlib.sha256()
    frames = []
    last = b""
    for line in trace([os.path.join(build, "pellimunch-sim")], replay, tmp):
        whole.update(line)
        frames.append(hashlib.blake2b(line, digest_size=2).hexdigest())
        last = line
    return whole.hexdigest(), frames, last


def frames_path(replay):
    return os.path.join(HERE, replay.name + ".frames")


def read_frames(replay):
    with open(frames_path(replay), encoding="ascii") as f:
        text = "".join(f.read().split())
    return [text[i:i + 4] for i in range(0, len(text), 4)]


def check(build):
    _, replays = read_list()
    failed = 0
    started = time.monotonic()
    with tempfile.TemporaryDirectory() as tmp:
        for r in replays:
            sha, frames, last = digests(build, r, tmp)
            if sha == r.sha:
                print(f"ok    {r.name}: {last.decode().strip()}")
                continue
            failed += 1
            stored = read_frames(r)
            first = next((i for i, (a, b) in enumerate(zip(frames, stored)) if a != b),
                         min(len(frames), len(stored)))
            # Line 0 is the start-up, the last line says how the run ended;
            # line i is frame i * EVERY.
            where = "the start-up" if first == 0 else f"frame {first * int(r.every)}"
            if first >= len(frames) - 1 or first >= len(stored) - 1:
                where = f"the end line (the run now has {len(frames) - 2} frames, stored {len(stored) - 2})"
            print(f"FAIL  {r.name}: the trace differs first at {where}; replay it with:\n"
                  f"      pellimunch-sim --seed {r.seed} --script tests/golden/{r.name}.keys"
                  f" {' '.join(r.options() + ['--trace', 'state,sound,draw'])}")
    print(f"{len(replays) - failed} of {len(replays)} stored replays identical "
          f"({time.monotonic() - started:.1f} s)")
    return 1 if failed else 0


def check_elsewhere(runner, where):
    """Every stored replay run by RUNNER (another build of the runner: the
    browser's under node, Windows' under Wine) must give the very trace
    stored, byte for byte. WHERE names that build in the lines said."""
    _, replays = read_list()
    failed = 0
    started = time.monotonic()
    with tempfile.TemporaryDirectory() as tmp:
        for r in replays:
            whole = hashlib.sha256()
            last = b""
            try:
                for line in trace(runner, r, tmp):
                    whole.update(line)
                    last = line
            except RuntimeError as e:
                failed += 1
                print(f"FAIL  {e}")
                continue
            if whole.hexdigest() == r.sha:
                print(f"ok    {where} {r.name}: {last.decode().strip()}")
            else:
                failed += 1
                cr = " (CR found in the trace)" if b"\r" in last else ""
                print(f"FAIL  {where} {r.name}: trace {whole.hexdigest()} differs from the stored {r.sha}{cr}")
    print(f"{len(replays) - failed} of {len(replays)} stored replays identical under {where} "
          f"({time.monotonic() - started:.1f} s)")
    return 1 if failed else 0


def record(build, names):
    header, replays = read_list()
    unknown = set(names) - {r.name for r in replays}
    if unknown:
        sys.exit(f"golden.py: not in {LIST}: {', '.join(sorted(unknown))}")
    with tempfile.TemporaryDirectory() as tmp:
        for r in replays:
            if names and r.name not in names:
                continue
            r.sha, frames, last = digests(build, r, tmp)
            with open(frames_path(r), "w", encoding="ascii") as f:
                for i in range(0, len(frames), PER_LINE):
                    f.write("".join(frames[i:i + PER_LINE]) + "\n")
            print(f"recorded {r.name}: {len(frames) - 2} frames, {last.decode().strip()}")
    with open(LIST, "w", encoding="utf-8") as f:
        f.write("\n".join(header + [r.row() for r in replays]) + "\n")
    return 0


def main(argv):
    if len(argv) < 3 or argv[1] not in ("check", "record"):
        sys.exit(__doc__)
    build = argv[2]
    return check(build) if argv[1] == "check" else record(build, argv[3:])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
