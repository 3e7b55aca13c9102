#!/usr/bin/python3
"""usage: make_test.py [--windows-paths] WORK_DIR -- TOOL...

Runs `splash-check --make` (TOOL..., e.g. the native program, or wine-run.sh
BUILD_DIR splash-check.exe with --windows-paths for Z:\\ paths) on pictures
that Pillow draws in WORK_DIR, one per kind of input, and checks each written
file with Pillow: baseline, 4:2:0 (4:4:4 above quality 90), no EXIF, no
restart interval, the expected size, and close to the picture Pillow itself
prepares (turned upright, flattened, scaled, two columns and rows of
background added on the right and bottom). Also: a JPEG that already shows is copied byte for byte, and names
that would lose a file are refused with the file left as it was. Prints
"N passed, N failed".
"""
import math
import os
import re
import subprocess
import sys

from PIL import Image, ImageChops, ImageDraw, ImageOps, ImageStat

QUADRANTS = [(220, 40, 30), (40, 190, 60), (50, 70, 210), (235, 225, 200)]
# The written files, decoded by Pillow, measured 30.4 dB (scaled to 80x60) and
# more against Pillow's own preparation; the wrong frame, turn or background
# 8.6 dB at most.
MIN_PSNR = 28.0
# Inputs that are the prepared picture bit for bit.
LOSSLESS = {"in.png", "in.bmp", "in.tga", "in.ppm", "in.psd"}


