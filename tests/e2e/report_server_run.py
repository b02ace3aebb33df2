"""What the end-to-end tests with the reference server share: the server on a fresh database in a
work folder, the raw export read back by the operator key, Wine paths and the test's verdict."""
import contextlib
import csv
import io
import os
import pathlib
import shutil
import subprocess
import sys
import time
import urllib.request

OPERATOR_KEY = "e2e-operator-key-0123456789abcdef"


def windows_path(path):
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


@contextlib.contextmanager
def report_server(root, port, work):
    """The native server on PORT with a database in WORK, listening until the block ends."""
    log = pathlib.Path(work, "server.log")
    with open(log, "w") as out:
        server = subprocess.Popen(
            [pathlib.Path(root) / "build/native/vxm-report-server", "--port", port, "--database",
             pathlib.Path(work, "db")],
            stdout=out, stderr=subprocess.STDOUT, env={**os.environ, "VXM_OPERATOR_KEY": OPERATOR_KEY})
    try:
        for _ in range(100):
            if "listening" in log.read_text():
                break
            time.sleep(0.1)
        yield f"http://127.0.0.1:{port}"
    finally:
        server.terminate()
        server.wait(timeout=30)


def copy_prefix(base, copy):
    """Hard links for the prefix's files, which Wine only reads; real copies of the registry,
    which it rewrites."""
    shutil.rmtree(copy, ignore_errors=True)
    copy.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["cp", "-al", base, copy], check=True)
    for hive in copy.glob("*.reg"):
        hive.unlink()
        shutil.copy2(base / hive.name, hive)


def stored_reports(url):
    """Every stored report as a dict by column, exactly as stored (the program writes GBK)."""
    request = urllib.request.Request(f"{url}/export.csv?raw=1",
                                     headers={"Authorization": f"Bearer {OPERATOR_KEY}"})
    export = urllib.request.urlopen(request, timeout=10).read()
    return list(csv.DictReader(io.StringIO(export.decode("gbk"))))


def finish(name, problems):
    """Prints the problems and the verdict, and exits with it."""
    for problem in problems:
        print(f"{name}:", problem)
    print(f"{name}:", "FAILED" if problems else "passed")
    sys.exit(1 if problems else 0)
