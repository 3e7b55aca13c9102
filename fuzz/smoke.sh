#!/usr/bin/env bash
# Usage: fuzz/smoke.sh [SECONDS_PER_TARGET]   (default 60)
# Builds the libFuzzer targets with ASan+UBSan (clang), replays fuzz/regressions,
# then runs each target from the generated seed corpus for the given time, one
# process each. Any crash, broken promise, leak, slow decode (over 1 s of CPU
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
cmake -S fuzz -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$logs/configure.log" 2>&1 ||
  fail "configure failed, see $logs/configure.log"
cmake --build "$build" -j2 >"$logs/build.log" 2>&1 || fail "build failed, see $logs/build.log"
rm -rf "$build/seeds"
fuzz/make_corpus.py "$build/seeds" >"$logs/seeds.log" 2>&1 || fail "seed corpus failed, see $logs/seeds.log"

# The first line that says what went wrong in a libFuzzer log.
first_error() { grep -m1 -E 'ERROR|broken promise|runtime error|SUMMARY' "$1" || tail -n 1 "$1"; }

for target in decode sequence structure; do
  fuzzer=$build/${target}_fuzzer
  regressions=(fuzz/regressions/$target/*)
  if [[ -e ${regressions[0]} ]]; then
    "$fuzzer" -timeout=10 "${regressions[@]}" >"$logs/$target-regressions.log" 2>&1 ||
      fail "$target: a regression input fails again: $(first_error "$logs/$target-regressions.log")"
  fi
  corpus=$build/corpus/$target
  rm -rf "$corpus"
  mkdir -p "$corpus"
  "$fuzzer" "$corpus" "$build/seeds/$target" -dict=fuzz/jpeg.dict -max_total_time="$seconds" \
            -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$build/artifacts/$target-" >"$logs/$target.log" 2>&1 ||
    fail "$target: $(first_error "$logs/$target.log") (log: $logs/$target.log)"
done
