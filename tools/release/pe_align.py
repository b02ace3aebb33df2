#!/usr/bin/env python3
"""Pads PE files with zeros to a multiple of 8 bytes, as an Authenticode signature would, and
writes their header checksum anew. A signed file with its signature removed (osslsigncode
remove-signature) is then this file byte for byte, so a signed download can be checked against
an unsigned release.
Usage: pe_align.py FILE...
"""
import array
import struct
import sys


def pe_checksum(data, field):
    """The PE header checksum: 16-bit words summed with end-around carry, the checksum field
    taken as zero, plus the file's length."""
    words = array.array("H")
    words.frombytes(data[:field] + b"\0\0\0\0" + data[field + 4:] + b"\0" * (len(data) % 2))
    if sys.byteorder != "little":
        words.byteswap()
    total = sum(words)
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def checksum_field(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    return pe + 24 + 64


def align(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    data += b"\0" * (-len(data) % 8)
    field = checksum_field(data)
    struct.pack_into("<I", data, field, pe_checksum(bytes(data), field))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    for name in sys.argv[1:]:
        align(name)
