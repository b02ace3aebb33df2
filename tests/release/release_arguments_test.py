#!/usr/bin/env python3
"""scripts/release refuses what cannot make a sound release, with a message that says why, before
it installs or builds anything; what it accepts it would build (--dry-run says so and stops).
Usage: release_arguments_test.py ROOT
"""
import os
import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "e2e"))
from report_server_run import finish  # noqa: E402

PIN = "sha256/" + "A" * 43 + "="


def cases(files):
    ca, not_pem, p12 = files["ca.pem"], files["not-pem.txt"], files["sign.p12"]
    refused = [
        # (arguments, environment, what the message says)
        ([], {}, "name the report server"),
        (["exa mple.com"], {}, "'exa mple.com' is not a host name or IPv4 address"),
        (["report_1.example.com"], {}, "is not a host name"),
        (["-x.example.com"], {}, "unknown option -x.example.com"),
        (["report-.example.com"], {}, "is not a host name"),
        (["report.example.com."], {}, "is not a host name"),
        (["a" * 64 + ".example.com"], {}, "is not a host name"),
        (["300.1.2.3"], {}, "'300.1.2.3' is not a host name or IPv4 address"),
        (["1.2.3"], {}, "is not a host name"),
        (["01.2.3.4"], {}, "is not a host name"),
        (["example.123"], {}, "is not a host name"),
        (["http://example.com"], {}, "is not a host name"),
        (["example.com", "0"], {}, "'0' is not a port (1 to 65535)"),
        (["example.com", "65536"], {}, "'65536' is not a port"),
        (["example.com", "80a"], {}, "'80a' is not a port"),
        (["example.com", "80", "81"], {}, "one host and one port at most (extra: 81)"),
        (["example.com", "--ca", ca], {}, "--ca and --pins need --https"),
        (["example.com", "--pins", PIN], {}, "--ca and --pins need --https"),
        (["example.com", "--https", "--ca", not_pem], {}, "not a PEM file of certificates"),
        (["example.com", "--https", "--ca", files["missing"]], {}, "no such file"),
        (["example.com", "--https", "--ca"], {}, "--ca needs a value"),
        (["example.com", "--https", "--pins", "sha256/short="], {},
         "'sha256/short=' is not sha256/BASE64"),
        (["example.com", "--https", "--pins", "sha1/" + "A" * 27 + "="], {}, "is not sha256/BASE64"),
        (["example.com", "--https", "--pins", f"{PIN};sha256/{'B' * 44}"], {},
         "is not sha256/BASE64"),
        (["example.com", "--pkcs12", p12], {}, "--pkcs12 needs its password in VXM_SIGN_PASSWORD"),
        (["example.com", "--pkcs12", files["missing"]], {"VXM_SIGN_PASSWORD": "x"}, "no such file"),
        (["example.com", "--pkcs11", "/usr/lib/none.so"], {}, "--pkcs11 needs --cert FILE and --key KEY"),
        (["example.com", "--cert", ca], {}, "--cert and --key go with --pkcs11"),
        (["example.com", "--pkcs12", p12, "--pkcs11", "m.so"], {"VXM_SIGN_PASSWORD": "x"},
         "exclude each other"),
        (["example.com", "--timestamp", "http://ts.example.com"], {}, "need a signing key"),
        (["example.com", "--sign-roots", ca], {}, "need a signing key"),
        (["example.com", "--pkcs12", p12, "--timestamp", "ftp://ts.example.com"],
         {"VXM_SIGN_PASSWORD": "x"}, "is not an http or https URL"),
        (["example.com", "--pkcs12", p12, "--sign-roots", not_pem], {"VXM_SIGN_PASSWORD": "x"},
         "--sign-roots"),
        (["example.com", "--sign"], {}, "unknown option --sign"),
    ]
    accepted = [
        # (arguments, environment, what it would make)
        (["report.example.com"], {}, "VxmCheck-VERSION-report.example.com (http to report.example.com:80, unsigned)"),
        (["127.0.0.1", "28431"], {}, "(http to 127.0.0.1:28431, unsigned)"),
        (["xn--fiqs8s.example", "--https"], {}, "(https to xn--fiqs8s.example:443, unsigned)"),
        (["a-1.b", "8443", "--https", "--ca", ca, "--pins", f"{PIN};{PIN}", "--pins", PIN], {},
         "(https to a-1.b:8443, unsigned)"),
        (["report.example.com", "--pkcs12", p12, "--timestamp", "http://ts.example.com"],
         {"VXM_SIGN_PASSWORD": ""}, "(http to report.example.com:80, signed)"),
    ]
    return refused, accepted


def make_files(work):
    files = {name: str(work / name) for name in ("ca.pem", "not-pem.txt", "sign.p12", "missing")}
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                    work / "ca.key", "-out", files["ca.pem"], "-days", "1", "-subj", "/CN=t"],
                   check=True, capture_output=True)
    pathlib.Path(files["not-pem.txt"]).write_text("-----BEGIN CERTIFICATE-----\nnot base64\n")
    pathlib.Path(files["sign.p12"]).write_bytes(b"any bytes: only its presence is checked here")
    return files


def run(root, arguments, environment):
    env = {k: v for k, v in os.environ.items() if k != "VXM_SIGN_PASSWORD"}
    return subprocess.run([root / "scripts/release", *arguments, "--dry-run"], cwd=root,
                          env={**env, **environment}, capture_output=True, text=True, timeout=60)


def main(root):
    root = pathlib.Path(root)
    problems = []
    with tempfile.TemporaryDirectory() as work:
        refused, accepted = cases(make_files(pathlib.Path(work)))
        for arguments, environment, message in refused:
            done = run(root, arguments, environment)
            if done.returncode != 2 or message not in done.stderr or done.stdout:
                problems.append(f"{arguments}: exit {done.returncode}, said {done.stderr!r} "
                                f"{done.stdout!r}; expected exit 2 and {message!r}")
        for arguments, environment, summary in accepted:
            done = run(root, arguments, environment)
            if done.returncode != 0 or summary not in done.stdout:
                problems.append(f"{arguments}: exit {done.returncode}, said {done.stderr!r} "
                                f"{done.stdout!r}; expected {summary!r}")
    return problems


if __name__ == "__main__":
    finish("release_arguments_test", main(sys.argv[1]))
