#!/usr/bin/env python3
"""Draws the player's window icon: a white loudspeaker with two sound waves
on a blue rounded tile, at 32 x 32 and 16 x 16 pixels.

The committed PNGs in src/app/icons are this script's output; run it again
only to change the drawing:  scripts/make-player-icons.py src/app/icons
The installed desktop icons are rendered from data/voiceplayer.svg, the same
drawing in vector form: change both together.

Plain Python (zlib and struct only), so that it runs wherever the build does.
Each pixel is the coverage of 8 x 8 samples, which smooths the edges at both
sizes from the one drawing in unit coordinates.
"""
import math
import os
import struct
import sys
import zlib

SAMPLES = 8
TILE_TOP = (0x3d, 0x86, 0xd6)
TILE_BOTTOM = (0x1f, 0x4f, 0x96)
WHITE = (0xff, 0xff, 0xff)


def inside_tile(x, y):
    """A rounded square that leaves a small margin."""
    lo, hi, r = 0.03, 0.97, 0.2
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_polygon(x, y, points):
    """Even-odd rule."""
    inside = False
    n = len(points)
    for i in range(n):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            if x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                inside = not inside
    return inside


SPEAKER = [(0.18, 0.38), (0.33, 0.38), (0.54, 0.2), (0.54, 0.8), (0.33, 0.62), (0.18, 0.62)]
WAVE_CENTRE = (0.56, 0.5)
WAVES = [(0.14, 0.07), (0.28, 0.07)]  # radius, stroke width
WAVE_HALF_ANGLE = math.radians(48)


def inside_wave(x, y):
    dx, dy = x - WAVE_CENTRE[0], y - WAVE_CENTRE[1]
    if dx <= 0 or abs(math.atan2(dy, dx)) > WAVE_HALF_ANGLE:
        return False
    d = math.hypot(dx, dy)
    return any(abs(d - r) <= w / 2 for r, w in WAVES)


def pixel(px, py, size):
    tile = symbol = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / size
            y = (py + (sy + 0.5) / SAMPLES) / size
            if inside_tile(x, y):
                tile += 1
                if inside_polygon(x, y, SPEAKER) or inside_wave(x, y):
                    symbol += 1
    total = SAMPLES * SAMPLES
    if tile == 0:
        return (0, 0, 0, 0)
    t = (py + 0.5) / size
    base = [round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM)]
    share = symbol / tile
    rgb = [round(b + (w - b) * share) for b, w in zip(base, WHITE)]
    return (*rgb, round(255 * tile / total))


def png(size):
    rows = b""
    for py in range(size):
        rows += b"\x00" + b"".join(bytes(pixel(px, py, size)) for px in range(size))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "src/app/icons"
    os.makedirs(out, exist_ok=True)
    for size in (32, 16):
        with open(os.path.join(out, f"player-{size}.png"), "wb") as f:
            f.write(png(size))


if __name__ == "__main__":
    main()
