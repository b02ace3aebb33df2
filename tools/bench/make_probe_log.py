#!/usr/bin/env python3
"""Writes a probe log of N lines for the batch benchmark: real names from the shipped tables and
a mix of line shapes. Usage: make_probe_log.py N OUTPUT"""
import os
import random
import sys


def names(table):
    path = os.path.join(os.path.dirname(__file__), "..", "..", "resources", table)
    with open(path, "rb") as f:
        return [line.rsplit(b":", 1)[0] for line in f.read().split(b"\r\n") if line]


def main():
    count, output = int(sys.argv[1]), sys.argv[2]
    rng = random.Random(2014)
    cpus, gpus = names("cpu.txt"), names("gpu.txt")
    rams = [b"1024.00 MB", b"2048.00 MB", b"3072.00 MB", b"4096.00 MB", b"8192.00 MB", b"16384", b"3583.5"]
    with open(output, "wb") as f:
        for i in range(count):
            shape = rng.random()
            ident = b"%d" % (100000 + i)
            fields = [ident, b"2013-08-01", b"10:%02d:00" % (i % 60), rng.choice(cpus), rng.choice(rams),
                      rng.choice(gpus), b"6.1;D3D9"]
            if shape < 0.02:
                line = b"id\tdate\ttime\tcpu\tram\tgpu"
            elif shape < 0.04:
                line = b"\t".join(fields[:5])
            elif shape < 0.06:
                fields[5] = b"Unknown Adapter %d" % i
                line = b"\t".join(fields)
            elif shape < 0.07:
                fields[4] = b"1.2.3"
                line = b"\t".join(fields)
            else:
                line = b"\t".join(fields)
            f.write(line + (b"\r\n" if i % 2 else b"\n"))


if __name__ == "__main__":
    main()
