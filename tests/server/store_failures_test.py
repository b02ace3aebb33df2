#!/usr/bin/env python3
"""A store that fails says so. The SQLite file taken away or another put in its place, or its disk
full: every report gets 500 (never "recorded") and /healthz 503, until the file is back or there
is room again. A PostgreSQL restart under load: no report lost or answered wrongly, and every
post, the page, the export and /healthz answer again once the database is back.
Usage: store_failures_test.py ROOT SERVER_BINARY (the full disk needs a mount namespace, the
restart the throwaway cluster of VXM_TEST_POSTGRES_URL; each is skipped without). A stopped
PostgreSQL (every process of that cluster SIGSTOPped, then resumed): /healthz says so within a
second, reports are answered as failed before the program gives up, and none of them is stored;
each, posted again once it resumed (the user's retry), is recorded. A database that stalls between
the guard before a COMMIT and the COMMIT, past the server's waits (the report answered as failed,
stored when the database resumes): the user's retry, the identical report, is answered as
recorded, with its rank, and it is stored once."""
import contextlib
import csv
import io
import os
import pathlib
import re
import select
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

KEY = "store-failures-operator-key-0123"
problems = []


def check(condition, what):
    if not condition:
        problems.append(what)


class Server:
    def __init__(self, command, work):
        self.log = pathlib.Path(work, "server.log")
        with open(self.log, "w") as out:
            self.process = subprocess.Popen(command + ["--port", "0"], stdout=out,
                                            stderr=subprocess.STDOUT,
                                            env=dict(os.environ, VXM_OPERATOR_KEY=KEY))
        for _ in range(100):
            port = re.search(r"listening on .*:(\d+)", self.log.read_text())
            if port or self.process.poll() is not None:
                break
            time.sleep(0.1)
        self.url = f"http://127.0.0.1:{port.group(1)}" if port else None

    def request(self, path, body=None):
        """(status, body) of one request."""
        headers = {"Authorization": "Bearer " + KEY}
        try:
            with urllib.request.urlopen(urllib.request.Request(self.url + path, body, headers),
                                        timeout=20) as reply:
                return reply.status, reply.read()
        except urllib.error.HTTPError as error:
            return error.code, error.read()

    def post(self, body):
        status, text = self.request("/vorn/a20140220checkmachine/postInfo.php", body.encode())
        return "recorded" if b'"ret_code":0' in text else f"{status} {text[:40]!r}"

    def stop(self):
        """Ends the server and waits for it: the work folder is removed after it."""
        self.process.terminate()
        self.process.wait(timeout=30)

    def accounts(self):
        """The accounts of every stored report."""
        export = self.request("/export.csv?raw=1")[1].decode("gbk")
        return {row["u"] for row in csv.DictReader(io.StringIO(export))}


def account(body):
    return re.match(r"u=(\d+)", body).group(1)


def run_steps(name, server, bodies, steps):
    """Each step: what is done to the store, then the answer to a report and /healthz's status."""
    for what, action, body, answer, health in steps:
        action()
        got = server.post(bodies[body])
        check(got.startswith(answer), f"{name}: {what}: the report answered {got}, not {answer}")
        check(server.request("/healthz")[0] == health, f"{name}: {what}: /healthz not {health}")


def sqlite_taken_away(binary, bodies, work):
    folder = pathlib.Path(work, "taken")
    server = Server([binary, "--database", str(folder)], work)
    database, aside = folder / "reports.sqlite3", folder / "aside"
    run_steps("sqlite", server, bodies, [
        ("as opened", lambda: None, 0, "recorded", 200),
        ("taken away", lambda: os.rename(database, aside), 1, "500", 503),
        ("replaced", lambda: database.write_bytes(aside.read_bytes()), 1, "500", 503),
        ("back", lambda: os.replace(aside, database), 1, "recorded", 200)])
    check(server.accounts() == {account(b) for b in bodies[:2]}, "sqlite: back: the export differs")
    server.stop()


def fill(path):
    """Writes to the file until the disk is full."""
    with open(path, "wb", buffering=0) as out, contextlib.suppress(OSError):
        while True:
            out.write(b"\0" * 65536)


def sqlite_full(binary, bodies, work):
    folder = pathlib.Path(work, "full")
    folder.mkdir()
    # A small file system of its own, in a mount namespace that ends with the server.
    mount = ["unshare", "-m", "--propagation", "private"] if os.geteuid() == 0 else ["unshare", "-rm"]
    server = Server(mount + ["sh", "-c", 'mount -t tmpfs -o size=1m tmpfs "$0" && exec "$@"',
                             str(folder), binary, "--database", str(folder / "db")], work)
    if not server.url:
        print("store_failures_test: full disk skipped: no mount namespace here")
        return
    filler = pathlib.Path(f"/proc/{server.process.pid}/root{folder}/filler")
    run_steps("full disk", server, bodies, [
        ("room", lambda: None, 2, "recorded", 200),
        ("full", lambda: fill(filler), 3, "500", 503),
        ("room again", filler.unlink, 3, "recorded", 200)])
    server.stop()


