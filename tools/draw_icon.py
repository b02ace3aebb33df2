#!/usr/bin/env python3
"""Draws the program icon (a gauge on a blue tile) into resources/vxmcheck.ico.

Icon group 105 holds 48, 128 and 256 pixel images, each stored as PNG inside the ICO file.
Run: python3 tools/draw_icon.py
"""
import math
import os
import struct
import zlib

SIZES = (48, 128, 256)


def pixel(x, y, n):
    """RGBA of one pixel, drawn in a unit square with 4x4 supersampling."""
    acc = [0.0, 0.0, 0.0, 0.0]
    for sy in range(4):
        for sx in range(4):
            u = (x + (sx + 0.5) / 4) / n
            v = (y + (sy + 0.5) / 4) / n
            r, g, b, a = shade(u, v)
            acc[0] += r * a
            acc[1] += g * a
            acc[2] += b * a
            acc[3] += a
    a = acc[3] / 16
    if a == 0:
        return (0, 0, 0, 0)
    return tuple(int(round(c / acc[3])) for c in acc[:3]) + (int(round(a * 255)),)


def shade(u, v):
    # Rounded tile.
    r = 0.18
    dx = max(abs(u - 0.5) - (0.5 - r), 0)
    dy = max(abs(v - 0.5) - (0.5 - r), 0)
    if math.hypot(dx, dy) > r - 0.02:
        return (0, 0, 0, 0)
    base = (30 + int(40 * v), 90 + int(50 * v), 180 + int(40 * (1 - v)), 1.0)
    cx, cy = 0.5, 0.62
    d = math.hypot(u - cx, v - cy)
    ang = math.degrees(math.atan2(cy - v, u - cx))
    # Gauge arc: green to red over the upper half circle.
    if 0.28 < d < 0.36 and 0 <= ang <= 180:
        t = ang / 180
        return (int(200 * t + 40), int(200 * (1 - t) + 40), 50, 1.0)
    # Needle pointing to the good end.
    na = math.radians(35)
    nx, ny = math.cos(na), -math.sin(na)
    along = (u - cx) * nx + (v - cy) * ny
    across = abs((u - cx) * ny - (v - cy) * nx)
    if 0 <= along <= 0.30 and across < 0.025:
        return (250, 250, 250, 1.0)
    if d < 0.05:
        return (250, 250, 250, 1.0)
    return base


def png(n):
    rows = b"".join(b"\x00" + b"".join(struct.pack("4B", *pixel(x, y, n)) for x in range(n))
                    for y in range(n))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) +
            chunk(b"IEND", b""))


def main():
    images = [png(n) for n in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    path = os.path.join(os.path.dirname(__file__), "..", "resources", "vxmcheck.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
