#!/usr/bin/env python3
"""What the table ranks and what it counts as one run, tried from the outside
on a real server, each answer held against the runner's own trace of the
same session: sessions of several games (the best one is ranked, wherever it
falls); the test keys on the title, in play and on the game-over screen
(refused only in play); one run sent again in other words (the other Shift,
keys the game ignores, another starting record, idle frames after the game
over: 409) and a run that differs by a frame (201); names that would show
blank or pass for another; a machine-made run flagged; an operator hiding a
run and putting it back; a table of the first schema migrated, its deep
pages in order.

    table_rules.py BUILD_DIR
"""
import os
import random
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import boardlib  # noqa: E402
from boardlib import check, Server, golden_keys, record_run, with_key  # noqa: E402



def ranked_as_traced(srv, name, run, what):
    """Submits RUN: 201 with the best game the trace shows. Returns the answer."""
    status, _, body = srv.submit(name, run.text)
    check(status == 201, f"{what}: {status} {body}")
    check((body["score"], body["level"], body["frames"]) == (run.best_score, run.best_level, run.best_frames),
          f"{what}: the board says {body}, the trace {run.best_score}/{run.best_level}/{run.best_frames}")
    return body


def first_frame(run, state, after=0):
    """The first frame past AFTER whose GameState is STATE."""
    return next(i for i, s in enumerate(run.states) if i > after and s == state)


def identity(build, srv):
    keys = golden_keys("gameover")
    base = record_run(build, keys, 8, frames=1300)
    check(base.games >= 1 and 3 in base.states, "the base session has a game over")
    ranked_as_traced(srv, "Base", base, "the base run")
    play = first_frame(base, 1) + 40
    over = first_frame(base, 3)
    same = {
        "the other Shift": record_run(build, keys.replace("1 LShift", "1 RShift", 1), 8, frames=1300),
        "a Shift held in play": record_run(build, with_key(keys, play, "RShift"), 8, frames=1300),
        "W on the title": record_run(build, with_key(keys, 10, "W"), 8, frames=1300),
        "R on the game-over screen": record_run(build, with_key(keys, over + 5, "R"), 8, frames=1300),
        "a starting record of 0": record_run(build, keys, 8, start=0, frames=1300),
        "a starting record of 50000": record_run(build, keys, 8, start=50000, frames=1300),
        "idle frames after the game over": record_run(build, keys, 8, frames=1900),
    }
    for what, run in same.items():
        check(run.text != base.text, f"{what}: the text differs")
        check(run.best_score == base.best_score, f"{what}: the trace shows the same game")
        status, _, body = srv.submit("Again", run.text)
        check(status == 409, f"{what}: {status} {body}")
    # The same keys a frame later on the title: another game, another run.
    later = record_run(build, keys.replace("30 -\n1 LShift", "31 -\n1 LShift", 1), 8, frames=1300)
    ranked_as_traced(srv, "Later", later, "started a frame later")


def test_keys(build, srv):
    keys = golden_keys("gameover")
    base = record_run(build, keys, 41, frames=1300)
    title, play, over = 12, first_frame(base, 1) + 30, first_frame(base, 3) + 3
    check(base.states[title] == 0 and base.states[play] == 1 and base.states[over] == 3, "frames of each state")
    for what, frame, key, seed in [("W on the title", title, "W", 41), ("E on the game-over screen", over, "E", 42)]:
        run = record_run(build, with_key(keys, frame, key), seed, frames=1300)
        ranked_as_traced(srv, "Keys", run, what)
    run = record_run(build, with_key(keys, play, "R"), 43, frames=1300)
    status, _, body = srv.submit("Keys", run.text)
    check(status == 422 and f"frame {play}" in body["error"], f"R in play at frame {play}: {status} {body}")


def sessions(build, srv):
    """Three games each: an idle one, a lively one, another idle one, in two
    orders; the lively one is ranked."""
    lively = golden_keys("gameover").split("\n400 -")[0].split("1 LShift\n", 1)[1]
    idle = "1 LShift\n1500 -\n200 -\n"
    played = "1 LShift\n" + lively + "\n1500 -\n200 -\n"
    for seed, games in [(61, [idle, played, idle]), (62, [played, idle, idle]), (63, [idle, idle, played])]:
        run = record_run(build, "30 -\n" + "".join(games) + "10 -\n", seed)
        check(run.games == 3 and len(set(run.scores)) > 1, f"seed {seed}: three unlike games {run.scores}")
        check(run.best_score == max(run.scores), "the trace's best")
        ranked_as_traced(srv, "Sessions", run, f"seed {seed}, games {run.scores}")


def names(build, srv):
    good = record_run(build, golden_keys("jumper"), 71, start=100)
    for name, why in [("\u3164", "show"), ("A\u3164B", "show"), ("\u115f\u1160", "show"), ("\uffa0x", "show"),
                      ("a\u200db", "show"), ("ab\u034f", "show"), ("\u0301x", "mark"), ("P\u0430ypal", "scripts"),
                      ("\u03bfk", "scripts"), ("x1\u0661", "digits")]:
        status, _, body = srv.submit(name, good.text)
        check(status == 400 and why in body["error"] and "\n" not in body["error"], f"name {name!r}: {status} {body}")
    for name in ["Иван", "たろう Ana", "Ελένη"]:
        status, _, body = srv.submit(name, good.text)
        check(status in (201, 409), f"name {name!r}: {status} {body}")


