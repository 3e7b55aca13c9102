#!/usr/bin/env bash
# usage: check_unicode_paths.sh KIT_DIR MINGW_CC WINDRES -- RUNNER...
# Folder and file names outside the ANSI code page, under RUNNER
# (cmake/wine-run.sh BUILD_DIR). The kit's tools read and write them. A game
# in such a folder gets no splash, because the library takes the names through
# the ANSI functions, unless the game's manifest makes UTF-8 its ANSI code page
# (examples/utf8_code_page.manifest).
set -euo pipefail
[[ $# -ge 5 && $4 == -- ]] || { echo "usage: check_unicode_paths.sh KIT_DIR MINGW_CC WINDRES -- RUNNER..." >&2; exit 2; }
kit=$1 cc=$2 windres=$3
shift 4
fail() { echo "check_unicode_paths: $*" >&2; exit 1; }
here=$(dirname "$(realpath "$0")")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir Арт ゲーム Библиотека
cp "$kit/prelude.jpg" Арт/タイトル.jpg
cp "$kit/bin/splash-host.exe" ゲーム/
cp "$kit/bin/splash.dll" Библиотека/
check="$kit/bin/splash-check.exe"

out=$("$@" "$check" --quiet 'Арт\タイトル.jpg' -o 'Арт\プレビュー.png') || fail "splash-check.exe: $out"
[[ $out == OK:* && -s Арт/プレビュー.png ]] || fail "splash-check.exe said '$out' and wrote $(ls Арт | xargs)"
out=$("$@" "$check" --make 'ゲーム\prelude.jpg' 'Арт\タイトル.jpg' --quiet) || fail "splash-check.exe --make: $out"
[[ $out == OK:* && -s ゲーム/prelude.jpg ]] || fail "splash-check.exe --make said '$out' and wrote $(ls ゲーム | xargs)"
out=$(cd ゲーム && "$@" splash-host.exe '..\Библиотека\splash.dll' 2>&1) || fail "splash-host.exe: $out"
[[ $out =~ mainDLLInit\ found,\ returned\ 1\ after\ ([0-9]+)\ ms && ${BASH_REMATCH[1]} -ge 2900 ]] ||
  fail "splash-host.exe in ゲーム said: $out"

# The same game with and without the manifest; the ASCII folder shows that
# the plain one works where its names fit the code page.
printf '1 24 "%s"\n' "$kit/examples/utf8_code_page.manifest" >game.rc
"$windres" game.rc -O coff -o game.res || fail "windres cannot compile the manifest"
"$cc" -I "$kit/include" "$kit/examples/linked_game.c" "$kit/lib/libsplash.dll.a" -o plain.exe || fail "cc failed"
"$cc" -I "$kit/include" "$kit/examples/linked_game.c" game.res "$kit/lib/libsplash.dll.a" -o utf8.exe || fail "cc failed"
mkdir g-Game g-Игра
cp plain.exe utf8.exe "$kit/bin/splash.dll" "$kit/prelude.jpg" g-Game/
cp plain.exe utf8.exe "$kit/bin/splash.dll" "$kit/prelude.jpg" g-Игра/
for case in "g-Game plain.exe:exit 1, splash" "g-Игра plain.exe:exit 1, no splash" "g-Игра utf8.exe:exit 1, splash"; do
  read -r folder game <<<"${case%%:*}"
  ran=$("$here/run_game.sh" "$folder" "$game" -- "$@")
  [[ $ran == "${case#*:}, "* ]] || fail "$game in $folder: $ran (expected: ${case#*:})"
done
