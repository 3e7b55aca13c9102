#!/usr/bin/env bash
# usage: check_kit_msvc.sh KIT_DIR ARCH MINGW_CXX -- RUNNER...
# The kit as other toolchains use it. examples/linked_game.c compiled by
# clang for ARCH-pc-windows-msvc (i686 or x86_64) with no headers but the
# kit's, as C with dllimport and as C++ without, each linked by lld-link
# against lib/splash.lib alone with no C runtime: each game must show the
# splash and exit with mainDLLInit's 1 under RUNNER (cmake/wine-run.sh
# BUILD_DIR). examples/loaded_game.c must build as C++ with -Wall -Wextra
# -Werror.
set -euo pipefail
[[ $# -ge 5 && $4 == -- ]] || { echo "usage: check_kit_msvc.sh KIT_DIR ARCH MINGW_CXX -- RUNNER..." >&2; exit 2; }
kit=$1 arch=$2 cxx=$3
shift 4
fail() { echo "check_kit_msvc: $*" >&2; exit 1; }
here=$(dirname "$(realpath "$0")")
for tool in clang lld-link; do
  command -v $tool >/dev/null || fail "$tool is missing (scripts/setup.sh)"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$kit/bin/splash.dll" "$kit/prelude.jpg" "$work/"
strict=(-Wall -Wextra -Werror -O2)
for variant in c:-DPRELUDE_SPLASH_DLLIMPORT c++:-UPRELUDE_SPLASH_DLLIMPORT; do
  language=${variant%%:*} define=${variant#*:}
  game=game-${language//+/p}
  clang --target="$arch-pc-windows-msvc" -x "$language" -nostdinc "${strict[@]}" "$define" -I "$kit/include" \
    -c "$kit/examples/linked_game.c" -o "$work/$game.obj" 2>"$work/log" ||
    { cat "$work/log" >&2; fail "clang ($language, $define) failed"; }
  lld-link /nologo /entry:main /subsystem:console /nodefaultlib "$work/$game.obj" "$kit/lib/splash.lib" \
    /out:"$work/$game.exe" >"$work/log" 2>&1 || { cat "$work/log" >&2; fail "lld-link ($language) failed"; }
  ran=$("$here/run_game.sh" "$work" "$game.exe" -- "$@")
  [[ $ran == "exit 1, splash, "* ]] || fail "$game.exe: $ran (expected: exit 1, splash)"
done

# As C it is built with these flags by check_kit_cmake.sh.
"$cxx" -x c++ "${strict[@]}" -I "$kit/include" "$kit/examples/loaded_game.c" -o "$work/loaded.exe" 2>"$work/log" ||
  { cat "$work/log" >&2; fail "loaded_game.c does not build as C++ with ${strict[*]}"; }