def flags(build, srv):
    """Spans all multiples of 8 frames: ranked, flagged; played spans: not."""
    moves = ["16 Right", "8 Right+Space", "24 Left", "8 Left+Space", "32 Right", "8 Up", "16 -", "40 Left"]
    machine = record_run(build, "32 -\n8 LShift\n" + "\n".join(moves * 4) + "\n2000 -\n", 81)
    body = ranked_as_traced(srv, "Robot", machine, "a machine-made run")
    rows = {r["id"]: r for r in table(srv)["runs"]}
    check("multiples of 8 frames" in rows[body["id"]]["flag"], f"flagged: {rows[body['id']]}")
    check(all(r["flag"] == "" for r in rows.values() if r["name"] != "Robot"), "played runs are not flagged")
    return body["id"], machine


def table(srv, wait_for=None):
    """The whole table; with WAIT_FOR, read again (the server caches it for
    a second) until WAIT_FOR(table) holds."""
    for _ in range(40):
        top = srv.top()
        if wait_for is None or wait_for(top):
            return top
        time.sleep(0.1)
    raise AssertionError("the table never showed the change")


def moderation(build, srv, flagged, run):
    before = table(srv)
    board = os.path.join(build, "pellimunch-board")

    def operator(*args):
        return subprocess.run([board, "--db", srv.db, *args], capture_output=True, text=True, timeout=30)
    done = operator("hide", str(flagged), "input made by a program")
    check(done.returncode == 0, f"hide: {done.returncode} {done.stderr}")
    hidden = table(srv, lambda t: t["total"] == before["total"] - 1)
    check(flagged not in [r["id"] for r in hidden["runs"]], "a hidden run leaves the table")
    check([r["rank"] for r in hidden["runs"]] == list(range(1, len(hidden["runs"]) + 1)), "the ranks close up")
    check(srv.call(f"/api/runs/{flagged}/replay")[2] == run.text, "its replay is kept")
    check(srv.submit("Robot again", run.text)[0] == 409, "a hidden run is still on the table's books")
    missing = operator("unhide", "999999")
    check(missing.returncode == 1 and "no run 999999" in missing.stderr, f"unhide an unknown run: {missing.stderr}")
    check(operator("hide", "x", "why").returncode == 2, "hide takes a number")
    done = operator("unhide", str(flagged))
    check(done.returncode == 0, f"unhide: {done.stderr}")
    check(table(srv, lambda t: t["total"] == before["total"]) == before, "unhidden: the table as it was")


def deep_pages(build, tmp):
    """A table of the first schema with 2,500 runs (many on equal scores) is
    migrated; pages past the first thousand rows, found from the counts, and
    the total follow the table's order, with hidden runs left out."""
    path = os.path.join(tmp, "old.db")
    db = sqlite3.connect(path)
    db.executescript(
        "CREATE TABLE schema_version (version INTEGER NOT NULL, applied_at TEXT NOT NULL);"
        "INSERT INTO schema_version VALUES (1, '2026-01-01T00:00:00Z');"
        "CREATE TABLE runs (id INTEGER PRIMARY KEY, name TEXT NOT NULL, score INTEGER NOT NULL, "
        "level INTEGER NOT NULL, frames INTEGER NOT NULL, session_frames INTEGER NOT NULL, seed INTEGER NOT NULL, "
        "start_record INTEGER NOT NULL, replay_hash TEXT NOT NULL, replay TEXT NOT NULL, address TEXT NOT NULL, "
        "submitted_at TEXT NOT NULL, CONSTRAINT runs_once UNIQUE (replay_hash));"
        "CREATE INDEX runs_by_rank ON runs (score DESC, id);")
    rng = random.Random(5)
    db.executemany("INSERT INTO runs VALUES (NULL, ?, ?, 1, 60, 60, 1, 1000, ?, 'x', 'a', 'd')",
                   [(f"r{i}", rng.choice([0, 5, 5000, 5001]) if i % 3 else rng.randrange(3000000), f"k{i}")
                    for i in range(2500)])
    db.commit()
    srv = Server(build, path, log=os.path.join(tmp, "old.log"))
    hidden = [7, 1500, 2222]
    for rid in hidden:
        subprocess.run([os.path.join(build, "pellimunch-board"), "--db", path, "hide", str(rid), "test"], check=True,
                       capture_output=True, timeout=30)
    order = [r[0] for r in db.execute("SELECT id FROM runs ORDER BY score DESC, id") if r[0] not in hidden]
    db.close()
    for offset in (0, 999, 1000, 1700, 2400, 2497, 3000):
        top = srv.top(limit=100, offset=offset)
        check(top["total"] == 2497, f"total {top['total']}")
        check([r["id"] for r in top["runs"]] == order[offset:offset + 100], f"the page at {offset}")
        check([r["rank"] for r in top["runs"]] == list(range(offset + 1, offset + 1 + len(top["runs"]))), "ranks")
    check(srv.stop() == 0, "a clean stop")


def main():
    build = sys.argv[1]
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="pm-board-rules.") as tmp:
        srv = Server(build, os.path.join(tmp, "scores.db"), "--submit-burst", "1000", log=os.path.join(tmp, "log"))
        try:
            identity(build, srv)
            test_keys(build, srv)
            sessions(build, srv)
            names(build, srv)
            flagged, run = flags(build, srv)
            moderation(build, srv, flagged, run)
            check(srv.stop() == 0, "a clean stop")
            deep_pages(build, tmp)
        except BaseException:
            print(srv.log_text()[-3000:], file=sys.stderr)
            raise
    print(f"board rules: {boardlib.checks} checks passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
