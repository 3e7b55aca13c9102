#!/usr/bin/env python3
"""Usage: fuzz/make_corpus.py OUT_DIR

Writes the seed corpus of the fuzz targets: OUT_DIR/decode, OUT_DIR/sequence,
OUT_DIR/structure and OUT_DIR/picture (the JPEG seeds and one small picture in
each other format --make reads: PNG, BMP, TGA, GIF, PSD, PGM, PPM). Seeds are small pictures encoded by cjpeg (libjpeg-turbo) in every
layout and coding option the decoder meets, and hand-built streams for the edge cases
of its marker loop. Deterministic; a few hundred KB in all.
"""
import math
import pathlib
import struct
import subprocess
import sys
import tempfile


def picture(width, height, components, seed):
    """A PNM image: smooth rings and gradients, with a little noise."""
    state = seed
    samples = bytearray()
    for y in range(height):
        for x in range(width):
            for c in range(components):
                state = (state * 1103515245 + 12345) & 0x7FFFFFFF
                ring = math.hypot(x - width * 0.4, y - height * 0.6) / (3.0 + 2 * c)
                v = 128 + 70 * math.sin(ring) + 40 * math.cos((x + 2 * y) / (9.0 + 5 * c))
                v += (state >> 16) % 24 - 12
                samples.append(max(0, min(255, int(v))))
    magic = b"P5" if components == 1 else b"P6"
    return magic + b"\n%d %d\n255\n" % (width, height) + bytes(samples)


def cjpeg(image, options):
    with tempfile.NamedTemporaryFile(suffix=".pnm") as source:
        source.write(image)
        source.flush()
        return subprocess.run(["cjpeg", *options, source.name], check=True,
                              stdout=subprocess.PIPE).stdout


def encoded_seeds():
    seeds = {}
    sizes = [(8, 8), (17, 9), (33, 20), (48, 32)]
    layouts = {"grey": ["-grayscale"], "444": ["-sample", "1x1"], "422": ["-sample", "2x1"],
               "420": ["-sample", "2x2"], "440": ["-sample", "1x2"]}
    codings = {"q75": ["-quality", "75"], "q20-opt": ["-quality", "20", "-baseline", "-optimize"],
               "q95-rst": ["-quality", "95", "-restart", "1"]}
    for (width, height) in sizes:
        for layout, layout_options in layouts.items():
            components = 1 if layout == "grey" else 3
            image = picture(width, height, components, width * 31 + height)
            for coding, coding_options in codings.items():
                name = "%dx%d-%s-%s.jpg" % (width, height, layout, coding)
                seeds[name] = cjpeg(image, layout_options + coding_options)
    # Frames the decoder does not take: their headers must still be passed over.
    image = picture(16, 16, 3, 7)
    seeds["16x16-progressive.jpg"] = cjpeg(image, ["-progressive"])
    seeds["16x16-arithmetic.jpg"] = cjpeg(image, ["-arithmetic"])
    return seeds


def segment(code, body):
    return bytes([0xFF, code]) + struct.pack(">H", len(body) + 2) + body


