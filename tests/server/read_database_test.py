#!/usr/bin/env python3
"""--read-database against the throwaway cluster: a second connection string to the same database,
as a role that may only SELECT. Reports are recorded (they go to --database), and the page, the
unknown list and the export are read through the second string: with that role's SELECT taken
away they fail while /healthz and reports go on, and with it given back they answer again, every
report exported once in id order. The start-up log names the read database without its password;
settings that cannot work are refused with exit code 2, and a read database that is another
database at start. Then a streaming standby of a cluster of the test's own: while the standby's
replay is paused, the export waits for it rather than end before reports the primary committed,
and the page shows what the standby holds.
Usage: read_database_test.py ROOT SERVER_BINARY (skipped without VXM_TEST_POSTGRES_URL; the
standby without pg_basebackup)."""
import csv
import io
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from store_failures_test import Server, account, check, problems  # noqa: E402

PASSWORD = "never-in-the-log"


def psql(url, *statements):
    command = ["psql", "-Atq", url, "-v", "ON_ERROR_STOP=1"]
    for statement in statements:
        command += ["-c", statement]
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def refusals(binary, work, primary, reader):
    """Settings refused before any connection: exit code 2, the reason, no password."""
    secret = f"postgresql://reader:{PASSWORD}@/x?host=/tmp"
    cases = [
        ("not a URL", ["--database", primary, "--read-database", "data"], "--read-database"),
        ("beside SQLite", ["--database", str(work / "sqlite"), "--read-database", secret],
         "reader:***@"),
        ("a pool before SQLite", ["--database", str(work / "sqlite"), "--transaction-pool"],
         "--transaction-pool"),
    ]
    for what, options, said in cases:
        run = subprocess.run([binary, "--port", "0", *options], capture_output=True, text=True,
                             timeout=30)
        check(run.returncode == 2, f"{what}: exit code {run.returncode}, not 2")
        check('event="start refused"' in run.stderr and said in run.stderr,
              f"{what}: the refusal does not say {said}: {run.stderr[-300:]}")
        check(PASSWORD not in run.stderr + run.stdout, f"{what}: the password is in the log")
    # Another database of the same cluster: its rows are not the database's.
    server = Server([binary, "--database", primary, "--read-database", reader("postgres")], work)
    code = server.process.wait(timeout=30)
    log = server.log.read_text()
    check(server.url is None and code == 1, f"another database: started, or exit code {code}")
    check("neither the database" in log, "another database: not said: " + log[-300:])


def reads_through_second_string(binary, bodies, work, primary, reader, database):
    read_url = reader(database)
    server = Server([binary, "--database", primary, "--read-database", read_url], work)
    check(server.url is not None, "the server did not start: " + server.log.read_text()[-300:])
    if not server.url:
        return
    first = bodies[:30]
    answers = [server.post(body) for body in first]
    check(answers == ["recorded"] * len(first), f"answers {sorted(set(answers))}")
    readers = psql(primary, "SELECT count(*) FROM pg_stat_activity WHERE usename = 'reader' "
                   "AND application_name = 'vxm_read_test'").strip()
    check(readers == "2", f"{readers} connections of the read role, not 2 (the page's, the export's)")

    # Without SELECT, every read through the second string fails; the rest does not.
    psql(primary, "REVOKE SELECT ON ALL TABLES IN SCHEMA public FROM reader")
    time.sleep(1.2)  # the page rendered before is kept a second
    for path in ("/", "/export.csv", "/export.csv?after=1", "/unknown.csv"):
        status = server.request(path)[0]
        check(status == 500, f"read role without SELECT: {path} answered {status}, not 500")
    check(server.request("/healthz")[0] == 200, "read role without SELECT: /healthz failed")
    check(server.post(bodies[30]) == "recorded", "read role without SELECT: a report failed")

    psql(primary, "GRANT SELECT ON ALL TABLES IN SCHEMA public TO reader")
    time.sleep(1.2)
    for path in ("/", "/unknown.csv"):
        status = server.request(path)[0]
        check(status == 200, f"read role with SELECT again: {path} answered {status}")
    status, export = server.request("/export.csv?raw=1")
    rows = list(csv.DictReader(io.StringIO(export.decode("gbk"))))
    check(status == 200 and sorted(r["u"] for r in rows) == sorted(map(account, bodies[:31])),
          f"the export holds {len(rows)} rows for 31 reports (status {status})")
    ids = [int(r["id"]) for r in rows]
    check(ids == sorted(set(ids)), "the export is not in id order")
    after = server.request(f"/export.csv?raw=1&after={ids[-2]}")[1].decode("gbk")
    check([r["u"] for r in csv.DictReader(io.StringIO(after))] == [rows[-1]["u"]],
          "after= the last id but one does not give the last report alone")
    server.stop()
    log = server.log.read_text()
    check('event="read database"' in log and "reader:***@" in log and "password=***" in log,
          "the start-up log does not name the read database: " + log[:400])
    check(PASSWORD not in log, "the password is in the log")


