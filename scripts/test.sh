#!/usr/bin/env bash
# Usage: scripts/test.sh
# Installs what the project needs, then builds every configuration and runs every test.
# Prints each configuration's test report; configure and build output stays in
# build/PRESET/workflow.log unless a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "test: $*" >&2; exit 1; }

# workflow PRESET: configure, build and test; prints the last step run, the
# tests' report or the step that failed.
workflow() {
  local log=build/$1/workflow.log
  mkdir -p "build/$1"
  local status=0
  cmake --workflow --preset "$1" >"$log" 2>&1 || status=$?
  awk '/^Executing workflow step/ { start = NR } { line[NR] = $0 } END { for (i = start; i <= NR; i++) print line[i] }' "$log"
  ((status == 0)) || fail "$1 failed, see $log"
}

scripts/setup.sh
workflow native
workflow native-asan
fuzz/smoke.sh 60
workflow win32
workflow win64
