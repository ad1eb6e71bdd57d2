#!/usr/bin/env python3
"""Writes the seed archives of the extraction target (fuzz/corpus/rar_extraction): small RAR
archives (format 4, entries stored) whose names try to leave the target folder, name devices
or links, next to a plain one. Run again only to change the seeds."""
import pathlib
import struct
import zlib

HERE = pathlib.Path(__file__).resolve().parent / "corpus" / "rar_extraction"


def block(after_crc: bytes) -> bytes:
    return struct.pack("<H", zlib.crc32(after_crc) & 0xFFFF) + after_crc


def archive(entries) -> bytes:
    out = b"Rar!\x1a\x07\x00" + block(b"\x73" + struct.pack("<HH", 0, 13) + bytes(6))
    for name, data, host, attributes in entries:
        name = name.encode("utf-8")
        folder = attributes == 0x10 or (attributes & 0o170000) == 0o040000
        flags = 0x8000 | (0x00E0 if folder else 0)
        header = b"\x74" + struct.pack("<HHII", flags, 32 + len(name), len(data), len(data))
        header += bytes([host]) + struct.pack("<II", zlib.crc32(data), 0x58220000)
        header += b"\x14\x30" + struct.pack("<HI", len(name), attributes) + name
        out += block(header) + data
    return out + block(b"\x7b" + struct.pack("<HH", 0x4000, 7))


WINDOWS, UNIX = 2, 3
SEEDS = {
    "plain": [("gs\\lib\\readme.txt", b"ghostscript", WINDOWS, 0x20), ("gs\\bin", b"", WINDOWS, 0x10)],
    "parent-steps": [("..\\..\\outside.txt", b"x", WINDOWS, 0x20), ("gs/../../beside.txt", b"y", WINDOWS, 0x20)],
    "absolute": [("\\tmp\\abs.txt", b"x", WINDOWS, 0x20), ("/tmp/abs2.txt", b"y", UNIX, 0o100644),
                 ("C:\\drive.txt", b"z", WINDOWS, 0x20)],
    "devices": [("CON", b"x", WINDOWS, 0x20), ("gs\\nul.txt", b"y", WINDOWS, 0x20), ("a. ", b"z", WINDOWS, 0x20)],
    "links": [("link", b"/etc", UNIX, 0o120777), ("link/passwd", b"x", UNIX, 0o100644),
              ("dir", b"", UNIX, 0o040755)],
}

if __name__ == "__main__":
    HERE.mkdir(parents=True, exist_ok=True)
    for name, entries in SEEDS.items():
        (HERE / f"{name}.rar").write_bytes(archive(entries))
