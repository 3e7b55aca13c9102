#!/usr/bin/python3
"""usage: check_against_native.py NATIVE_TOOL PICTURES_DIR WORK_DIR -- RUNNER... TOOL.exe

Runs splash-check.exe (under RUNNER, e.g. cmake/wine-run.sh BUILD_DIR) and the
native build's splash-check on the same pictures, and fails on any difference:
exit status, the JSON report (but for the file name as typed), the text
report (line ends aside) and the bytes of the PPM and PNG previews. The .exe
gets its paths as Windows spells them: drive letter Z: and backslashes, or
relative with backslashes.
"""
import hashlib
import json
import os
import subprocess
import sys

# (picture, how the .exe is given its path)
CASES = [
    ("bundled-prelude.jpg", "drive"),
    ("pattern.jpg", "relative"),
    ("large.jpg", "drive"),
    ("grey.jpg", "drive"),
    ("progressive.jpg", "drive"),
    ("not-jpeg.jpg", "relative"),
    ("no-such-picture.jpg", "drive"),
]


def windows_path(path, style):
    if style == "relative":
        return os.path.relpath(path).replace("/", "\\")
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(command):
    done = subprocess.run(command, capture_output=True, text=True, timeout=300)
    return done.returncode, done.stdout.replace("\r\n", "\n"), done.stderr.replace("\r\n", "\n")


def digest(path):
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def outputs(command, picture, stem, path):
    """Runs with --json -o STEM.ppm and with -o STEM.png, paths as `path` spells them; the previews' digests."""
    ppm, png = stem + ".ppm", stem + ".png"
    for stale in (ppm, png):
        if os.path.exists(stale):
            os.remove(stale)
    json_run = run(command + [path(picture), "--json", "-o", path(ppm)])
    text_run = run(command + [path(picture), "-o", path(png)])
    return json_run, text_run, digest(ppm), digest(png)


def compare(native, exe, pictures, work, name, style):
    """Differences for one picture, as a list of lines."""
    picture = os.path.join(pictures, name)
    problems = []
    njson, ntext, nppm, npng = outputs([native], picture, os.path.join(work, f"native-{name}"), lambda p: p)
    wjson, wtext, wppm, wpng = outputs(exe, picture, os.path.join(work, f"exe-{name}"),
                                       lambda p: windows_path(p, style))
    if njson[0] != wjson[0] or ntext[0] != wtext[0]:
        problems.append(f"exit status: native {njson[0]}/{ntext[0]}, exe {wjson[0]}/{wtext[0]}")
    if njson[0] == 2:
        if not wjson[2].startswith("splash-check: ") or wjson[2].count("\n") != 1:
            problems.append(f"exe error is not one line: {wjson[2]!r}")
        return problems
    native_report, exe_report = json.loads(njson[1]), json.loads(wjson[1])
    if exe_report.pop("file") != windows_path(picture, style):
        problems.append("the JSON file name is not the path as given")
    native_report.pop("file")
    if native_report != exe_report:
        problems.append("JSON reports differ")
    if ntext[1].split("\n")[1:] != wtext[1].split("\n")[1:]:
        problems.append("text reports differ")
    if (nppm, npng) != (wppm, wpng):
        problems.append(f"previews differ: native ppm {nppm} png {npng}, exe ppm {wppm} png {wpng}")
    if njson[0] == 0 and nppm is None:
        problems.append("no preview written for a picture that shows")
    return problems


def main():
    if len(sys.argv) < 6 or sys.argv[4] != "--":
        sys.exit(__doc__.splitlines()[0])
    native, pictures, work = sys.argv[1:4]
    exe = sys.argv[5:]
    if not os.access(native, os.X_OK):
        sys.exit(f"check_against_native: no native splash-check at {native}; "
                 "(the native_splash_check step of this build writes it)")
    os.makedirs(work, exist_ok=True)
    os.chdir(os.path.dirname(os.path.abspath(pictures)))
    failures = 0
    for name, style in CASES:
        problems = compare(native, exe, pictures, work, name, style)
        for problem in problems:
            print(f"{name}: {problem}")
        failures += bool(problems)
    print(f"{len(CASES) - failures} passed, {failures} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
