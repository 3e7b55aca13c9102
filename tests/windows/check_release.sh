#!/usr/bin/env bash
# usage: check_release.sh CPACK BUILD_DIR ZIP_NAME WINDRES -- RUNNER...
# Packs the build with CPack, unpacks ZIP_NAME into an empty folder, checks its
# files and their VERSIONINFO, then runs splash-host.exe and splash-check.exe
# there under RUNNER (cmake/wine-run.sh BUILD_DIR).
set -euo pipefail
[[ $# -ge 6 && $5 == -- ]] || { echo "usage: check_release.sh CPACK BUILD_DIR ZIP_NAME WINDRES -- RUNNER..." >&2; exit 2; }
cpack=$1 build=$2 zip=$3 windres=$4
shift 5
fail() { echo "check_release: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
[[ -f $work/out/$zip ]] || fail "no $zip; cpack wrote: $(ls "$work/out")"
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$work/out/$zip")
cd "$work/unpacked"

expected="README.txt prelude.jpg splash-check.exe splash-host.exe splash.dll"
[[ $(ls | sort | xargs) == "$expected" ]] || fail "the zip holds: $(ls | xargs); expected: $expected"
version=$(sed -n '1s/^Prelude splash \([0-9.]*\),.*/\1/p' README.txt)
[[ -n $version && $zip == prelude-splash-$version-* ]] || fail "README.txt and $zip disagree on the version"
for file in splash.dll splash-host.exe splash-check.exe; do
  info=$("$windres" -i "$file" -O rc 2>/dev/null) || fail "$file: windres cannot read its resources"
  grep -q "VALUE \"ProductName\", \"Prelude splash\"" <<<"$info" || fail "$file: no ProductName"
  grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$info" || fail "$file: no ProductVersion $version"
  grep -q "VALUE \"OriginalFilename\", \"$file\"" <<<"$info" || fail "$file: OriginalFilename is not $file"
done

# The splash shows the bundled picture for its 3000 ms.
host=$("$@" splash-host.exe 2>&1) || fail "splash-host.exe failed: $host"
[[ $host =~ splash.dll:\ mainDLLInit\ found,\ returned\ 1\ after\ ([0-9]+)\ ms ]] || fail "splash-host.exe said: $host"
((BASH_REMATCH[1] >= 2900)) || fail "the splash closed after ${BASH_REMATCH[1]} ms, not 3000"
check=$("$@" splash-check.exe --quiet prelude.jpg) || fail "splash-check.exe prelude.jpg: $check"
[[ $check == OK:* ]] || fail "splash-check.exe prelude.jpg said: $check"
made=$("$@" splash-check.exe --make remade.jpg prelude.jpg --quiet) || fail "splash-check.exe --make: $made"
[[ -s remade.jpg && $made == OK:* ]] || fail "splash-check.exe --make said: $made"
