#!/usr/bin/env python3
"""The https programs under Wine, against nginx in front of the reference server with
certificates made for the test: which servers the dialog reports to, the reason it shows for each
one it refuses, and that a refused server receives no report.

The programs report to localhost on PORT+1 (cmake/WindowsBuild.cmake): one trusts the loopback
CA of build/tls alone, one pins two keys made there, one trusts the system's roots. Each case
plays one Start (with show_info, so a refusal shows its reason) with an account of its own; the
server's request log and its stored reports then tell whether the report arrived. A listener
that never answers the handshake must be given up within the connection's bound, and the user's
proxy, set in a copy of the prefix, must carry the report. The https upload then meets the hostile
replies of the plain upload's tests (win_tests' HttpsReplyTest, through a TLS front of this
script's before its scripted server), each followed by a good upload. The plain path is
server_roundtrip_test.py's.
Usage: tls_front_test.py ROOT PORT (run by scripts/test on its virtual display).
"""
import asyncio
import os
import pathlib
import shutil
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time

from report_server_run import copy_prefix, finish, report_server, stored_reports, windows_path

RECORDED = "检测成功"

# case, program, the server's certificate (scripts/tls-front cert options), what the dialog shows,
# and the user's proxy setting, if any: a manual proxy, a configuration script that names it, or
# one whose server never answers (detection gives up in time, and the report goes directly)
CASES = [
    ("CA-signed", "https", ["localhost"], RECORDED, None),
    ("self-signed", "https", ["localhost", "--self-signed"], "certificate not trusted", None),
    ("another name", "https", ["other.example"], "certificate is for another name", None),
    ("expired", "https", ["localhost", "--expired"], "certificate expired", None),
    ("pinned key without a CA", "pinned", ["localhost", "--self-signed", "--key", "pinned.key"],
     RECORDED, None),
    ("CA-signed, key not pinned", "pinned", ["localhost"], "server key not pinned", None),
    ("system roots without the CA", "system", ["localhost"], "certificate not trusted", None),
    ("through the user's proxy", "https", ["localhost"], RECORDED, "manual"),
    ("through the proxy of a configuration script", "https", ["localhost"], RECORDED, "script"),
    ("directly when the script never comes", "https", ["localhost"], RECORDED, "stalled"),
]


def layout(root, variant, folder):
    """The program beside its library and layout, as scripts/build lays out the product."""
    folder.mkdir(parents=True, exist_ok=True)
    for path in [root / f"build/win/bin/loopback-{variant}/VxmCheck.exe",
                 root / "build/win/bin/KorFact.dll", root / "korfact/Main.vxm",
                 root / "korfact/Kordo.ini"]:
        shutil.copy2(path, folder)
    return folder


def proxy_settings(proxy, script):
    """The user's proxy settings as Windows keeps them (Internet Settings,
    DefaultConnectionSettings): version, counter, flags (direct | named proxy | script), then the
    proxy, the bypass list and the configuration script's URL, each with its length before it."""
    value = struct.pack("<III", 0x46, 1, 0x1 | (0x2 if proxy else 0) | (0x4 if script else 0))
    for text in (proxy.encode(), b"", script.encode()):
        value += struct.pack("<I", len(text)) + text
    value += bytes(32)
    return ("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
            "Internet Settings\\Connections]\n\"DefaultConnectionSettings\"=hex:"
            + ",".join(f"{b:02x}" for b in value) + "\n")


def free_port():
    with socket.create_server(("127.0.0.1", 0)) as probe:
        return probe.getsockname()[1]


