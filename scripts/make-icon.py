#!/usr/bin/env python3
"""Writes pravel/pravel.ico: a 32x32 icon (a blue box with a white arrow
pointing down), drawn here so the project needs no image tools. It has
three colours and fully transparent corners, so it is stored as a 16-colour
bitmap with a transparency mask: the same picture in a sixth of the bytes
of a 32-bit one (pravel.exe carries it)."""
import struct
import sys

SIZE = 32


def pixel(x, y):
    # y counts from the top here; the bitmap is stored bottom-up.
    border = x in (2, SIZE - 3) or y in (2, SIZE - 3)
    inside = 2 <= x <= SIZE - 3 and 2 <= y <= SIZE - 3
    if not inside:
        return (0, 0, 0, 0)
    if border:
        return (0x40, 0x20, 0x10, 0xFF)
    shaft = 13 <= x <= 18 and 7 <= y <= 17
    head = 17 <= y <= 25 and abs(x - 15.5) <= (25 - y) + 0.5
    if shaft or head:
        return (0xFF, 0xFF, 0xFF, 0xFF)
    return (0xC0, 0x70, 0x20, 0xFF)  # BGRA


def main(path):
    palette = []  # BGRA colours of the opaque pixels, in order of appearance
    indices = []  # rows bottom-up: (palette index, transparent)
    for y in reversed(range(SIZE)):
        row = []
        for x in range(SIZE):
            b, g, r, a = pixel(x, y)
            if a == 0:
                row.append((0, True))
                continue
            if (b, g, r) not in palette:
                palette.append((b, g, r))
            row.append((palette.index((b, g, r)) + 1, False))  # 0: transparent
        indices.append(row)
    assert len(palette) < 16
    colours = [(0, 0, 0)] + palette + [(0, 0, 0)] * (15 - len(palette))
    palette_bytes = b"".join(bytes((b, g, r, 0)) for b, g, r in colours)
    xor = b""
    and_mask = b""
    for row in indices:  # 32 pixels: 16 bytes of colour, 4 bytes of mask
        xor += bytes((row[i][0] << 4) | row[i + 1][0] for i in range(0, SIZE, 2))
        bits = 0
        for index, transparent in row:
            bits = (bits << 1) | (1 if transparent else 0)
        and_mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(xor) + len(and_mask), 0, 0, 16, 0)
    image = header + palette_bytes + xor + and_mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "pravel/pravel.ico")
