#!/usr/bin/env python3
"""The deployment as shipped, before and after a change, in one run: each revision's server
(optimised) started with its own unit's command line (only the port, the state folder and a
0.0.0.0 address, made 127.0.0.1, are changed) behind its own nginx site, with a certificate made
now.

1. Rate: clients posting distinct reports on kept-alive connections (wrk, tools/bench/
   post_reports.lua), to the server alone and through nginx, each revision and path in turns,
   ROUNDS rounds, medians with their ranges (the server alone without its --trusted-proxy): recorded reports a second, the server's CPU time a recorded report and nginx's
   (its workers'), and the answers that were not "recorded" (503s among them).
2. Idle deadlines: IDLE_CLIENTS clients through nginx, each posting a report, pausing a time drawn
   around the proxy's and the server's idle deadlines (1.8-2.2 s and 2.8-3.2 s), and again, for
   IDLE_SECONDS; both revisions at once. Printed: reports posted, 502 answers, reports lost (posted
   but not in the store), and the server's "did not arrive within the deadline" lines.
Usage: tools/bench/deployment_bench.py [BASE]   (BASE: the revision before; default: the parent
of the commit that made the unit listen on loopback)
Environment: VXM_BENCH_SECONDS (4), VXM_BENCH_ROUNDS (4), VXM_BENCH_CLIENTS (32),
VXM_BENCH_IDLE_SECONDS (40), VXM_BENCH_IDLE_CLIENTS (16).
"""
import csv
import http.client
import io
import os
import pathlib
import random
import re
import shlex
import socket
import ssl
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
KEY = "deployment-bench-operator-key-0123456789"
REPORT_PATH = "/vorn/a20140220checkmachine/postInfo.php"
SECONDS = int(os.environ.get("VXM_BENCH_SECONDS", 4))
ROUNDS = int(os.environ.get("VXM_BENCH_ROUNDS", 4))
CLIENTS = int(os.environ.get("VXM_BENCH_CLIENTS", 32))
IDLE_SECONDS = float(os.environ.get("VXM_BENCH_IDLE_SECONDS", 40))
IDLE_CLIENTS = int(os.environ.get("VXM_BENCH_IDLE_CLIENTS", 16))


def git(*arguments):
    return subprocess.run(["git", "-C", ROOT, *arguments], check=True, capture_output=True,
                          text=True).stdout


def free_port():
    with socket.create_server(("127.0.0.1", 0)) as probe:
        return probe.getsockname()[1]


def build(revision):
    """The optimised server of `revision` (the working tree's for None) and its unit and site."""
    if revision is None:
        subprocess.run([ROOT / "scripts/serve", "--help"], check=True, stdout=subprocess.DEVNULL)
        return (ROOT / "build/server/vxm-report-server",
                (ROOT / "server/vxm-report-server.service").read_text(),
                ROOT / "server/vxm-report-server.nginx.conf")
    commit = git("rev-parse", "--short", revision).strip()
    folder = ROOT / f"build/bench-base-{commit}"
    if not (folder / "src").exists():
        (folder / "src").mkdir(parents=True)
        archive = subprocess.Popen(["git", "-C", ROOT, "archive", commit], stdout=subprocess.PIPE)
        subprocess.run(["tar", "-x", "-C", folder / "src"], stdin=archive.stdout, check=True)
        archive.wait()
    if not (folder / "server/CMakeCache.txt").exists():
        subprocess.run(["cmake", "-S", folder / "src", "-B", folder / "server", "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release", "-DVXM_SANITIZE=OFF", "-DVXM_TESTS=OFF"],
                       check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", folder / "server", "-j", "2", "--target",
                    "vxm-report-server"], check=True, stdout=subprocess.DEVNULL)
    return (folder / "server/vxm-report-server",
            (folder / "src/server/vxm-report-server.service").read_text(),
            folder / "src/server/vxm-report-server.nginx.conf")