def quadrants(width, height, mode="RGB"):
    """Four flat coloured quadrants."""
    image = Image.new(mode, (width, height))
    draw = ImageDraw.Draw(image)
    for i, colour in enumerate(QUADRANTS):
        x, y = (i % 2) * width // 2, (i // 2) * height // 2
        draw.rectangle([x, y, x + width // 2 - 1, y + height // 2 - 1], fill=colour + ((255,) if mode == "RGBA" else ()))
    return image


def with_alpha():
    image = quadrants(128, 96, "RGBA")
    ImageDraw.Draw(image).rectangle([0, 0, 63, 95], fill=(255, 255, 255, 0))
    return image


def with_margin(image, colour=(0, 0, 0)):
    """The artwork at (0, 0) of a picture two pixels wider and taller; grey stays grey."""
    grey = image.mode == "L" and colour[0] == colour[1] == colour[2]
    out = Image.new("L" if grey else "RGB", (image.size[0] + 2, image.size[1] + 2), colour[0] if grey else colour)
    out.paste(image.convert(out.mode), (0, 0))
    return out


def cases(work):
    """(name, input file, extra arguments, expected artwork or None, expected exit status, output name)."""
    def path(name):
        return os.path.join(work, name)

    out = []
    base = quadrants(128, 96)
    for name, fmt, options in [("in.png", "PNG", {}), ("in.bmp", "BMP", {}), ("in.tga", "TGA", {}),
                               ("in.ppm", "PPM", {}), ("progressive.jpg", "JPEG",
                                                       {"quality": 95, "progressive": True})]:
        base.save(path(name), fmt, **options)
        out.append((name, path(name), [], Image.open(path(name)).convert("RGB"), 0))
    subprocess.run(["convert", path("in.png"), path("in.psd")], check=True)  # ImageMagick: RLE, one layer
    out.append(("in.psd", path("in.psd"), [], base, 0))
    black = Image.new("RGB", base.size)
    base.save(path("in.gif"), "GIF", save_all=True, append_images=[black])
    out.append(("in.gif, first frame", path("in.gif"), [], base.quantize(256).convert("RGB"), 0))
    alpha = with_alpha()
    alpha.save(path("alpha.png"))
    flat = Image.alpha_composite(Image.new("RGBA", alpha.size, (0x33, 0x66, 0xCC, 255)), alpha).convert("RGB")
    out.append(("alpha.png onto 3366CC", path("alpha.png"), ["--background", "3366CC"], flat, 0))
    # Every orientation: four quadrants on a wider than high picture tell all eight
    # apart; a grid of 1-pixel lines tells a turn one pixel off.
    gridded = quadrants(128, 96)
    for i in range(3, 128, 8):
        ImageDraw.Draw(gridded).line([(i, 0), (i, 95)], fill=(150, 150, 150))
    for i in range(5, 96, 8):
        ImageDraw.Draw(gridded).line([(0, i), (127, i)], fill=(110, 110, 110))
    for orientation in range(1, 9):
        exif = Image.Exif()
        exif[0x0112] = orientation
        name = f"rotated{orientation}.jpg"
        gridded.save(path(name), "JPEG", quality=95, exif=exif.tobytes())
        # EXIF 1 shows as encoded and would be copied: --reencode shows it is not turned.
        out.append((f"{name}, EXIF {orientation}", path(name), ["--reencode"] if orientation == 1 else [],
                    ImageOps.exif_transpose(Image.open(path(name))), 0))
    wide = quadrants(2400, 600)
    wide.save(path("wide.png"))
    out.append(("wide.png, default box", path("wide.png"), [], wide.resize((1920, 480), Image.LANCZOS), 0))
    out.append(("in.png, --quality 100: 4:4:4", path("in.png"), ["--quality", "100"], base, 0))
    out.append(("in.png, --screen 80x80", path("in.png"), ["--screen", "80x80"], base.resize((80, 60), Image.LANCZOS), 0))
    # Two columns too wide: only the width changes.
    quadrants(162, 40).save(path("too-wide.png"))
    out.append(("too-wide.png, --screen 160x160", path("too-wide.png"), ["--screen", "160x160"],
                quadrants(162, 40).resize((160, 40), Image.LANCZOS), 0))
    grey = base.convert("L")
    grey.save(path("grey.png"))
    out.append(("grey.png, one component", path("grey.png"), [], grey, 0))
    grey_alpha = grey.convert("LA")
    ImageDraw.Draw(grey_alpha).rectangle([0, 0, 31, 95], fill=(0, 0))
    grey_alpha.save(path("grey-alpha.png"))
    onto = Image.alpha_composite(Image.new("RGBA", grey.size, (0x33, 0x66, 0xCC, 255)), grey_alpha.convert("RGBA"))
    out.append(("grey-alpha.png onto #3366CC, colour", path("grey-alpha.png"), ["--background", "#3366CC"],
                onto.convert("RGB"), 0))
    base.save(path("shows.jpg"), "JPEG", quality=90)
    out.append(("shows.jpg, copied", path("shows.jpg"), [], "copy", 0))
    out.append(("shows.jpg, --reencode", path("shows.jpg"), ["--reencode"], Image.open(path("shows.jpg")), 0))
    with open(path("text.png"), "w") as f:
        f.write("not a picture\n")
    out.append(("unreadable input", path("text.png"), [], None, 2))
    out.append(("unwritable output", path("in.png"), [], None, 2, "no-such-folder/out.jpg"))
    out.append(("output named .png (arguments swapped)", path("shows.jpg"), [], None, 2, "in.png"))
    out.append(("output is the input", path("shows.jpg"), [], None, 2, "shows.jpg"))
    out.append(("output is not a JPEG", path("in.png"), [], None, 2, "text.jpg"))
    out.append(("in.png, replacing an older JPEG", path("in.png"), [], base, 0, "shows.jpg"))
    return out


def psnr(a, b):
    diff = ImageStat.Stat(ImageChops.difference(a, b))
    mse = sum(diff.sum2) / (3 * a.size[0] * a.size[1])
    return 99.0 if mse == 0 else 10 * math.log10(255 ** 2 / mse)


def check_output(jpeg, expected, extra):
    """Problems with a written file made with `extra` arguments, as a list."""
    with open(jpeg, "rb") as f:
        data = f.read()
    image = Image.open(jpeg)
    problems = []
    if image.format != "JPEG" or image.info.get("progressive") or image.info.get("progression"):
        problems.append("not a baseline JPEG")
    from PIL import JpegImagePlugin
    if expected.mode == "L":
        if image.mode != "L":
            problems.append(f"grey artwork written as {image.mode}")
    elif JpegImagePlugin.get_sampling(image) != (0 if "100" in extra else 2):  # 4:4:4 above quality 90
        problems.append("not 4:2:0, or not 4:4:4 above quality 90")
    if "exif" in image.info or b"\xff\xe1" in data[:data.find(b"\xff\xda")]:
        problems.append("has EXIF")
    if b"\xff\xdd" in data[:data.find(b"\xff\xda")]:
        problems.append("has a restart interval")
    if image.size != expected.size:
        return problems + [f"size {image.size}, expected {expected.size}"]
    quality = psnr(image.convert("RGB"), expected.convert("RGB"))
    if quality < MIN_PSNR:
        problems.append(f"{quality:.1f} dB from the expected picture")
    return problems + margin_problems(image.convert("RGB"), expected.convert("RGB"))


def margin_problems(image, expected):
    """The bottom margin below artwork of the margin's own colour, held to that colour
    (well inside such runs, where the encoder's blocks see nothing else)."""
    width, height = expected.size
    colour = expected.getpixel((width - 1, height - 1))
    run = [x for x in range(width - 2) if all(expected.getpixel((x + d, height - 3)) == colour for d in range(-8, 9)
                                             if 0 <= x + d < width - 2)]
    if len(run) < 8:
        return []
    worst = max(abs(image.getpixel((x, y))[c] - colour[c]) for x in run for y in (height - 2, height - 1) for c in range(3))
    return [f"the margin is {worst} levels from {colour}"] if worst > 6 else []


def main():
    args = sys.argv[1:]
    windows = args[:1] == ["--windows-paths"]
    args = args[1:] if windows else args
    if len(args) < 3 or args[1] != "--":
        sys.exit(__doc__.splitlines()[0])
    work, tool = os.path.abspath(args[0]), args[2:]
    os.makedirs(work, exist_ok=True)

    def native_or_windows(path):
        return "Z:" + path.replace("/", "\\") if windows else path

    failures = 0
    all_cases = cases(work)
    with open(os.path.join(work, "text.jpg"), "w") as f:
        f.write("someone's notes\n")
    for name, source, extra, expected, status, *named in all_cases:
        output = os.path.join(work, named[0] if named else "out.jpg")
        if not named and os.path.exists(output):
            os.remove(output)
        before = open(output, "rb").read() if os.path.exists(output) else None
        done = subprocess.run(tool + ["--make", native_or_windows(output), native_or_windows(source)] + extra,
                              capture_output=True, text=True, timeout=300)
        stdout, stderr = done.stdout.replace("\r\n", "\n"), done.stderr.replace("\r\n", "\n")
        problems = []
        if done.returncode != status:
            problems.append(f"exit status {done.returncode}, expected {status}")
        if status == 2:
            if stdout or not stderr.startswith("splash-check: ") or stderr.count("\n") != 1:
                problems.append(f"not one error line: {stderr!r}")
            if before is not None and open(output, "rb").read() != before:
                problems.append("the existing file was changed")
        elif expected == "copy":
            if "copied unchanged" not in stdout or open(output, "rb").read() != open(source, "rb").read():
                problems.append("not copied byte for byte")
        else:
            lines = stdout.splitlines()
            if not lines or not lines[-1].startswith("OK: "):
                problems.append("no OK verdict")
            measured = re.search(r"^PSNR: ([0-9.]+ dB|infinite)", stdout, re.M)
            # The gridded EXIF pictures measured 30.9 dB natively and 27.5 dB on Windows,
            # whose JPEG input the Windows Imaging Component decodes; a broken encode, under 20.
            if not measured or float(measured.group(1).replace(" dB", "").replace("infinite", "inf")) < 27:
                problems.append("no PSNR of 27 dB or more")
            background = (0x33, 0x66, 0xCC) if "3366CC" in " ".join(extra) else (0, 0, 0)
            # stb_image reads every GIF and PSD with an alpha channel.
            for line, done in [("scaled: ", expected.size != Image.open(source).size and "EXIF" not in name),
                               ("orientation: EXIF", "EXIF" in name and not name.endswith("EXIF 1")),
                               ("alpha: flattened", "alpha" in name or name[:6] in ("in.gif", "in.psd"))]:
                if (line in stdout) != done:
                    problems.append(f"says '{line}' when it did not, or the reverse")
            if not os.path.exists(output):
                problems.append("no file written")
            else:
                prepared = with_margin(expected, background)
                problems += check_output(output, prepared, extra)
                # Lossless inputs are the prepared picture itself: the PSNR printed is
                # the one of the splash's pixels (the written file's preview) against them.
                if name in LOSSLESS and measured:
                    preview = os.path.join(work, "out.ppm")
                    subprocess.run(tool + [native_or_windows(output), "-q", "-o", native_or_windows(preview)],
                                   capture_output=True, timeout=300)
                    own = psnr(Image.open(preview).convert("RGB"), prepared.convert("RGB"))
                    printed = float(measured.group(1).replace(" dB", "").replace("infinite", "99"))
                    if abs(printed - own) > 0.06:
                        problems.append(f"PSNR {measured.group(1)}, of the preview {own:.2f} dB")
        for problem in problems:
            print(f"{name}: {problem}\n  {stdout.strip()}  {stderr.strip()}".rstrip())
        failures += bool(problems)
    print(f"{len(all_cases) - failures} passed, {failures} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
