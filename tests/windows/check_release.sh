#!/usr/bin/env bash
# usage: check_release.sh KIT_DIR WINDRES OBJDUMP OBJCOPY -- RUNNER...
# Checks the unpacked release kit: its files, their VERSIONINFO, the stripped
# binaries' debug links, then runs bin/splash-host.exe in a copy of it under
# RUNNER (cmake/wine-run.sh BUILD_DIR). The kit's splash-check.exe runs on its
# prelude.jpg in check_unicode_paths.sh.
set -euo pipefail
[[ $# -ge 6 && $5 == -- ]] || { echo "usage: check_release.sh KIT_DIR WINDRES OBJDUMP OBJCOPY -- RUNNER..." >&2; exit 2; }
kit=$1 windres=$2 objdump=$3 objcopy=$4
shift 5
fail() { echo "check_release: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$kit" "$work/kit"
cd "$work/kit"

expected="LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt
bin/splash-check.exe bin/splash-check.exe.debug bin/splash-host.exe bin/splash-host.exe.debug
bin/splash.dll bin/splash.dll.debug cmake/PreludeSplashConfig.cmake cmake/PreludeSplashConfigVersion.cmake
examples/CMakeLists.txt examples/linked_game.c examples/loaded_game.c examples/utf8_code_page.manifest
include/prelude_splash.h lib/libsplash.dll.a lib/splash.lib prelude.jpg"
files=$(find . -type f -printf '%P\n' | LC_ALL=C sort | xargs)
[[ $files == "$(xargs <<<"$expected")" ]] || fail "the kit holds: $files"
version=$(sed -n '1s/^Prelude splash \([0-9.]*\),.*/\1/p' README.txt)
[[ -n $version && $(basename "$kit") == prelude-splash-$version-win* ]] ||
  fail "README.txt and $(basename "$kit") disagree on the version"
grep -q 'Permission is hereby granted' LICENSE.txt || fail "LICENSE.txt holds no licence"

for file in splash.dll splash-host.exe splash-check.exe; do
  info=$("$windres" -i "bin/$file" -O rc 2>/dev/null) || fail "$file: windres cannot read its resources"
  grep -q "VALUE \"ProductName\", \"Prelude splash\"" <<<"$info" || fail "$file: no ProductName"
  grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$info" || fail "$file: no ProductVersion $version"
  grep -q "VALUE \"OriginalFilename\", \"$file\"" <<<"$info" || fail "$file: OriginalFilename is not $file"
  # Stripped, and linked to a debug file that has the DWARF: the link's
  # name and CRC-32 are what a debugger checks before it reads the file.
  stripped=$("$objdump" -h "bin/$file") && debug=$("$objdump" -h "bin/$file.debug") ||
    fail "$file: objdump cannot read it or its .debug"
  ! grep -q ' \.debug_info ' <<<"$stripped" || fail "$file: not stripped"
  grep -q ' \.debug_info ' <<<"$debug" || fail "$file.debug: no debug information"
  "$objcopy" --dump-section .gnu_debuglink="$work/link" "bin/$file" 2>/dev/null
  [[ -s $work/link ]] || fail "$file: no .gnu_debuglink"
  python3 - "$work/link" "bin/$file.debug" "$file.debug" <<'PY' || fail "$file: its debug link does not match $file.debug"
import sys, zlib
link = open(sys.argv[1], "rb").read()
name = link.partition(b"\0")[0]
crc = int.from_bytes(link[(len(name) + 4) & ~3:][:4], "little")
sys.exit(name.decode() != sys.argv[3] or crc != zlib.crc32(open(sys.argv[2], "rb").read()))
PY
  rm -f "$work/link"
done

# From the kit's folder, as README.txt says: bin/splash-host.exe loads the
# splash.dll beside it, which shows the bundled picture for its 3000 ms.
host=$("$@" 'bin\splash-host.exe' 2>&1) || fail "splash-host.exe failed: $host"
[[ $host =~ splash.dll:\ mainDLLInit\ found,\ returned\ 1\ after\ ([0-9]+)\ ms ]] || fail "splash-host.exe said: $host"
((BASH_REMATCH[1] >= 2900)) || fail "the splash closed after ${BASH_REMATCH[1]} ms, not 3000"
