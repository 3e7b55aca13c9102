#!/usr/bin/env bash
# Usage: scripts/test.sh
# Installs what the project needs, then builds every configuration and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

echo "== native: decoder, tools, unit and conformance tests"
cmake --preset native -DSPLASH_WERROR=ON >/dev/null
cmake --build --preset native
ctest --preset native

echo "== native-asan: the same suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset native-asan -DSPLASH_WERROR=ON >/dev/null
cmake --build --preset native-asan
ctest --preset native-asan

echo "== fuzz smoke: each libFuzzer target 60 s from its seeds, under ASan+UBSan"
fuzz/smoke.sh 60

echo "== win32: splash.dll, splash-host.exe, decoder and Windows tests under Wine (the product)"
cmake --preset win32 -DSPLASH_WERROR=ON >/dev/null
cmake --build --preset win32
ctest --preset win32

echo "== win64: the same built for x86_64, under 64-bit Wine"
cmake --preset win64 -DSPLASH_WERROR=ON >/dev/null
cmake --build --preset win64
ctest --preset win64
