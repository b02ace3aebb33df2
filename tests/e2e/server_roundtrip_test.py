#!/usr/bin/env python3
"""The real program under Wine reports to the reference server; what the server stored is what
the program's record held.

One Start is played in the dialog of the loopback build (with show_info, so the program also
shows its probe summary), against the reference server with a fresh SQLite database. The stored
report, read back through the keyed CSV export, must carry the typed account number and the
record's values as the summary shows them, and the page must count it.
Usage: server_roundtrip_test.py ROOT PORT (run by scripts/test on its virtual display).
"""
import pathlib
import subprocess
import sys
import tempfile
import urllib.request

from report_server_run import finish, report_server, stored_reports, windows_path

ACCOUNT = "87654321"


def main(root, port):
    root = pathlib.Path(root)
    failures = []
    with tempfile.TemporaryDirectory() as work, report_server(root, port, work) as url:
        loopback = root / "build/loopback"
        played = subprocess.run(
            [root / "scripts/wine-exec", root / "build/win/bin/play_start.exe",
             windows_path(loopback / "VxmCheck.exe"), windows_path(loopback / "Main.vxm"),
             ACCOUNT, windows_path(pathlib.Path(work, "shots")), "--show_info"],
            capture_output=True, timeout=300)
        output = played.stdout.decode("gbk", errors="replace")
        rows = stored_reports(url)
        page = urllib.request.urlopen(f"{url}/", timeout=10).read().decode("utf-8")

    summary = {}
    for line in output.splitlines():
        if ":\t" in line:
            key, value = line.split(":\t", 1)
            summary.setdefault(key, value)
    if len(rows) != 1:
        return [f"expected one stored report, got {len(rows)}; program said:\n{output}"]
    row = rows[0]
    expected = {
        "u": ACCOUNT,
        "mc": summary.get("MAC"),
        "cpu": summary.get("CPU"),
        "mm": summary.get("RAM"),
        "rs": summary.get("Resolution"),
        "os": summary.get("OS"),
        "dx": summary.get("DirectX"),
        "pn": summary.get("Host"),
        "nc": summary.get("Adapter"),
    }
    for field, value in expected.items():
        if value is None or row[field] != value:
            failures.append(f"field {field}: stored {row[field]!r}, the record held {value!r}")
    # The summary lists each adapter as "name a.b.c.d;"; the form carries the first one's name
    # and driver version apart.
    first_gpu = summary.get("GPU", "").split(";")[0]
    if first_gpu != f"{row['dm']} {row['dd']}":
        failures.append(f"adapter: stored {row['dm']!r} {row['dd']!r}, the record held {first_gpu!r}")
    if row["peer"] != "127.0.0.1":
        failures.append(f"peer {row['peer']!r}")
    if "检测成功" not in output:
        failures.append(f"the dialog did not show success:\n{output}")
    if ACCOUNT in page:
        failures.append("the page shows the account number")
    return failures


if __name__ == "__main__":
    finish("server_roundtrip_test", main(sys.argv[1], sys.argv[2]))