class Bed:
    def __init__(self, root, port, work, environment):
        self.root, self.port, self.work, self.env = root, int(port), work, environment
        self.tls = root / "build/tls"
        self.server_log = work / "server.log"

    def tls_front(self, *arguments):
        subprocess.run([self.root / "scripts/tls-front", *map(str, arguments)], check=True,
                       timeout=120)

    def certificate(self, name, options):
        out = self.work / name.replace(" ", "-")
        options = [str(self.tls / o) if o.endswith(".key") else o for o in options]
        self.tls_front("cert", self.tls, options[0], out, *options[1:])
        return out

    def posts(self):
        """Reports the server answered. nginx passes a body on as it arrives, so a refused
        upload's headers reach the server too, and end there without a report."""
        return sum(1 for line in self.server_log.read_text().splitlines()
                   if " method=POST " in line and " status=200 " in line)

    def play(self, variant, account, env=None):
        program = layout(self.root, variant, self.work / variant)
        played = subprocess.run(
            ["wine", self.root / "build/win/bin/play_start.exe",
             windows_path(program / "VxmCheck.exe"), windows_path(program / "Main.vxm"), account,
             windows_path(self.work / "shots" / account), "--show_info"],
            env=env or self.env, capture_output=True, timeout=300)
        return played.stdout.decode("gbk", errors="replace")

    def through_proxy(self, variant, account, how):
        """Plays in a copy of the prefix whose user goes through tinyproxy, named in the settings
        or by a configuration script served beside it."""
        proxy_port, script_port = free_port(), free_port()
        stalled = socket.create_server(("127.0.0.1", 0))
        (self.work / "proxy.pac").write_text(
            f'function FindProxyForURL(url, host) {{ return "PROXY 127.0.0.1:{proxy_port}"; }}\n')
        (self.work / "tinyproxy.conf").write_text(
            f"Port {proxy_port}\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n"
            f"ConnectPort {self.port + 1}\nLogLevel Connect\n")
        prefix = self.root / "build/win/prefix-copies/proxy"
        copy_prefix(pathlib.Path(self.env["WINEPREFIX"]), prefix)
        env = dict(self.env, WINEPREFIX=str(prefix))
        settings = self.work / "proxy.reg"
        settings.write_text({
            "manual": proxy_settings(f"127.0.0.1:{proxy_port}", ""),
            "script": proxy_settings("", f"http://127.0.0.1:{script_port}/proxy.pac"),
            "stalled": proxy_settings("", f"http://127.0.0.1:{stalled.getsockname()[1]}/p.pac"),
        }[how])
        subprocess.run(["wine", "regedit", "/S", windows_path(settings)], env=env, check=True,
                       capture_output=True, timeout=120)
        with open(self.work / "tinyproxy.log", "w") as log:
            proxy = subprocess.Popen(["tinyproxy", "-d", "-c", self.work / "tinyproxy.conf"],
                                     stdout=log, stderr=subprocess.STDOUT)
        script = subprocess.Popen(
            [sys.executable, "-m", "http.server", str(script_port), "--bind", "127.0.0.1",
             "--directory", self.work], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            output = self.play(variant, account, env)
        finally:
            for server in (proxy, script):
                server.terminate()
                server.wait(timeout=30)
            stalled.close()
            subprocess.run(["wineserver", "-k"], env=env, timeout=60)
        connects = (self.work / "tinyproxy.log").read_text().count(
            f"CONNECT localhost:{self.port + 1}")
        return output, connects


class TlsFront:
    """TLS on 127.0.0.1:PORT with the given certificate, before plain TCP on 127.0.0.1:UPSTREAM:
    each connection's bytes pass both ways unchanged as they arrive, and an end on one side ends
    the other (the server's end as a TLS close), so the scripted server's timing and ends reach
    the client as it wrote them. Runs on a thread of its own until stop()."""

    def __init__(self, port, upstream, certificate):
        self.upstream = upstream
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(f"{certificate}.pem", f"{certificate}.key")
        self.loop = asyncio.new_event_loop()
        # The server's end reaches the client as close_notify and, a moment later, the TCP end
        # (asyncio would wait 30 s for the client's close_notify in between).
        self.server = self.loop.run_until_complete(
            asyncio.start_server(self.relay, "127.0.0.1", port, ssl=context,
                                 ssl_shutdown_timeout=0.1))
        self.thread = threading.Thread(target=self.loop.run_forever, daemon=True)
        self.thread.start()

    async def relay(self, client_in, client_out):
        try:
            server_in, server_out = await asyncio.open_connection("127.0.0.1", self.upstream)
        except OSError:
            client_out.close()
            return

        async def pump(source, sink, end):
            try:
                while data := await source.read(65536):
                    sink.write(data)
                    await sink.drain()
            except (OSError, ssl.SSLError):
                pass
            try:
                end()
            except (OSError, RuntimeError):
                pass

        await asyncio.gather(pump(client_in, server_out, server_out.write_eof),
                             pump(server_in, client_out, client_out.close))
        server_out.close()

    def stop(self):
        self.loop.call_soon_threadsafe(self.server.close)
        self.loop.call_soon_threadsafe(self.loop.stop)
        self.thread.join(timeout=30)


def hostile_replies(bed, problems):
    """win_tests' HttpsReplyTest: the https upload against the plain upload's hostile replies,
    through a TLS front before the test's scripted server."""
    upstream = free_port()
    front = TlsFront(bed.port + 1, upstream, bed.certificate("hostile replies", ["localhost"]))
    started = time.monotonic()
    try:
        tests = subprocess.run(
            ["wine", bed.root / "build/win/bin/win_tests.exe", "--gtest_also_run_disabled_tests",
             "--gtest_filter=*HttpsReplyTest.*", "--gtest_brief=1"],
            env=dict(bed.env, VXM_TEST_TLS_PORT=str(bed.port + 1),
                     VXM_TEST_TLS_UPSTREAM=str(upstream),
                     VXM_TEST_TLS_CA=windows_path(bed.tls / "ca.pem")),
            capture_output=True, timeout=600)
    finally:
        front.stop()
    output = tests.stdout.decode("gbk", errors="replace")
    print(f"tls_front_test: hostile replies over https took {time.monotonic() - started:.1f} s")
    if tests.returncode != 0 or "PASSED" not in output:
        problems.append(f"hostile replies over https failed:\n{output}")


def run_cases(bed, problems):
    accounts = {}
    for number, (case, variant, certificate, shown, proxy) in enumerate(CASES):
        account = f"7700{number:04d}"
        accounts[case] = (account, shown)
        cert = bed.certificate(case, certificate)
        bed.tls_front("start", bed.work, bed.port + 1, bed.port, f"{cert}.pem", f"{cert}.key")
        before = bed.posts()
        try:
            if proxy:
                started = time.monotonic()
                output, connects = bed.through_proxy(variant, account, proxy)
                print(f"tls_front_test: {case}: the Start took {time.monotonic() - started:.1f} s")
                if connects != (0 if proxy == "stalled" else 1):
                    problems.append(f"{case}: the proxy saw {connects} CONNECT requests")
            else:
                output = bed.play(variant, account)
        finally:
            bed.tls_front("stop", bed.work)
        arrived = bed.posts() - before
        wanted = RECORDED if shown == RECORDED else f"网络错误:handshake: {shown}"
        if wanted not in output:
            problems.append(f"{case}: the dialog did not show {wanted!r}:\n{output}")
        if arrived != (1 if shown == RECORDED else 0):
            problems.append(f"{case}: {arrived} reports reached the server")
    return accounts


def stalled_handshake(bed, problems):
    """A listener that takes the connection and never answers."""
    listener = socket.create_server(("127.0.0.1", bed.port + 1))
    listener.settimeout(60)
    before = bed.posts()
    started = time.monotonic()
    output = bed.play("https", "77009999")
    elapsed = time.monotonic() - started
    listener.close()
    print(f"tls_front_test: a stalled handshake ended the Start after {elapsed:.1f} s")
    if "网络错误:connect: timed out" not in output:
        problems.append(f"stalled handshake: the dialog did not show the time-out:\n{output}")
    if bed.posts() != before:
        problems.append("stalled handshake: a report reached the server")


def main(root, port):
    root = pathlib.Path(root)
    environment = {k: v for k, v in os.environ.items() if not k.lower().endswith("_proxy")}
    environment.update(WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", WINEARCH="win32",
                       LC_ALL="zh_CN.UTF-8")
    environment["WINEPREFIX"] = subprocess.run(
        [root / "scripts/wineprefix"], capture_output=True, text=True, check=True).stdout.strip()
    problems = []
    with tempfile.TemporaryDirectory() as work, report_server(root, port, work) as url:
        bed = Bed(root, port, pathlib.Path(work), environment)
        accounts = run_cases(bed, problems)
        stalled_handshake(bed, problems)
        hostile_replies(bed, problems)
        stored = {row["u"] for row in stored_reports(url)}
    for case, (account, shown) in accounts.items():
        if (account in stored) != (shown == RECORDED):
            problems.append(f"{case}: account {account} stored: {account in stored}")
    return problems


if __name__ == "__main__":
    finish("tls_front_test", main(sys.argv[1], sys.argv[2]))
