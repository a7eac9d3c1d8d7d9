#!/usr/bin/env python3
"""Draws the updater's icon: a blue rounded square with a white arrow coming
down onto a bar. Writes updater.ico beside this script with six images, 256 to
16 pixels, each an uncompressed 32-bit bitmap with its mask, largest first.
Each size is drawn on its own (4 x 4 samples a pixel), not scaled down."""
import os
import struct

SIZES = (256, 128, 64, 48, 32, 16)
SAMPLES = 4


def inside_rounded_square(x, y, margin, radius):
    lo, hi = margin, 1.0 - margin
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return lo <= x <= hi and lo <= y <= hi and (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_arrow(x, y):
    shaft = 0.43 <= x <= 0.57 and 0.18 <= y <= 0.50
    # Head: a triangle pointing down, from y 0.46 to its tip at 0.72.
    half = 0.21 * (0.72 - y) / 0.26
    head = 0.46 <= y <= 0.72 and abs(x - 0.5) <= half
    bar = 0.24 <= x <= 0.76 and 0.77 <= y <= 0.84
    return shaft or head or bar


def pixel(px, py, size):
    tile = white = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / size
            y = (py + (sy + 0.5) / SAMPLES) / size
            if inside_rounded_square(x, y, 0.04, 0.18):
                tile += 1
                if inside_arrow(x, y):
                    white += 1
    n = SAMPLES * SAMPLES
    if tile == 0:
        return (0, 0, 0, 0)
    # A top-to-bottom blue gradient under the white mark.
    t = py / max(size - 1, 1)
    blue = (round(40 + 20 * t), round(140 - 50 * t), round(230 - 40 * t))
    w = white / tile
    r, g, b = (round(c * (1 - w) + 255 * w) for c in blue)
    return (r, g, b, round(255 * tile / n))


def image(size):
    rows = []
    mask_rows = []
    mask_stride = ((size + 31) // 32) * 4
    for py in reversed(range(size)):  # bitmaps are stored bottom-up
        row = bytearray()
        mask = bytearray(mask_stride)
        for px in range(size):
            r, g, b, a = pixel(px, py, size)
            row += bytes((b, g, r, a))
            if a == 0:
                mask[px // 8] |= 0x80 >> (px % 8)
        rows.append(bytes(row))
        mask_rows.append(bytes(mask))
    pixels = b"".join(rows)
    masks = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(masks), 0, 0, 0, 0)
    return header + pixels + masks


def main():
    images = [image(s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "updater.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
