#!/usr/bin/env python3
"""Writes COUNT distinct valid report bodies, one per line, as the program would post them.
Usage: make_reports.py COUNT PREFIX OUT (PREFIX makes the account numbers of this run unique)."""
import hashlib
import sys
import urllib.parse

SALTS = ("R!%&58T^wnq27d", "#*!^%KTRB941", "r5.2071815m#")
NAMES = "u mc cpu mm dm cc lcc lvm tvm os rs dx vc dd hl s pn nc ei tk".split()
CPUS = ["Intel(R) Core(TM) i7-4770 CPU @ 3.40GHz", "AMD FX(tm)-8350 Eight-Core Processor",
        "Intel(R) Core(TM) i5-3470 CPU @ 3.20GHz", "Intel(R) Pentium(R) CPU G2030 @ 3.00GHz"]
GPUS = ["NVIDIA GeForce GTX 770", "AMD Radeon HD 7850", "Intel(R) HD Graphics 4000",
        "NVIDIA GeForce GT 630"]
LEVELS = ["1", "3", "5", "1"]
# The gain band of each level code: what the program's evaluation gives for it.
BANDS = {"1": (751, 850), "3": (651, 750), "5": (501, 550)}


def body(n, prefix):
    i = n % 4
    low, high = BANDS[LEVELS[i]]
    # 11 digits at most, as the dialog takes them: four from the prefix, seven from n.
    run = int(hashlib.md5(prefix.encode()).hexdigest(), 16) % 9000 + 1000
    values = [f"{run}{n:07d}", "00-1A-2B-3C-4D-5E", CPUS[i], f"{4096 * (1 + n % 4)}.00 MB",
              GPUS[(n // 4) % 4], "4", "8", "2048.00 MB", "4095.00 MB", "Windows 6.1, SP 1.0",
              "1920x1080, 32bits", "D3D9;", "", "9.18.13.697", LEVELS[i], str(low + n % (high - low + 1)),
              "user@PC", "{4D36E972}Intel(R) 82574L", "1"]
    raw = (values[0] + SALTS[0] + "".join(values[1:5]) + SALTS[1] + values[14] + values[15] +
           SALTS[2]).encode("gbk")
    values.append(hashlib.md5(raw).hexdigest())
    return "&".join(f"{k}={urllib.parse.quote(v.encode('gbk'), safe='-_.~')}"
                    for k, v in zip(NAMES, values))


count, prefix, out = int(sys.argv[1]), sys.argv[2], sys.argv[3]
with open(out, "w") as f:
    for n in range(count):
        f.write(body(n, prefix) + "\n")
