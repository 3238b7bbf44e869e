#!/usr/bin/env python3
"""How much a deep page of the world table costs: a table of ROWS runs
(a million by default) written straight into the database the board made,
then GET /api/top at the first page and at the last, timed from a client on
loopback. SQLite, and PostgreSQL when it can run here.

    bench/board_deep_pages.py BUILD_DIR [ROWS]

Prints one line per database and page: median and slowest of 30 requests.
"""
import os
import random
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "board"))
from boardlib import Postgres, Server  # noqa: E402

# The counts the board keeps of its shown runs, made as its migration makes them.
COUNTS = ["INSERT INTO score_counts (score, n) SELECT score, COUNT(*) FROM runs GROUP BY score",
          "INSERT INTO score_buckets (bucket, n) SELECT score / 1024, COUNT(*) FROM runs GROUP BY score / 1024"]
ROW = ("Bench", 1, 3600, 3600, 1, 1000, "x", "127.0.0.1", "2026-01-01T00:00:00Z")


def measure(srv, rows, what):
    for offset in (0, rows // 2, rows - 100):
        took = []
        for _ in range(30):
            started = time.perf_counter()
            status, _, body = srv.call(f"/api/top?limit=100&offset={offset}")
            took.append((time.perf_counter() - started) * 1000)
            assert status == 200 and body["total"] == rows, (status, body.get("total"))
        print(f"{what}: {rows} runs, offset {offset}: median {statistics.median(took):.1f} ms, "
              f"slowest {max(took):.1f} ms", flush=True)


def fill_sqlite(path, rows):
    db = sqlite3.connect(path)
    rng = random.Random(1)
    db.executemany(
        "INSERT INTO runs (name, score, level, frames, session_frames, seed, start_record, replay_hash, replay, "
        "address, submitted_at, game_hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        ((ROW[0], rng.randrange(100000)) + ROW[1:6] + (f"k{i}", ROW[6], ROW[7], ROW[8], f"g{i}")
         for i in range(rows)))
    for sql in COUNTS:
        db.execute(sql)
    db.commit()
    db.close()


def main():
    build = os.path.abspath(sys.argv[1])
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    with tempfile.TemporaryDirectory(prefix="pm-board-bench.") as tmp:
        log = os.path.join(tmp, "log")
        path = os.path.join(tmp, "scores.db")
        srv = Server(build, path, "--quiet", log=log)   # makes the schema
        srv.call("/healthz")
        srv.stop()
        started = time.monotonic()
        fill_sqlite(path, rows)
        print(f"sqlite: {rows} runs written in {time.monotonic() - started:.0f} s", flush=True)
        srv.start()
        measure(srv, rows, "sqlite")
        srv.stop()
        try:
            pg = Postgres()
        except (FileNotFoundError, OSError) as e:
            print(f"postgresql: cannot run here ({e})")
            return 0
        try:
            srv = Server(build, pg.uri, "--quiet", log=log)
            srv.call("/healthz")
            srv.stop()
            started = time.monotonic()
            pg.psql(
                "INSERT INTO runs (name, score, level, frames, session_frames, seed, start_record, replay_hash, "
                "replay, address, submitted_at, game_hash) SELECT 'Bench', (random() * 100000)::int, 1, 3600, 3600, "
                "1, 1000, 'k' || i, 'x', '127.0.0.1', '2026-01-01T00:00:00Z', 'g' || i "
                f"FROM generate_series(1, {rows}) i")
            for sql in COUNTS:
                pg.psql(sql)
            pg.psql("VACUUM ANALYZE")
            print(f"postgresql: {rows} runs written in {time.monotonic() - started:.0f} s", flush=True)
            srv.start()
            measure(srv, rows, "postgresql")
            srv.stop()
        finally:
            pg.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
