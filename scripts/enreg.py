#!/usr/bin/env python3
"""Writes a record file: 128-byte records, each a 2-byte little-endian count
followed by that many Windows-1252 bytes and zero padding.

    enreg.py FILE TEXT...        record 1 is the first TEXT
    enreg.py FILE --at N TEXT    only record N (the file is extended with
                                 zero records; other records are kept)
"""
import sys


def record(text):
    data = text.encode("cp1252")
    if len(data) > 126:
        sys.exit(f"enreg.py: text over 126 bytes: {text!r}")
    return len(data).to_bytes(2, "little") + data + b"\0" * (126 - len(data))


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    path = argv[1]
    if len(argv) == 5 and argv[2] == "--at":
        n = int(argv[3])
        try:
            with open(path, "rb") as f:
                content = bytearray(f.read())
        except FileNotFoundError:
            content = bytearray()
        start = (n - 1) * 128
        if len(content) < start:
            content += b"\0" * (start - len(content))
        content[start:start + 128] = record(argv[4])
        with open(path, "wb") as f:
            f.write(content)
        return
    with open(path, "wb") as f:
        for text in argv[2:]:
            f.write(record(text))


if __name__ == "__main__":
    main(sys.argv)
