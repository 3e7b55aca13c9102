#!/usr/bin/python3
"""usage: scripts/make-prelude.py [OUTPUT.jpg]

Draws the bundled splash picture (default assets/prelude.jpg): a dusk sky
over layered hills with a low sun, a lake that mirrors it and the word
PRELUDE in block letters. Baseline JPEG, 4:2:0, 480x270. Deterministic.
"""
import math
import random
import sys

from PIL import Image, ImageDraw, ImageFilter

WIDTH, HEIGHT = 480, 270
HORIZON = 190  # lake surface

# 5x7 block letters for the title.
GLYPHS = {
    "P": ["1111.", "1...1", "1...1", "1111.", "1....", "1....", "1...."],
    "R": ["1111.", "1...1", "1...1", "1111.", "1.1..", "1..1.", "1...1"],
    "E": ["11111", "1....", "1....", "1111.", "1....", "1....", "11111"],
    "L": ["1....", "1....", "1....", "1....", "1....", "1....", "11111"],
    "U": ["1...1", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."],
    "D": ["1111.", "1...1", "1...1", "1...1", "1...1", "1...1", "1111."],
}


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def sky(image):
    draw = ImageDraw.Draw(image)
    stops = [(0.0, (18, 20, 64)), (0.45, (96, 52, 120)), (0.8, (238, 120, 84)), (1.0, (255, 196, 120))]
    for y in range(HORIZON):
        t = y / (HORIZON - 1)
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t0 <= t <= t1:
                draw.line([(0, y), (WIDTH, y)], fill=lerp(c0, c1, (t - t0) / (t1 - t0)))
                break
    rng = random.Random(209)
    for _ in range(90):
        x, y = rng.randrange(WIDTH), rng.randrange(HORIZON // 2)
        level = rng.randrange(150, 256)
        draw.point((x, y), fill=(level, level, level))


def sun(image):
    glow = Image.new("RGB", image.size, (0, 0, 0))
    ImageDraw.Draw(glow).ellipse([300, 84, 400, 184], fill=(255, 170, 90))
    glow = glow.filter(ImageFilter.GaussianBlur(18))
    image.paste(Image.composite(glow, image, glow.convert("L").point(lambda v: min(255, v * 2))))
    ImageDraw.Draw(image).ellipse([322, 106, 378, 162], fill=(255, 236, 176))


def hills(image):
    draw = ImageDraw.Draw(image)
    layers = [(150, 22, 0.021, (70, 40, 96)), (165, 16, 0.033, (48, 30, 72)), (178, 10, 0.05, (28, 20, 48))]
    for base, amplitude, frequency, colour in layers:
        outline = [(x, base - amplitude * (math.sin(x * frequency) + 0.5 * math.sin(x * frequency * 2.7 + 1.3)))
                   for x in range(0, WIDTH + 1, 4)]
        draw.polygon(outline + [(WIDTH, HORIZON), (0, HORIZON)], fill=colour)


def lake(image):
    mirrored = image.crop((0, 2 * HORIZON - HEIGHT, WIDTH, HORIZON)).transpose(Image.FLIP_TOP_BOTTOM)
    water = Image.blend(mirrored, Image.new("RGB", mirrored.size, (16, 24, 56)), 0.45)
    draw = ImageDraw.Draw(water)
    for y in range(0, water.height, 3):
        draw.line([(0, y), (WIDTH, y)], fill=lerp((16, 24, 56), (60, 50, 90), y / water.height), width=1)
    image.paste(water, (0, HORIZON))


def title(image, text, scale=6):
    draw = ImageDraw.Draw(image)
    width = len(text) * 6 * scale - scale
    left, top = (WIDTH - width) // 2, 40
    for shadow, colour in ((2, (20, 12, 36)), (0, (250, 240, 220))):
        for i, letter in enumerate(text):
            for row, bits in enumerate(GLYPHS[letter]):
                for column, bit in enumerate(bits):
                    if bit == "1":
                        x = left + (i * 6 + column) * scale + shadow
                        y = top + row * scale + shadow
                        draw.rectangle([x, y, x + scale - 1, y + scale - 1], fill=colour)


def main():
    if len(sys.argv) > 2:
        sys.exit(__doc__.splitlines()[0])
    output = sys.argv[1] if len(sys.argv) == 2 else "assets/prelude.jpg"
    image = Image.new("RGB", (WIDTH, HEIGHT))
    sky(image)
    sun(image)
    hills(image)
    lake(image)
    title(image, "PRELUDE")
    image.save(output, "JPEG", quality=90, subsampling="4:2:0", progressive=False, optimize=False)


if __name__ == "__main__":
    main()
