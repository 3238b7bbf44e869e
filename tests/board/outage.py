#!/usr/bin/env python3
"""The board on a PostgreSQL server of the test's own that goes away: stopped
in the middle of the session, /healthz says so and every request is answered
(503, never a hang), then the server comes back and so does the board;
frozen (SIGSTOP) for 20 s, every request still answered within the store's
timeout, and the board well again once it thaws. Nothing answered 201 is
lost.

    outage.py BUILD_DIR
"""
import os
import signal
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import boardlib  # noqa: E402
from boardlib import check, SKIP, Postgres, Server, golden_keys, record_run  # noqa: E402

# The store's timeout (4 s) and a connection's (2 s), with room to spare on
# a loaded machine: no request may take longer.
Answered = 10.0


def timed(srv, path, **kw):
    started = time.monotonic()
    status, headers, body = srv.call(path, timeout=30, **kw)
    took = time.monotonic() - started
    check(took < Answered, f"{path}: answered in {took:.1f} s")
    return status, headers, body, took


def until(what, fn, seconds=30):
    """Calls FN every half second until it is true, at most SECONDS."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if fn():
            return
        time.sleep(0.5)
    raise AssertionError(f"{what}: not within {seconds} s")


def stopped(srv, pg, runs):
    check(srv.submit("Before", runs[0].text)[0] == 201, "a run before the stop")
    pg.stop()
    until("/healthz says the database is gone", lambda: timed(srv, "/healthz")[0] == 503)
    status, headers, _, _ = timed(srv, "/api/top?offset=200")
    check(status == 503 and headers.get("retry-after"), f"a deep page without the database: {status}")
    started = time.monotonic()
    status = srv.submit("During", runs[1].text)[0]
    check(status == 503 and time.monotonic() - started < Answered + 2, f"a submission without the database: {status}")
    pg.start()
    until("/healthz well again", lambda: timed(srv, "/healthz")[0] == 200)
    check(srv.submit("After", runs[1].text)[0] == 201, "the run refused during the stop, taken after")
    check(srv.top()["total"] == 2, "both runs on the table")


def frozen(srv, pg, runs):
    processes = pg.processes()
    for pid in processes:
        os.kill(pid, signal.SIGSTOP)
    answers = []
    try:
        end = time.monotonic() + 20
        paths = ["/healthz", "/api/top?offset=200", "/api/runs/1/replay"]

        def reader(path):
            while time.monotonic() < end:
                answers.append((path,) + timed(srv, path)[::3])

        def submitter():
            started = time.monotonic()
            status = srv.submit("Frozen", runs[2].text)[0]
            answers.append(("submit", status, time.monotonic() - started))
        threads = [threading.Thread(target=reader, args=(p,)) for p in paths] + [threading.Thread(target=submitter)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(60)
    finally:
        for pid in processes:
            os.kill(pid, signal.SIGCONT)
    slowest = max(a[2] for a in answers)
    check(len(answers) >= 6 and slowest < Answered, f"{len(answers)} answers, the slowest {slowest:.1f} s")
    check({a[1] for a in answers} <= {200, 503}, f"statuses {sorted({a[1] for a in answers})}")
    check(any(a[0] == "/healthz" and a[1] == 503 for a in answers), "/healthz said the database did not answer")
    until("/healthz well after the thaw", lambda: timed(srv, "/healthz")[0] == 200)
    submitted = [a[1] for a in answers if a[0] == "submit"][0]
    status = srv.submit("Thawed", runs[2].text)[0]
    check(status == (409 if submitted == 201 else 201), f"the frozen run: {submitted}, then {status}")
    check(srv.top()["total"] == 3, "every run on the table")


def main():
    build = sys.argv[1]
    started = time.monotonic()
    try:
        pg = Postgres()
    except (FileNotFoundError, OSError) as e:
        print(f"SKIP: PostgreSQL cannot run here ({e})")
        return SKIP
    try:
        with tempfile.TemporaryDirectory(prefix="pm-board-outage.") as tmp:
            runs = [record_run(build, golden_keys("gameover"), seed, frames=1300) for seed in (510, 610, 710)]
            srv = Server(build, pg.uri, "--submit-burst", "1000", log=os.path.join(tmp, "log"))
            try:
                stopped(srv, pg, runs)
                frozen(srv, pg, runs)
                check(srv.stop() == 0, "a clean stop")
            except BaseException:
                print(srv.log_text()[-3000:], file=sys.stderr)
                raise
    finally:
        pg.close()
    print(f"board outage: {boardlib.checks} checks passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
