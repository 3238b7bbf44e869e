#!/usr/bin/env python3
"""The board server, really started: runs recorded by the runner submitted,
read, kept over a restart and a SIGTERM in the middle of verifications;
hostile input answered with the right status in bounded time and the table
left as it was; a live backup. Against SQLite, or PostgreSQL (a server of
the test's own); with two board servers on one PostgreSQL submitting at once.

    board_test.py BUILD_DIR sqlite|postgresql|two-servers
"""
import json
import os
import socket
import sqlite3
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from boardlib import SKIP, Postgres, Server, golden_keys, http_call, record_run  # noqa: E402

checks = 0


# The schema's version: its migrations (the runs; the game digest, hidden runs and counts; the daily tables).
SCHEMA = 3


def check(ok, what):
    global checks
    checks += 1
    if not ok:
        raise AssertionError(what)


def timed(limit, fn, *args, **kw):
    started = time.monotonic()
    result = fn(*args, **kw)
    took = time.monotonic() - started
    check(took < limit, f"took {took:.1f} s, more than {limit} s")
    return result


def runs(build):
    """Distinct genuine sessions: a game over, a new record, a session that
    ends in play, and the same keys from other seeds."""
    out = {
        "gameover": record_run(build, golden_keys("gameover"), 8, frames=1300),
        "record": record_run(build, golden_keys("record"), 9, start=10, frames=1300),
        "play": record_run(build, golden_keys("play"), 8),
        "jumper": record_run(build, golden_keys("jumper"), 21, start=100),
    }
    for seed in (500, 600, 700, 800):
        out[f"natural{seed}"] = record_run(build, golden_keys("gameover"), seed, frames=1300)
    out["fresh"] = record_run(build, golden_keys("jumper"), 22, start=900)
    # W pressed in play: a genuine session the table must not rank.
    keys = golden_keys("play").replace("1 Up\n", "1 Up\n3 W\n", 1)
    out["cheat"] = record_run(build, keys, 8)
    return out


