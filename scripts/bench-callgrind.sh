#!/usr/bin/env bash
# usage: scripts/bench-callgrind.sh [PICTURE]
# Counts the instructions of one decode of PICTURE (default 1920x1080_420, one
# of jpeg-bench's pictures) under callgrind: this decoder on each of its
# paths, its reference build (reference path), libjpeg-turbo's scalar code in
# its fastest settings (JSIMD_FORCENONE=1) and stb_image without SIMD. Counts are stable on a busy
# machine, unlike times. Prints a markdown table; the profiles stay in
# build/bench/callgrind.DECODER.out for callgrind_annotate.
set -euo pipefail
cd "$(dirname "$0")/.."
picture=${1:-1920x1080_420}
build=build/bench
fail() { echo "bench-callgrind: $*" >&2; exit 1; }
command -v valgrind >/dev/null || fail "valgrind is not installed (apt-get install valgrind)"

mkdir -p "$build"
cmake --workflow --preset bench >"$build/build.log" 2>&1 || fail "build failed, see $build/build.log"

count() {  # count DECODER: instructions of one decode
  local out=$build/callgrind.$1.out
  JSIMD_FORCENONE=1 valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out" \
    "$build/bench/jpeg-bench" --callgrind "$1" "$picture" >"$build/callgrind.$1.log" 2>&1 ||
    fail "callgrind run of $1 failed, see $build/callgrind.$1.log"
  local total
  total=$(awk '/^totals:/ { print $2; exit }' "$out")
  [[ -n $total ]] || fail "no instruction total in $out"
  echo "$total"
}
commit=$(git rev-parse --short HEAD)
git diff --quiet HEAD -- jpeg || commit="$commit + uncommitted jpeg/ changes"
echo "| one decode of $picture | instructions | this decoder's scalar path / other |"
echo "|---|--:|--:|"
scalar=$(count this-scalar)
row() {  # row LABEL COUNT
  awk -v t="$scalar" -v o="$2" -v label="$1" 'BEGIN { printf "| %s | %d | %.2f |\n", label, o, t / o }'
}
row "this decoder, scalar path" "$scalar"
row "this decoder, SSE2 path" "$(count this-sse2)"
row "this decoder, AVX2 path" "$(count this-avx2)"
row "reference build" "$(count reference)"
row "scalar libjpeg-turbo fast" "$(count turbo-fast)"
row "stb_image scalar" "$(count stb-scalar)"
echo
echo "Instructions counted by valgrind --tool=callgrind, this decoder at $commit; SIMD instructions count"
echo "as one each, so only the scalar rows compare like with like."
