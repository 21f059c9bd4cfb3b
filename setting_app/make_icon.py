#!/usr/bin/env python3
"""Draws PelmoraSetting's icon (a letter on a blue tile with a check mark) as a 16, 32
and 48 pixel .ico with 32-bit images; run once, the .ico is kept in the tree."""
import struct
import sys


def pixel(size, x, y):
    u, v = (x + 0.5) / size, (y + 0.5) / size
    inside = 0.06 < u < 0.94 and 0.06 < v < 0.94
    if not inside:
        return (0, 0, 0, 0)
    # An envelope: white body with a darker flap line, on a blue tile.
    if 0.18 < u < 0.82 and 0.28 < v < 0.72:
        flap = abs((v - 0.28) - abs(u - 0.5) * 0.8) < 0.06 and v < 0.56
        return (90, 90, 90, 255) if flap else (255, 255, 255, 255)
    # A green check mark in the lower right corner.
    if 0.6 < u < 0.94 and 0.66 < v < 0.94:
        return (40, 170, 60, 255)
    return (190, 100, 20, 255)  # BGR: blue


def image(size):
    head = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):
        rows.append(b''.join(struct.pack('BBBB', *pixel(size, x, y)) for x in range(size)))
    mask_row = ((size + 31) // 32) * 4
    return head + b''.join(rows) + b'\0' * (mask_row * size)


def main(path):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


main(sys.argv[1] if len(sys.argv) > 1 else 'pelmora_setting.ico')
