#!/usr/bin/env python3
"""Writes resources/cpu.txt and resources/gpu.txt from cpu_data.py/gpu_data.py.

Usage: python3 tools/score_tables/make_tables.py [--check]

With --check nothing is written; the script exits non-zero when the committed
tables differ from what the data would produce.
"""

import math
import re
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import cpu_data  # noqa: E402
import cpu_data_recent  # noqa: E402
import gpu_data  # noqa: E402
import gpu_data_recent  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(HERE))
RESOURCES = os.path.join(ROOT, "resources")

MAX_NAME = 76


class Table:
    def __init__(self, what):
        self.what = what
        self.rows = {}

    def add(self, name, score, allow_same=False):
        if name != name.strip():
            raise ValueError("%s: untrimmed name %r" % (self.what, name))
        if name in self.rows:
            if allow_same and self.rows[name] == score:
                return
            raise ValueError("%s: duplicate name %r (%d, %d)"
                             % (self.what, name, self.rows[name], score))
        self.rows[name] = score

    def fix(self, name, score):
        self.rows[name] = score

    def text(self):
        return "".join("%s:%d\r\n" % (name, self.rows[name])
                       for name in sorted(self.rows))


def soft_cap(raw, knee, room):
    """Leaves scores up to knee alone and bends the rest below knee + room."""
    if raw <= knee:
        return raw
    return knee + room * (1.0 - math.exp(-(raw - knee) / (room * 2.5)))


class Scale:
    """Maps a raw score onto a table: unchanged up to the knee, bent towards
    knee + room up to the junction, then closing on the top entry without
    reaching it.  The junction lies just above the fastest part of 2014, so
    the older rows keep their scores; the slow last stretch still tells the
    parts of the following decade apart, which the first bend would crowd
    into a handful of values."""

    def __init__(self, knee, room, junction, top):
        self.knee = knee
        self.room = room
        self.junction = junction
        self.at_junction = soft_cap(junction, knee, room)
        # half a point below the top, so rounding never ties the top entry
        self.ceiling = top - 0.5

    def score(self, raw):
        if raw <= self.junction:
            bent = soft_cap(raw, self.knee, self.room)
        else:
            bent = self.at_junction + (self.ceiling - self.at_junction) * (
                1.0 - self.junction / raw)
        return max(1, int(round(bent)))


CPU_TOP = 10862
GPU_TOP = 14000
# Junctions: Xeon E5-2697 v2 (raw 24,800) and GeForce GTX TITAN Black
# (rating 9,200), the fastest parts of the older rows.
CPU_SCALE = Scale(9600.0, 1230.0, 25000.0, CPU_TOP)
GPU_SCALE = Scale(11000.0, 2950.0, 9200 * gpu_data.SCALE, GPU_TOP)


def cpu_score(arch, cores, ht, base, turbo):
    rate, turbo_weight = cpu_data.ARCH[arch]
    clock = base
    if turbo:
        clock = base + turbo_weight * (turbo - base)
    raw = rate * cores * clock * (1.25 if ht else 1.0)
    return CPU_SCALE.score(raw)


def recent_cpu_rows():
    """(brand string, mark) of the processors of 2015 onwards."""
    for fmt, rows in cpu_data_recent.FAMILIES:
        for line in rows.strip().splitlines():
            parts = line.split()
            model = parts[0].replace("_", " ")
            clk = parts[1] if "{clk}" in fmt else ""
            yield fmt.format(m=model, clk=clk), int(parts[-1])
    yield from cpu_data_recent.NAMED


def build_cpu():
    table = Table("cpu")
    for prefix, model, base, turbo, cores, ht, arch, short in cpu_data.PADDED:
        gap = max(1, 36 - len(prefix) - len(model))
        clk = "%.2f" % base
        name = "%s%s%s  @ %sGHz" % (prefix, " " * gap, model, clk)
        score = cpu_score(arch, cores, ht, base, turbo)
        table.add(name, score)
        if short:
            fam = prefix.split()[-2] if " i" in prefix else ""
            short = short.format(fam=fam, m=model, clk=clk)
            if short in cpu_data.SHORTS:
                table.add(short, score, allow_same=True)
    for name, arch, cores, ht, base, turbo, short in cpu_data.PLAIN:
        score = cpu_score(arch, cores, ht, base, turbo)
        table.add(name, score)
        if short in cpu_data.SHORTS:
            table.add(short, score, allow_same=True)
    for name, mark in recent_cpu_rows():
        table.add(name, CPU_SCALE.score(mark * cpu_data_recent.MARK_TO_TABLE))
    unused = cpu_data.SHORTS - set(table.rows)
    if unused:
        raise ValueError("cpu: short names matching no part: %r"
                         % sorted(unused))
    for name in cpu_data.GENERIC:
        table.add(name, 1)
    for name, score in cpu_data.FIXED:
        table.fix(name, score)
    return table


