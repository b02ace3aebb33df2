#!/usr/bin/env python3
"""Signals and a lost log as operators meet them: SIGPIPE and SIGHUP never end the server, SIGTERM
and SIGINT end it with every queued report committed, and a request log whose reader went away is
said once on standard error while the server goes on answering. Standard-error lines are logfmt
with a time and a level.
Usage: signals_test.py SERVER_BINARY
"""
import http.client
import os
import pathlib
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

REPORT_PATH = "/vorn/a20140220checkmachine/postInfo.php"
EVENT_LINE = re.compile(r"^time=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z "
                        r"level=(error|warning|notice|info) event=\S")


def start(binary, folder):
    """The server on a free port, its request lines read as they come (or the pipe would fill);
    the server and its port, from its first line."""
    server = subprocess.Popen([binary, "--port", "0", "--database", folder],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    port = int(re.search(r":(\d+)$", server.stdout.readline().strip()).group(1))
    threading.Thread(target=server.stdout.read, daemon=True).start()
    return server, port


def get(port, path="/healthz"):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.request("GET", path)
    response = connection.getresponse()
    return response.status, response.read()


def post(port, body):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.request("POST", REPORT_PATH, body,
                       {"Content-Type": "application/x-www-form-urlencoded"})
    return connection.getresponse().read()


def survives(binary, folder, signum):
    """The server still answers after `signum`; a problem, or None."""
    server, port = start(binary, folder)
    server.send_signal(signum)
    time.sleep(0.3)
    try:
        if server.poll() is not None:
            return f"ended by {signal.Signals(signum).name} with {server.returncode}"
        status, _ = get(port)
        return None if status == 200 else f"answered {status} after the signal"
    finally:
        server.terminate()
        server.wait(timeout=30)


def commits_and_ends(binary, folder, signum, bodies):
    """Reports posted at once, the signal sent while they are answered: each one answered
    recorded is in the store after the end, and the server ends with 0."""
    server, port = start(binary, folder)
    answers = []

    def one(body):
        try:
            answers.append(post(port, body))
        except OSError:
            pass

    threads = [threading.Thread(target=one, args=(b,)) for b in bodies]
    for thread in threads:
        thread.start()
    time.sleep(0.05)
    server.send_signal(signum)
    for thread in threads:
        thread.join()
    code = server.wait(timeout=30)
    recorded = sum(b'"ret_code":0' in answer for answer in answers)
    # What the file holds once the server has ended (a report posted again now would be
    # answered as its first post was, stored or not).
    db = sqlite3.connect(os.path.join(folder, "reports.sqlite3"))
    stored = db.execute("SELECT count(*) FROM reports").fetchone()[0]
    db.close()
    if code != 0:
        return f"ended with {code}"
    if recorded == 0 or stored < recorded:
        return f"{recorded} answered recorded, {stored} found stored afterwards"
    return None


def closed_log(binary, folder):
    """The request log's reader goes away: the server goes on, says it once, in logfmt."""
    server = subprocess.Popen([binary, "--port", "0", "--database", folder],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    port = int(re.search(r":(\d+)$", server.stdout.readline().strip()).group(1))
    server.stdout.close()
    try:
        statuses = []
        for _ in range(20):
            statuses.append(get(port)[0])
            time.sleep(0.03)
        alive = server.poll() is None
    finally:
        server.terminate()
        _, errors = server.communicate(timeout=30)
    said = [line for line in errors.splitlines() if 'event="request log"' in line]
    if not alive or statuses != [200] * 20:
        return f"alive {alive}, answers {statuses}"
    if len(said) != 1 or not EVENT_LINE.match(said[0]) or "level=warning" not in said[0]:
        return f"said on standard error: {errors!r}"
    return None


def main(binary):
    binary = str(pathlib.Path(binary).resolve())
    problems = []
    with tempfile.TemporaryDirectory() as work:
        bodies_file = pathlib.Path(work, "bodies")
        subprocess.run([sys.executable, pathlib.Path(__file__).parents[2] /
                        "tools/bench/make_reports.py", "64", f"sig{time.time()}", bodies_file],
                       check=True)
        bodies = bodies_file.read_text().splitlines()
        cases = [
            ("SIGPIPE is ignored", lambda f: survives(binary, f, signal.SIGPIPE)),
            ("SIGHUP never ends it", lambda f: survives(binary, f, signal.SIGHUP)),
            ("SIGTERM commits what is queued", lambda f: commits_and_ends(
                binary, f, signal.SIGTERM, bodies[:32])),
            ("SIGINT commits what is queued", lambda f: commits_and_ends(
                binary, f, signal.SIGINT, bodies[32:])),
            ("a closed log pipe is said once", lambda f: closed_log(binary, f)),
        ]
        for n, (name, case) in enumerate(cases):
            problem = case(str(pathlib.Path(work, f"db{n}")))
            print(f"{name}: {'ok' if problem is None else 'FAILED: ' + problem}")
            if problem:
                problems.append(name)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
