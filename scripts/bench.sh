#!/usr/bin/env bash
# usage: scripts/bench.sh [REPETITIONS [PICTURE_REGEX]]
# Decoding speed: builds bench/jpeg-bench (preset bench, build/bench) and runs
# it twice, with libjpeg-turbo's SIMD code and with its scalar code
# (JSIMD_FORCENONE=1); each run interleaves REPETITIONS (default 5) repetitions
# of every benchmark at random. Prints a markdown table of median MP/s and of
# this decoder's ratios, each ratio taken within one run. Then, in a third
# run, the photographs of scripts/fetch-photos.sh (fetched into build/photos
# when missing) with this decoder's paths and libjpeg-turbo's defaults: a
# table, the geometric mean of the time ratios and the worst picture.
# PICTURE_REGEX picks pictures (e.g. 1920x1080_420, photo-LadyBird) and skips
# the start-up part.
# Start-up latency: builds splash.dll and bench/startup-latency.exe (preset
# bench-win32) and times, under Wine, the bundled picture and a
# 1920x1080 one from mainDLLInit to the splash drawn, phase by phase.
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-5}
pictures=${2:-.}
startup=$([[ $# -ge 2 ]] && echo no || echo yes)
build=build/bench
fail() { echo "bench: $*" >&2; exit 1; }
[[ $repetitions =~ ^[1-9][0-9]*$ ]] || fail "REPETITIONS must be a positive number"

mkdir -p "$build"
cmake --workflow --preset bench >"$build/build.log" 2>&1 || fail "build failed, see $build/build.log"

photos=build/photos
scripts/fetch-photos.sh "$photos" || exit 1

run() {  # run NAME DECODER_REGEX [ENV...]
  local name=$1 decoders=$2 folder=(); shift 2
  [[ $name == photos ]] && folder=(--photos "$photos")
  env "$@" "$build/bench/jpeg-bench" "${folder[@]}" \
    --benchmark_filter="^($decoders)/.*($pictures)" \
    --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
    --benchmark_min_time=0.2 --benchmark_report_aggregates_only=true \
    --benchmark_out="$build/$name.json" --benchmark_out_format=json \
    >"$build/$name.log" 2>&1 || fail "jpeg-bench ($name) failed, see $build/$name.log"
}
commit=$(git rev-parse --short HEAD)
git diff --quiet HEAD -- jpeg || commit="$commit + uncommitted jpeg/ changes"
# Drawn pictures unless the pattern names photographs only.
if [[ $pictures != photo* ]]; then
run simd 'this-scalar|this-sse2|this-avx2|reference|turbo|turbo-fast|stb-scalar|stb-simd'
run scalar 'this-scalar|turbo-fast' JSIMD_FORCENONE=1

python3 - "$build/simd.json" "$build/scalar.json" "$commit" <<'PY'
import json, sys

def medians(path):
    data = json.load(open(path))
    values = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median" or b.get("run_type") == "iteration" and b.get("repetitions", 1) == 1:
            decoder, picture = b["run_name"].split("/", 1)
            values[(decoder, picture)] = b["MP/s"]
    return data["context"], values

context, simd = medians(sys.argv[1])
_, scalar = medians(sys.argv[2])
def order(picture):  # by size, then grey, 4:4:4, 4:2:0, restarts
    size, sampling, *restart = picture.split("_")
    width, height = map(int, size.split("x"))
    return width * height, ["grey", "444", "420"].index(sampling), restart
pictures = sorted({picture for _, picture in simd}, key=order)

def mp(value):
    return f"{value:.1f}" if value else "-"

def ratio(a, b):
    return f"{a / b:.2f}" if a and b else "-"

# "this" is the best path the processor runs, as the decoder picks it.
best = next(path for path in ("this-avx2", "this-sse2", "this-scalar") if any(d == path for d, _ in simd))
print("| picture | bits/pixel | this, scalar | this, SSE2 | this, AVX2 | reference build | libjpeg-turbo "
      "| libjpeg-turbo fast | scalar libjpeg-turbo fast | stb_image scalar | stb_image SSE2 "
      "| this / reference | this scalar / scalar turbo fast | this / stb SSE2 | this / turbo |")
print("|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|")
for p in pictures:
    width, height = map(int, p.split("_")[0].split("x"))
    bits = int(context.get("bytes " + p, 0)) * 8 / (width * height)
    this, scalar_this = simd.get((best, p)), scalar.get(("this-scalar", p))
    print(f"| {p} | {bits:.2f} | {mp(simd.get(('this-scalar', p)))} | {mp(simd.get(('this-sse2', p)))} "
          f"| {mp(simd.get(('this-avx2', p)))} | {mp(simd.get(('reference', p)))} | {mp(simd.get(('turbo', p)))} "
          f"| {mp(simd.get(('turbo-fast', p)))} | {mp(scalar.get(('turbo-fast', p)))} "
          f"| {mp(simd.get(('stb-scalar', p)))} | {mp(simd.get(('stb-simd', p)))} "
          f"| {ratio(this, simd.get(('reference', p)))} | {ratio(scalar_this, scalar.get(('turbo-fast', p)))} "
          f"| {ratio(this, simd.get(('stb-simd', p)))} | {ratio(this, simd.get(('turbo', p)))} |")
print()
print(f"Megapixels per second, medians of interleaved repetitions (CPU time), this decoder at {sys.argv[3]} "
      f"(\"this\" in the ratios: {best}); "
      f"{context.get('num_cpus', '?')} CPUs at {context.get('mhz_per_cpu', '?')} MHz, "
      f"load average {context.get('load_avg', ['?'])[0]:.1f} at the start.")
plain, rst = "1920x1080_420", "1920x1080_420_rst"
if simd.get((best, plain)) and simd.get((best, rst)):
    cost = lambda run, decoder: f"{(run[(decoder, plain)] / run[(decoder, rst)] - 1) * 100:+.1f} %"
    print(f"Restart marker after every MCU row, 1920x1080 4:2:0, time added: this decoder {cost(simd, best)}, "
          f"its scalar path {cost(scalar, 'this-scalar')}, scalar libjpeg-turbo fast {cost(scalar, 'turbo-fast')}.")
PY
fi

if ls "$photos" | sed 's/^/photo-/' | grep -Eq "$pictures"; then
run photos "this-scalar|this-sse2|this-avx2|turbo"
echo
python3 - "$build/photos.json" "$commit" <<'PY'
import json, math, sys

data = json.load(open(sys.argv[1]))
mp = {}
for b in data["benchmarks"]:
    if b.get("aggregate_name") == "median" or b.get("run_type") == "iteration" and b.get("repetitions", 1) == 1:
        decoder, picture = b["run_name"].split("/", 1)
        if picture.startswith("photo-"):
            mp[(decoder, picture)] = b["MP/s"]
context = data["context"]
best = next(path for path in ("this-avx2", "this-sse2", "this-scalar") if any(d == path for d, _ in mp))
pictures = sorted({p for _, p in mp})
def cell(value, digits=1):
    return f"{value:.{digits}f}" if value else "-"
print("| photograph | bits/pixel | this, scalar | this, SSE2 | this, AVX2 | libjpeg-turbo | time this / turbo |")
print("|---|--:|--:|--:|--:|--:|--:|")
ratios = {}
for p in pictures:
    width, height = map(int, p.split("_")[1].split("x"))
    bits = int(context.get("bytes " + p, 0)) * 8 / (width * height)
    this, turbo = mp.get((best, p)), mp.get(("turbo", p))
    if this and turbo:
        ratios[p] = turbo / this  # a time ratio: below 1 is faster than libjpeg-turbo
    print(f"| {p[len('photo-'):]} | {bits:.2f} | {cell(mp.get(('this-scalar', p)))} | {cell(mp.get(('this-sse2', p)))} "
          f"| {cell(mp.get(('this-avx2', p)))} | {cell(turbo)} | {cell(ratios.get(p), 2)} |")
print()
if ratios:
    mean = math.exp(sum(math.log(r) for r in ratios.values()) / len(ratios))
    worst = max(ratios, key=ratios.get)
    print(f"Photographs: time of one decode, this decoder ({best}) / libjpeg-turbo with SIMD, medians of interleaved "
          f"repetitions: geometric mean {mean:.3f} over {len(ratios)} pictures, worst {ratios[worst]:.3f} "
          f"({worst[len('photo-'):]}); this decoder at {sys.argv[2]}, load average "
          f"{context.get('load_avg', ['?'])[0]:.1f} at the start.")
PY
fi
[[ $startup == yes ]] || exit 0

# Start-up under Wine: each picture as prelude.jpg in its own folder, beside
# splash.dll and the timing program.
win=build/bench-win32
cmake --workflow --preset bench-win32 >"$win.build.log" 2>&1 || fail "Windows build failed, see $win.build.log"
latency=$win/latency
rm -rf "$latency"
mkdir -p "$latency/bundled" "$latency/1920x1080"
cp assets/prelude.jpg "$latency/bundled/"
"$build/bench/jpeg-bench" --write 1920x1080_420 "$latency/1920x1080/prelude.jpg"
cp "$win/bin/splash.dll" "$win/bin/startup-latency.exe" "$latency/"
(cd "$latency" && "$OLDPWD/cmake/wine-run.sh" "$OLDPWD/$win" startup-latency.exe "$repetitions" bundled 1920x1080) \
  >"$latency/times.txt" 2>"$latency/wine.log" || fail "startup-latency failed under Wine, see $latency/wine.log"

echo
echo "| start-up under Wine | size | file read | decode | bitmap copy | window until drawn | sum | mainDLLInit until drawn | decode CPU time, scalar | SSE2 | AVX2 | reference build |"
echo "|---|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|"
awk '{ printf "| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", $1 == "bundled" ? "bundled prelude.jpg" : "1920x1080 4:2:0", $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12 }' \
  <(tr -d '\r' <"$latency/times.txt")
echo
echo "Milliseconds; 32-bit splash.dll under Wine on Xvfb, load average $(cut -d' ' -f1 /proc/loadavg) at the end."
echo "Wall clock, medians of $repetitions, with the decoder's default path, except the last four columns: CPU time per decode with each path forced, mean of many."