def gpu_rows(block):
    for line in block.strip().splitlines():
        name, rating = line.rsplit("|", 1)
        yield name, float(rating)


def build_gpu():
    table = Table("gpu")
    rated = {}
    for block in (gpu_data.NVIDIA, gpu_data.NVIDIA_MOBILE, gpu_data.QUADRO,
                  gpu_data.AMD, gpu_data.AMD_IGP, gpu_data.AMD_MOBILE,
                  gpu_data.FIREPRO, gpu_data.INTEL, gpu_data.OTHER):
        for name, rating in gpu_rows(block):
            score = GPU_SCALE.score(rating * gpu_data.SCALE)
            table.add(name, score)
            rated[name] = score
    recent = gpu_data_recent
    for block, factor in ((recent.NVIDIA, 1.0), (recent.NVIDIA_MOBILE, 1.0),
                          (recent.NVIDIA_PRO, 1.0), (recent.AMD, 1.0),
                          (recent.AMD_MOBILE, 1.0), (recent.AMD_IGP, 1.0),
                          (recent.INTEL_IGP, recent.INTEL_IGP_TO_RATING),
                          (recent.INTEL_ARC, 1.0)):
        for name, mark in gpu_rows(block):
            table.add(name, GPU_SCALE.score(mark * factor * gpu_data.SCALE))
    for suffix, families in ((gpu_data.INBOX_VISTA,
                              gpu_data.INBOX_VISTA_FAMILIES),
                             (gpu_data.INBOX_SEVEN,
                              gpu_data.INBOX_SEVEN_FAMILIES)):
        pattern = re.compile("|".join("(?:%s)" % f for f in families))
        for base in list(rated):
            if pattern.match(base) and len(base + suffix) <= MAX_NAME:
                table.add(base + suffix, rated[base])
    for suffix, names in ((gpu_data.INTEL_INBOX_VISTA,
                           gpu_data.INTEL_INBOX_VISTA_NAMES),
                          (gpu_data.INTEL_INBOX_SEVEN,
                           gpu_data.INTEL_INBOX_SEVEN_NAMES)):
        for base in names.strip().splitlines():
            table.add(base + suffix, rated[base])
    for name in gpu_data.GENERIC:
        table.add(name, 1)
    for name, score in gpu_data.FIXED:
        table.fix(name, score)
    return table


def validate(table, top, top_name, low, high):
    rows = table.rows
    for name, score in rows.items():
        if len(name) > MAX_NAME:
            raise ValueError("%s: name too long %r" % (table.what, name))
        if ":" in name:
            raise ValueError("%s: colon in name %r" % (table.what, name))
        if any(ord(c) < 0x20 or ord(c) > 0x7E for c in name):
            raise ValueError("%s: non-printable in %r" % (table.what, name))
        if not 1 <= score <= top:
            raise ValueError("%s: score out of range %r:%d"
                             % (table.what, name, score))
        if score == top and name != top_name:
            raise ValueError("%s: %r ties the top entry" % (table.what, name))
    if rows.get(top_name) != top:
        raise ValueError("%s: top entry missing" % table.what)
    if not low <= len(rows) <= high:
        raise ValueError("%s: %d entries, expected %d..%d"
                         % (table.what, len(rows), low, high))


def main(argv):
    check = "--check" in argv
    cpu = build_cpu()
    gpu = build_gpu()
    validate(cpu, CPU_TOP, "Intel Core i7 995X @ 3.60GHz", 1260, 2300)
    validate(gpu, GPU_TOP, "NVIDIA GeForce GTX 690", 1150, 1800)
    status = 0
    for table, file_name in ((cpu, "cpu.txt"), (gpu, "gpu.txt")):
        path = os.path.join(RESOURCES, file_name)
        data = table.text().encode("ascii")
        if check:
            with open(path, "rb") as f:
                if f.read() != data:
                    print("%s is out of date" % path)
                    status = 1
        else:
            with open(path, "wb") as f:
                f.write(data)
        print("%s: %d entries" % (file_name, len(table.rows)))
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
