#!/usr/bin/env python3
"""Writes hostile property lists: a binary list of 100,000 arrays each holding the next (under
1 MB, too large to keep in the repository, so the build writes it for the replay), and string
tables holding a NUL byte (kept in the corpus folders).
Usage: hostile_inputs.py FOLDER [NAME...]   (all of them without names)"""
import struct
import sys
from pathlib import Path


def nested_arrays(depth):
    # Object i is an array holding object i + 1; the last one is empty.
    ref = 3  # bytes per object reference: enough for 2^24 objects
    objects = [b"\xa1" + (i + 1).to_bytes(ref, "big") for i in range(depth - 1)] + [b"\xa0"]
    body, offsets, at = bytearray(b"bplist00"), [], 8
    for item in objects:
        offsets.append(at)
        body += item
        at += len(item)
    table_at, offset_size = len(body), 3
    for offset in offsets:
        body += offset.to_bytes(offset_size, "big")
    body += struct.pack(">6xBBQQQ", offset_size, ref, len(objects), 0, table_at)
    return bytes(body)


def binary_table_with_nul(value):
    # {"key": value}: a dictionary of one ASCII key and one string object.
    objects = [b"\xd1\x01\x02", b"\x53key", value]
    body, offsets = bytearray(b"bplist00"), []
    for item in objects:
        offsets.append(len(body))
        body += item
    table_at = len(body)
    body += bytes(offsets)
    body += struct.pack(">6xBBQQQ", 1, 1, len(objects), 0, table_at)
    return bytes(body)


XML_HEAD = b'<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n'


INPUTS = {
    "deep-arrays.bplist": lambda: nested_arrays(100_000),
    "nul-in-value.bplist": lambda: binary_table_with_nul(b"\x53a\x00b"),  # ASCII "a\0b"
    "nul-in-utf16-value.bplist": lambda: binary_table_with_nul(b"\x62\x00a\x00\x00"),  # UTF-16 "a\0"
    "nul-in-value.xml": lambda: XML_HEAD + b"<dict>\n\t<key>key</key>\n\t<string>a\x00b</string>\n</dict>\n</plist>\n",
    "nul-in-key.xml": lambda: XML_HEAD + b"<dict>\n\t<key>k\x00ey</key>\n\t<string>value</string>\n</dict>\n</plist>\n",
}


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for name in sys.argv[2:] or INPUTS:
        (folder / name).write_bytes(INPUTS[name]())


if __name__ == "__main__":
    main()
