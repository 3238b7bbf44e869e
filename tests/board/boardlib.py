"""Pieces the board's tests share: runs recorded by the runner, the board
server started on a free port, a PostgreSQL server of the test's own, and a
small HTTP client. Standard library only."""
import atexit
import glob
import http.client
import json
import os
import pwd
import shutil
import signal
import socket
import subprocess
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GOLDEN = os.path.join(HERE, "..", "golden")
SKIP = 77  # CTest's SKIP_RETURN_CODE


checks = 0


def check(ok, what):
    """One check of a test: counted, and the test fails with WHAT when not OK."""
    global checks
    checks += 1
    if not ok:
        raise AssertionError(what)


class Run:
    """A session recorded by the runner: the replay file a player would send,
    and what the game's own trace says its best game was."""

    def __init__(self, text, best_score, best_level, games, best_frames=0, states=None, scores=None):
        self.text, self.best_score, self.best_level, self.games = text, best_score, best_level, games
        # The best game's length; GameState after each frame (index: frame);
        # the score of each game of the session, in order.
        self.best_frames, self.states, self.scores = best_frames, states or [], scores or []


def record_run(build, keys, seed, start=1000, frames=None):
    """Runs the key script KEYS (text) from SEED with the record START and
    returns a Run; the end line is the runner's."""
    with tempfile.TemporaryDirectory() as tmp:
        script = os.path.join(tmp, "keys")
        with open(script, "w", encoding="ascii") as f:
            f.write(keys)
        score = os.path.join(tmp, "score.dat")
        with open(score, "w", encoding="ascii") as f:
            f.write(f"{start} \r\n")
        cmd = [os.path.join(build, "pellimunch-sim"), "--seed", str(seed), "--script", script,
               "--trace", "state", "--score", score]
        if frames:
            cmd += ["--frames", str(frames)]
        out = subprocess.run(cmd, check=True, stdout=subprocess.PIPE, text=True).stdout.splitlines()
    # The best game as the trace shows it: a game runs from the frame before
    # the title hands over to play until the game over hands back (or the
    # session ends).
    best, games, playing, prev, began = None, 0, False, None, 0
    states, scores = [json.loads(out[0])["state"]["GameState"]], []

    def ended(f, frame):
        nonlocal best
        scores.append(f["Score"])
        if best is None or f["Score"] > best[0]:
            best = (f["Score"], f["Level"], frame - began)
    for line in out[1:-1]:
        frame_line = json.loads(line)
        f = frame_line["state"]
        state = f["GameState"]
        states.append(state)
        if prev == 0 and state == 1:
            playing = True
            began = frame_line["frame"] - 1
        elif playing and prev == 3 and state == 0:
            playing = False
            games += 1
            ended(f, frame_line["frame"])
        prev, last, last_frame = state, f, frame_line["frame"]
    if playing:
        games += 1
        ended(last, last_frame)
    end = json.loads(out[-1])
    how = {"escape": "escape", "mouse": "mouse"}.get(end["end"], "close")
    spans = []
    total = 0
    for line in keys.splitlines():
        line = line.split("#")[0].strip()
        if line:
            spans.append(line)
            total += int(line.split()[0])
    if frames and frames > total:
        spans.append(f"{frames - total} -")
    text = (f"pellimunch-replay 1\nseed {seed}\nhighscore {start}\n" + "\n".join(spans) +
            f"\nend {end['frame']} {how} {end['HighScore']}\n")
    return Run(text, best[0] if best else 0, best[1] if best else 0, games, best[2] if best else 0, states, scores)


def script_frames(keys):
    """A key script as one entry per frame: the keys held, '-' for none."""
    frames = []
    for line in keys.splitlines():
        line = line.split("#")[0].strip()
        if line:
            count, held = line.split(None, 1)
            frames += [held.strip()] * int(count)
    return frames


def frames_script(frames):
    """The per-frame keys back as spans."""
    spans = []
    for held in frames:
        if spans and spans[-1][1] == held:
            spans[-1][0] += 1
        else:
            spans.append([1, held])
    return "".join(f"{n} {held}\n" for n, held in spans)


def with_key(keys, frame, key):
    """KEYS with KEY also held at FRAME (1 is the first frame)."""
    frames = script_frames(keys)
    frames += ["-"] * (frame - len(frames))
    held = frames[frame - 1]
    frames[frame - 1] = key if held == "-" else held + "+" + key
    return frames_script(frames)


def golden_keys(name):
    with open(os.path.join(GOLDEN, name + ".keys"), encoding="utf-8") as f:
        return f.read()


