#!/usr/bin/env python3
"""The shipped deployment fits together: the server started with the systemd unit's own command
line (read from the unit; only the binary, port and state folder are this machine's), behind the
shipped nginx site and then the shipped Caddyfile, each with a certificate made now.

Through each proxy: reports from several 127.x addresses are stored with those addresses; 80
kept-alive clients from four addresses get no 503; the exports and the metrics answer 403 to the
public side; a key in a query is refused and no log holds it, nor any other query whatever the
Host header says; one Server header, without a version; each proxy closes an idle connection
before the server would; reports posted with pauses around every idle deadline (the proxy's 2 s,
the server's 3 s) get no 502 and are all stored; and a client that sends its headers, or its body,
a byte a second is cut off within the server's own bounds (3 s, 10 s).
Usage: deployment_test.py ROOT SERVER_BINARY
"""
import concurrent.futures
import csv
import http.client
import io
import os
import pathlib
import re
import shlex
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

KEY = "deployment-test-operator-key-0123456789"
REPORT_PATH = "/vorn/a20140220checkmachine/postInfo.php"
CLIENTS = ["127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"]
# Pauses between two reports on one kept-alive client connection: around the proxy's idle
# deadline (2 s) and the server's (3 s).
PAUSES = [1.9, 2.0, 2.1, 2.9, 3.0, 3.1]
# Put into queries: no log may hold it.
QUERY_MARK = "vxm-query-mark"
# Host headers that spell the site otherwise than its name as written, and other names.
HOSTS = ["localhost", "LOCALHOST", "localhost.", "other.example", "{port}", "localhost:{port}"]


def free_port():
    with socket.create_server(("127.0.0.1", 0)) as probe:
        return probe.getsockname()[1]


class Client(http.client.HTTPSConnection):
    """HTTPS to the proxy on 127.0.0.1 from a chosen loopback address, for the name localhost."""

    def __init__(self, port, source, ca, timeout=30):
        context = ssl.create_default_context(cafile=str(ca))
        super().__init__("localhost", port, context=context, timeout=timeout)
        self.proxy_port, self.source = port, source

    def connect(self):
        plain = socket.create_connection(("127.0.0.1", self.proxy_port), self.timeout,
                                         (self.source, 0))
        self.sock = self._context.wrap_socket(plain, server_hostname="localhost")

    def ask(self, method, path, body=None, headers=None):
        """Status, headers (as a list) and body; the connection stays open when it may."""
        self.request(method, path, body=body,
                     headers={"Host": f"localhost:{self.proxy_port}", **(headers or {})})
        response = self.getresponse()
        return response.status, response.getheaders(), response.read()


def idle_seconds(root, command):
    """Idle time before each side closes a kept connection: nginx's upstream, Caddy's
    transport, and the server's header deadline (the unit's, else the server's default)."""
    site = (root / "server/vxm-report-server.nginx.conf").read_text()
    upstream = re.search(r"upstream vxm_report_server \{(.*?)\}", site, re.S).group(1)
    nginx = re.search(r"^\s*keepalive_timeout (\d+)s;", upstream, re.M)
    caddy = re.search(r"^\s*keepalive (\d+)s$", (root / "server/Caddyfile").read_text(), re.M)
    if "--header-timeout-ms" in command:
        server_ms = int(command[command.index("--header-timeout-ms") + 1])
    else:
        usage = subprocess.run([command[0], "--help"], capture_output=True, text=True).stdout
        server_ms = int(re.search(r"--header-timeout-ms arg \(=(\d+)\)", usage).group(1))
    # nginx's default is 60 s, Caddy's two minutes.
    return (int(nginx.group(1)) if nginx else 60, int(caddy.group(1)) if caddy else 120,
            server_ms / 1000)


