#!/usr/bin/env python3
"""scripts/move-to-postgres copies a SQLite data folder into PostgreSQL byte for byte: the server
on the copy exports the same raw CSV as the server on the folder, and new reports continue the ids.
The folder is left as a build before schema versions could leave it (no version, tallies that miss
its reports): the copy's tallies are counted from the reports all the same.
Usage: move_to_postgres_test.py ROOT SERVER_BINARY (needs VXM_TEST_POSTGRES_URL; skipped without).
"""
import os
import pathlib
import re
import sqlite3
import subprocess
import sys
import tempfile
import time
import urllib.request

KEY = "move-test-operator-key-0123"


class Server:
    def __init__(self, binary, database):
        env = dict(os.environ, VXM_OPERATOR_KEY=KEY)
        self.process = subprocess.Popen([binary, "--port", "0", "--database", database],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        text=True, env=env)
        line = self.process.stdout.readline()
        self.url = "http://127.0.0.1:" + re.search(r":(\d+)$", line.strip()).group(1)

    def post(self, body):
        request = urllib.request.Request(
            self.url + "/vorn/a20140220checkmachine/postInfo.php", data=body.encode(),
            headers={"Content-Type": "application/x-www-form-urlencoded"})
        return urllib.request.urlopen(request, timeout=10).read().decode()

    def export(self):
        request = urllib.request.Request(self.url + "/export.csv?raw=1",
                                         headers={"Authorization": "Bearer " + KEY})
        return urllib.request.urlopen(request, timeout=10).read()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def main(root, binary):
    url = os.environ.get("VXM_TEST_POSTGRES_URL")
    if not url:
        print("skipped: VXM_TEST_POSTGRES_URL is not set")
        return 77
    root = pathlib.Path(root)
    with tempfile.TemporaryDirectory() as work:
        bodies = pathlib.Path(work, "bodies")
        subprocess.run([sys.executable, root / "tools/bench/make_reports.py", "4",
                        f"move{time.time()}", bodies], check=True)
        lines = bodies.read_text().splitlines()
        folder = str(pathlib.Path(work, "sqlite"))
        sqlite = Server(binary, folder)
        for body in lines[:3]:
            assert '"ret_code":0' in sqlite.post(body)
        before = sqlite.export()
        sqlite.stop()
        db = sqlite3.connect(os.path.join(folder, "reports.sqlite3"))
        db.executescript("DROP TABLE schema_version; DELETE FROM tallies;")
        db.close()

        database = f"moved{os.getpid()}"
        subprocess.run(["psql", "-q", url, "-c", f"CREATE DATABASE {database}"], check=True)
        target = url.replace("///postgres", "///" + database)
        subprocess.run([root / "scripts/move-to-postgres", folder, target, binary], check=True,
                       stderr=subprocess.DEVNULL)
        postgres = Server(binary, target)
        try:
            after = postgres.export()
            failures = []
            if after != before:
                failures.append(f"exports differ:\n{before!r}\n{after!r}")
            counted = subprocess.run(
                ["psql", "-qtA", target, "-c",
                 "SELECT n FROM tallies WHERE dimension = 'reports'"],
                capture_output=True, text=True, check=True).stdout.strip()
            if counted != "3":
                failures.append(f"the copy's tallies count {counted!r} reports, not 3")
            # Posted again at once it is a retry, answered as its first post; the ids below
            # show it was not stored twice.
            if '"ret_code":0' not in postgres.post(lines[0]):
                failures.append("a moved report posted again is not answered as the first")
            if '"ret_code":0' not in postgres.post(lines[3]):
                failures.append("a new report is not recorded")
            # PostgreSQL's sequence also moves on for the one posted again: the ids rise, with gaps.
            ids = [int(row.split(b",")[0]) for row in postgres.export().splitlines()[1:]]
            if ids[:3] != [1, 2, 3] or len(ids) != 4 or ids[3] <= 3:
                failures.append(f"ids do not continue: {ids}")
        finally:
            postgres.stop()
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
