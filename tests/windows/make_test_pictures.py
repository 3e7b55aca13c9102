#!/usr/bin/python3
"""usage: make_test_pictures.py OUTPUT_DIR

Writes the pictures of the Windows tests:
  pattern.jpg   192x96, 4:4:4: the top half four 48-pixel bands (red, green,
                blue, white), the bottom half mid grey (128)
  large.jpg     1280x960, 4:2:0: larger than the tests' 1024x768 screen
  not-jpeg.jpg  a PNG file under a JPEG name
  progressive.jpg, grey.jpg  the pattern, progressive 4:2:2 and greyscale
The window test holds what the splash shows to splash-check's drawing of it.
"""
import os
import sys

from PIL import Image, ImageDraw

BANDS = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)]


def pattern():
    image = Image.new("RGB", (192, 96), (128, 128, 128))
    draw = ImageDraw.Draw(image)
    for i, colour in enumerate(BANDS):
        draw.rectangle([i * 48, 0, i * 48 + 47, 47], fill=colour)
    return image


def large():
    image = Image.new("RGB", (1280, 960))
    draw = ImageDraw.Draw(image)
    for y in range(960):
        draw.line([(0, y), (1279, y)], fill=(y * 255 // 959, 64, 255 - y * 255 // 959))
    return image


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.splitlines()[0])
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    pattern().save(os.path.join(out, "pattern.jpg"), "JPEG", quality=95, subsampling="4:4:4")
    large().save(os.path.join(out, "large.jpg"), "JPEG", quality=85, subsampling="4:2:0")
    pattern().save(os.path.join(out, "not-jpeg.jpg"), "PNG")
    pattern().save(os.path.join(out, "progressive.jpg"), "JPEG", quality=90, subsampling="4:2:2", progressive=True)
    pattern().convert("L").save(os.path.join(out, "grey.jpg"), "JPEG", quality=80)


if __name__ == "__main__":
    main()