def unit_command(root, binary, port, state):
    """The unit's ExecStart, with the built binary, a free port and a state folder of its own."""
    unit = (root / "server/vxm-report-server.service").read_text()
    line = re.search(r"^ExecStart=(.*)$", unit, re.M).group(1)
    words = shlex.split(line.replace("${STATE_DIRECTORY}", str(state)))
    words[0] = str(binary)
    words[words.index("--port") + 1] = str(port)
    return words


class Deployment:
    def __init__(self, root, binary, work):
        self.root, self.work = root, work
        self.problems = []
        self.backend = free_port()
        tls = work / "tls"
        self.front("ca", tls)
        self.front("cert", tls, "localhost", work / "localhost")
        self.ca = tls / "ca.pem"
        self.command = unit_command(root, binary, self.backend, work / "state")
        self.server_log = open(work / "server.out", "w")
        self.server_errors = open(work / "server.err", "w")
        self.server = subprocess.Popen(self.command, stdout=self.server_log,
                                       stderr=self.server_errors,
                                       env={**os.environ, "VXM_OPERATOR_KEY": KEY})
        for _ in range(100):
            if "listening" in (work / "server.out").read_text():
                break
            time.sleep(0.1)
        self.bodies = (work / "bodies").read_text().splitlines()
        self.next_body = 0
        self.lock = threading.Lock()

    def front(self, *arguments):
        subprocess.run([self.root / "scripts/tls-front", *map(str, arguments)], check=True,
                       timeout=60)

    def check(self, ok, what):
        if not ok:
            self.problems.append(what)

    def body(self):
        with self.lock:
            self.next_body += 1
            return self.bodies[self.next_body - 1]

    def stored(self):
        """Account number -> the stored peer address, read directly from the server."""
        connection = http.client.HTTPConnection("127.0.0.1", self.backend, timeout=30)
        connection.request("GET", "/export.csv?raw=1", headers={"Authorization": "Bearer " + KEY})
        rows = csv.DictReader(io.StringIO(connection.getresponse().read().decode("gbk")))
        return {row["u"]: row["peer"] for row in rows}

    def stop(self):
        self.server.terminate()
        self.server.wait(timeout=30)
        self.server_log.close()
        self.server_errors.close()

    def trickle(self, port, head, limit):
        """Seconds until the proxy answers or closes a request that sends `head`, then a byte a
        second; None when it is still open after `limit` seconds."""
        plain = socket.create_connection(("127.0.0.1", port), 10, (CLIENTS[2], 0))
        context = ssl.create_default_context(cafile=str(self.ca))
        with context.wrap_socket(plain, server_hostname="localhost") as sock:
            start = time.monotonic()
            sock.sendall(head)
            sock.settimeout(1.0)
            while time.monotonic() - start < limit:
                try:
                    sock.recv(4096)
                    return round(time.monotonic() - start, 1)
                except socket.timeout:
                    pass
                except OSError:
                    return round(time.monotonic() - start, 1)
                try:
                    sock.sendall(b"a")
                except OSError:
                    return round(time.monotonic() - start, 1)
        return None

    def run_proxy(self, name, port):
        """Every check through the proxy on `port`; each problem is named after the proxy."""
        posted = {}  # account -> the address it was posted from
        # Clients that send their headers or their body a byte a second, beside all below.
        slow = concurrent.futures.ThreadPoolExecutor(2)
        request = f"POST {REPORT_PATH} HTTP/1.1\r\nHost: localhost\r\n"
        slow_headers = slow.submit(self.trickle, port, (request + "X-Slow: ").encode(), 8)
        slow_body = slow.submit(self.trickle, port, (
            request + "Content-Type: application/x-www-form-urlencoded\r\n"
            "Content-Length: 2000\r\n\r\nu=").encode(), 16)
        # Reports from several addresses are stored with them.
        for source in CLIENTS:
            client = Client(port, source, self.ca)
            for _ in range(2):
                body = self.body()
                status, _, reply = client.ask("POST", REPORT_PATH, body,
                                              {"Content-Type": "application/x-www-form-urlencoded"})
                self.check(status == 200 and b'"ret_code":0' in reply,
                           f"{name}: a report from {source}: {status} {reply[:80]!r}")
                posted[body.split("&")[0][2:]] = source
            client.close()

        # 80 kept-alive clients from four addresses for 3 s: no 503.
        statuses = self.load(port, 80, 3.0)
        self.check(statuses.get(503, 0) == 0 and statuses.get(200, 0) > 0,
                   f"{name}: answers under load: {statuses}")

        # The public side reaches neither the exports nor the metrics; the operator's own
        # machine does.
        public = Client(port, CLIENTS[0], self.ca)
        for path in ["/metrics", "/export.csv", "/unknown.csv", "/wrong-keys.csv",
                     "/export.csv?raw=1"]:
            status, _, _ = public.ask("GET", path, headers={"Authorization": "Bearer " + KEY})
            self.check(status == 403, f"{name}: {path} from the public side: {status}")
        operator = Client(port, "127.0.0.1", self.ca)
        status, _, export = operator.ask("GET", "/export.csv",
                                         headers={"Authorization": "Bearer " + KEY})
        self.check(status == 200 and export.count(b"\r\n") > len(CLIENTS),
                   f"{name}: the export for the operator's machine: {status}")
        # A key in a query is refused before anything logs it.
        status, _, _ = operator.ask("GET", "/export.csv?key=" + KEY + "-in-query")
        self.check(status == 400, f"{name}: a key in the query: {status}")
        status, headers, _ = public.ask("GET", "/")
        servers = [value for field, value in headers if field.lower() == "server"]
        self.check(status == 200 and len(servers) == 1 and not re.search(r"\d", servers[0]),
                   f"{name}: Server headers of the page: {servers}")
        public.close()
        operator.close()

        # No query is logged, whatever Host the request names (a site's own log keeps to its
        # name as written) and when it fails (a body over the bound).
        for host in HOSTS:
            client = Client(port, CLIENTS[3], self.ca)
            client.ask("GET", "/?" + QUERY_MARK, headers={"Host": host.format(port=port)})
            client.close()
        client = Client(port, CLIENTS[3], self.ca)
        try:
            status, _, _ = client.ask("POST", REPORT_PATH + "?" + QUERY_MARK, "u=" + "1" * 70000,
                                      {"Content-Type": "application/x-www-form-urlencoded"})
            self.check(status == 413, f"{name}: a body over the bound: {status}")
        except (OSError, http.client.HTTPException):
            pass  # refused before the whole body was sent
        client.close()

        # Pauses around every idle deadline: no 502, and every report stored.
        client = Client(port, CLIENTS[1], self.ca)
        answers = []
        for pause in PAUSES:
            body = self.body()
            status, _, reply = client.ask("POST", REPORT_PATH, body,
                                          {"Content-Type": "application/x-www-form-urlencoded"})
            answers.append(status)
            if status == 200 and b'"ret_code":0' in reply:
                posted[body.split("&")[0][2:]] = CLIENTS[1]
            time.sleep(pause)
        client.close()
        self.check(answers == [200] * len(PAUSES), f"{name}: answers after pauses: {answers}")
        headers_took, body_took = slow_headers.result(), slow_body.result()
        slow.shutdown()
        self.check(headers_took is not None and headers_took < 4.5,
                   f"{name}: headers a byte a second were cut off after {headers_took} s")
        self.check(body_took is not None and body_took < 12.5,
                   f"{name}: a body a byte a second was cut off after {body_took} s")

        stored = self.stored()
        wrong = {account: (source, stored.get(account)) for account, source in posted.items()
                 if stored.get(account) != source}
        self.check(len(posted) == 2 * len(CLIENTS) + len(PAUSES) and not wrong,
                   f"{name}: {len(posted)} reports posted, stored with other addresses or not "
                   f"at all: {wrong}")
        print(f"{name}: {len(posted)} reports stored with their addresses, "
              f"{sum(statuses.values())} answers under load {statuses}, pauses {PAUSES} s: "
              f"{answers}, slow headers cut off after {headers_took} s, a slow body after "
              f"{body_took} s")

    def load(self, port, clients, seconds):
        """Status counts of `clients` kept-alive clients posting reports for `seconds`."""
        end = time.monotonic() + seconds

        def one(n):
            counts = {}
            client = Client(port, CLIENTS[n % len(CLIENTS)], self.ca)
            while time.monotonic() < end:
                try:
                    status, _, _ = client.ask(
                        "POST", REPORT_PATH, self.bodies[-1 - n],
                        {"Content-Type": "application/x-www-form-urlencoded"})
                except (OSError, http.client.HTTPException):
                    status = "failed"
                    client.close()
                counts[status] = counts.get(status, 0) + 1
            client.close()
            return counts

        totals = {}
        with concurrent.futures.ThreadPoolExecutor(clients) as pool:
            for counts in pool.map(one, range(clients)):
                for status, count in counts.items():
                    totals[status] = totals.get(status, 0) + count
        return totals