def http_call(url, method="GET", body=None, headers=None, timeout=30):
    """(status, headers dict, parsed JSON or text)."""
    host = url.split("//")[1].split("/")[0]
    path = "/" + url.split("//")[1].split("/", 1)[1] if url.count("/") > 2 else "/"
    conn = http.client.HTTPConnection(host, timeout=timeout)
    data = None
    hdrs = dict(headers or {})
    if body is not None:
        data = body if isinstance(body, (bytes, str)) else json.dumps(body)
        hdrs.setdefault("Content-Type", "application/json")
    conn.request(method, path, body=data, headers=hdrs)
    res = conn.getresponse()
    raw = res.read()
    conn.close()
    kind = res.getheader("Content-Type", "")
    parsed = json.loads(raw) if "json" in kind else raw.decode("utf-8", "replace")
    return res.status, {k.lower(): v for k, v in res.getheaders()}, parsed


_started = []


@atexit.register
def _stop_leftovers():
    """A failed check leaves no server running behind the test."""
    for proc in _started:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


class Server:
    """pellimunch-board on a free port of 127.0.0.1, its log in the file LOG."""

    def __init__(self, build, db, *args, log):
        self.build, self.db, self.args = build, db, list(args)
        self.log_path = log
        self.start()

    def start(self):
        self.log = open(self.log_path, "a", encoding="utf-8")
        self.proc = subprocess.Popen([os.path.join(self.build, "pellimunch-board"), "--port", "0",
                                      "--db", self.db] + self.args,
                                     stdout=subprocess.PIPE, stderr=self.log, text=True)
        _started.append(self.proc)
        line = self.proc.stdout.readline()
        if "listening on" not in line:
            self.proc.wait(10)
            raise RuntimeError(f"the board did not start: {line!r}; log:\n{open(self.log_path).read()}")
        self.url = line.split("listening on ")[1].split()[0]
        self.port = int(self.url.rsplit(":", 1)[1])

    def call(self, path, **kw):
        return http_call(self.url + path, **kw)

    def submit(self, name, text, address=None):
        headers = {"X-Forwarded-For": address} if address else None
        return self.call("/api/runs", method="POST", body={"name": name, "replay": text}, headers=headers)

    def top(self, limit=100, offset=0):
        status, _, body = self.call(f"/api/top?limit={limit}&offset={offset}")
        assert status == 200, (status, body)
        return body

    def stop(self):
        """SIGTERM; returns the exit status."""
        self.proc.send_signal(signal.SIGTERM)
        code = self.proc.wait(30)
        self.proc.stdout.close()
        self.log.close()
        return code

    def log_text(self):
        with open(self.log_path, encoding="utf-8") as f:
            return f.read()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Postgres:
    """A PostgreSQL server of the test's own in a temporary folder, on a Unix
    socket only. As root it runs as `nobody` (initdb refuses root)."""

    def __init__(self):
        found = sorted(glob.glob("/usr/lib/postgresql/*/bin/initdb"))
        if not found:
            raise FileNotFoundError("no initdb under /usr/lib/postgresql (install Debian's postgresql)")
        self.bin = os.path.dirname(found[-1])
        self.dir = tempfile.mkdtemp(prefix="pm-board-pg.")
        os.chmod(self.dir, 0o755)
        self.data = os.path.join(self.dir, "data")
        self.port = free_port()
        self.prefix = []
        if os.geteuid() == 0:
            user = pwd.getpwnam("nobody")
            os.chown(self.dir, user.pw_uid, user.pw_gid)
            self.prefix = ["runuser", "-u", "nobody", "--"]
        self._run("initdb", "-D", self.data, "-U", "board", "-A", "trust", "--no-sync", "-E", "UTF8")
        self.start()
        self.uri = f"postgresql:///postgres?host={self.dir}&port={self.port}&user=board"

    def start(self):
        self._run("pg_ctl", "-D", self.data, "-l", os.path.join(self.dir, "log"), "-w", "-o",
                  f"-c listen_addresses='' -k {self.dir} -p {self.port} -F -c max_connections=50", "start")

    def stop(self):
        self._run("pg_ctl", "-D", self.data, "-m", "fast", "-w", "stop")

    def processes(self):
        """The server's processes: the postmaster and its children."""
        with open(os.path.join(self.data, "postmaster.pid"), encoding="ascii") as f:
            main = int(f.readline())
        found = [main]
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open(f"/proc/{entry}/stat", encoding="ascii", errors="replace") as f:
                        if int(f.read().rsplit(")", 1)[1].split()[1]) == main:
                            found.append(int(entry))
                except (OSError, ValueError, IndexError):
                    pass
        return found

    def signal_all(self, sig):
        for pid in self.processes():
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass

    def _run(self, tool, *args):
        subprocess.run(self.prefix + [os.path.join(self.bin, tool)] + list(args), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, cwd=self.dir)

    def psql(self, sql):
        return subprocess.run(self.prefix + [os.path.join(self.bin, "psql"), "-At", "-d", self.uri, "-c", sql],
                              check=True, stdout=subprocess.PIPE, text=True, cwd=self.dir).stdout.strip()

    def close(self):
        try:
            self._run("pg_ctl", "-D", self.data, "-m", "fast", "-w", "stop")
        finally:
            shutil.rmtree(self.dir, ignore_errors=True)
