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
