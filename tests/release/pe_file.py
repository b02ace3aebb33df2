"""A small reader of 32-bit PE files, for the release's tests: the file header, sections (long
names too), the checksum, the security directory, the debug link and the version resource."""
import struct
import zlib

RT_VERSION = 16


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, count, self.timestamp, self.symbol_table, self.symbol_count,
         optional_size, self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x10B:
            raise ValueError("not a PE32 optional header")
        self.checksum_offset = optional + 64
        self.checksum = struct.unpack_from("<I", data, self.checksum_offset)[0]
        directories = struct.unpack_from("<I", data, optional + 92)[0]
        self.directories = [struct.unpack_from("<II", data, optional + 96 + 8 * i)
                            for i in range(directories)]
        strings = self.symbol_table + 18 * self.symbol_count
        self.sections = []
        for i in range(count):
            raw_name, vsize, rva, raw_size, raw_offset = struct.unpack_from(
                "<8sIIII", data, optional + optional_size + 40 * i)
            name = raw_name.rstrip(b"\0").decode("latin-1")
            if name.startswith("/") and self.symbol_table:
                start = strings + int(name[1:])
                name = data[start:data.index(b"\0", start)].decode("latin-1")
            self.sections.append((name, rva, vsize, raw_offset, raw_size))

    def section(self, name):
        for found, _, vsize, offset, size in self.sections:
            if found == name:
                return self.data[offset:offset + min(vsize, size)]
        return None

    def offset_of(self, rva):
        for _, start, vsize, offset, size in self.sections:
            if start <= rva < start + max(vsize, size):
                return offset + rva - start
        raise ValueError(f"RVA {rva:#x} in no section")

    def debug_link(self):
        """(file name, CRC-32) of .gnu_debuglink, or None."""
        link = self.section(".gnu_debuglink")
        if link is None:
            return None
        name = link[:link.index(b"\0")]
        crc_at = (len(name) + 4) & ~3
        return name.decode(), struct.unpack_from("<I", link, crc_at)[0]

    def version_info(self):
        """(fixed file version, fixed product version, {string key: value}) of the version
        resource, or None."""
        rva, size = self.directories[2]
        if not size:
            return None
        base = self.offset_of(rva)
        entry = self._resource_entry(base, base, [RT_VERSION, None, None])
        if entry is None:
            return None
        data_rva, data_size = struct.unpack_from("<II", self.data, entry)
        start = self.offset_of(data_rva)
        return parse_version_info(self.data[start:start + data_size])

    def _resource_entry(self, base, directory, path):
        named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
            if path[0] is not None and ident != path[0]:
                continue
            if target & 0x80000000:
                found = self._resource_entry(base, base + (target & 0x7FFFFFFF), path[1:])
                if found is not None:
                    return found
            else:
                return base + target
        return None


def _block(data, at):
    """One node of a version resource: (key, value bytes, children's start, end)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if kind == 1 else value_length
    value = data[value_at:value_at + value_size]
    children = (value_at + value_size + 3) & ~3
    return key, value, kind, children, end


def _children(data, start, end):
    at = start
    while at < end:
        node = _block(data, at)
        yield node
        at = (node[4] + 3) & ~3


def parse_version_info(data):
    key, fixed, _, children, end = _block(data, 0)
    if key != "VS_VERSION_INFO" or struct.unpack_from("<I", fixed, 0)[0] != 0xFEEF04BD:
        raise ValueError("not a version resource")
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)

    def dotted(ms, ls):
        return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"

    strings = {}
    for name, _, _, table_start, table_end in _children(data, children, end):
        if name != "StringFileInfo":
            continue
        for _, _, _, pairs_start, pairs_end in _children(data, table_start, table_end):
            for text_key, value, _, _, _ in _children(data, pairs_start, pairs_end):
                strings[text_key] = value.decode("utf-16-le").rstrip("\0")
    return dotted(file_ms, file_ls), dotted(product_ms, product_ls), strings


def crc32(data):
    return zlib.crc32(data) & 0xFFFFFFFF
