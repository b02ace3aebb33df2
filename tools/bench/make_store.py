#!/usr/bin/env python3
"""Writes an SQLite report store as the server would have made it from COUNT posted reports, with
its tallies, without posting them (200,000 posts would take minutes; forged ones against an
unbounded server, hours).
Usage: make_store.py COUNT KIND FOLDER [DISTINCT], KIND one of:
  realistic  four processors and adapters, levels 1, 3 and 5, gains inside their bands;
  forged     every name, system, size and resolution distinct (names of 200 bytes), gains over
             every value the field rules allow;
  anygain    as forged, and every gain distinct (what a server without field rules took);
  unknown    as realistic, but processor and adapter names that no score table holds, DISTINCT
             (default 100,000) of each (every name twice at 200,000 reports).
The database has the shape of the builds before stored schema versions (the tallies table with
systems, memory sizes and gains by their texts, no index): the server recognises it and counts
its tallies again from the reports when it opens it. Rows are written as they are made and the
tallies added up by the database, so a million reports take little memory here."""
import os
import sqlite3
import sys

COLUMNS = "u mc cpu mm dm cc lcc lvm tvm os rs dx vc dd hl s pn nc ei tk".split()
CPUS = ["Intel(R) Core(TM) i7-4770 CPU @ 3.40GHz", "AMD FX(tm)-8350 Eight-Core Processor",
        "Intel(R) Core(TM) i5-3470 CPU @ 3.20GHz", "Intel(R) Pentium(R) CPU G2030 @ 3.00GHz"]
GPUS = ["NVIDIA GeForce GTX 770", "AMD Radeon HD 7850", "Intel(R) HD Graphics 4000",
        "NVIDIA GeForce GT 630"]
BANDS = {"1": (751, 850), "3": (651, 750), "5": (501, 550)}
VALID_GAINS = [(code, g) for code, (low, high) in BANDS.items() for g in range(low, high + 1)]


def report(n, kind, distinct):
    if kind in ("realistic", "unknown"):
        level = "135"[n % 3]
        low, high = BANDS[level]
        cpu, gpu, os_text = CPUS[n % 4], GPUS[n // 4 % 4], "Windows 6.1, SP 1.0"
        ram, res, vram = f"{4096 * (1 + n % 4)}.00 MB", "1920x1080, 32bits", "2048.00 MB"
        gain = low + n % (high - low + 1)
        if kind == "unknown":
            cpu, gpu = f"Unlisted CPU {n % distinct:07d} @ 3.0GHz", f"Unlisted GPU {n % distinct:07d}"
    else:
        pad = "x" * 180
        cpu, gpu = f"Forged CPU {n} {pad}", f"Forged GPU {n} {pad}"
        os_text = f"Windows {n // 1000}.{n % 1000}, SP 1.0"
        ram, res, vram = f"{n}.00 MB", f"{n}x{n % 977}, 32bits", f"{n}.50 MB"
        level, gain = VALID_GAINS[n % len(VALID_GAINS)]
        if kind == "anygain":
            gain = 100000 + n
    values = [str(10000000000 + n), f"00-1A-2B-{n >> 16 & 255:02X}-{n >> 8 & 255:02X}-{n & 255:02X}",
              cpu, ram, gpu, "4", "8", "2048.00 MB", vram, os_text, res, "D3D9;", "",
              "9.18.13.697", level, str(gain), "user@PC", "{4D36E972}Intel(R) 82574L", "1",
              "0" * 32]
    return values, gain


# Each tally of those builds: dimension, and the column or expression it counts.
TALLIED = [("reports", "''"), ("machines", "''"), ("level", "hl"), ("cpu", "cpu"), ("gpu", "dm"),
           ("os", "os"), ("ram", "mm"), ("res", "rs"), ("vram", "tvm"),
           ("day", "CAST(received / 86400 AS TEXT)"), ("gain", "CAST(gain AS TEXT)")]


def main(count, kind, folder, distinct=100000):
    os.makedirs(folder, exist_ok=True)
    db = sqlite3.connect(os.path.join(folder, "reports.sqlite3"))
    db.executescript(
        "PRAGMA journal_mode=WAL;"
        "CREATE TABLE reports (id INTEGER PRIMARY KEY, received INTEGER NOT NULL, "
        "peer TEXT NOT NULL, gain INTEGER, " + ", ".join(f"{c} BLOB NOT NULL" for c in COLUMNS) +
        ", UNIQUE (u, mc));"
        "CREATE TABLE machines (mc BLOB PRIMARY KEY);"
        "CREATE TABLE tallies (dimension TEXT NOT NULL, label BLOB NOT NULL, n INTEGER NOT NULL, "
        "gained INTEGER NOT NULL, gain_sum INTEGER NOT NULL, PRIMARY KEY (dimension, label));")
    received = 1765000000

    def rows():
        for n in range(count):
            values, gain = report(n, kind, distinct)
            yield [received + n, "127.0.0.1", gain] + [v.encode() for v in values]

    db.executemany(f"INSERT INTO reports (received, peer, gain, {', '.join(COLUMNS)}) VALUES "
                   f"({', '.join('?' * 23)})", rows())
    db.execute("INSERT OR IGNORE INTO machines SELECT mc FROM reports")
    for dimension, counted in TALLIED:
        db.execute(f"INSERT INTO tallies SELECT '{dimension}', CAST({counted} AS BLOB), count(*), "
                   f"count(*), sum(gain) FROM reports GROUP BY {counted}")
    db.commit()
    db.close()


main(int(sys.argv[1]), sys.argv[2], sys.argv[3], *map(int, sys.argv[4:5]))