def main(root, binary):
    root, binary = pathlib.Path(root), pathlib.Path(binary).resolve()
    if not shutil.which("nginx"):
        print("skipped: no nginx")
        return 77
    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder)
        subprocess.run([sys.executable, root / "tools/bench/make_reports.py", "200",
                        f"deploy{time.time()}", work / "bodies"], check=True)
        bed = Deployment(root, binary, work)
        try:
            command = " ".join(bed.command)
            bed.check("--address 127.0.0.1" in command and "--trusted-proxy 127.0.0.1" in command,
                      f"the unit's command line: {command}")
            # The proxy always closes an idle connection first, by a margin for the way back.
            nginx_idle, caddy_idle, server_idle = idle_seconds(root, bed.command)
            bed.check(max(nginx_idle, caddy_idle) <= server_idle - 0.5,
                      f"idle: nginx {nginx_idle} s, Caddy {caddy_idle} s, server {server_idle} s")
            proxies = [("nginx", "start")]
            if shutil.which("caddy"):
                proxies.append(("Caddy", "caddy"))
            else:
                print("Caddy: skipped, not installed")
            for name, command in proxies:
                port = free_port()
                bed.front(command, work / name, port, bed.backend, work / "localhost.pem",
                          work / "localhost.key")
                try:
                    bed.run_proxy(name, port)
                finally:
                    bed.front("stop", work / name)
            logs = {"nginx error log": work / "nginx/nginx/error.log",
                    "nginx access log": work / "nginx/nginx/access.log",
                    "server's standard output": work / "server.out",
                    "server's standard error": work / "server.err"}
            if len(proxies) > 1:
                logs["Caddy's log"] = work / "Caddy/caddy/caddy.log"
            for what, path in logs.items():
                bed.check(KEY not in path.read_text(errors="replace"), f"the key is in the {what}")
            # nginx's error log writes a failed request's line, query and all (a key in a query
            # is refused before it could); its access log and Caddy's whole log keep none.
            for what in ["nginx access log", "Caddy's log"]:
                if what in logs:
                    text = logs[what].read_text(errors="replace")
                    bed.check(QUERY_MARK not in text and text.count("/vorn/") > 0,
                              f"a query is in the {what}")
            # The slow body through nginx is cut off by the server, and logged with its client.
            closed = [line for line in (work / "server.err").read_text().splitlines()
                      if "did not arrive within the deadline" in line and "what=127.0.0.1 " in line]
            bed.check(not closed, "the server closed an idle proxy connection at its deadline:\n" +
                      "\n".join(closed))
        finally:
            bed.stop()
            if os.environ.get("VXM_KEEP"):
                shutil.copytree(work, os.environ["VXM_KEEP"], dirs_exist_ok=True)
        for problem in bed.problems:
            print("FAILED:", problem)
        return 1 if bed.problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
