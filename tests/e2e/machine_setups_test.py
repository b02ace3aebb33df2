#!/usr/bin/env python3
"""Machines of today as the program tells them: one Start per set-up against the reference
server, each in its own copy of the test Wine prefix with the system version, the display's DPI
and the adapter's video memory set as such a machine has them.

Each set-up checks the posted "os", "lvm" and "tvm" (read back through the keyed CSV export) and
the dialog's outer size, which is its 96 DPI size times DPI/96. Video memory above 4 GiB comes
from the size Windows 10 keeps in the adapter's driver key, written inside the running session
after the program started (Wine rebuilds that key when its server starts); below it from
DirectDraw as before.
Usage: machine_setups_test.py ROOT PORT (run by scripts/test on its virtual display).
"""
import os
import pathlib
import subprocess
import sys
import tempfile

from report_server_run import copy_prefix, finish, report_server, stored_reports, windows_path

DIALOG_SIZE = (480, 380)  # the layout's, at 96 DPI

# name, Wine's system version, DPI, Wine's video memory (MiB), the driver key's full size (MiB),
# then what must be posted.
SETUPS = [
    ("win10-12gb-144dpi", "win10", 144, 12288, 12288, "Windows 10.0, SP 0.0", "12288.00 MB"),
    ("win81-2gb-96dpi", "win81", 96, 2048, None, "Windows 6.3, SP 0.0", "2043.00 MB"),
    ("win7-8gb-120dpi", "win7", 120, 8192, 8192, "Windows 6.1, SP 1.0", "8192.00 MB"),
]


def registry_file(version, dpi, video_mib):
    return (
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine]\n"
        f"\"Version\"=\"{version}\"\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
        f"\"LogPixels\"=dword:{dpi:08x}\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Direct3D]\n"
        f"\"VideoMemorySize\"=\"{video_mib}\"\n")


def play(root, work, setup, account, environment):
    name, version, dpi, video_mib, full_mib = setup[:5]
    prefix = root / "build/win/prefix-copies" / name
    copy_prefix(pathlib.Path(environment["WINEPREFIX"]), prefix)
    env = dict(environment, WINEPREFIX=str(prefix))
    settings = pathlib.Path(work, f"{name}.reg")
    settings.write_text(registry_file(version, dpi, video_mib))
    subprocess.run(["wine", "regedit", "/S", windows_path(settings)], env=env, check=True,
                   capture_output=True, timeout=120)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)
    shots = root / "build/win/setup-shots" / name
    shots.parent.mkdir(parents=True, exist_ok=True)
    loopback = root / "build/loopback"
    command = [root / "build/win/bin/play_start.exe"]
    if full_mib:
        command += ["--adapter-memory-mib", str(full_mib)]
    command += [windows_path(loopback / "VxmCheck.exe"), windows_path(loopback / "Main.vxm"),
                account, windows_path(shots)]
    played = subprocess.run(["wine"] + command, env=env, capture_output=True, timeout=300)
    subprocess.run(["wineserver", "-k"], env=env, timeout=60)
    return played.stdout.decode("gbk", errors="replace") + played.stderr.decode(errors="replace")


def main(root, port):
    root = pathlib.Path(root)
    environment = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                       WINEARCH="win32", LC_ALL="zh_CN.UTF-8")
    environment["WINEPREFIX"] = subprocess.run(
        [root / "scripts/wineprefix"], capture_output=True, text=True, check=True).stdout.strip()
    failures = []
    outputs = {}
    with tempfile.TemporaryDirectory() as work, report_server(root, port, work) as url:
        for number, setup in enumerate(SETUPS):
            outputs[setup[0]] = play(root, work, setup, f"5550{number}123", environment)
        rows = {row["u"]: row for row in stored_reports(url)}
    for number, (name, _, dpi, _, _, os_text, video_text) in enumerate(SETUPS):
        output = outputs[name]
        row = rows.get(f"5550{number}123")
        if row is None:
            failures.append(f"{name}: no report stored; the player said:\n{output}")
            continue
        for field, wanted in (("os", os_text), ("lvm", video_text), ("tvm", video_text)):
            if row[field] != wanted:
                failures.append(f"{name}: {field} posted {row[field]!r}, wanted {wanted!r}")
        size = f"== dialog size {DIALOG_SIZE[0] * dpi // 96}x{DIALOG_SIZE[1] * dpi // 96}"
        if size not in output:
            failures.append(f"{name}: wanted '{size}'; the player said:\n{output}")
        print(f"machine_setups_test: {name}: os {row['os']!r}, lvm {row['lvm']!r}, "
              f"tvm {row['tvm']!r}, rs {row['rs']!r}")
    return failures


if __name__ == "__main__":
    finish("machine_setups_test", main(sys.argv[1], sys.argv[2]))
