#!/usr/bin/env bash
# usage: unpack_release.sh CPACK BUILD_DIR ZIP_NAME TOP_DIR OUT_DIR
# Packs the build with CPack and unpacks ZIP_NAME into an empty OUT_DIR; the
# zip must hold one folder, TOP_DIR, and nothing beside it.
set -euo pipefail
[[ $# == 5 ]] || { echo "usage: unpack_release.sh CPACK BUILD_DIR ZIP_NAME TOP_DIR OUT_DIR" >&2; exit 2; }
cpack=$1 build=$2 zip=$3 top=$4 out=$5
fail() { echo "unpack_release: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cpack" --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
[[ -f $work/$zip ]] || fail "no $zip; cpack wrote: $(ls "$work")"
rm -rf "$out"
mkdir -p "$out"
(cd "$out" && cmake -E tar xf "$work/$zip")
[[ $(ls -A "$out") == "$top" ]] || fail "the zip holds $(ls -A "$out" | xargs), not one folder $top"
