#!/usr/bin/env python3
"""The release's 说明.txt: the privacy panel's list from the layout, the server line for each
scheme and port, the signature's paragraph, GBK with CR LF line ends; a layout without the
panel's labels is refused.
Usage: release_note_test.py ROOT
"""
import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "e2e"))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools/release"))
from release_note import note_text, panel_texts, server_line  # noqa: E402
from report_server_run import finish  # noqa: E402

SERVER_LINES = [
    # (host, port, scheme, line)
    ("report.example.com", "80", "http", "报告发送至 report.example.com（未加密，HTTP）"),
    ("report.example.com", "443", "https", "报告发送至 report.example.com（加密，HTTPS）"),
    ("report.example.com", "8443", "https", "报告发送至 report.example.com:8443（加密，HTTPS）"),
    ("127.0.0.1", "443", "http", "报告发送至 127.0.0.1:443（未加密，HTTP）"),
    ("10.0.0.1", "80", "https", "报告发送至 10.0.0.1:80（加密，HTTPS）"),
]

SIGNATURES = [
    # (signer, a line the note holds, a text it must not hold)
    ("VxmCheck 项目", "签名者应为：VxmCheck 项目", "未签名"),
    ("", "本版本未签名", "签名者应为"),
]

# Layouts the note must refuse: each lacks one of the panel's labels.
BROKEN_LAYOUTS = {
    "Talvo_Fields2": '<layout><label name="Talvo_Fields1" text="a"/>'
                     '<label name="Talvo_Note" text="n"/></layout>',
    "Talvo_Note": '<layout><label name="Talvo_Fields1" text="a"/>'
                  '<label name="Talvo_Fields2" text="b"/></layout>',
}


def main(root):
    root = pathlib.Path(root)
    layout = root / "korfact/Main.vxm"
    problems = []
    for host, port, scheme, line in SERVER_LINES:
        if server_line(host, port, scheme) != line:
            problems.append(f"{host} {port} {scheme}: {server_line(host, port, scheme)!r}")

    items, closing = panel_texts(layout)
    # The panel's two lists as the layout writes them, one item a line.
    raw = layout.read_bytes().decode("gbk")
    listed = raw.count("&#10;· ") + 2
    if len(items) != listed or not all(items) or any(i.startswith("·") for i in items):
        problems.append(f"{len(items)} items read, the layout lists {listed}: {items}")
    if "Zeq号码" not in items or "网卡地址（MAC）" not in items or not closing.startswith("除此之外"):
        problems.append(f"items {items}, closing {closing!r}")

    for signer, held, absent in SIGNATURES:
        text = note_text(layout, "1.0.0-abc", "report.example.com", "443", "https", signer)
        lines = text.split("\r\n")
        if held not in text or absent in text:
            problems.append(f"signer {signer!r}: the note lacks {held!r} or holds {absent!r}")
        if "\n" in text.replace("\r\n", "") or lines[-1] != "":
            problems.append(f"signer {signer!r}: a line not ended by CR LF")
        if [line for line in lines if line.startswith("· ")] != [f"· {i}" for i in items]:
            problems.append(f"signer {signer!r}: the note's list is not the panel's")
        if lines[0] != "VxmCheck 电脑配置检测 1.0.0-abc":
            problems.append(f"first line {lines[0]!r}")

    with tempfile.TemporaryDirectory() as work:
        out = pathlib.Path(work, "note.txt")
        done = subprocess.run([sys.executable, root / "tools/release/release_note.py", layout, out,
                               "1.0.0", "example.com", "80", "http", ""], capture_output=True)
        written = out.read_bytes() if out.exists() else b""
        if done.returncode or written.decode("gbk") != note_text(layout, "1.0.0", "example.com",
                                                                 "80", "http", ""):
            problems.append(f"the script wrote {len(written)} bytes, exit {done.returncode}")
        for missing, xml in BROKEN_LAYOUTS.items():
            broken = pathlib.Path(work, "broken.vxm")
            broken.write_bytes(xml.encode("gbk"))
            try:
                panel_texts(broken)
                problems.append(f"a layout without {missing} was read")
            except ValueError as error:
                if missing not in str(error):
                    problems.append(f"without {missing}: {error}")
    return problems


if __name__ == "__main__":
    finish("release_note_test", main(sys.argv[1]))
