#!/usr/bin/env python3
"""The README's store recipes, run as written: a backup (scripts/backup) is private (0700 folder,
0600 file) and holds every report; the move to PostgreSQL works with Debian's default
authentication (a cluster made as the package makes one: peer on the socket, passwords over TCP)
for a server run as a user of no role of its own, as the unit's DynamicUser is, and a login the
cluster refuses is shown in the tool's own words.
Usage: store_recipes_test.py ROOT SERVER_BINARY (the PostgreSQL part needs root and PostgreSQL;
skipped without).
"""
import http.client
import os
import pathlib
import re
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time

KEY = "store-recipes-operator-key-0123456789"
REPORT_PATH = "/vorn/a20140220checkmachine/postInfo.php"


class Server:
    """The server on a free port; `user` runs it as another system user."""

    def __init__(self, binary, database, env=None, user=None):
        command = [binary, "--port", "0", "--database", database]
        if user:
            command = ["runuser", "-u", user, "--", *command]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        text=True, env={**os.environ, "VXM_OPERATOR_KEY": KEY,
                                                        **(env or {})})
        line = self.process.stdout.readline()
        if not line:
            raise RuntimeError(self.process.stderr.read())
        self.port = int(re.search(r":(\d+)$", line.strip()).group(1))
        threading.Thread(target=self.process.stdout.read, daemon=True).start()

    def ask(self, method, path, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        connection.request(method, path, body, {"Authorization": "Bearer " + KEY,
                                                "Content-Type": "application/x-www-form-urlencoded"})
        return connection.getresponse().read()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)


def mode(path):
    return stat.S_IMODE(os.stat(path).st_mode)


def backup_cases(root, binary, work, bodies, problems):
    """scripts/backup of a running SQLite store, and of a PostgreSQL one when given."""
    server = Server(binary, str(work / "sqlite"))
    try:
        for body in bodies[:3]:
            server.ask("POST", REPORT_PATH, body)
        before = server.ask("GET", "/export.csv?raw=1")
        folder = work / "backups"
        # A folder that exists already, open to all, is made private too.
        folder.mkdir(mode=0o755)
        os.chmod(folder, 0o755)
        made = subprocess.run([root / "scripts/backup", work / "sqlite", folder], check=True,
                              capture_output=True, text=True).stdout.strip()
    finally:
        server.stop()
    copy = work / "restored"
    copy.mkdir()
    shutil.copy(made, copy / "reports.sqlite3")
    restored = Server(binary, str(copy))
    try:
        after = restored.ask("GET", "/export.csv?raw=1")
    finally:
        restored.stop()
    checks = [(mode(folder) == 0o700, f"backup folder mode {mode(folder):o}"),
              (mode(made) == 0o600, f"backup file mode {mode(made):o}"),
              (after == before and before.count(b"\r\n") == 4,
               f"the backup's export differs: {before!r} {after!r}")]
    problems += [f"SQLite backup: {what}" for ok, what in checks if not ok]
    reports = after.count(b"\r\n") - 1
    print(f"SQLite backup: {made} {mode(made):o} in {mode(folder):o}, {reports} reports")


def free_port():
    with socket.create_server(("127.0.0.1", 0)) as probe:
        return probe.getsockname()[1]


def postgres_cases(root, binary, work, bodies, problems):
    port = free_port()
    started = subprocess.run([root / "scripts/pg-throwaway", "start", str(port)], check=True,
                             capture_output=True, text=True).stdout.split()
    cluster = started[0]
    as_postgres = ["runuser", "-u", "postgres", "--"]
    password = "recipe-" + os.urandom(12).hex()
    try:
        # The recipe: a role with a password and a database it owns, made as the postgres user.
        for command in (["psql", "-q", "-h", cluster, "-p", str(port), "-c",
                         f"CREATE ROLE vxm LOGIN PASSWORD '{password}'"],
                        ["createdb", "-h", cluster, "-p", str(port), "-O", "vxm", "survey"]):
            subprocess.run(as_postgres + command, check=True)
        over_tcp = f"postgresql://vxm@127.0.0.1:{port}/survey"
        on_socket = f"postgresql:///survey?host={cluster}&port={port}&user=vxm"
        # case, URL, environment, what the tool must say (empty: it must succeed)
        cases = [
            ("peer authentication as another user", on_socket, {},
             'Peer authentication failed for user "vxm"'),
            ("a wrong password", over_tcp, {"PGPASSWORD": "wrong"},
             'password authentication failed for user "vxm"'),
            ("the recipe", over_tcp, {"PGPASSWORD": password}, ""),
        ]
        for name, url, env, said in cases:
            moved = subprocess.run([root / "scripts/move-to-postgres", work / "sqlite", url,
                                    binary], capture_output=True, text=True,
                                   env={**os.environ, **env})
            # The server's event line quotes the reason, its quotes escaped.
            moved.stderr = moved.stderr.replace('\\"', '"')
            if said and (moved.returncode == 0 or said not in moved.stderr or
                         "No such process" in moved.stderr):
                problems.append(f"move-to-postgres, {name}: {moved.returncode} {moved.stderr!r}")
            if not said and moved.returncode != 0:
                problems.append(f"move-to-postgres, {name}: {moved.stderr}")
            print(f"move-to-postgres, {name}: {moved.returncode}, "
                  f"{(moved.stderr.strip().splitlines() or [''])[-1][:120]}")
        # The service's own user has no role: it logs in with the password from its environment.
        sqlite = Server(binary, str(work / "sqlite"))
        before = sqlite.ask("GET", "/export.csv?raw=1")
        sqlite.stop()
        server = Server(binary, over_tcp, {"PGPASSWORD": password}, user="nobody")
        try:
            after = server.ask("GET", "/export.csv?raw=1")
            recorded = server.ask("POST", REPORT_PATH, bodies[3])
        finally:
            server.stop()
        if after != before or b'"ret_code":0' not in recorded:
            problems.append(f"the server as nobody on the moved store: {after!r} {recorded!r}")
        backup = subprocess.run([root / "scripts/backup", over_tcp, work / "pg-backups"],
                                capture_output=True, text=True,
                                env={**os.environ, "PGPASSWORD": password})
        made = backup.stdout.strip()
        if backup.returncode != 0 or mode(made) != 0o600:
            problems.append(f"PostgreSQL backup: {backup.stderr}")
        else:
            print(f"PostgreSQL backup: {made} {mode(made):o}")
    finally:
        subprocess.run([root / "scripts/pg-throwaway", "stop", cluster], check=False)


def main(root, binary):
    root, binary = pathlib.Path(root), str(pathlib.Path(binary).resolve())
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder)
        os.chmod(work, 0o755)  # the server run as another user reads nothing here but its binary
        subprocess.run([sys.executable, root / "tools/bench/make_reports.py", "4",
                        f"recipe{time.time()}", work / "bodies"], check=True)
        bodies = (work / "bodies").read_text().splitlines()
        backup_cases(root, binary, work, bodies, problems)
        if os.getuid() == 0 and shutil.which("runuser") and list(
                pathlib.Path("/usr/lib/postgresql").glob("*/bin/initdb")):
            postgres_cases(root, binary, work, bodies, problems)
        else:
            print("PostgreSQL recipe: skipped (needs root and PostgreSQL)")
    for problem in problems:
        print("FAILED:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
