#!/usr/bin/env bash
# usage: check_kit_cmake.sh KIT_DIR TOOLCHAIN OTHER_TOOLCHAIN -- RUNNER...
# Builds the kit's examples as a game project would, with
# find_package(PreludeSplash CONFIG) and the MinGW TOOLCHAIN, warnings as
# errors; runs both games under RUNNER (cmake/wine-run.sh BUILD_DIR) and
# checks that they show the splash. The kit must refuse OTHER_TOOLCHAIN
# (the other architecture).
set -euo pipefail
[[ $# -ge 5 && $4 == -- ]] || { echo "usage: check_kit_cmake.sh KIT_DIR TOOLCHAIN OTHER_TOOLCHAIN -- RUNNER..." >&2; exit 2; }
kit=$1 toolchain=$2 other=$3
shift 4
fail() { echo "check_kit_cmake: $*" >&2; exit 1; }
here=$(dirname "$(realpath "$0")")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A cross build names the kit's cmake/ folder (the toolchain files confine
# the search to the MinGW sysroot); on Windows CMAKE_PREFIX_PATH=KIT_DIR finds it.
configure() {
  cmake -S "$kit/examples" -B "$work/$1" -DCMAKE_TOOLCHAIN_FILE="$2" -DCMAKE_BUILD_TYPE=Release \
    -DPreludeSplash_DIR="$kit/cmake" "-DCMAKE_C_FLAGS=-Wall -Wextra -Werror" \
    >"$work/$1.log" 2>&1
}
configure game "$toolchain" || { tail -n 20 "$work/game.log" >&2; fail "configure failed"; }
cmake --build "$work/game" >"$work/build.log" 2>&1 || { tail -n 20 "$work/build.log" >&2; fail "build failed"; }
cmp -s "$work/game/splash.dll" "$kit/bin/splash.dll" || fail "\$<TARGET_RUNTIME_DLLS> did not bring bin/splash.dll"
cp "$kit/prelude.jpg" "$work/game/"

linked=$("$here/run_game.sh" "$work/game" linked_game.exe -- "$@")
[[ $linked == "exit 1, splash, "* ]] || fail "linked_game.exe: $linked (expected: exit 1, splash)"
loaded=$("$here/run_game.sh" "$work/game" loaded_game.exe -- "$@")
[[ $loaded == "exit 0, splash, "* ]] || fail "loaded_game.exe: $loaded (expected: exit 0, splash)"

! configure other "$other" || fail "the kit was accepted by a game of the other architecture"
grep -q 'PreludeSplashConfig.cmake, version: [0-9.]* (..bit)' "$work/other.log" ||
  { tail -n 20 "$work/other.log" >&2; fail "the other architecture failed for another reason"; }
