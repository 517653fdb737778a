#!/usr/bin/env python3
"""Draws pyxtern's icon and writes it as pyxtern.ico beside this script.

A gold star (a favourite) with a thin white rim on a blue rounded tile.
Each size is drawn from the
same shapes with 8 x 8 samples per pixel, so the small sizes stay smooth
without any imaging library: the ICO and its 32-bit bitmaps are written
byte by byte.

    python3 platform/win32/make_icon.py
"""

import math
import os
import struct

SIZES = (16, 24, 32, 48)
SAMPLES = 8  # per axis, per pixel


def star(cx, cy, outer, inner):
    points = []
    for i in range(10):
        radius = outer if i % 2 == 0 else inner
        angle = -math.pi / 2 + i * math.pi / 5
        points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return points


def inside_polygon(x, y, polygon):
    inside = False
    j = len(polygon) - 1
    for i, (xi, yi) in enumerate(polygon):
        xj, yj = polygon[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def inside_rounded_square(x, y, margin, radius):
    lo, hi = margin, 1 - margin
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


STAR = star(0.5, 0.53, 0.36, 0.15)
RIM = star(0.5, 0.53, 0.42, 0.19)


def shade(x, y):
    """Colour (r, g, b, a) of one sample point in the unit square."""
    if not inside_rounded_square(x, y, 0.03, 0.2):
        return (0, 0, 0, 0)
    if inside_polygon(x, y, STAR):
        # Gold, lighter towards the top.
        t = y
        return (255, int(222 - 40 * t), int(90 - 60 * t), 255)
    if inside_polygon(x, y, RIM):
        return (255, 255, 255, 255)
    # The tile: a blue from light at the top to deep at the bottom.
    t = y
    return (int(70 - 40 * t), int(140 - 60 * t), int(230 - 50 * t), 255)


def render(size):
    pixels = []
    for row in range(size):
        for col in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (col + (sx + 0.5) / SAMPLES) / size
                    y = (row + (sy + 0.5) / SAMPLES) / size
                    cr, cg, cb, ca = shade(x, y)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            n = SAMPLES * SAMPLES
            alpha = a / n
            if alpha > 0:
                # Colours weighted by their coverage, then stored straight
                # (not premultiplied), as icons keep them.
                r, g, b = r / a, g / a, b / a
            pixels.append((int(round(r)), int(round(g)), int(round(b)), int(round(alpha))))
    return pixels


def bitmap(size, pixels):
    """The icon image: a BITMAPINFOHEADER, the 32-bit colours bottom-up,
    then the 1-bit mask that older systems use instead of the alpha."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(range(size)):
        for col in range(size):
            r, g, b, a = pixels[row * size + col]
            colour += bytes((b, g, r, a))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(range(size)):
        line = bytearray(stride)
        for col in range(size):
            if pixels[row * size + col][3] == 0:
                line[col // 8] |= 0x80 >> (col % 8)
        mask += line
    return header + bytes(colour) + bytes(mask)


def main():
    images = [bitmap(size, render(size)) for size in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pyxtern.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
