#!/usr/bin/env python3
"""Draws the demo's art with nothing but Python's standard library: indexed
PNG strips of animation frames (colour 0 transparent, every strip on the same
palette, so one palette.plt serves them all), the sounds as 16-bit mono WAV
files in ../snd/, and the room's background as an RGB PNG (room.png) for
"qrn bg encode" to compress. build.sh runs it."""
import math
import os
import struct
import wave
import zlib

WIDTH, HEIGHT = 640, 480
# The tray the gems stay on: 8 x 4 cells of 40 pixels.
TRAY_LEFT, TRAY_TOP, CELL, TRAY_COLS, TRAY_ROWS = 160, 300, 40, 8, 4
# Sockets in the tray's top row, by column: green, red, blue.
SOCKETS = ((1, (60, 170, 70)), (3, (220, 40, 40)), (5, (50, 100, 230)))

PALETTE = [(255, 0, 255), (0, 0, 0), (255, 255, 255), (220, 40, 40), (120, 20, 20), (60, 170, 70), (20, 90, 40),
           (50, 100, 230), (20, 40, 120), (250, 220, 40), (245, 150, 30), (140, 90, 40), (80, 50, 20),
           (230, 180, 60), (128, 128, 128), (200, 200, 200), (255, 250, 190), (90, 220, 230), (255, 150, 150),
           (160, 240, 160), (160, 190, 255), (140, 60, 170)]
PALETTE += [(v, v, v) for v in range(256)][len(PALETTE):]
(CLEAR, BLACK, WHITE, RED, DARK_RED, GREEN, DARK_GREEN, BLUE, NAVY, YELLOW, ORANGE, BROWN, DARK_BROWN, GOLD,
 GREY, LIGHT_GREY, GLOW, CYAN, PINK, MINT, SKY, PURPLE) = range(22)


def png(width, height, colour_type, rows):
    """A PNG of 8-bit samples: colour type 3 (indexed, with the palette and
    index 0 transparent) or 2 (RGB); rows already carry their filter byte."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
    if colour_type == 3:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
        data += chunk(b"tRNS", b"\0")
    data += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    data += chunk(b"IEND", b"")
    return data


def write_png(path, width, height, pixels):
    rows = b"".join(b"\0" + bytes(pixels[y * width:(y + 1) * width]) for y in range(height))
    with open(path, "wb") as f:
        f.write(png(width, height, 3, rows))


def strip(frames, width, height, draw):
    """Frames side by side: draw(frame, x, y) gives each pixel's colour."""
    pixels = []
    for y in range(height):
        for f in range(frames):
            pixels += [draw(f, x, y) for x in range(width)]
    return frames * width, height, pixels


def arrow(f, x, y):
    """The pointer: an arrow whose tip glows in turn, hot spot (0, 0)."""
    if x > y or y > 13 or x + y > 20:
        return CLEAR
    if x == 0 or x == y or y == 13 or x + y == 20:
        return BLACK
    return (YELLOW, ORANGE, GOLD, GLOW)[f] if y < 5 else WHITE


def ring(f, x, y):
    """The pointer over something to take: a pulsing ring, hot spot (8, 8)."""
    d = math.hypot(x - 8, y - 8)
    r = 5 + f
    if abs(d - r) < 1.0:
        return GOLD
    if abs(d - r) < 1.8:
        return BLACK
    return WHITE if d < 1.5 else CLEAR


def gem(shape, light, body, dark):
    """A 40 x 40 gem in its cell, a glint sweeping over it in 4 frames."""
    def draw(f, x, y):
        u, v = x - 19.5, y - 19.5
        if shape == "round":
            inside, edge = math.hypot(u, v) <= 14, math.hypot(u, v) > 12
        elif shape == "triangle":
            inside = v <= 12 and v >= -14 and abs(u) <= (v + 14) * 0.55
            edge = v > 10 or abs(u) > (v + 14) * 0.55 - 2.2
        else:
            inside, edge = abs(u) + abs(v) <= 15, abs(u) + abs(v) > 12.5
        if not inside:
            return CLEAR
        if edge:
            return dark
        glint = -10 + 7 * f
        if abs(u + v - glint) < 2.5:
            return WHITE
        return light if u + v < glint else body
    return draw


def clock(f, x, y, frames=8):
    """The wall clock, 48 x 112: a case with a face, the pendulum swinging."""
    if 4 <= x < 44 and 0 <= y < 44:
        d = math.hypot(x - 23.5, y - 21.5)
        if d < 15:
            hand_hour = abs(x - 23.5) < 1.2 and 12 < y < 22
            hand_min = abs(y - 21.5) < 1.2 and 23 < x < 35
            return BLACK if hand_hour or hand_min else WHITE
        if d < 17:
            return GOLD
        return BROWN if x in (4, 43) or y == 0 else DARK_BROWN
    if 10 <= x < 38 and 44 <= y < 112:
        if x in (10, 37) or y == 111:
            return BROWN
        angle = 0.25 * math.sin(2 * math.pi * f / frames)
        px, py = 23.5 + 44 * math.sin(angle), 46 + 44 * math.cos(angle)
        if math.hypot(x - px, y - py) < 6:
            return GOLD
        t = ((x - 23.5) * math.sin(angle) + (y - 46) * math.cos(angle))
        if 0 < t < 46 and abs((x - 23.5) * math.cos(angle) - (y - 46) * math.sin(angle)) < 1:
            return LIGHT_GREY
        return DARK_BROWN
    return CLEAR


def firefly(f, x, y):
    d = math.hypot(x - 4.5, y - 4.5)
    if d < 2:
        return WHITE if f == 0 else YELLOW
    if d < (5 if f == 0 else 3.5):
        return GLOW if f == 0 else GOLD
    return CLEAR


