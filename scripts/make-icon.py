#!/usr/bin/env python3
"""Writes pravel/pravel.ico: a blue box with a white arrow pointing down,
drawn here so the project needs no image tools, in the sizes Windows asks
for at 100 %, 150 % and 200 % (16, 24 and 32 pixels for the small icon,
32, 48 and 64 for the big one; other scales take the next larger): the
same picture drawn for every size, never one size scaled by Windows. It
has three colours and fully transparent corners, so every image is a
16-colour bitmap with a transparency mask: a sixth of the bytes of a
32-bit one (pravel.exe carries them)."""
import struct
import sys

SIZES = (16, 24, 32, 48, 64)
BORDER = (0x40, 0x20, 0x10)  # BGR
FILL = (0xC0, 0x70, 0x20)
ARROW = (0xFF, 0xFF, 0xFF)


def pixel(size, x, y):
    """BGR of pixel (x, y) (y from the top), or None for transparent. The
    picture is laid out on 32 units: the box from 2 to 30 with a border of
    one unit (scaled, at least one pixel), the arrow's shaft 13 to 19 wide
    and 7 to 18 high, its head from 17 to 26, sampled at pixel centres."""
    inset = round(2 * size / 32)
    border = max(1, round(size / 32))
    last = size - 1 - inset
    if not (inset <= x <= last and inset <= y <= last):
        return None
    if x < inset + border or x > last - border or y < inset + border or y > last - border:
        return BORDER
    u = (x + 0.5) * 32 / size
    v = (y + 0.5) * 32 / size
    shaft = 13 <= u < 19 and 7 <= v < 18
    head = 17 <= v < 26 and abs(u - 16) <= 26 - v
    return ARROW if shaft or head else FILL


def image(size):
    palette = [BORDER, FILL, ARROW]
    rows = []  # bottom-up: (palette index, transparent)
    for y in reversed(range(size)):
        row = []
        for x in range(size):
            colour = pixel(size, x, y)
            row.append((0, True) if colour is None else (palette.index(colour) + 1, False))
        rows.append(row)
    colours = [(0, 0, 0)] + palette + [(0, 0, 0)] * (15 - len(palette))
    palette_bytes = b"".join(bytes((b, g, r, 0)) for b, g, r in colours)
    stride = (size + 1) // 2
    xor_padding = b"\0" * (-stride % 4)
    mask_stride = (size + 7) // 8
    mask_padding = b"\0" * (-mask_stride % 4)
    xor = b""
    and_mask = b""
    for row in rows:
        cells = [index for index, _ in row] + [0]
        xor += bytes((cells[i] << 4) | cells[i + 1] for i in range(0, size, 2)) + xor_padding
        bits = 0
        for _, transparent in row:
            bits = (bits << 1) | (1 if transparent else 0)
        bits <<= mask_stride * 8 - size
        and_mask += bits.to_bytes(mask_stride, "big") + mask_padding
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(and_mask), 0, 0, 16, 0)
    return header + palette_bytes + xor + and_mask


def main(path):
    images = [image(size) for size in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as out:
        out.write(directory + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "pravel/pravel.ico")
