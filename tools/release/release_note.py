#!/usr/bin/env python3
"""Writes a release's 说明.txt: what the program does, what its report carries, where it goes, how
to check the download, and what the program leaves behind.

The list of what the report carries is the privacy panel's own, read from the layout
(korfact/Main.vxm, labels Talvo_Fields1 and Talvo_Fields2, then Talvo_Note), so the note and
the dialog cannot drift apart. The file is GBK with CR LF line ends, as Notepad on a Chinese
Windows reads it.
Usage: release_note.py LAYOUT OUTPUT VERSION HOST PORT SCHEME SIGNER
  SCHEME is http or https; SIGNER is the signing certificate's subject, or "" when unsigned.
"""
import re
import sys
import xml.etree.ElementTree as ET

FIELD_LABELS = ("Talvo_Fields1", "Talvo_Fields2")
NOTE_LABEL = "Talvo_Note"
PARTICIPATION_FILE = "9DE37C60-D575-434D-A4DE-E97623430A89.tmp"


def panel_texts(layout_path):
    """The report's items, one per line of the panel's lists, and the panel's closing note."""
    with open(layout_path, "rb") as f:
        text = f.read().decode("gbk")
    # The parser takes no multi-byte encoding: it reads the decoded text without its declaration.
    root = ET.fromstring(re.sub(r"^<\?xml[^>]*\?>", "", text))
    labels = {e.get("name"): e.get("text", "") for e in root.iter("label")}
    missing = [name for name in (*FIELD_LABELS, NOTE_LABEL) if name not in labels]
    if missing:
        raise ValueError(f"{layout_path}: no label {', '.join(missing)}")
    items = []
    for name in FIELD_LABELS:
        items += [line.lstrip("· ").strip() for line in labels[name].split("\n") if line.strip()]
    return items, labels[NOTE_LABEL]


def server_line(host, port, scheme):
    default = "443" if scheme == "https" else "80"
    where = host if port == default else f"{host}:{port}"
    how = "加密，HTTPS" if scheme == "https" else "未加密，HTTP"
    return f"报告发送至 {where}（{how}）"


def note_text(layout_path, version, host, port, scheme, signer):
    items, closing = panel_texts(layout_path)
    if signer:
        signature = f"右键点击 VxmCheck.exe →“属性”→“数字签名”，签名者应为：{signer}"
    else:
        signature = "本版本未签名：文件属性中没有“数字签名”一页，Windows 可能提示“未知发布者”。"
    lines = [
        f"VxmCheck 电脑配置检测 {version}",
        "",
        "本程序检测这台电脑的硬件配置（处理器、显卡、内存、系统等），评出配置等级，"
        "并把检测报告连同您输入的Zeq号码提交到检测服务器。",
        "",
        server_line(host, port, scheme),
        "",
        "报告包含以下内容：",
        *[f"· {item}" for item in items],
        closing,
        "",
        "使用：把文件夹解压到任意位置，双击 VxmCheck.exe。"
        "KorFact.dll、Main.vxm 和 Kordo.ini 须与程序在同一文件夹中。",
        "",
        "本程序不安装任何东西。它只留下本机的检测次数：临时文件夹（%TEMP%）中的 "
        f"{PARTICIPATION_FILE}（1 字节），以及 %ProgramData%\\boost_interprocess 中的计数"
        "（重新启动电脑后归零）。删除此文件夹即完全移除程序。",
        "",
        "校验下载：",
        "1. 在命令提示符中运行 certutil -hashfile 文件名 SHA256，"
        "与发布者公布的 SHA256SUMS 中的值比较，须完全相同。",
        f"2. {signature}",
    ]
    return "\r\n".join(lines) + "\r\n"


def main(argv):
    if len(argv) != 8:
        sys.exit(__doc__)
    layout, output, version, host, port, scheme, signer = argv[1:]
    text = note_text(layout, version, host, port, scheme, signer)
    with open(output, "wb") as f:
        # A signer's name may hold what GBK cannot: it is shown with '?' there.
        f.write(text.encode("gbk", errors="replace"))


if __name__ == "__main__":
    main(sys.argv)