class Deployment:
    """One revision's server, started with its unit's command line, and its nginx site."""

    def __init__(self, name, binary, unit, site, work, certificate):
        self.name, self.work = name, work / name
        self.work.mkdir()
        self.backend, self.front = free_port(), free_port()
        line = re.search(r"^ExecStart=(.*)$", unit, re.M).group(1)
        words = shlex.split(line.replace("${STATE_DIRECTORY}", str(self.work / "state")))
        words[0] = str(binary)
        words[words.index("--port") + 1] = str(self.backend)
        # Nothing here listens beyond loopback.
        words[words.index("--address") + 1] = "127.0.0.1"
        self.command, self.site, self.certificate = words, site, certificate
        self.server = None

    def start(self, fresh, alone=False):
        """`alone`: without --trusted-proxy, as a server reached directly runs (wrk's address,
        127.0.0.1, would be the trusted proxy's)."""
        if fresh:
            subprocess.run(["rm", "-rf", self.work / "state"], check=True)
        self.errors = open(self.work / "server.err", "w" if fresh else "a")
        command = list(self.command)
        if alone and "--trusted-proxy" in command:
            del command[command.index("--trusted-proxy"):command.index("--trusted-proxy") + 2]
        self.server = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=self.errors,
                                       env={**os.environ, "VXM_OPERATOR_KEY": KEY}, text=True)
        self.server.stdout.readline()
        threading.Thread(target=self.server.stdout.read, daemon=True).start()
        subprocess.run([ROOT / "scripts/tls-front", "start", self.work, str(self.front),
                        str(self.backend),
                        f"{self.certificate}.pem", f"{self.certificate}.key", self.site],
                       check=True)

    def stop(self):
        subprocess.run([ROOT / "scripts/tls-front", "stop", self.work], check=True)
        if self.server:
            self.server.terminate()
            self.server.wait(timeout=60)
            self.errors.close()
        self.server = None

    def nginx_pids(self):
        """The master and its workers, once they are there (the master forks them after it
        wrote its pid and tls-front returned)."""
        master = int((self.work / "nginx/nginx.pid").read_text())
        children = pathlib.Path(f"/proc/{master}/task/{master}/children")
        for _ in range(100):
            workers = children.read_text().split()
            if len(workers) >= min(os.cpu_count(), 4):
                break
            time.sleep(0.02)
        return [master, *map(int, workers)]

    def stored(self):
        connection = http.client.HTTPConnection("127.0.0.1", self.backend, timeout=60)
        connection.request("GET", "/export.csv?raw=1", headers={"Authorization": "Bearer " + KEY})
        rows = csv.DictReader(io.StringIO(connection.getresponse().read().decode("gbk")))
        return {row["u"] for row in rows}


def cpu_seconds(pids):
    """User and system time of the processes, in seconds."""
    ticks = 0
    for pid in pids:
        fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
        ticks += int(fields[11]) + int(fields[12])
    return ticks / os.sysconf("SC_CLK_TCK")


def rate(deployment, through_nginx, bodies):
    """Recorded reports a second, the server's and nginx's CPU a recorded report (us), others."""
    url = (f"https://localhost:{deployment.front}" if through_nginx
           else f"http://127.0.0.1:{deployment.backend}")
    server_pids, nginx_pids = [deployment.server.pid], deployment.nginx_pids()
    before = cpu_seconds(server_pids), cpu_seconds(nginx_pids)
    out = subprocess.run(["wrk", "-t2", f"-c{CLIENTS}", f"-d{SECONDS}s", "--latency", "-s",
                          ROOT / "tools/bench/post_reports.lua", url, "--", bodies, "2"],
                         check=True, capture_output=True, text=True).stdout.splitlines()[-1]
    server_cpu = cpu_seconds(server_pids) - before[0]
    nginx_cpu = cpu_seconds(nginx_pids) - before[1]
    recorded = int(re.search(r"recorded (\d+)", out).group(1))
    other = int(re.search(r"other (\d+)", out).group(1))
    return (recorded / SECONDS, server_cpu * 1e6 / max(recorded, 1),
            nginx_cpu * 1e6 / max(recorded, 1), other)


