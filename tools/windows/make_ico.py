#!/usr/bin/env python3
"""make_ico.py OUT.ico PNG...: packs square PNG images into one Windows
icon file; an icon entry may hold a PNG as it is."""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        sys.exit("make_ico.py: not a PNG file")
    return struct.unpack(">II", data[16:24])


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    images = []
    for name in argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        w, h = png_size(data)
        images.append((w, h, data))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, bodies = b"", b""
    for w, h, data in images:
        # 256 and more is written as 0.
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        bodies += data
        offset += len(data)
    with open(argv[1], "wb") as f:
        f.write(header + entries + bodies)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
