#!/usr/bin/env python3
"""Writes pravel/pravel.ico: a 32x32 32-bit icon (a blue box with a white
arrow pointing down), drawn here so the project needs no image tools."""
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
    rows = []
    for y in reversed(range(SIZE)):
        rows.append(b"".join(bytes(pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    and_mask = b"\x00" * (4 * SIZE)  # 32 bits per row, all opaque (alpha decides)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "pravel/pravel.ico")