def idle_posts(deployment, bodies, ca, results):
    """Clients through nginx pausing around the idle deadlines; fills results[name]."""
    context = ssl.create_default_context(cafile=str(ca))
    end = time.monotonic() + IDLE_SECONDS
    lock = threading.Lock()
    tally = {"posted": set(), "502": 0, "failed": 0, "answers": 0}
    pool = iter(bodies)

    def client(seed):
        pick = random.Random(seed)
        connection = http.client.HTTPSConnection("localhost", deployment.front, context=context,
                                                 timeout=30)
        while time.monotonic() < end:
            with lock:
                body = next(pool)
            try:
                connection.request("POST", REPORT_PATH, body,
                                   {"Content-Type": "application/x-www-form-urlencoded"})
                response = connection.getresponse()
                reply = response.read()
                status = response.status
            except (OSError, http.client.HTTPException):
                status, reply = None, b""
                connection.close()
            with lock:
                tally["answers"] += 1
                tally["502"] += status == 502
                tally["failed"] += status is None
                if b'"ret_code":0' in reply or status in (502, None):
                    # Answered recorded, or possibly lost: the store tells.
                    tally["posted"].add(body.split("&")[0][2:])
            deadline = pick.choice([2.0, 3.0])
            time.sleep(deadline + pick.uniform(-0.2, 0.2))
        connection.close()

    threads = [threading.Thread(target=client, args=(n,)) for n in range(IDLE_CLIENTS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    results[deployment.name] = tally


def main(base=None):
    base = base or git("log", "--format=%H", "-1", "--grep", "a deployment whose pieces fit",
                       "main").strip() + "~1"
    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder)
        subprocess.run([ROOT / "scripts/tls-front", "ca", work / "tls"], check=True)
        subprocess.run([ROOT / "scripts/tls-front", "cert", work / "tls", "localhost",
                        work / "localhost"], check=True)
        bodies = work / "bodies"
        subprocess.run([sys.executable, ROOT / "tools/bench/make_reports.py",
                        str(SECONDS * 40000), f"d{time.time()}", bodies], check=True)
        deployments = [Deployment(name, *build(revision), work, work / "localhost")
                       for name, revision in (("before", base), ("after", None))]
        print(f"before: {git('rev-parse', '--short', base).strip()}, after: the working tree; "
              f"{CLIENTS} clients, {SECONDS} s, {ROUNDS} rounds: medians (ranges)")
        figures = {}
        try:
            for round_ in range(ROUNDS):
                for deployment in deployments:
                    for through_nginx in (False, True):
                        deployment.start(fresh=True, alone=not through_nginx)
                        try:
                            figures.setdefault((deployment.name, through_nginx), []).append(
                                rate(deployment, through_nginx, bodies))
                        finally:
                            deployment.stop()
            for (name, through_nginx), runs in figures.items():
                columns = list(zip(*runs))

                def spread(values, form):
                    return (f"{statistics.median(values):{form}} "
                            f"({min(values):{form}}-{max(values):{form}})")

                print(f"  {name:6} {'through nginx' if through_nginx else 'alone':13} "
                      f"{spread(columns[0], '.0f')} reports/s  server "
                      f"{spread(columns[1], '.1f')} us/report  nginx "
                      f"{spread(columns[2], '.1f')} us/report  not recorded "
                      f"{'/'.join(str(n) for n in columns[3])}")

            subprocess.run([sys.executable, ROOT / "tools/bench/make_reports.py", "20000",
                            f"i{time.time()}", work / "idle"], check=True)
            idle = (work / "idle").read_text().splitlines()
            results = {}
            for deployment in deployments:
                deployment.start(fresh=True)
            threads = [threading.Thread(target=idle_posts, args=(
                d, idle[n * 10000:(n + 1) * 10000], work / "tls/ca.pem", results))
                for n, d in enumerate(deployments)]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
            print(f"idle deadlines: {IDLE_CLIENTS} clients through nginx for {IDLE_SECONDS:.0f} s, "
                  "pauses 1.8-2.2 and 2.8-3.2 s")
            for deployment in deployments:
                tally = results[deployment.name]
                lost = tally["posted"] - deployment.stored()
                closed = (deployment.work / "server.err").read_text().count(
                    "did not arrive within the deadline")
                print(f"  {deployment.name:6} {tally['answers']:4d} posted  "
                      f"{tally['502']:3d} answered 502  {tally['failed']:3d} failed  "
                      f"{len(lost):3d} lost  {closed:4d} idle connections closed by the server")
        finally:
            for deployment in deployments:
                deployment.stop()


if __name__ == "__main__":
    main(*sys.argv[1:])
