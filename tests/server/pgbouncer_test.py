#!/usr/bin/env python3
"""The report server behind Debian's pgbouncer in front of the throwaway cluster. In transaction
pooling (--transaction-pool), with a pool smaller than the connections the server holds, it
starts, records every report once (a second post of the same one answered as the first), and
exports them in id order, every statement sent with its text; without the flag it does the same,
each connection turning to statements with their text once a session lacks one it prepared,
with no store failure; straight to the cluster, its statements are prepared once a connection
(the cluster's log of every statement tells which).
In session pooling with too small a pool it says at start that it waits, and waits.
Usage: pgbouncer_test.py ROOT SERVER_BINARY (skipped without pgbouncer or the throwaway cluster
of VXM_TEST_POSTGRES_URL)."""
import csv
import io
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from store_failures_test import Server, account, check, problems  # noqa: E402

PGBOUNCER = "/usr/sbin/pgbouncer"


def start_pgbouncer(work, cluster, database, mode, pool):
    """A pgbouncer on a socket in `work` for `database`; returns (process, the URL to it)."""
    port = 28508
    config = pathlib.Path(work, "pgbouncer.ini")
    pathlib.Path(work, "users.txt").write_text('"vxm" ""\n')
    # As root it must be told whom to run as; the cluster's owner can reach its socket.
    as_user = "user = postgres\n" if os.geteuid() == 0 else ""
    config.write_text(f"""[databases]
postgres = host={cluster} dbname={database} user=vxm
[pgbouncer]
listen_addr =
listen_port = {port}
unix_socket_dir = {work}
auth_type = trust
auth_file = {work}/users.txt
pool_mode = {mode}
default_pool_size = {pool}
max_client_conn = 100
logfile = {work}/pgbouncer.log
{as_user}""")
    process = subprocess.Popen([PGBOUNCER, str(config)], stdout=subprocess.DEVNULL,
                               stderr=subprocess.STDOUT)
    for _ in range(50):
        if pathlib.Path(work, f".s.PGSQL.{port}").exists():
            break
        time.sleep(0.1)
    return process, f"postgresql:///postgres?host={work}&port={port}&user=vxm"


class StatementLog:
    """The cluster's log from now on: how many statements it ran prepared, how many unnamed."""

    def __init__(self, cluster):
        self.path = pathlib.Path(cluster, "log")
        self.start = self.path.stat().st_size

    def executions(self):
        with open(self.path, "rb") as log:
            log.seek(self.start)
            text = log.read().decode("utf-8", "replace")
        return (len(re.findall(r"execute vxm_\w+:", text)),
                len(re.findall(r"execute <unnamed>:", text)))


def transaction_pooling(binary, bodies, work, cluster, database, flagged=True):
    """Three writers (five connections) through a pool of two. Not `flagged` (no
    --transaction-pool), a connection whose statement is missing in the session it was given
    turns to sending statements with their text: the batch or the read that met it is tried
    again and answers, and no store failure is logged."""
    name = "transaction" if flagged else "transaction without the flag"
    bouncer, url = start_pgbouncer(work, cluster, database, "transaction", 2)
    log = StatementLog(cluster)
    server = Server([binary, "--database", url, "--writers", "3", "--threads", "2",
                     *(["--transaction-pool"] if flagged else [])], work)
    check(server.url is not None, f"{name}: the server did not start: " +
          server.log.read_text()[-300:])

    if server.url:
        answers = {}

        def post(part):
            for body in part:
                answers[account(body)] = server.post(body)

        posters = [threading.Thread(target=post, args=(bodies[i::8],)) for i in range(8)]
        for poster in posters:
            poster.start()
        for poster in posters:
            poster.join()
        check(all(a == "recorded" for a in answers.values()),
              f"{name}: answers {sorted(set(answers.values()))}")
        check(server.post(bodies[0]) == "recorded", f"{name}: a second post of the first "
              "report right after it was not answered as the first")
        export = server.request("/export.csv?raw=1")[1].decode("gbk")
        rows = list(csv.DictReader(io.StringIO(export)))
        check(sorted(row["u"] for row in rows) == sorted(answers),
              f"{name}: {len(rows)} rows exported for {len(answers)} reports")
        ids = [int(row["id"]) for row in rows]
        check(ids == sorted(set(ids)), f"{name}: the export is not in id order")
        check(server.request("/")[0] == 200, f"{name}: the page does not answer")
        server.stop()
        prepared, unnamed = log.executions()
        check(not flagged or (prepared == 0 and unnamed > 0),
              f"{name}: {prepared} statements run prepared, {unnamed} unnamed")
        failures = [line for line in server.log.read_text().splitlines()
                    if "store failure" in line]
        check(flagged or not failures, f"{name}: a store failure was logged: {failures[:3]}")
    bouncer.terminate()
    bouncer.wait(timeout=10)


