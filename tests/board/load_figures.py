#!/usr/bin/env python3
"""Figures, not a test: GET /api/top under wrk (50 connections, 20 s) while
ten-minute sessions are verified at the same time, and the server's memory
idle and under that load.

    load_figures.py BUILD_DIR [SECONDS]
"""
import os
import random
import re
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from boardlib import Server, golden_keys, record_run  # noqa: E402


def memory_kb(pid, field):
    with open(f"/proc/{pid}/status", encoding="ascii") as f:
        return int(re.search(rf"{field}:\s+(\d+)", f.read()).group(1))


def session(seed):
    """A ten-minute session of lively keys; its end line is wrong on purpose,
    so it is verified in full and refused (422) every time it is sent."""
    rnd = random.Random(seed)
    spans, total = [], 0
    while total < 36000:
        n = min(rnd.choice([1, 5, 20, 40]), 36000 - total)
        spans.append(f"{n} " + rnd.choice(["LShift", "Right", "Left", "Right+Space", "Up", "-"]))
        total += n
    return f"pellimunch-replay 1\nseed {seed}\nhighscore 1000\n" + "\n".join(spans) + "\nend 36000 close 1\n"


def main():
    build = sys.argv[1]
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    with tempfile.TemporaryDirectory() as tmp:
        srv = Server(build, os.path.join(tmp, "scores.db"), "--submit-rate", "1000000", "--submit-burst", "1000000",
                     log=os.path.join(tmp, "log"))
        for seed in range(100, 200):   # a hundred rows on the table
            run = record_run(build, golden_keys("play"), seed)
            srv.submit(f"Player {seed}", run.text)
        time.sleep(1)
        idle = memory_kb(srv.proc.pid, "VmRSS")
        stop = threading.Event()
        verified = [0, 0.0]

        def submitter(seed):
            text = session(seed)
            while not stop.is_set():
                t0 = time.monotonic()
                status = srv.submit("Load", text)[0]
                if status == 422:
                    verified[0] += 1
                    verified[1] += time.monotonic() - t0
        threads = [threading.Thread(target=submitter, args=(s,)) for s in (1, 2)]
        for t in threads:
            t.start()
        wrk = subprocess.run(["wrk", "-t", "2", "-c", "50", "-d", f"{seconds}s", "--latency",
                              srv.url + "/api/top?limit=100"], stdout=subprocess.PIPE, text=True).stdout
        loaded = memory_kb(srv.proc.pid, "VmHWM")
        stop.set()
        for t in threads:
            t.join()
        srv.stop()
    rps = re.search(r"Requests/sec:\s+([\d.]+)", wrk).group(1)
    p99 = re.search(r"99%\s+([\d.]+\w+)", wrk).group(1)
    print(wrk)
    print(f"GET /api/top (100 rows), 50 connections, {seconds} s: {rps} requests/s, p99 {p99}")
    print(f"meanwhile {verified[0]} ten-minute sessions verified, {verified[1] / max(verified[0], 1):.2f} s each")
    print(f"memory: idle {idle / 1024:.1f} MiB, peak under load {loaded / 1024:.1f} MiB")


if __name__ == "__main__":
    main()
