#!/usr/bin/env python3
"""Draws the program's icon, a yellow folder with a row of digit bars, as a .ico file.

Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys


def pixel(x, y, size):
    """RGBA of one pixel; y counts from the top."""
    u, v = x / size, y / size
    tab = 0.12 <= u <= 0.45 and 0.18 <= v <= 0.28
    body = 0.06 <= u <= 0.94 and 0.26 <= v <= 0.86
    if not (tab or body):
        return (0, 0, 0, 0)
    edge = 1.5 / size
    if body and (u < 0.06 + edge or u > 0.94 - edge or v < 0.26 + edge or v > 0.86 - edge):
        return (150, 100, 10, 255)
    # Three dark bars stand for the digit names.
    for left in (0.22, 0.42, 0.62):
        if left <= u <= left + 0.14 and 0.46 <= v <= 0.72:
            return (60, 60, 60, 255)
    return (250, 200, 60, 255)


def image(size):
    rows = []
    for y in reversed(range(size)):  # DIB rows run bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            row += bytes((b, g, r, a))
        rows.append(row)
    pixels = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def main():
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