def suite(build, db, fresh_db, tmp):
    recorded = runs(build)
    log = os.path.join(tmp, "board.log")
    srv = Server(build, db, "--submit-burst", "1000", log=log)
    check(srv.call("/healthz")[0] == 200, "healthz")
    check(srv.top()["runs"] == [], "a new table is empty")
    status, _, page = srv.call("/")
    check(status == 200 and "scores.js" in page, "the table page at /")

    ids = {}
    earlier = []
    for key, name in [("gameover", "Ana"), ("record", "たろう"), ("play", "DROP TABLE runs"), ("jumper", "Élise")]:
        status, _, body = srv.submit(name, recorded[key].text)
        check(status == 201, f"{key}: {status} {body}")
        r = recorded[key]
        check((body["score"], body["level"]) == (r.best_score, r.best_level),
              f"{key}: the board says {body}, the runner's trace {r.best_score}/{r.best_level}")
        # Its place when sent: below every earlier run that scored as much or more.
        check(body["rank"] == 1 + sum(s >= body["score"] for s in earlier), f"{key}: rank {body['rank']}")
        earlier.append(body["score"])
        ids[key] = body["id"]
    top = srv.top()
    scores = [r["score"] for r in top["runs"]]
    check(scores == sorted(scores, reverse=True) and len(scores) == 4, f"ordered table {scores}")
    check([r["rank"] for r in top["runs"]] == [1, 2, 3, 4], "ranks")
    check({r["name"] for r in top["runs"]} == {"Ana", "たろう", "DROP TABLE runs", "Élise"}, "names as sent")
    for key, rid in ids.items():
        status, _, text = srv.call(f"/api/runs/{rid}/replay")
        check(status == 200 and text == recorded[key].text, f"{key}: the stored replay is the one sent")
    check(srv.call("/api/runs/999999/replay")[0] == 404, "no such run")
    check(srv.top(limit=2, offset=1)["runs"] == top["runs"][1:3], "limit and offset")

    # The same run again, however it is spelled: 409.
    check(srv.submit("Again", recorded["gameover"].text)[0] == 409, "a duplicate")
    respelled = recorded["gameover"].text.replace("\n1 LShift\n", "\n1 LShift   # go\n\n")
    check(srv.submit("Again", respelled)[0] == 409, "a duplicate spelled otherwise")
    # A run taken from the table, idle frames added after its best game, the
    # end line fixed: the same game, 409.
    taken = srv.call(f"/api/runs/{ids['jumper']}/replay")[2]
    kept, end = taken.rstrip("\n").rsplit("\n", 1)
    _, frames, how, record = end.split()
    stolen = f"{kept}\n600 -\nend {int(frames) + 600} {how} {record}\n"
    status, _, answer = srv.submit("Thief", stolen)
    check(status == 409, f"a taken run dressed up: {status} {answer}")
    status, _, body = srv.submit("Cheat", recorded["cheat"].text)
    check(status == 422 and "W, E or R" in body["error"], f"W in play: {status} {body}")

    # A restart keeps everything; the log has one line per request.
    requests = len([l for l in srv.log_text().splitlines() if " /" in l])
    check(srv.stop() == 0, "a clean stop on SIGTERM")
    check("database closed" in srv.log_text(), "the database is closed at the end")
    check(requests >= 15, f"one log line per request ({requests})")
    srv.start()
    check(srv.top() == top, "the table after a restart")

    # SIGTERM while verifications wait and run: every one is answered and kept.
    srv.stop()
    srv.args = ["--workers", "1", "--submit-burst", "1000"]
    srv.start()
    answers = {}

    def send(key):
        answers[key] = srv.submit("Late " + key[-3:], recorded[key].text)[0]
    threads = [threading.Thread(target=send, args=(k,)) for k in ("natural500", "natural600", "natural700", "natural800")]
    for t in threads:
        t.start()
    time.sleep(0.3)
    check(srv.stop() == 0, "stopped with verifications in hand")
    for t in threads:
        t.join(30)
    check(sorted(answers.values()) == [201, 201, 201, 201], f"every submission answered: {answers}")
    srv.args = ["--submit-burst", "1000"]
    srv.start()
    check(srv.top()["total"] == 8, "all eight on the table after the restart")
    return srv, recorded


def long_session(seed):
    """About ten minutes of keys with a wrong record on the end line: verified in full, then 422."""
    spans = [f"{1 + (seed * 7 + i) % 40} " + ["LShift", "Right", "Left", "Right+Space", "-"][(seed + i) % 5]
             for i in range(1800)]
    total = sum(int(span.split()[0]) for span in spans)
    return f"pellimunch-replay 1\nseed {seed}\nhighscore 1000\n" + "\n".join(spans) + f"\nend {total} close 1\n"