def throwaway_database(name, what):
    """A new database in the throwaway cluster of VXM_TEST_POSTGRES_URL: the cluster's folder
    and the database's URL, or None (said, as `what` skipped) without that cluster."""
    url = os.environ.get("VXM_TEST_POSTGRES_URL", "")
    cluster = re.search(r"host=([^&]+)", url)
    if not cluster or not pathlib.Path(cluster.group(1), "data").is_dir():
        print(f"store_failures_test: {what} skipped: no throwaway cluster")
        return None
    database = f"{name}{os.getpid()}"
    subprocess.run(["psql", "-q", url, "-c", f"CREATE DATABASE {database}"], check=True)
    return cluster.group(1), url.replace("///postgres", "///" + database)


def postgres_restart(root, binary, bodies, work):
    made = throwaway_database("restart", "PostgreSQL restart")
    if not made:
        return
    cluster, database_url = made
    server = Server([binary, "--database", database_url, "--threads", "2"], work)
    answers, queue, lock, stop = [], iter(bodies[4:]), threading.Lock(), time.monotonic() + 3

    def post_until_stop():
        while time.monotonic() < stop:
            with lock:
                body = next(queue)
            answers.append((time.monotonic(), account(body), server.post(body)))

    posters = [threading.Thread(target=post_until_stop) for _ in range(8)]
    for poster in posters:
        poster.start()
    time.sleep(1)
    subprocess.run([pathlib.Path(root, "scripts/pg-throwaway"), "restart", cluster],
                   check=True)
    back = time.monotonic()
    for path in ("/", "/export.csv", "/healthz"):
        check(server.request(path)[0] == 200, f"restart: {path} does not answer 200 at once")
    for poster in posters:
        poster.join()
    stored = server.accounts()
    for sent, name, answer in answers:
        # Stored exactly when answered so; once the database is back, every report is.
        wanted = "recorded" if name in stored else "500 "
        check(answer.startswith(wanted) and (name in stored or sent < back),
              f"restart: report {name} answered {answer}, stored: {name in stored}")
    check(len(stored) > len(answers) // 2, f"restart: {len(stored)} of {len(answers)} stored")
    server.stop()


def cluster_processes(data):
    """The postmaster of the cluster in `data` and its children."""
    postmaster = int(pathlib.Path(data, "postmaster.pid").read_text().split()[0])
    children = [int(p.name) for p in pathlib.Path("/proc").iterdir() if p.name.isdigit() and
                _parent(p) == postmaster]
    return [postmaster] + children


def _parent(proc):
    try:
        return int(proc.joinpath("stat").read_text().rsplit(")", 1)[1].split()[1])
    except (OSError, IndexError, ValueError):
        return None


def postgres_stopped(binary, bodies, work):
    """Every process of the database stopped (SIGSTOP): /healthz says 503 within a second, each
    report is answered before the program's 20 s with 500, and none of them is stored when the
    database resumes."""
    made = throwaway_database("stopped", "stopped PostgreSQL")
    if not made:
        return
    cluster, database_url = made
    server = Server([binary, "--database", database_url], work)
    check(server.post(bodies[0]) == "recorded", "stopped: the first report is not recorded")
    processes = cluster_processes(pathlib.Path(cluster, "data"))
    answers = []

    def post(body):
        sent = time.monotonic()
        answer = server.post(body)
        answers.append((account(body), answer, time.monotonic() - sent))

    try:
        for pid in processes:
            os.kill(pid, signal.SIGSTOP)
        posters = [threading.Thread(target=post, args=(body,)) for body in bodies[1:7]]
        for poster in posters:
            poster.start()
        start = time.monotonic()
        health = server.request("/healthz")[0]
        health_took = time.monotonic() - start
        check(health == 503 and health_took < 1.5,
              f"stopped: /healthz {health} after {health_took:.1f} s")
        for poster in posters:
            poster.join()
    finally:
        for pid in processes:
            os.kill(pid, signal.SIGCONT)
    time.sleep(1)
    for name, answer, took in answers:
        check(took < 18, f"stopped: report {name} answered after {took:.1f} s")
        check(answer.startswith("500 "), f"stopped: report {name} answered {answer}")
    time.sleep(2)
    stored = server.accounts()
    for name, answer, _ in answers:
        check(answer == "recorded" or name not in stored,
              f"stopped: report {name} answered {answer} but stored")
    for name, answer, _ in answers:
        retry = server.post(next(body for body in bodies if account(body) == name))
        check(retry == "recorded", f"stopped: report {name} retried: {retry}")
    check(server.post(bodies[7]) == "recorded", "stopped: no report recorded once it resumed")
    check(server.request("/healthz")[0] == 200, "stopped: /healthz not 200 once it resumed")
    print("store_failures_test: stopped PostgreSQL: /healthz", health, f"in {health_took:.2f} s;",
          ", ".join(f"{a[:3]} in {t:.1f} s" for _, a, t in answers))
    server.stop()


class CommitStall:
    """A TCP relay to the cluster's socket that, once armed, stalls the database as SIGSTOP
    would at the worst moment: the next COMMIT's statements before it pass on at once (the
    guard among them), then nothing moves on any connection, new ones included, for `stall`
    seconds, and then the COMMIT goes in, whether its sender still waits or not."""

    def __init__(self, socket_path, stall):
        self.socket_path, self.stall = socket_path, stall
        self.armed, self.stalled_until = False, 0.0
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            database = socket.socket(socket.AF_UNIX)
            database.connect(self.socket_path)
            threading.Thread(target=self.relay, args=(client, database), daemon=True).start()

    def relay(self, client, database):
        held = b""
        with client, database:
            while True:
                if time.monotonic() < self.stalled_until:
                    time.sleep(0.05)
                    continue
                if held:
                    database.sendall(held)
                    held = b""
                ready, _, _ = select.select([client, database], [], [], 0.1)
                for source, target in [(client, database), (database, client)]:
                    if source not in ready:
                        continue
                    data = source.recv(65536)
                    # The COMMIT's Parse message: type, length, an unnamed statement, the text.
                    at = data.find(b"\0COMMIT\0") - 5 if source is client else -1
                    if self.armed and at >= 0 and data[at:at + 1] == b"P":
                        self.armed = False
                        self.stalled_until = time.monotonic() + self.stall
                        data, held = data[:at], data[at:]
                    if not data and not held:
                        return
                    try:
                        target.sendall(data)
                    except OSError:
                        return

    def close(self):
        self.listener.close()


def postgres_commit_stalled(binary, bodies, work):
    """The database stalls between the guard before a batch's COMMIT and the COMMIT itself, past
    the server's wait for the batch and its reconnection: the report is answered as failed and
    stored when the database resumes. The user's retry, the identical report, gets the answer
    the first should have had (recorded, with its rank), not "repeated", and is stored once."""
    url = os.environ.get("VXM_TEST_POSTGRES_URL", "")
    cluster = re.search(r"host=([^&]+)", url)
    user = re.search(r"user=([^&]+)", url)
    sockets = [path for path in pathlib.Path(cluster.group(1)).glob(".s.PGSQL.*")
               if path.suffix != ".lock"] if cluster else []
    if not sockets or not user:
        print("store_failures_test: stalled commit skipped: no throwaway cluster")
        return
    database = f"stalled{os.getpid()}"
    subprocess.run(["psql", "-q", url, "-c", f"CREATE DATABASE {database}"], check=True)
    # Past the server's wait for a batch (5 s) and for a new connection (2 s), within the
    # program's 20 s.
    stall = CommitStall(str(sockets[0]), 9)
    server = Server([binary, "--database",
                     f"postgresql://{user.group(1)}@127.0.0.1:{stall.port}/{database}"], work)
    check(server.post(bodies[0]) == "recorded", "stalled commit: the first report not recorded")
    stall.armed = True
    sent = time.monotonic()
    first = server.post(bodies[1])
    took = time.monotonic() - sent
    check(first.startswith("500 ") and took < 18,
          f"stalled commit: the report was answered {first} after {took:.1f} s")
    while time.monotonic() < stall.stalled_until + 0.5:
        time.sleep(0.1)
    stored = account(bodies[1]) in server.accounts()
    check(stored, "stalled commit: the report was not stored when the database resumed")
    # The retry, as the program's user makes it: the whole reply, recorded with its rank.
    status, retried = server.request("/vorn/a20140220checkmachine/postInfo.php",
                                     bodies[1].encode())
    check(status == 200 and b'"ret_code":0' in retried,
          f"stalled commit: the retry was answered {status} {retried[:80]!r}")
    export = server.request("/export.csv?raw=1")[1].decode("gbk")
    rows = [row for row in csv.DictReader(io.StringIO(export)) if row["u"] == account(bodies[1])]
    check(len(rows) == 1, f"stalled commit: stored {len(rows)} times")
    check(server.post(bodies[2]) == "recorded", "stalled commit: no report recorded afterwards")
    print(f"store_failures_test: stalled commit: answered {first} after {took:.1f} s, stored "
          f"{stored}; the retry {status} {retried[:14]!r}")
    server.stop()
    stall.close()


def main(root, binary):
    with tempfile.TemporaryDirectory() as work:
        reports = pathlib.Path(work, "reports")
        subprocess.run([sys.executable, pathlib.Path(root, "tools/bench/make_reports.py"), "20000",
                        f"fail{time.time()}", reports], check=True)
        bodies = reports.read_text().splitlines()
        sqlite_taken_away(binary, bodies, work)
        sqlite_full(binary, bodies, work)
        postgres_restart(root, binary, bodies, work)
        postgres_stopped(binary, bodies[20:], work)
        postgres_commit_stalled(binary, bodies[40:], work)
    for problem in problems[:20]:
        print("store_failures_test:", problem)
    print("store_failures_test:", "FAILED" if problems else "passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
