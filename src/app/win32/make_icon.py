#!/usr/bin/env python3
"""Draws vorta.ico (16, 24, 32, 48 and 256 pixels) from the shapes of packaging/vorta.svg.

The output is committed beside this script; run it again after a change to the SVG and mirror
the change in SHAPES below. Only the standard library: the shapes are rasterised here with 4 x 4
samples a pixel, the small sizes are stored as 32-bit DIBs (which every Windows reads) and 256 as
PNG. The output depends on nothing but this file.
   make_icon.py [OUTPUT]   (default: vorta.ico beside this script)
"""
import math
import os
import struct
import sys
import zlib

VIEW = 64.0  # the SVG's viewBox is 0 0 64 64
SIZES = (16, 24, 32, 48, 256)
SAMPLES = 4


def rgb(text, opacity=1.0):
    return (int(text[1:3], 16) / 255, int(text[3:5], 16) / 255, int(text[5:7], 16) / 255, opacity)


def segment_distance(px, py, ax, ay, bx, by):
    """Distance to the segment a-b, or None beyond its ends (butt caps)."""
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    if t < 0 or t > 1:
        return None
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def quadratic(p0, p1, p2, pieces=48):
    points = []
    for i in range(pieces + 1):
        t = i / pieces
        u = 1 - t
        points.append((u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                       u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]))
    return points


def circle_fill(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) <= r


def circle_stroke(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) <= width / 2


def ellipse_stroke(cx, cy, rx, ry, width):
    def inside(x, y):
        u, v = (x - cx) / rx, (y - cy) / ry
        q = math.hypot(u, v)
        if q == 0:
            return False
        gradient = math.hypot(u / rx, v / ry) / q  # |grad of q|: q - 1 over it is the distance
        return abs(q - 1) / gradient <= width / 2
    return inside


def polyline_stroke(points, width):
    def inside(x, y):
        for a, b in zip(points, points[1:]):
            d = segment_distance(x, y, a[0], a[1], b[0], b[1])
            if d is not None and d <= width / 2:
                return True
        return False
    return inside


def polygon_fill(points):
    def inside(x, y):
        hit = False
        for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    return inside


WHITE_LINE = rgb("#ffffff", 0.85)
# packaging/vorta.svg, in painting order: (inside test in SVG units, colour with opacity).
SHAPES = [
    (circle_fill(29, 30, 24), rgb("#2f7fd1")),
    (circle_stroke(29, 30, 24, 2), rgb("#1b4f8a")),
    (ellipse_stroke(29, 30, 10, 24, 2), WHITE_LINE),
    (polyline_stroke([(29, 6), (29, 54)], 2), WHITE_LINE),
    (polyline_stroke([(5, 30), (53, 30)], 2), WHITE_LINE),
    (polyline_stroke(quadratic((9, 18), (29, 24), (49, 18)), 2), WHITE_LINE),
    (polyline_stroke(quadratic((9, 42), (29, 36), (49, 42)), 2), WHITE_LINE),
    (circle_fill(48, 48, 14), rgb("#2eaa5c")),
    (circle_stroke(48, 48, 14, 2.5), rgb("#ffffff")),
    (polygon_fill([(48, 39), (56, 48), (51, 48), (51, 56), (45, 56), (45, 48), (40, 48)]),
     rgb("#ffffff")),
]


def render(size):
    """Rows of (r, g, b, a) bytes, top row first."""
    scale = VIEW / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * scale
                    y = (py + (sy + 0.5) / SAMPLES) * scale
                    r = g = b = a = 0.0
                    for inside, (cr, cg, cb, ca) in SHAPES:
                        if inside(x, y):  # source over
                            r, g, b = cr * ca + r * (1 - ca), cg * ca + g * (1 - ca), cb * ca + b * (1 - ca)
                            a = ca + a * (1 - ca)
                    total = [total[0] + r, total[1] + g, total[2] + b, total[3] + a]
            n = SAMPLES * SAMPLES
            alpha = total[3] / n
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(min(1.0, c / n / alpha) * 255) for c in total[:3]) +
                           (round(alpha * 255),))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def dib(rows):
    """A 32-bit BGRA DIB as icons hold it: double height, bottom row first, then the AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def icon():
    images = [png(render(s)) if s >= 256 else dib(render(s)) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        edge = 0 if size >= 256 else size  # 0 stands for 256
        out += struct.pack("<BBBBHHII", edge, edge, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "vorta.ico")
    with open(target, "wb") as f:
        f.write(icon())
