#!/usr/bin/python3
"""usage: real_window_test.py PICTURES_DIR WORK_DIR CHECK.exe PROBE.exe -- RUNNER...

The real splash against splash-check's model of it: for each picture of a
table, splash-check.exe --screen --json -o says where the window stands and
draws the screen; window_probe.exe (under RUNNER, e.g. cmake/wine-run.sh
BUILD_DIR) runs splash.dll on the same picture as prelude.jpg and reports the
window system's rectangle, client area and styles, and when the window
showed, was clicked and went. Held up, the window is taken from the X screen
by ImageMagick's import: the rectangles must be equal and the client area's
pixels on the screen must equal the drawn screen's (the frame, whose colour
is the theme's, left out). Left alone it must stay about 3000 ms; clicked, close at once.
Prints "N passed, N failed".
"""
import json
import os
import shutil
import subprocess
import sys

from PIL import Image, ImageChops

SCREEN = (1024, 768)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def checker_window(runner, check, folder):
    """splash-check's window for folder/prelude.jpg; it draws folder/screen.ppm."""
    done = subprocess.run(runner + [check, windows_path(os.path.join(folder, "prelude.jpg")), "--json",
                                    "--screen", "%dx%d" % SCREEN, "-o", windows_path(os.path.join(folder, "screen.ppm"))],
                          capture_output=True, text=True, timeout=300)
    if done.returncode not in (0, 1):
        raise RuntimeError(f"splash-check exit {done.returncode}: {done.stderr.strip()}")
    return json.loads(done.stdout)["window"]


def real_window(runner, probe, folder, mode):
    """(window report or None, timing report, screenshot or None) of the splash under the probe."""
    display_file = os.path.join(folder, "display")
    env = dict(os.environ, WINE_RUN_DISPLAY_FILE=display_file, WINE_RUN_SCREEN="%dx%dx24" % SCREEN)
    process = subprocess.Popen(runner + [probe] + mode.split(), cwd=folder, env=env, stdout=subprocess.PIPE,
                               text=True)
    try:
        first = process.stdout.readline().split()
        window, shot = None, None
        if first[:1] == ["window"] and mode == "hold":
            with open(display_file) as f:
                display = f.read().strip()
            png = os.path.join(folder, "screen.png")
            subprocess.run(["import", "-display", display, "-window", "root", png], check=True, timeout=60)
            shot = Image.open(png).convert("RGB")
    finally:
        open(os.path.join(folder, "go"), "w").close()
        rest = process.communicate(timeout=120)[0]
    last = (rest.strip().splitlines() or [" ".join(first)])[-1].split()
    if process.returncode != 0 or last[:1] != ["returned"]:
        raise RuntimeError(f"probe exit {process.returncode}: {' '.join(first)} {rest.strip()}")
    if first[:1] == ["window"]:
        window = [int(v) for v in first[1:]]
    return window, dict(zip(("result", "returned", "shown", "clicked", "gone"), map(int, last[1:]))), shot


def check_style(window):
    """A captionless popup without owner whose thin border takes one pixel on each side."""
    left, top, right, bottom, client_width, client_height, style, extended, owned = window
    problems = []
    if (client_width, client_height) != (max(right - left - 2, 0), max(bottom - top - 2, 0)):
        problems.append(f"client area {client_width}x{client_height} in a window of {right - left}x{bottom - top}")
    if style & 0x80000000 == 0 or style & 0x00C00000 != 0x00800000 or style & 0x400C0000:
        problems.append(f"style {style:#x}: not a popup with a thin border alone")
    if extended & 0x88 or owned:
        problems.append(f"extended style {extended:#x}, owner {owned}: a tool, topmost or owned window")
    return problems


def check_times(mode, t):
    """The call's result, how long the window stayed up and how soon the call returned."""
    problems = [] if t["result"] == 1 else [f"mainDLLInit returned {t['result']}"]
    if mode == "watch" and t["shown"] >= 0 and not 2700 <= t["gone"] - t["shown"] <= 4500:
        problems.append(f"shown for {t['gone'] - t['shown']} ms, not about 3000")
    if mode.startswith("click") and (t["clicked"] < 0 or t["gone"] - t["clicked"] > 700):
        problems.append(f"clicked at {t['clicked']} ms, gone at {t['gone']} ms: the click did not close it")
    if mode != "hold" and t["shown"] >= 0 and t["returned"] - t["gone"] > 500:
        problems.append(f"returned {t['returned'] - t['gone']} ms after the window went")
    return problems


def compare(model, window, shot, drawn):
    """Differences between splash-check's window and the real one, as a list."""
    if not model["shown"]:
        return [] if window is None else [f"a window opened at {window[:4]}; splash-check says none"]
    if window is None:
        return ["no window opened; splash-check says one does"]
    expected = [model["left"], model["top"], model["left"] + model["width"], model["top"] + model["height"]]
    if window[:4] != expected:
        return [f"window {window[:4]}, splash-check says {expected}"]
    v = model["visible"]
    if shot is None or v["right"] == v["left"] or v["bottom"] == v["top"]:
        return check_style(window)
    x, y = model["left"] + 1, model["top"] + 1
    box = (x + v["left"], y + v["top"], x + v["right"], y + v["bottom"])
    diff = ImageChops.difference(shot.crop(box), drawn.convert("RGB").crop(box))
    differing = sum(1 for p in diff.getdata() if p != (0, 0, 0))
    return check_style(window) + ([f"{differing} of the client area's pixels differ from --screen's"] if differing else [])


def main():
    args = sys.argv[1:]
    if len(args) < 6 or args[4] != "--":
        sys.exit(__doc__.splitlines()[0])
    pictures, work, check, probe, runner = args[0], os.path.abspath(args[1]), args[2], args[3], args[5:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    made = os.path.join(work, "made.jpg")  # large.jpg fitted to the screen
    subprocess.run(runner + [check, "--make", windows_path(made), windows_path(os.path.join(pictures, "large.jpg")),
                             "--screen", "%dx%d" % SCREEN, "--quiet"], check=True, capture_output=True, timeout=300)
    pattern = os.path.join(pictures, "pattern.jpg")
    table = [("fits", pattern, "hold"), ("left alone", pattern, "watch"), ("clicked", pattern, "click 500"),
             ("larger than the screen", os.path.join(pictures, "large.jpg"), "hold"),
             ("0x0 (progressive)", os.path.join(pictures, "progressive.jpg"), "watch"),
             ("not a JPEG", os.path.join(pictures, "not-jpeg.jpg"), "watch"), ("made by --make", made, "hold")]
    failures = 0
    for i, (name, picture, mode) in enumerate(table):
        folder = os.path.join(work, str(i))
        os.makedirs(folder)
        shutil.copy(picture, os.path.join(folder, "prelude.jpg"))
        try:
            model = checker_window(runner, check, folder)
            window, times, shot = real_window(runner, probe, folder, mode)
            problems = compare(model, window, shot, Image.open(os.path.join(folder, "screen.ppm")))
            problems += check_times(mode, times)
        except (RuntimeError, ValueError, OSError, subprocess.SubprocessError) as error:
            problems = [str(error)]
        for problem in problems:
            print(f"{name}: {problem}")
        failures += bool(problems)
    print(f"{len(table) - failures} passed, {failures} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
