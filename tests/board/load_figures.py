#!/usr/bin/env python3
"""Figures, not a test (loopback only):

- GET /api/top?limit=100 under wrk (50 connections, SECONDS), first alone,
  then while ten-minute sessions are verified at the same time: requests/s
  and p99;
- connections held open at once: SLOW clients (default 10,000) that send a
  header line every 2 s and never finish (each one the server drops at the
  head's deadline is opened again), from many loopback addresses (the
  server takes 64 at most from one); meanwhile /healthz answered to another
  client, its p50 and p99; the server's memory with them;
- the server's memory idle and at the peak.

    load_figures.py BUILD_DIR [SECONDS] [SLOW]
"""
import os
import random
import re
import resource
import selectors
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from boardlib import Server, golden_keys, http_call, record_run  # noqa: E402


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


def wrk(url, seconds):
    out = subprocess.run(["wrk", "-t", "2", "-c", "50", "-d", f"{seconds}s", "--latency", url + "/api/top?limit=100"],
                         stdout=subprocess.PIPE, text=True).stdout
    rps = re.search(r"Requests/sec:\s+([\d.]+)", out).group(1)
    p99 = re.search(r"99%\s+([\d.]+\w+)", out).group(1)
    errors = re.search(r"Non-2xx or 3xx responses: (\d+)|Socket errors: (.*)", out)
    return float(rps), p99, errors.group(0) if errors else "none"


def hold_slow(port, count, seconds, done, held_out):
    """COUNT slow-header connections from 127.0.1.x (50 each) for SECONDS."""
    sel = selectors.DefaultSelector()
    sources = [f"127.0.1.{1 + i // 50}" for i in range(count)]
    live = {}

    def open_one(source):
        s = socket.socket()
        s.setblocking(False)
        s.bind((source, 0))
        try:
            s.connect((HOST, port))
        except BlockingIOError:
            pass
        except OSError:
            s.close()
            return
        live[s] = [time.monotonic() + random.uniform(0.2, 2), source, False]
        sel.register(s, selectors.EVENT_READ)

    for source in sources:
        open_one(source)
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        for key, _ in sel.select(timeout=0.1):
            s = key.fileobj
            try:
                data = s.recv(4096)
            except OSError:
                data = b""
            if not data:
                source = live.pop(s)[1]
                sel.unregister(s)
                s.close()
                open_one(source)
        now = time.monotonic()
        for s, state in list(live.items()):
            if state[0] <= now:
                state[0] = now + 2
                try:
                    s.send(b"X-Slow: 1\r\n" if state[2] else b"GET /healthz HTTP/1.1\r\nHost: board\r\n")
                    state[2] = True
                except OSError:
                    pass
        held_out[0] = len(live)
    done.set()
    for s in list(live):
        s.close()


HOST = "127.0.0.1"


def slow_clients(build, tmp, count):
    srv = Server(build, os.path.join(tmp, "slow.db"), "--quiet", log=os.path.join(tmp, "slow.log"))
    idle = memory_kb(srv.proc.pid, "VmRSS")
    done, held = threading.Event(), [0]
    holder = threading.Thread(target=hold_slow, args=(srv.port, count, 25, done, held))
    holder.start()
    time.sleep(8)   # all connected, none yet at the head's deadline
    with_them = memory_kb(srv.proc.pid, "VmRSS")
    held_then = held[0]
    times = []
    while not done.is_set() and len(times) < 2000:
        t0 = time.monotonic()
        status = http_call(srv.url + "/healthz", timeout=10)[0]
        times.append((time.monotonic() - t0, status))
        time.sleep(0.005)
    holder.join()
    srv.stop()
    lat = sorted(t for t, _ in times)
    bad = sum(1 for _, s in times if s != 200)
    p = lambda q: lat[min(len(lat) - 1, int(q * len(lat)))] * 1000  # noqa: E731
    print(f"{held_then} slow clients held at once ({count} asked): /healthz p50 {p(0.5):.1f} ms, "
          f"p99 {p(0.99):.1f} ms, max {lat[-1] * 1000:.0f} ms over {len(lat)} requests ({bad} not 200); "
          f"server memory {idle / 1024:.1f} MiB idle, {with_them / 1024:.1f} MiB with them "
          f"({(with_them - idle) / max(held_then, 1):.1f} KiB a connection)")


def main():
    build = sys.argv[1]
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    slow = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    if slow + 200 > hard:
        slow = hard - 200
    with open("/proc/loadavg", encoding="ascii") as f:
        print("load average at the start:", " ".join(f.read().split()[:3]))
    with tempfile.TemporaryDirectory() as tmp:
        srv = Server(build, os.path.join(tmp, "scores.db"), "--submit-rate", "1000000", "--submit-burst", "1000000",
                     "--quiet", log=os.path.join(tmp, "log"))
        for seed in range(100, 200):   # a hundred rows on the table
            run = record_run(build, golden_keys("play"), seed)
            srv.submit(f"Player {seed}", run.text)
        time.sleep(1)
        idle = memory_kb(srv.proc.pid, "VmRSS")
        alone = wrk(srv.url, seconds)
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
        loaded = wrk(srv.url, seconds)
        peak = memory_kb(srv.proc.pid, "VmHWM")
        stop.set()
        for t in threads:
            t.join()
        srv.stop()
        print(f"GET /api/top (100 rows), 50 connections, {seconds} s, alone: {alone[0]:.0f} requests/s, "
              f"p99 {alone[1]} (errors: {alone[2]})")
        print(f"the same while sessions are verified: {loaded[0]:.0f} requests/s, p99 {loaded[1]} (errors: {loaded[2]}); "
              f"{verified[0]} ten-minute sessions verified meanwhile, {verified[1] / max(verified[0], 1):.2f} s each")
        print(f"memory: idle {idle / 1024:.1f} MiB, peak under load {peak / 1024:.1f} MiB")
        if slow > 0:
            slow_clients(build, tmp, slow)


if __name__ == "__main__":
    main()
