#!/usr/bin/env python3
"""Medians of repeated benchmark lines read from standard input, in order of first appearance.

  medians.py ms      lines "LABEL ... VALUE ms": the median VALUE per LABEL
  medians.py batch   batch_bench lines: per mode the run with the median lines per second, and
                     how many times faster the floor runs than evaluation
"""
import re
import statistics
import sys


def grouped(lines, key, value):
    groups = {}
    for line in lines:
        groups.setdefault(key(line), []).append((value(line), line))
    return groups


def main():
    lines = [line.rstrip("\n") for line in sys.stdin if line.strip()]
    if sys.argv[1] == "ms":
        pattern = re.compile(r"^(.*?)\s+([0-9.]+) ms")
        groups = grouped(lines, lambda l: pattern.match(l).group(1),
                         lambda l: float(pattern.match(l).group(2)))
        for label, runs in groups.items():
            print("  %-40s %8.2f ms" % (label, statistics.median(v for v, _ in runs)))
        return
    groups = grouped(lines, lambda l: l.split()[0], lambda l: float(l.split()[5]))
    middle = {}
    for mode, runs in groups.items():
        runs.sort()
        middle[mode] = runs[(len(runs) - 1) // 2]
    for mode, (_, line) in sorted(middle.items(), key=lambda item: -item[1][0]):
        print("  " + line)
    for mode in ("before", "eval"):
        if mode in middle and "floor" in middle:
            print("  %s: the floor is %.1f times as fast" % (mode, middle["floor"][0] / middle[mode][0]))


if __name__ == "__main__":
    main()