def prepared_statements(binary, bodies, work, cluster, database):
    """Straight to the cluster, the batch's statements are prepared once a connection."""
    log = StatementLog(cluster)
    server = Server([binary, "--database",
                     f"postgresql:///{database}?host={cluster}&user=vxm"], work)
    check(server.url is not None, "prepared: the server did not start")
    if server.url:
        answers = [server.post(body) for body in bodies]
        check(answers == ["recorded"] * len(bodies), f"prepared: answers {sorted(set(answers))}")
        check(server.request("/")[0] == 200, "prepared: the page does not answer")
        server.stop()
        prepared, unnamed = log.executions()
        # Each report's batch runs three prepared statements (record, tallies, rank).
        check(prepared >= 3 * len(bodies),
              f"prepared: {prepared} statements run prepared for {len(bodies)} batches")


def session_pool_too_small(binary, work, cluster, database):
    """One writer holds three connections; a session pool of two serves two of them."""
    bouncer, url = start_pgbouncer(work, cluster, database, "session", 2)
    # Waits the 10 s Server gives a server to start: twice the time between two notices.
    server = Server([binary, "--database", url, "--writers", "1"], work)
    log = server.log.read_text()
    check(server.url is None and server.process.poll() is None,
          "session: the server did not wait: " + log[-300:])
    check('event="store wait"' in log and "connection 3 of 3" in log,
          "session: the wait was not said: " + log[-300:])
    server.stop()
    bouncer.terminate()
    bouncer.wait(timeout=10)


def main(root, binary):
    url = os.environ.get("VXM_TEST_POSTGRES_URL", "")
    cluster = re.search(r"host=([^&]+)", url)
    if not shutil.which(PGBOUNCER) or not cluster:
        print("pgbouncer_test: skipped: needs pgbouncer and VXM_TEST_POSTGRES_URL")
        return 77
    # A database of its own: the export then holds this test's reports alone.
    database = f"bouncer{os.getpid()}"
    # Every statement of these databases is logged, with its prepared name or <unnamed>.
    for name in (database, database + "p", database + "u"):
        subprocess.run(["psql", "-q", url, "-c", f"CREATE DATABASE {name}", "-c",
                        f"ALTER DATABASE {name} SET log_min_duration_statement = 0"], check=True)
    with tempfile.TemporaryDirectory() as work:
        os.chmod(work, 0o777)
        reports = pathlib.Path(work, "reports")
        subprocess.run([sys.executable, pathlib.Path(root, "tools/bench/make_reports.py"), "420",
                        f"bouncer{time.time()}", reports], check=True)
        bodies = reports.read_text().splitlines()
        prepared_statements(binary, bodies[400:], work, cluster.group(1), database + "p")
        unflagged = pathlib.Path(work, "unflagged")
        unflagged.mkdir()
        os.chmod(unflagged, 0o777)
        transaction_pooling(binary, bodies[:100], unflagged, cluster.group(1), database + "u",
                            flagged=False)
        bodies = bodies[:400]
        for case in ("transaction", "session"):
            folder = pathlib.Path(work, case)
            folder.mkdir()
            os.chmod(folder, 0o777)
            if case == "transaction":
                transaction_pooling(binary, bodies, folder, cluster.group(1), database)
            else:
                session_pool_too_small(binary, folder, cluster.group(1), database)
    for problem in problems[:20]:
        print("pgbouncer_test:", problem)
    print("pgbouncer_test:", "FAILED" if problems else "passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
