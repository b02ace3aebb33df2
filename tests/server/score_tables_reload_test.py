#!/usr/bin/env python3
"""The operator's tables through the real server: --score-tables read at start (a refused table
stops the start with the reason), a SIGHUP that adds an adapter rates the next report and the
stored one with it, and a SIGHUP with a broken table keeps the tables in use, says why and counts
it; SIGHUP never ends the server.
Usage: score_tables_reload_test.py ROOT SERVER_BINARY
"""
import hashlib
import http.client
import json
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

REPORT_PATH = "/vorn/a20140220checkmachine/postInfo.php"
FIELDS = "u mc cpu mm dm cc lcc lvm tvm os rs dx vc dd hl s pn nc ei".split()
problems = []


def check(condition, what):
    if not condition:
        problems.append(what)


def form(account, gpu):
    """A report as the program sends it: an unrated level (the program knows no such adapter)."""
    f = dict(u=account, mc="00-1A-2B-3C-4D-5E", cpu="Intel Core i7 995X @ 3.60GHz", mm="8192.00 MB",
             dm=gpu, cc="4", lcc="8", lvm="2048.00 MB", tvm="4095.00 MB", os="Windows 6.1, SP 1.0",
             rs="1920x1080, 32bits", dx="D3D9;", vc="", dd="9.18.13.697", hl="", s="0", pn="PC",
             nc="{4D36E972}Intel(R) 82574L", ei="3")
    salted = (f["u"] + "R!%&58T^wnq27d" + f["mc"] + f["cpu"] + f["mm"] + f["dm"] + "#*!^%KTRB941" +
              f["hl"] + f["s"] + "r5.2071815m#")
    f["tk"] = hashlib.md5(salted.encode("latin-1")).hexdigest()
    return "&".join(k + "=" + urllib.parse.quote(f[k], safe="-_.~") for k in FIELDS + ["tk"])


def request(port, method, path, body=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.request(method, path, body,
                       {"Content-Type": "application/x-www-form-urlencoded"} if body else {})
    return connection.getresponse().read().decode()


def metric(port, name):
    found = re.search("^" + re.escape(name) + r" (\S+)$", request(port, "GET", "/metrics"), re.M)
    return found.group(1) if found else None


def main(root, binary):
    with tempfile.TemporaryDirectory() as work:
        tables = pathlib.Path(work, "tables")
        tables.mkdir()
        for name in ("cpu.txt", "gpu.txt"):
            shutil.copy(pathlib.Path(root, "resources", name), tables)
        gpu_txt = tables / "gpu.txt"

        # A refused table: the server does not start, and says which line.
        broken = pathlib.Path(work, "broken")
        shutil.copytree(tables, broken)
        with open(broken / "cpu.txt", "ab") as table:
            table.write(b"no score here\r\n")
        refused = subprocess.run([binary, "--port", "0", "--database", str(pathlib.Path(work, "x")),
                                  "--score-tables", str(broken)], capture_output=True, text=True,
                                 timeout=20)
        check(refused.returncode == 2, f"a refused table: exit code {refused.returncode}")
        check('event="start refused"' in refused.stderr and "cpu.txt line" in refused.stderr,
              "the start's refusal names the table and line: " + refused.stderr)

        server = subprocess.Popen([binary, "--port", "0", "--database", str(pathlib.Path(work, "db")),
                                   "--score-tables", str(tables)],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        port = int(re.search(r":(\d+)$", server.stdout.readline().strip()).group(1))
        threading.Thread(target=server.stdout.read, daemon=True).start()
        errors = []
        threading.Thread(target=lambda: errors.extend(server.stderr), daemon=True).start()
        try:
            new_gpu = "VXM Test Adapter 9000"
            reply = json.loads(request(port, "POST", REPORT_PATH, form("100001", new_gpu)))
            check(reply["ret_code"] == 0 and "暂未收录" in reply["msg"], "unknown: " + reply["msg"])
            entries = metric(port, 'vxm_score_table_entries{table="gpu"}')

            # A reload that adds the adapter: the next report is rated with it, and so is the
            # stored one (it leaves the unknown-device count).
            with open(gpu_txt, "ab") as table:
                table.write(new_gpu.encode() + b":5000\r\n")
            server.send_signal(signal.SIGHUP)
            deadline = time.time() + 20
            while time.time() < deadline and metric(port, 'vxm_reports_unrated{device="gpu"}') != "0":
                time.sleep(0.2)
            check(metric(port, 'vxm_score_table_entries{table="gpu"}') == str(int(entries) + 1),
                  "the reload's entries in /metrics")
            check(metric(port, 'vxm_reports_unrated{device="gpu"}') == "0",
                  "the stored report is rated with the new tables")
            reply = json.loads(request(port, "POST", REPORT_PATH, form("100002", new_gpu)))
            check(reply["msg"].startswith("您的电脑为 1 级（1 级最好，共 5 级）"),
                  "rated with the new tables: " + reply["msg"])

            # A broken table at a reload: the tables in use are kept, the refusal said and counted.
            digest = re.search(r'digest="(\w+)"', request(port, "GET", "/metrics")).group(1)
            with open(gpu_txt, "ab") as table:
                table.write(b"broken\r\n")
            server.send_signal(signal.SIGHUP)
            time.sleep(1)
            check(metric(port, "vxm_score_table_reload_failures_total") == "1", "refusal counted")
            check(re.search(r'digest="(\w+)"', request(port, "GET", "/metrics")).group(1) == digest,
                  "the tables in use are kept")
            check(server.poll() is None, "SIGHUP ended the server")
        finally:
            server.terminate()
            server.wait(timeout=10)
        check(any("score tables refused, those in use kept" in line and "gpu.txt line" in line
                  for line in errors), "the reload's refusal is logged: " + "".join(errors))
    for problem in problems:
        print(problem)
    print("score_tables_reload_test: " + ("failed" if problems else "passed"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
