#!/usr/bin/env python3
"""Draws the carousel's art: indexed PNG strips of animation frames, side by
side, made with nothing but Python's standard library. Colour 0 is
transparent (tRNS); build.sh packs each strip with `qrn pack`."""
import math
import os
import struct
import zlib

# 0 transparent, then the colours the art uses, then a grey ramp.
PALETTE = [(255, 0, 255), (0, 0, 0), (255, 255, 255), (220, 40, 40), (245, 150, 30),
           (250, 220, 40), (60, 170, 70), (40, 90, 200), (140, 60, 170), (128, 128, 128),
           (20, 40, 110), (150, 200, 250)]
PALETTE += [(v, v, v) for v in range(0, 256, 1)][len(PALETTE):256]
CLEAR, BLACK, WHITE, RED, ORANGE, YELLOW, GREEN, BLUE, PURPLE, GREY, NAVY, SKY = range(12)


def write_png(path, width, height, pixels):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + bytes(pixels[y * width:(y + 1) * width]) for y in range(height))
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0))
    data += chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
    data += chunk(b"tRNS", b"\0")
    data += chunk(b"IDAT", zlib.compress(rows, 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def strip(frames, width, height, draw):
    """Frames side by side: draw(frame, x, y) gives each pixel's colour."""
    pixels = []
    for y in range(height):
        for f in range(frames):
            pixels += [draw(f, x, y) for x in range(width)]
    return frames * width, height, pixels


def wheel(f, x, y, frames=8, size=32):
    cx = cy = (size - 1) / 2
    dx, dy = x - cx, y - cy
    d = math.hypot(dx, dy)
    r = size / 2 - 0.5
    if d > r:
        return CLEAR
    if d > r - 3:
        return BLUE
    if d < 3.5:
        return YELLOW
    turn = f * (math.pi / 2) / frames
    for k in range(4):
        a = turn + k * math.pi / 2
        if abs(dx * math.sin(a) - dy * math.cos(a)) < 1.3 and dx * math.cos(a) + dy * math.sin(a) > 0:
            return RED
    return SKY if d < r - 6 else CLEAR


def ball(f, x, y, frames=8, width=24, height=48):
    radius = 8
    lift = (height - 2 * radius - 6) * abs(math.sin(math.pi * f / frames))
    cy = height - 6 - radius - lift
    if (x - 11.5) ** 2 / 64 + (y - (height - 3)) ** 2 / 4 <= 1:
        return GREY
    d = math.hypot(x - 11.5, y - cy)
    if d <= radius:
        return WHITE if math.hypot(x - 9, y - (cy - 3)) < 2.5 else RED
    return CLEAR


def flag(f, x, y, frames=4, width=48, height=28):
    if x < 2:
        return BLACK
    wave = 2.5 * math.sin(2 * math.pi * (x / 24 - f / frames))
    top = 3 + wave * x / width
    row = y - top
    if row < 0 or row >= 18 or x >= width - 1:
        return CLEAR
    return (GREEN, YELLOW, ORANGE)[int(row) // 6]


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, frames, w, h, draw in (("wheel", 8, 32, 32, wheel), ("ball", 8, 24, 48, ball), ("flag", 4, 48, 28, flag)):
        write_png(os.path.join(here, name + ".png"), *strip(frames, w, h, draw))