def hand_built_seeds():
    """Streams for the marker loop's corners, with small tables of their own."""
    dqt = segment(0xDB, bytes([0]) + bytes([1] * 64) + bytes([1]) + bytes([2] * 64))
    dc = bytes([0, 0, 12] + [0] * 13) + bytes(range(12))
    ac_symbols = [0x00, 0xF0] + [run << 4 | size for run in range(16) for size in range(1, 11)]
    ac = bytes([0] * 7 + [len(ac_symbols)] + [0] * 8) + bytes(ac_symbols)
    dht = segment(0xC4, b"\x00" + dc + b"\x10" + ac + b"\x01" + dc + b"\x11" + ac)
    scan_data = bytes([0x35, 0x5A, 0x00, 0x12, 0xFF, 0x00, 0x47, 0x7F]) * 6

    def frame(width, height, sampling):
        if sampling == 0:
            return segment(0xC0, bytes([8]) + struct.pack(">HH", height, width) + bytes([1, 1, 0x11, 0]))
        components = bytes([1, sampling, 0, 2, 0x11, 1, 3, 0x11, 1])
        return segment(0xC0, bytes([8]) + struct.pack(">HH", height, width) + bytes([3]) + components)

    grey_sos = segment(0xDA, bytes([1, 1, 0x00, 0, 63, 0]))
    colour_sos = segment(0xDA, bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0]))
    soi, eoi = b"\xFF\xD8", b"\xFF\xD9"
    app0 = segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    dri = segment(0xDD, struct.pack(">H", 1))
    restart_data = scan_data[:8] + b"\xFF\xD0" + scan_data[8:16] + b"\xFF\xD1" + scan_data[16:24]
    return {
        "soi-eoi.jpg": soi + eoi,
        "grey-24x16.jpg": soi + app0 + dqt + dht + frame(24, 16, 0) + grey_sos + scan_data + eoi,
        "colour-420-32x16.jpg": soi + dqt + dht + frame(32, 16, 0x22) + colour_sos + scan_data + eoi,
        "colour-422-restart.jpg": soi + dqt + dht + dri + frame(16, 24, 0x21) + colour_sos + restart_data + eoi,
        "colour-12-sampling.jpg": soi + dqt + dht + frame(16, 8, 0x12) + colour_sos + scan_data + eoi,
        "colour-3x1-sampling.jpg": soi + dqt + dht + frame(24, 8, 0x31) + colour_sos + scan_data + eoi,
        "fill-bytes.jpg": soi + b"\xFF\xFF" + dqt + b"\xFF" + dht + frame(8, 8, 0) + grey_sos + scan_data + eoi,
        "sixteen-bit-dqt.jpg": soi + segment(0xDB, bytes([0x10]) + bytes(128)) + dht + frame(8, 8, 0) + grey_sos + eoi,
        "four-component-scan.jpg": soi + dqt + dht + frame(16, 16, 0x22)
            + segment(0xDA, bytes([4, 1, 0, 2, 0x11, 3, 0x11, 4, 0x11, 0, 63, 0])) + scan_data + eoi,
        "twelve-bit-frame.jpg": soi + segment(0xC1, bytes([12, 0, 8, 0, 8, 1, 1, 0x11, 0])) + eoi,
        "thumbnail-in-app1.jpg": soi + segment(0xE1, b"Exif\x00\x00" + soi + dqt + dht + frame(8, 8, 0)
            + grey_sos + scan_data[:16] + eoi) + dqt + dht + frame(16, 16, 0) + grey_sos + scan_data + eoi,
    }


def png(width, height, rgb):
    """An 8-bit RGB PNG, filter 0 on every row."""
    import zlib

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + rgb[y * width * 3:(y + 1) * width * 3] for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def psd(width, height, rgb):
    """An uncompressed 8-bit RGB PSD: planar channels."""
    planes = b"".join(rgb[c::3] for c in range(3))
    return (b"8BPS" + struct.pack(">H6xHIIHH", 1, 3, height, width, 8, 3) + struct.pack(">IIIH", 0, 0, 0, 0) +
            planes)


def djpeg(jpeg, options):
    with tempfile.NamedTemporaryFile(suffix=".jpg") as source:
        source.write(jpeg)
        source.flush()
        return subprocess.run(["djpeg", *options, source.name], check=True, stdout=subprocess.PIPE).stdout


def picture_seeds(seeds):
    """--make's inputs: the JPEG seeds and the other formats it reads."""
    out = dict(seeds)
    colour = picture(24, 16, 3, 7)
    rgb = colour[colour.index(b"255\n") + 4:]
    out["24x16.ppm"] = colour
    out["24x16.pgm"] = picture(24, 16, 1, 8)
    out["24x16.png"] = png(24, 16, rgb)
    out["24x16.psd"] = psd(24, 16, rgb)
    jpeg = seeds["17x9-444-q75.jpg"]
    for name, options in [("17x9.bmp", ["-bmp"]), ("17x9.tga", ["-targa"]), ("17x9.gif", ["-gif"])]:
        out[name] = djpeg(jpeg, options)
    return out


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: fuzz/make_corpus.py OUT_DIR")
    out = pathlib.Path(sys.argv[1])
    seeds = {**encoded_seeds(), **hand_built_seeds()}
    for target in ("decode", "structure"):
        (out / target).mkdir(parents=True, exist_ok=True)
        for name, data in seeds.items():
            (out / target / name).write_bytes(data)
    (out / "picture").mkdir(parents=True, exist_ok=True)
    for name, data in picture_seeds(seeds).items():
        (out / "picture" / name).write_bytes(data)
    # Sequences: a picture, then others that lean on the state it leaves.
    (out / "sequence").mkdir(parents=True, exist_ok=True)
    names = sorted(seeds)
    for i, name in enumerate(names):
        following = [names[(i * 7 + 3) % len(names)], names[(i * 13 + 5) % len(names)]]
        data = seeds[name] + b"".join(seeds[n] for n in following)
        (out / "sequence" / ("%03d.jpgs" % i)).write_bytes(data)


if __name__ == "__main__":
    main()