def busy(srv):
    """One verification thread and one waiting place: the rest of a burst is
    told to come back, at once."""
    srv.stop()
    srv.args = ["--workers", "1", "--queue", "1", "--submit-burst", "1000"]
    srv.start()
    answers = []

    def send(seed):
        status, headers, _ = srv.submit("Busy", long_session(seed))
        answers.append((status, headers.get("retry-after")))
    threads = [threading.Thread(target=send, args=(s,)) for s in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(60)
    check({a[0] for a in answers} <= {422, 503} and (503, "5") in answers and (422, None) in answers,
          f"a full queue: {sorted(answers, key=str)}")


def hostile(srv, recorded):
    busy(srv)
    # Behind a proxy, as a public table would be: the test speaks for many
    # addresses; the limits are the defaults.
    srv.stop()
    srv.args = ["--trust-proxy"]
    srv.start()
    before = srv.top()
    good = recorded["fresh"].text   # a genuine run not on the table
    lines = good.splitlines(keepends=True)
    end = lines[-1].split()

    forged_end = "".join(lines[:-1]) + f"end {end[1]} {end[2]} {int(end[3]) + 50000}\n"
    check(timed(10, srv.submit, "Forger", forged_end, address="10.0.0.1")[0] == 422, "a forged end line")
    edited = good.replace("\n1 LShift\n", "\n1 -\n", 1)
    check(edited != good, "the edit took")
    check(timed(10, srv.submit, "Editor", edited, address="10.0.0.2")[0] == 422, "edited keys")
    claim = "pellimunch-replay 1\nseed 1\nhighscore 1000\n1 LShift\nend 1000000000000 close 1000\n"
    check(timed(2, srv.submit, "Long", claim, address="10.0.0.3")[0] == 413, "10^12 frames claimed")
    many = "pellimunch-replay 1\nseed 1\nhighscore 1000\n" + "4294967295 -\n" * 3 + "end 3 close 1000\n"
    # Keys that run on past their end line, however far: an edited file.
    check(timed(2, srv.submit, "Long", many, address="10.0.0.3")[0] == 422, "10^12 frames in the keys, 3 at the end")
    status, _, body = srv.submit("Broken", "pellimunch-replay 1\nseed x\n", address="10.0.0.4")
    check(status == 400 and "line 2" in body["error"], f"the reader's message with its line: {body}")
    check(srv.submit("Cut", good[: len(good) // 2], address="10.0.0.4")[0] == 400, "a cut-short replay")

    # Bodies: 10 MB, broken JSON, wrong shapes.
    big = json.dumps({"name": "Big", "replay": "x" * (10 << 20)})
    check(timed(10, big_post, srv, big) == 413, "a 10 MB body")
    for body in ["{", "[]", "null", '{"name": 5, "replay": "x"}', '{"name": "x"}', "\xff\xfe"]:
        status = srv.call("/api/runs", method="POST", body=body.encode("latin-1"),
                          headers={"X-Forwarded-For": "10.0.0.5"})[0]
        check(status == 400, f"broken JSON {body!r}: {status}")
    # Names: markup, quotes and SQL are refused; nothing is stored.
    for name in ["<script>alert(1)</script>", "a'b", 'x"y', "x'; DROP TABLE runs; --", "", " ", "A" * 17,
                 "tab\tname", "nul\x00"]:
        status = srv.submit(name, good, address="10.0.0.6")[0]
        check(status == 400, f"name {name!r}: {status}")
    check(srv.call("/api/top?limit=1000")[0] == 400 and srv.call("/api/top?offset=-1")[0] == 400, "bad query")

    # 1,000 submissions from one address: the first few are looked at, the
    # rest turned away at once.
    started = time.monotonic()
    took = time.monotonic() - started
    flood = "".join(lines[:-1]) + f"end {end[1]} {end[2]} {int(end[3]) + 1}\n"
    statuses = [srv.submit("Flood", flood, address="10.9.9.9")[0] for _ in range(1000)]
    took = time.monotonic() - started
    check(statuses.count(429) >= 990 and set(statuses) <= {422, 429}, f"the flood: {sorted(set(statuses))}")
    check(took < 60, f"1,000 submissions in {took:.1f} s")
    check(srv.submit("Other", flood, address="10.9.9.10")[0] == 422, "another address is not held up")

    # Slow clients hold a connection each; the others are served meanwhile.
    slow = []
    for _ in range(20):
        s = socket.create_connection(("127.0.0.1", srv.port))
        s.sendall(b"POST /api/runs HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\n{\"na")
        slow.append(s)
    for _ in range(10):
        check(timed(2, srv.call, "/api/top")[0] == 200, "served beside slow clients")
    for s in slow:
        s.close()

    check(srv.top() == before, "the table is unchanged")


def big_post(srv, body):
    """POSTs a large body the way a client that keeps sending would; the
    status the server answered, even if it closed early."""
    s = socket.create_connection(("127.0.0.1", srv.port), timeout=10)
    data = body.encode()
    s.sendall(b"POST /api/runs HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
              b"Content-Length: " + str(len(data)).encode() + b"\r\n\r\n")
    try:
        s.sendall(data)
    except OSError:
        pass
    answer = b""
    try:
        while b"\r\n" not in answer:
            chunk = s.recv(4096)
            if not chunk:
                break
            answer += chunk
    except OSError:
        pass
    s.close()
    return int(answer.split()[1]) if answer.startswith(b"HTTP/") else 0


def sqlite_backup(build, srv, tmp):
    copy = os.path.join(tmp, "copy.db")
    import subprocess
    subprocess.run([os.path.join(build, "pellimunch-board"), "--db", srv.db, "backup", copy], check=True,
                   stdout=subprocess.DEVNULL)
    db = sqlite3.connect(copy)
    count = db.execute("SELECT COUNT(*) FROM runs").fetchone()[0]
    version = db.execute("SELECT MAX(version) FROM schema_version").fetchone()[0]
    db.close()
    check(count == srv.top()["total"] and version == SCHEMA, f"the backup holds {count} runs, schema {version}")
    # A SQLite file whose name only starts like PostgreSQL's is still a file.
    import shutil
    shutil.copy(copy, os.path.join(tmp, "postgres.db"))
    again = subprocess.run([os.path.join(build, "pellimunch-board"), "--db", "postgres.db", "backup", "again.db"],
                           cwd=tmp, capture_output=True, text=True)
    check(again.returncode == 0 and os.path.exists(os.path.join(tmp, "again.db")),
          f"a SQLite file named postgres.db is backed up: {again.stderr.strip()}")


def two_servers(build, pg, tmp):
    recorded = runs(build)
    # Both start at once on an empty database: the migrations run once.
    servers = [None, None]

    def start(i):
        servers[i] = Server(build, pg.uri, "--submit-burst", "1000", log=os.path.join(tmp, f"board{i}.log"))
    starters = [threading.Thread(target=start, args=(i,)) for i in range(2)]
    for t in starters:
        t.start()
    for t in starters:
        t.join(60)
    check(all(servers), "both servers started")
    check(pg.psql("SELECT COUNT(*) FROM schema_version") == str(SCHEMA), "one row per migration, each applied once")
    keys = [k for k in recorded if k != "cheat"]
    results = {}

    def send(i, key):
        results[(i, key)] = servers[i].submit(f"Both {i}", recorded[key].text)[0]
    threads = [threading.Thread(target=send, args=(i, k)) for k in keys for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(120)
    for key in keys:
        pair = sorted([results[(0, key)], results[(1, key)]])
        check(pair == [201, 409], f"{key}: one server took it, the other said 409: {pair}")
    check(pg.psql("SELECT COUNT(*) FROM runs") == str(len(keys)), "no run lost or doubled")
    check(servers[0].top() == servers[1].top() or time.sleep(1.1) or servers[0].top() == servers[1].top(),
          "both servers show the same table")
    for s in servers:
        check(s.stop() == 0, "a clean stop")


def main():
    build, backend = sys.argv[1], sys.argv[2]
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="pm-board-test.") as tmp:
        if backend == "sqlite":
            srv, recorded = suite(build, os.path.join(tmp, "scores.db"), None, tmp)
            hostile(srv, recorded)
            sqlite_backup(build, srv, tmp)
            check(srv.stop() == 0, "a clean stop")
        else:
            try:
                pg = Postgres()
            except (FileNotFoundError, OSError) as e:
                print(f"SKIP: PostgreSQL cannot run here ({e})")
                return SKIP
            try:
                if backend == "postgresql":
                    srv, recorded = suite(build, pg.uri, None, tmp)
                    hostile(srv, recorded)
                    check(srv.stop() == 0, "a clean stop")
                    check(pg.psql("SELECT COUNT(*) FROM runs") == "8", "the rows in PostgreSQL")
                else:
                    two_servers(build, pg, tmp)
            finally:
                pg.close()
    print(f"board {backend}: {checks} checks passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
