#!/usr/bin/env python3
"""Decodes the uuencoded RAR test archives of a folder into another folder."""
import binascii
import pathlib
import sys

source, target = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
target.mkdir(parents=True, exist_ok=True)
for encoded in sorted(source.glob("test_read_format_rar*.rar.uu")):
    data = bytearray()
    started = False
    for line in encoded.read_bytes().splitlines():
        if line.startswith(b"begin "):
            started = True
            continue
        if line.strip() == b"end":
            break
        if started and line.strip():
            length = (line[0] - 32) & 63
            data += binascii.a2b_uu(line[:1 + (length * 4 + 2) // 3])
    (target / encoded.name[:-3]).write_bytes(bytes(data))
