#!/usr/bin/env bash
# usage: scripts/bench-callgrind.sh [PICTURE]
# Counts the instructions and the mispredicted branches (callgrind's simulated
# predictor, conditional and indirect) of one decode of PICTURE (default
# 1920x1080_420, one of jpeg-bench's pictures, or a .jpg file such as
# build/photos/LadyBird_2560x1600_420_q90.jpg) under callgrind: this decoder on each of its
# paths, its reference build (reference path), libjpeg-turbo's scalar code in
# its fastest settings (JSIMD_FORCENONE=1), libjpeg-turbo with SIMD and stb_image without SIMD.
# Counts are stable on a busy machine, unlike times. Prints a markdown table; the profiles stay in
# build/bench/callgrind.DECODER.out for callgrind_annotate.
set -euo pipefail
cd "$(dirname "$0")/.."
picture=${1:-1920x1080_420}
build=build/bench
fail() { echo "bench-callgrind: $*" >&2; exit 1; }
command -v valgrind >/dev/null || fail "valgrind is not installed (apt-get install valgrind)"

mkdir -p "$build"
cmake --workflow --preset bench >"$build/build.log" 2>&1 || fail "build failed, see $build/build.log"

count() {  # count DECODER [ENV...]: "instructions mispredicted-branches" of one decode
  local name=$1 decoder=${1%-simd}; shift
  local out=$build/callgrind.$name.out
  env "$@" valgrind --tool=callgrind --branch-sim=yes --instr-atstart=no --callgrind-out-file="$out" \
    "$build/bench/jpeg-bench" --callgrind "$decoder" "$picture" >"$build/callgrind.$name.log" 2>&1 ||
    fail "callgrind run of $name failed, see $build/callgrind.$name.log"
  # events: Ir Bc Bcm Bi Bim
  local counts
  counts=$(awk '/^totals:/ { print $2, $4 + $6; exit }' "$out")
  [[ -n $counts ]] || fail "no totals in $out"
  echo "$counts"
}
commit=$(git rev-parse --short HEAD)
git diff --quiet HEAD -- jpeg || commit="$commit + uncommitted jpeg/ changes"
echo "| one decode of ${picture##*/} | instructions | this decoder's scalar path / other | mispredicted branches |"
echo "|---|--:|--:|--:|"
read -r scalar scalarMisses < <(count this-scalar)
row() {  # row LABEL "INSTRUCTIONS MISPREDICTS"
  awk -v t="$scalar" -v label="$1" -v counts="$2" \
    'BEGIN { split(counts, c, " "); printf "| %s | %d | %.2f | %d |\n", label, c[1], t / c[1], c[2] }'
}
row "this decoder, scalar path" "$scalar $scalarMisses"
row "this decoder, SSE2 path" "$(count this-sse2)"
row "this decoder, AVX2 path" "$(count this-avx2)"
row "reference build" "$(count reference)"
row "scalar libjpeg-turbo fast" "$(count turbo-fast JSIMD_FORCENONE=1)"
row "libjpeg-turbo with SIMD" "$(count turbo-simd)"
row "stb_image scalar" "$(count stb-scalar)"
echo
echo "Counted by valgrind --tool=callgrind --branch-sim=yes, this decoder at $commit; SIMD instructions count"
echo "as one each, so only the scalar rows compare like with like. Mispredictions are those of callgrind's"
echo "simple simulated predictor (2-bit counters), not the processor's."
