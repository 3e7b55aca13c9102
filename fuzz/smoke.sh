#!/usr/bin/env bash
# Usage: fuzz/smoke.sh [SECONDS_PER_TARGET]   (default 60)
# Builds the libFuzzer targets (preset fuzz: clang, ASan+UBSan), replays
# fuzz/regressions, then runs each target from the generated seed corpus for the
# given time, one process each; the decode target once per path of the decoder
# (JPEG_PATH). Any crash, broken promise, leak, slow decode (over 1 s of CPU
# time, checked by the targets), hang (10 s of wall-clock time, a backstop that
# a busy machine cannot trip) or out-of-memory fails the run; the input is kept
# under build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=build/fuzz
logs=$build/logs
fail() { echo "fuzz smoke: $*" >&2; exit 1; }

mkdir -p "$logs" "$build/artifacts"
cmake --workflow --preset fuzz >"$logs/build.log" 2>&1 || fail "build failed, see $logs/build.log"
rm -rf "$build/seeds"
fuzz/make_corpus.py "$build/seeds" >"$logs/seeds.log" 2>&1 || fail "seed corpus failed, see $logs/seeds.log"

# The first line that says what went wrong in a libFuzzer log.
first_error() { grep -m1 -E 'ERROR|broken promise|runtime error|SUMMARY' "$1" || tail -n 1 "$1"; }

# run TARGET [PATH]: regressions, then the target from its seeds.
run() {
  local target=$1 path=${2:-} fuzzer=$build/${1}_fuzzer name=$1${2:+-$2}
  local regressions=(fuzz/regressions/$target/*)
  if [[ -e ${regressions[0]} ]]; then
    JPEG_PATH=$path "$fuzzer" -timeout=10 "${regressions[@]}" >"$logs/$name-regressions.log" 2>&1 ||
      fail "$name: a regression input fails again: $(first_error "$logs/$name-regressions.log")"
  fi
  local corpus=$build/corpus/$name
  rm -rf "$corpus"
  mkdir -p "$corpus"
  JPEG_PATH=$path "$fuzzer" "$corpus" "$build/seeds/$target" -dict=fuzz/jpeg.dict -max_total_time="$seconds" \
            -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$build/artifacts/$name-" >"$logs/$name.log" 2>&1 ||
    fail "$name: $(first_error "$logs/$name.log") (log: $logs/$name.log)"
}
for path in scalar sse2 avx2; do
  run decode "$path"
done
run sequence
run structure
run picture
