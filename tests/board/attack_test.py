#!/usr/bin/env python3
"""The board server under attack, really started, on loopback only: 500
slow-header connections for 20 s, a 40 MB header block, a chunked body past
1 MiB, bodies whose Content-Length lies, idle keep-alive connections past
the cap of one address; meanwhile a probe keeps reading /healthz and
/api/top, each answer well under a second, and afterwards the server's
memory is back near where it was. Then: SIGTERM with stalled clients and
verifications in hand (exit 0 within 10 s, every 201 kept); a 503 that
gives the address its rate-limit token back; 415, no CORS, and the headers
every answer carries; the request log escaped. Loops are bounded in count
and time. Standard library only.

    attack_test.py BUILD_DIR
"""
import json
import os
import random
import re
import resource
import selectors
import socket
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import boardlib  # noqa: E402
from boardlib import Server, check, golden_keys, http_call, record_run  # noqa: E402

HOST = "127.0.0.1"
HEAD_DEADLINE = 10      # server.h: HeadTimeoutSeconds
BODY_DEADLINE = 30      # BodyTimeoutSeconds
IDLE_DEADLINE = 5       # KeepAliveIdleSeconds
PER_ADDRESS = 64        # MaxConnectionsPerAddress


def rss_kb(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def connect(port, source=HOST, timeout=5):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.settimeout(timeout)
    s.bind((source, 0))
    s.connect((HOST, port))
    return s


def read_answer(s, timeout=5):
    """(status, headers, body) of one answer on S; (0, {}, b"") when the
    server closed or reset the connection without one."""
    s.settimeout(timeout)
    data = b""
    try:
        while b"\r\n\r\n" not in data:
            chunk = s.recv(65536)
            if not chunk:
                return 0, {}, b""
            data += chunk
        head, body = data.split(b"\r\n\r\n", 1)
        lines = head.decode("latin-1").split("\r\n")
        headers = {k.lower(): v.strip() for k, v in (line.split(":", 1) for line in lines[1:])}
        length = int(headers.get("content-length", "0"))
        while len(body) < length:
            chunk = s.recv(65536)
            if not chunk:
                break
            body += chunk
        return int(lines[0].split()[1]), headers, body
    except (ConnectionResetError, socket.timeout, OSError):
        return 0, {}, b""


def closed_by_server(s, timeout):
    """True when the server closes S (EOF or reset) within TIMEOUT seconds."""
    s.settimeout(timeout)
    try:
        while True:
            if not s.recv(65536):
                return True
    except (ConnectionResetError, BrokenPipeError):
        return True
    except (socket.timeout, OSError):
        return False


class Probe(threading.Thread):
    """Reads /healthz and /api/top, one after the other, until stopped;
    keeps the slowest answer and every failure."""

    def __init__(self, url):
        super().__init__(daemon=True)
        self.url, self.stopped = url, threading.Event()
        self.slowest, self.count, self.failures = 0.0, 0, []

    def run(self):
        while not self.stopped.is_set():
            for path in ("/healthz", "/api/top?limit=100"):
                t0 = time.monotonic()
                try:
                    status = http_call(self.url + path, timeout=5)[0]
                    if status != 200:
                        self.failures.append(f"{path}: {status}")
                except OSError as e:
                    self.failures.append(f"{path}: {e}")
                self.slowest = max(self.slowest, time.monotonic() - t0)
                self.count += 1
            time.sleep(0.05)


def slow_headers(port, sources, per_source, seconds, out):
    """PER_SOURCE connections from each of SOURCES that send a header line
    every 2 s and never finish; each one the server drops is opened again,
    for SECONDS. OUT gets each dropped connection's life in seconds and the
    most held at once."""
    sel = selectors.DefaultSelector()
    held = {}

    def open_one(source):
        try:
            s = connect(port, source)
            s.sendall(b"GET /api/top HTTP/1.1\r\nHost: board\r\n")
            s.setblocking(False)
        except OSError:
            return
        held[s] = [time.monotonic(), time.monotonic() + 2, source]
        sel.register(s, selectors.EVENT_READ)

    def drop(s, by_server):
        started, _, source = held.pop(s)
        sel.unregister(s)
        s.close()
        if by_server:
            out["lives"].append(time.monotonic() - started)
        return source

    for source in sources:
        for _ in range(per_source):
            open_one(source)
    out["most"] = len(held)
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        for key, _ in sel.select(timeout=0.2):
            s = key.fileobj
            try:
                data = s.recv(4096)
            except (ConnectionResetError, BlockingIOError, OSError):
                data = b""
            if not data:
                open_one(drop(s, True))
            else:
                out["answered"] += 1   # the server should never answer these
        now = time.monotonic()
        for s, state in list(held.items()):
            if state[1] <= now:
                state[1] = now + 2
                try:
                    s.send(b"X-Slow: 1\r\n")
                except OSError:
                    pass
        out["most"] = max(out["most"], len(held))
    for s in list(held):
        drop(s, False)


def flood_header(port, source):
    """A 40 MB header block: the status and how long it took."""
    s = connect(port, source, timeout=10)
    t0 = time.monotonic()

    def send():
        try:
            s.sendall(b"GET /healthz HTTP/1.1\r\nHost: board\r\n")
            line = b"X-Pad: " + b"p" * 1000 + b"\r\n"
            for _ in range(40000):
                s.sendall(line)
        except OSError:
            pass
    sender = threading.Thread(target=send, daemon=True)
    sender.start()
    status = read_answer(s, timeout=10)[0]
    took = time.monotonic() - t0
    s.close()
    sender.join(30)
    return status, took


def chunked_body(port, source):
    """A chunked body that goes on past 1 MiB: the status and how long it took."""
    s = connect(port, source, timeout=10)
    t0 = time.monotonic()

    def send():
        try:
            s.sendall(b"POST /api/runs HTTP/1.1\r\nHost: board\r\nContent-Type: application/json\r\n"
                      b"Transfer-Encoding: chunked\r\n\r\n")
            chunk = b"%x\r\n" % 65536 + b" " * 65536 + b"\r\n"
            for _ in range(64):   # 4 MiB
                s.sendall(chunk)
        except OSError:
            pass
    sender = threading.Thread(target=send, daemon=True)
    sender.start()
    status = read_answer(s, timeout=10)[0]
    took = time.monotonic() - t0
    s.close()
    sender.join(30)
    return status, took


def attack(build, tmp):
    srv = Server(build, os.path.join(tmp, "attack.db"), "--submit-burst", "1000", log=os.path.join(tmp, "attack.log"))
    run = record_run(build, golden_keys("gameover"), 8, frames=1300)
    check(srv.submit("Ana", run.text)[0] == 201, "a run on the table")
    for _ in range(50):   # warm: the pools, the cache, the allocator
        srv.call("/api/top?limit=100")
        srv.call("/healthz")
    before = rss_kb(srv.proc.pid)
    probe = Probe(srv.url)
    probe.start()

    # Bodies that never come: each connection is dropped at the body's deadline.
    liars = []
    for _ in range(10):
        s = connect(srv.port, "127.0.0.12")
        s.sendall(b"POST /api/runs HTTP/1.1\r\nHost: board\r\nContent-Type: application/json\r\n"
                  b"Content-Length: 100000\r\n\r\n{\"name\": \"L")
        liars.append(s)
    liars_sent = time.monotonic()

    # 500 slow heads for 20 s, from ten addresses (50 each, under the cap).
    slow = {"lives": [], "most": 0, "answered": 0}
    sources = [f"127.0.0.{i}" for i in range(2, 12)]
    slowloris = threading.Thread(target=slow_headers, args=(srv.port, sources, 50, 20, slow))
    slowloris.start()
    time.sleep(1)
    peak = rss_kb(srv.proc.pid)

    # Meanwhile: the header flood and the long chunked body, answered at once.
    status, took = flood_header(srv.port, "127.0.0.14")
    check(status == 431 and took < 1, f"a 40 MB header block: {status} after {took:.2f} s")
    status, took = chunked_body(srv.port, "127.0.0.15")
    check(status == 413 and took < 1, f"a chunked body past 1 MiB: {status} after {took:.2f} s")

    # Idle keep-alive connections up to the cap of one address; past it a
    # connection is closed at once; the idle ones go at the idle deadline.
    idle = []
    for _ in range(PER_ADDRESS):
        s = connect(srv.port, "127.0.0.13")
        s.sendall(b"GET /healthz HTTP/1.1\r\nHost: board\r\n\r\n")
        check(read_answer(s)[0] == 200, "a keep-alive request")
        idle.append(s)
    idled = time.monotonic()
    t0 = time.monotonic()
    try:
        extra = connect(srv.port, "127.0.0.13")
        extra.sendall(b"GET /healthz HTTP/1.1\r\nHost: board\r\n\r\n")
        status = read_answer(extra, timeout=3)[0]
        extra.close()
    except OSError:   # reset before connect() even returned
        status = 0
    check(status == 0 and time.monotonic() - t0 < 1, "a connection past the cap of its address is closed at once, unanswered")
    other = connect(srv.port, "127.0.0.16")
    other.sendall(b"GET /healthz HTTP/1.1\r\nHost: board\r\n\r\n")
    check(read_answer(other)[0] == 200, "another address is served meanwhile")
    other.close()
    for s in idle:
        check(closed_by_server(s, max(0.1, idled + IDLE_DEADLINE + 3 - time.monotonic())),
              "an idle keep-alive connection is closed at the idle deadline")
        s.close()
    again = connect(srv.port, "127.0.0.13")
    again.sendall(b"GET /healthz HTTP/1.1\r\nHost: board\r\n\r\n")
    check(read_answer(again)[0] == 200, "the address is served again once its connections are gone")
    again.close()

    slowloris.join(60)
    check(slow["most"] >= 500, f"500 slow connections held at once ({slow['most']})")
    check(len(slow["lives"]) >= 500, f"each slow connection dropped ({len(slow['lives'])} drops)")
    longest = max(slow["lives"])
    check(longest < HEAD_DEADLINE + 3, f"a slow head is dropped at its deadline (the longest lived {longest:.1f} s)")
    check(slow["answered"] == 0, "a slow head gets no answer, only a close")
    for s in liars:
        check(closed_by_server(s, max(0.1, liars_sent + BODY_DEADLINE + 3 - time.monotonic())),
              "a lying Content-Length costs the body's deadline at most")
        s.close()
    probe.stopped.set()
    probe.join(10)
    check(not probe.failures, f"the probe was always answered: {probe.failures[:5]}")
    check(probe.count > 100 and probe.slowest < 1, f"the probe's slowest answer {probe.slowest:.3f} s")
    check(srv.top()["total"] == 1, "the table is as it was")
    time.sleep(1)
    after = rss_kb(srv.proc.pid)
    check(after < before + 32 * 1024, f"memory back near where it was: {before} KiB, {after} KiB after")
    print(f"attack: probe {probe.count} answers, slowest {probe.slowest * 1000:.0f} ms; slow heads held "
          f"{slow['most']} at once, {len(slow['lives'])} dropped, the longest after {longest:.1f} s; "
          f"memory {before // 1024} MiB before, {peak // 1024} MiB with them, {after // 1024} MiB after")
    check(srv.stop() == 0, "a clean stop")


def stop_with_stalled_clients(build, tmp):
    runs = [record_run(build, golden_keys("gameover"), seed, frames=1300) for seed in (500, 600, 700)]
    db = os.path.join(tmp, "stop.db")
    srv = Server(build, db, "--workers", "1", "--submit-burst", "1000", "--trust-proxy", log=os.path.join(tmp, "stop.log"))
    stalled = []
    for i in range(20):   # slow heads, bodies that never come, idle keep-alive
        s = connect(srv.port)
        if i % 3 == 0:
            s.sendall(b"GET /healthz HTTP/1.1\r\nHost: b")
        elif i % 3 == 1:
            s.sendall(b"POST /api/runs HTTP/1.1\r\nHost: b\r\nContent-Type: application/json\r\nContent-Length: 9999\r\n\r\n{")
        else:
            s.sendall(b"GET /healthz HTTP/1.1\r\nHost: b\r\n\r\n")
            read_answer(s)
        stalled.append(s)
    answers = {}

    def send(i):
        answers[i] = srv.submit(f"Late {i}", runs[i].text, address=f"10.7.0.{i}")[0]
    threads = [threading.Thread(target=send, args=(i,)) for i in range(len(runs))]
    for t in threads:
        t.start()
    time.sleep(0.3)
    t0 = time.monotonic()
    code = srv.stop()
    took = time.monotonic() - t0
    check(code == 0 and took < 10, f"SIGTERM with stalled clients: exit {code} after {took:.1f} s")
    for t in threads:
        t.join(30)
    check(len(answers) == len(runs) and set(answers.values()) <= {201, 503},
          f"every submission in hand answered: {answers}")
    for s in stalled:
        check(closed_by_server(s, 1), "a stalled client is dropped at the stop")
        s.close()
    log = srv.log_text()
    check("database closed" in log, "the database is closed at the end")
    srv.args = ["--trust-proxy"]
    srv.start()
    kept = srv.top()["total"]
    check(kept == list(answers.values()).count(201), f"every 201 kept: {kept} rows for {answers}")

    # The log: the address the rate limit used, bytes a terminal would act on escaped.
    for request in [b"GET /api/top HTTP/1.1\r\nHost: b\r\nX-Forwarded-For: 10.0.0.1, 10.9.8.7\x9b\xff\r\n\r\n",
                    b"GET /a\xc2\x9bb HTTP/1.1\r\nHost: b\r\nX-Forwarded-For: 10.4.4.4\r\n\r\n"]:
        raw = connect(srv.port)
        raw.sendall(request)
        read_answer(raw)
        raw.close()
    check(srv.stop() == 0, "a clean stop")
    lines = srv.log_text().splitlines()
    check(any(l.startswith("10.9.8.7\\x9b\\xff GET /api/top 200 ") for l in lines),
          "the proxy's client in the log, escaped")
    check(any(l.startswith("10.4.4.4 GET /a\\xc2\\x9bb 404 ") for l in lines), "the path in the log, escaped")
    check(any(l.startswith("10.7.0.0 POST /api/runs ") for l in lines), "a submission's line shows its client")
    check(all(all(0x20 <= ord(c) < 0x7f for c in l) for l in lines), "no control or non-ASCII byte in the log")


def long_session(seed, frames=1000000):
    """A long session of lively keys with a wrong record on its end line:
    verified in full (a second or more of CPU), then 422."""
    rnd = random.Random(seed)
    spans, total = [], 0
    while total < frames:
        n = min(rnd.choice([10, 30, 60, 90]), frames - total)
        spans.append(f"{n} " + rnd.choice(["LShift", "Right", "Left", "Right+Space", "-"]))
        total += n
    return f"pellimunch-replay 1\nseed {seed}\nhighscore 1000\n" + "\n".join(spans) + f"\nend {total} close 1\n"


def refund_and_headers(build, tmp):
    srv = Server(build, os.path.join(tmp, "refund.db"), "--workers", "1", "--queue", "1", "--submit-burst", "1",
                 "--submit-rate", "1", "--trust-proxy", log=os.path.join(tmp, "refund.log"))
    # One verification in hand, one waiting: the queue is full.
    busy = [threading.Thread(target=srv.submit, args=("Long", long_session(s), f"10.5.0.{s}")) for s in (1, 2)]
    for t in busy:
        t.start()
        time.sleep(0.2)
    first = srv.submit("Client", "{}", address="10.6.0.1")
    second = srv.submit("Client", "{}", address="10.6.0.1")
    check(first[0] == 503 and first[1].get("retry-after") == "5", f"a full queue: {first[0]} {first[2]}")
    check(second[0] == 503, f"a 503 costs no token: the next try is not 429 ({second[0]})")
    for t in busy:
        t.join(120)
    status, _, body = srv.submit("Client", "{}", address="10.6.0.1")
    check(status == 400, f"after Retry-After the client is served: {status} {body}")
    check(srv.submit("Client", "{}", address="10.6.0.1")[0] == 429, "its one token is spent now")

    # A run is JSON only; no other site may call the API from a browser.
    run = "pellimunch-replay 1\nseed 1\nhighscore 1000\n1 -\nend 1 close 1000\n"
    body = json.dumps({"name": "Form", "replay": run})
    for kind in ["text/plain", "application/x-www-form-urlencoded", "multipart/form-data; boundary=x", None]:
        headers = {"X-Forwarded-For": "10.6.1.1"}
        if kind:
            headers["Content-Type"] = kind
        status = http_call(srv.url + "/api/runs", method="POST", body=body.encode(), headers=headers)[0] \
            if kind else raw_post(srv.port, body)
        check(status == 415, f"Content-Type {kind}: {status}")
    status, headers, _ = http_call(srv.url + "/api/runs", method="OPTIONS",
                                   headers={"Origin": "https://elsewhere.example", "Access-Control-Request-Method": "POST",
                                            "Access-Control-Request-Headers": "content-type"})
    check(not 200 <= status < 300 and not any(h.startswith("access-control-") for h in headers),
          f"no preflight granted: {status} {headers}")
    for path in ["/", "/scores.js", "/scores.css", "/healthz", "/api/top", "/api/runs/1/replay", "/nothing"]:
        status, headers, _ = http_call(srv.url + path, headers={"Origin": "https://elsewhere.example"})
        csp = headers.get("content-security-policy", "")
        scripts = re.search(r"script-src ([^;]*)", csp)
        check(scripts and set(scripts.group(1).split()) <= {"'self'", "blob:", "'wasm-unsafe-eval'"}
              and "frame-ancestors 'none'" in csp and "default-src 'self'" in csp and "unsafe-inline" not in csp,
              f"{path}: CSP {csp!r}")
        check(headers.get("x-content-type-options") == "nosniff", f"{path}: nosniff")
        check(headers.get("referrer-policy") == "no-referrer", f"{path}: Referrer-Policy")
        check("access-control-allow-origin" not in headers, f"{path}: no CORS")
    check(srv.stop() == 0, "a clean stop")


def raw_post(port, body):
    """A POST with no Content-Type at all: the status."""
    s = connect(port)
    data = body.encode()
    s.sendall(b"POST /api/runs HTTP/1.1\r\nHost: b\r\nContent-Length: " + str(len(data)).encode() + b"\r\n\r\n" + data)
    status = read_answer(s)[0]
    s.close()
    return status


def main():
    build = sys.argv[1]
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft < min(hard, 4096):
        resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 4096), hard))
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="pm-board-attack.") as tmp:
        attack(build, tmp)
        stop_with_stalled_clients(build, tmp)
        refund_and_headers(build, tmp)
    print(f"board attack: {boardlib.checks} checks passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