def as_cluster_owner(command):
    """The command as the clusters' owner: "postgres" when run as root, as pg-throwaway does."""
    prefix = ["runuser", "-u", "postgres", "--"] if os.geteuid() == 0 else []
    return subprocess.run(prefix + command, check=True, capture_output=True, text=True)


def standby(root, binary, bodies, work):
    pg_bin = sorted(pathlib.Path("/usr/lib/postgresql").glob("*/bin"))[-1]
    if not (pg_bin / "pg_basebackup").exists():
        print("read_database_test: standby skipped: no pg_basebackup")
        return
    throwaway = pathlib.Path(root, "scripts/pg-throwaway")
    primary_dir, primary = subprocess.run([throwaway, "start"], check=True, capture_output=True,
                                          text=True).stdout.split()
    standby_dir = work / "standby"
    standby_dir.mkdir()
    os.chmod(standby_dir, 0o777)
    try:
        as_cluster_owner([pg_bin / "pg_basebackup", "-h", primary_dir, "-U", "vxm", "-D",
                          standby_dir / "data", "-R", "-c", "fast"])
        as_cluster_owner([pg_bin / "pg_ctl", "-D", standby_dir / "data", "-l", standby_dir / "log",
                          "-o", f"-k {standby_dir} -c listen_addresses='' -c max_connections=200",
                          "-w", "start"])
        standby_url = f"postgresql:///postgres?host={standby_dir}&user=vxm"
        server = Server([binary, "--database", primary, "--read-database", standby_url], work)
        check(server.url is not None, "standby: the server did not start: " +
              server.log.read_text()[-300:])
        if not server.url:
            return
        first = [server.post(body) for body in bodies[:10]]
        check(first == ["recorded"] * 10, f"standby: answers {sorted(set(first))}")
        check(len(server.accounts()) == 10, "standby: the export does not hold 10 reports")
        psql(standby_url, "SELECT pg_wal_replay_pause()")
        later = [server.post(body) for body in bodies[10:15]]
        check(later == ["recorded"] * 5, f"standby: answers while paused {sorted(set(later))}")
        time.sleep(1.2)  # the page rendered before is kept a second
        reports = re.search(r"<b>(\d+)</b><span>份报告", server.request("/")[1].decode())
        check(reports and reports.group(1) == "10",
              "standby: the page does not count the standby's 10 reports")
        resume = threading.Timer(1.5, psql, (standby_url, "SELECT pg_wal_replay_resume()"))
        resume.start()
        started = time.monotonic()
        exported = server.accounts()
        waited = time.monotonic() - started
        resume.join()
        check(exported == set(map(account, bodies[:15])),
              f"standby: the export during the pause holds {len(exported)} of 15 reports")
        check(waited >= 1.2, f"standby: the export took {waited:.2f} s, not waiting for replay")
        server.stop()
    finally:
        if (standby_dir / "data").exists():
            subprocess.run((["runuser", "-u", "postgres", "--"] if os.geteuid() == 0 else []) +
                           [pg_bin / "pg_ctl", "-D", standby_dir / "data", "-m", "immediate",
                            "stop"], capture_output=True)
        subprocess.run([throwaway, "stop", primary_dir], capture_output=True)


def main(root, binary):
    url = os.environ.get("VXM_TEST_POSTGRES_URL", "")
    cluster = re.search(r"host=([^&]+)", url)
    if not cluster:
        print("read_database_test: skipped: needs VXM_TEST_POSTGRES_URL")
        return 77
    database = f"readdb{os.getpid()}"
    psql(url, f"CREATE DATABASE {database}")
    psql(url, "DO $$BEGIN CREATE ROLE reader LOGIN; EXCEPTION WHEN duplicate_object THEN "
         "NULL; END$$")
    primary = f"postgresql:///{database}?host={cluster.group(1)}&user=vxm"
    # What the server creates later, the read role may SELECT (and nothing else).
    psql(primary, "ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT ON TABLES TO reader")

    # Trust authentication never asks for the password: it is there to be kept out of the log.
    def reader(name):
        return (f"postgresql://reader:{PASSWORD}@/{name}?host={cluster.group(1)}"
                f"&application_name=vxm_read_test&password={PASSWORD}")

    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder)
        os.chmod(work, 0o777)
        subprocess.run([sys.executable, pathlib.Path(root, "tools/bench/make_reports.py"), "40",
                        f"read{time.time()}", work / "reports"], check=True)
        bodies = (work / "reports").read_text().splitlines()
        refusals(binary, work, primary, reader)
        reads_through_second_string(binary, bodies, work, primary, reader, database)
        standby(root, binary, bodies, work)
    for problem in problems[:20]:
        print("read_database_test:", problem)
    print("read_database_test:", "FAILED" if problems else "passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