def chest(f, x, y, frames=6):
    """A 96 x 80 chest whose lid opens over 6 frames, light rising from it."""
    lid = 36 - int(28 * f / (frames - 1))  # the lid's front edge
    if 4 <= x < 92 and 40 <= y < 80:
        if y in (40, 79) or x in (4, 91) or abs(x - 48) < 3 and y < 52:
            return GOLD if abs(x - 48) < 3 else DARK_BROWN
        return BROWN if (y // 8) % 2 else DARK_BROWN
    if 4 <= x < 92 and lid <= y < 40:
        if f > 0 and y > lid + 3:
            glow = (y - lid) / max(1, 40 - lid)
            return GLOW if abs(x - 48) < 40 * glow + 4 else CLEAR
        return GOLD if y == lid or x in (4, 91) else BROWN
    if f >= 4 and abs(x - 48) < 4 + 3 * (f - 3) and 0 <= y < lid and (x + y + f) % 5 == 0:
        return YELLOW
    return CLEAR


def flash(f, x, y, frames=6):
    """A ring of light round a socket: nothing, four growing rings, nothing."""
    if f in (0, frames - 1):
        return CLEAR
    d = math.hypot(x - 19.5, y - 19.5)
    r = 9 + 2.5 * f
    if abs(d - r) < 1.2:
        return WHITE
    if abs(d - r) < 2.4:
        return GLOW
    return CLEAR


def background(path):
    """The room, 640 x 480: a wall with a night window, a wooden floor, the
    green tray with its grid and its three sockets."""
    def pixel(x, y):
        if 36 <= x < 204 and 46 <= y < 204:  # the window
            if x < 40 or x >= 200 or y < 50 or y >= 200 or abs(x - 120) < 2 or abs(y - 125) < 2:
                return (110, 70, 35)
            if math.hypot(x - 160, y - 85) < 16:
                return (240, 235, 200)
            if (x * 7919 + y * 104729) % 541 == 0:
                return (255, 255, 220)
            return (15, 20, 60 + y // 6)
        if y < 290:  # wallpaper
            stripe = 8 if (x // 24) % 2 else 0
            return (70 + stripe, 50 + y // 12, 100 + stripe)
        if y < 296:  # skirting
            return (90, 55, 30)
        tx, ty = x - TRAY_LEFT, y - TRAY_TOP
        tw, th = TRAY_COLS * CELL, TRAY_ROWS * CELL
        if -4 <= tx < tw + 4 and -4 <= ty < th + 4:
            if not (0 <= tx < tw and 0 <= ty < th):
                return (200, 160, 60)
            for column, colour in SOCKETS:
                d = math.hypot(tx - (column * CELL + 19.5), ty - 19.5)
                if ty < CELL and 15 <= d < 18:
                    return colour
                if ty < CELL and d < 15:
                    return (20, 60, 35)
            if tx % CELL == 0 or ty % CELL == 0:
                return (25, 85, 45)
            return (35, 110, 60)
        plank = (y - 296) // 23
        seam = (y - 296) % 23 == 0 or (x + plank * 157) % 211 == 0
        return (70, 42, 20) if seam else (130 + (plank % 3) * 10, 85 + (plank % 2) * 8, 45)
    rows = bytearray()
    for y in range(HEIGHT):
        rows += b"\0"
        for x in range(WIDTH):
            rows += bytes(pixel(x, y))
    with open(path, "wb") as f:
        f.write(png(WIDTH, HEIGHT, 2, rows))


def tone(path, seconds, voice, rate=22050):
    """A mono 16-bit WAV: voice(t) from -1 to 1 at each sample time t."""
    count = int(seconds * rate)
    samples = b"".join(struct.pack("<h", int(max(-1.0, min(1.0, voice(i / rate, seconds))) * 20000))
                       for i in range(count))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(samples)


def fade(t, length):
    return max(0.0, 1.0 - t / length)


SOUNDS = {
    1: (0.05, lambda t, n: math.sin(2 * math.pi * 1800 * t) * fade(t, n) ** 3),  # the clock's tick
    2: (0.4, lambda t, n: (math.sin(2 * math.pi * 880 * t) + 0.5 * math.sin(2 * math.pi * 1320 * t)) / 1.5
        * fade(t, n) ** 2),  # a gem lands in its socket
    3: (0.35, lambda t, n: math.sin(2 * math.pi * (90 + 60 * t) * t + 3 * math.sin(2 * math.pi * 23 * t))
        * fade(t, n)),  # the lid creaks
    4: (0.4, lambda t, n: sum(math.sin(2 * math.pi * f * t) for f in (523, 659, 784)[:1 + int(t * 7.5)]) / 3
        * fade(t, n)),  # light rises from the chest
}

if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    strips = (("arrow", 4, 16, 16, arrow), ("ring", 2, 17, 17, ring),
              ("red", 4, 40, 40, gem("round", PINK, RED, DARK_RED)),
              ("green", 4, 40, 40, gem("triangle", MINT, GREEN, DARK_GREEN)),
              ("blue", 4, 40, 40, gem("diamond", SKY, BLUE, NAVY)),
              ("clock", 8, 48, 112, clock), ("firefly", 2, 10, 10, firefly), ("chest", 6, 96, 80, chest),
              ("flash", 6, 40, 40, flash))
    for name, frames, w, h, draw in strips:
        write_png(os.path.join(here, name + ".png"), *strip(frames, w, h, draw))
    sounds = os.path.join(here, "..", "snd")
    os.makedirs(sounds, exist_ok=True)
    for number, (seconds, voice) in SOUNDS.items():
        tone(os.path.join(sounds, "%d.wav" % number), seconds, voice)
    background(os.path.join(here, "room.png"))
