"""The daily tables on the real server: a daily-shaped run with today's seed
is on today's table as well as the all-time one; the same run with
yesterday's seed, or with a Shift of the player's on frame 45, is on the
all-time table only; a name has one row a day (its best, and its next best
once an operator hides that one); /api/daily gives the day, its seed by the
formula and when it ends.
Usage: daily_board_test.py BUILD_DIR sqlite|postgresql"""
import datetime
import os
import subprocess
import sys
import tempfile
import time

from boardlib import SKIP, Postgres, Server, record_run

M = (1 << 64) - 1


def daily_seed(day):
    """The low 32 bits of SplitMix64 of the number YYYYMMDD."""
    z = (int(day.strftime("%Y%m%d")) + 0x9E3779B97F4A7C15) & M
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & M
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & M
    return (z ^ (z >> 31)) & 0xFFFFFFFF


def check(ok, what):
    if not ok:
        print("FAIL:", what)
        sys.exit(1)


def daily_table(srv, day):
    status, _, body = srv.call(f"/api/top?day={day.isoformat()}&limit=100")
    check(status == 200, f"the table of {day}: {status} {body}")
    return body["runs"]


def run(build, db, tmp):
    srv = Server(build, db, log=os.path.join(tmp, "board.log"))
    today = datetime.datetime.now(datetime.timezone.utc).date()
    yesterday = today - datetime.timedelta(days=1)

    status, _, daily = srv.call("/api/daily")
    check(status == 200, "GET /api/daily answers")
    check(daily == {"day": today.isoformat(), "seed": daily_seed(today),
                    "ends": (today + datetime.timedelta(days=1)).isoformat() + "T00:00:00Z"},
          f"/api/daily against the formula: {daily}")

    shape = "59 -\n1 LShift\n{}\n1 Delete\n900 -\n"
    sent = {}
    for name, keys, seed in [
            ("ann", shape.format("60 Right\n3 Right+Space\n20 Right\n2 Up"), daily_seed(today)),
            ("ann", shape.format("30 Left"), daily_seed(today)),                    # her second, lower
            ("bob", shape.format("50 Right"), daily_seed(today)),
            ("cy", shape.format("60 Right\n3 Right+Space\n20 Right\n2 Up"), daily_seed(yesterday)),
            ("dee", "44 -\n1 LShift\n75 Right\n1 Delete\n900 -\n", daily_seed(today))]:   # Shift on 45
        recorded = record_run(build, keys, seed)
        status, _, body = srv.submit(name, recorded.text)
        check(status == 201, f"{name}'s run is taken: {status} {body}")
        sent.setdefault(name, []).append((body["id"], body["score"]))

    everyone = srv.top()["runs"]
    check(len(everyone) == 5, f"every run is on the all-time table: {everyone}")
    rows = daily_table(srv, today)
    names = [r["name"] for r in rows]
    check(sorted(names) == ["ann", "bob"], f"today's table holds ann and bob once each: {names}")
    ann = next(r for r in rows if r["name"] == "ann")
    best = max(sent["ann"], key=lambda s: (s[1], -s[0]))
    check((ann["id"], ann["score"]) == best, f"ann's row is her best run of the day: {ann} against {sent['ann']}")
    check(set(ann) == set(everyone[0]), "the day's rows have the all-time table's fields")
    check([r["rank"] for r in rows] == [1, 2], "ranked in order")
    check(daily_table(srv, yesterday) == [], "yesterday's seed sent today is on no day's table")
    # A hidden run leaves the day's table too; the name keeps its next best.
    hide = subprocess.run([os.path.join(build, "pellimunch-board"), "--db", db, "hide", str(best[0]), "test"],
                          capture_output=True, text=True, timeout=30)
    check(hide.returncode == 0, f"hide: {hide.stderr}")
    other = next(s for s in sent["ann"] if s != best)
    for _ in range(40):   # the server keeps a table for a second
        rows = daily_table(srv, today)
        if best[0] not in [r["id"] for r in rows]:
            break
        time.sleep(0.1)
    ann = [(r["id"], r["score"]) for r in rows if r["name"] == "ann"]
    check(ann == [other], f"ann's hidden best left the day's table, her other run took its row: {ann}")
    check(len(rows) == 2, f"still one row per name: {rows}")
    status, _, _ = srv.call("/api/top?day=2026-02-30")
    check(status == 400, "a day that is no date is refused")
    check(srv.stop() == 0, "a clean stop")


def main():
    build, backend = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="pm-board-daily.") as tmp:
        if backend == "sqlite":
            run(build, os.path.join(tmp, "scores.db"), tmp)
        else:
            try:
                pg = Postgres()
            except (FileNotFoundError, OSError) as e:
                print(f"SKIP: PostgreSQL cannot run here ({e})")
                return SKIP
            try:
                run(build, pg.uri, tmp)
            finally:
                pg.close()
    print(f"board daily {backend}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
