#!/usr/bin/env bash
# usage: scripts/run-splash.sh [PICTURE.jpg]
# Installs what is needed, builds splash.dll and splash-host.exe (32-bit) and
# shows the splash of assets/prelude.jpg (or PICTURE.jpg) under Wine: on
# $DISPLAY when it is set, otherwise inside Xvfb. Takes a screenshot of the
# screen while the splash is up and prints the PNG's path.
set -euo pipefail
[[ $# -le 1 ]] || { echo "usage: scripts/run-splash.sh [PICTURE.jpg]" >&2; exit 2; }
picture=$(realpath "${1:-$(dirname "$0")/../assets/prelude.jpg}")
cd "$(dirname "$0")/.."
fail() { echo "run-splash: $*" >&2; exit 1; }
[[ -f $picture ]] || fail "no picture at $picture"

scripts/setup.sh
build=$PWD/build/win32
log=$(mktemp)
cmake --preset win32 >"$log" 2>&1 || { cat "$log" >&2; fail "configure failed"; }
cmake --build --preset win32 --target splash splash-host >"$log" 2>&1 ||
  { tail -n 30 "$log" >&2; fail "build failed"; }

# The host runs where a game would: the DLL beside it, the picture in its folder.
run_dir=$build/splash-run
rm -rf "$run_dir"
mkdir -p "$run_dir"
cp "$build/bin/splash.dll" "$build/bin/splash-host.exe" "$run_dir/"
cp "$picture" "$run_dir/prelude.jpg"
screenshot=$build/splash-screenshot.png
rm -f "$screenshot"

display_file=$(mktemp)
trap 'rm -f "$log" "$display_file"' EXIT
[[ -n ${DISPLAY:-} ]] && export WINE_RUN_DISPLAY=host
(cd "$run_dir" && WINE_RUN_DISPLAY_FILE=$display_file \
  "$OLDPWD/cmake/wine-run.sh" "$build" splash-host.exe >"$log" 2>&1) &
host=$!

# The display is up once the prefix exists (the first run creates it, ~20 s);
# the splash window follows within seconds (more on a busy machine).
window=
for _ in $(seq 1200); do
  if [[ -s $display_file ]]; then
    window=$(DISPLAY=$(cat "$display_file") xdotool search --onlyvisible \
             --classname '^splash-host\.exe$' 2>/dev/null | head -n1) || true
    [[ -n $window ]] && break
  fi
  kill -0 "$host" 2>/dev/null || break
  sleep 0.1
done
if [[ -n $window ]]; then
  sleep 0.3  # let the first paint land
  DISPLAY=$(cat "$display_file") import -window root "$screenshot" 2>>"$log" || true
fi
host_rc=0
wait "$host" || host_rc=$?

[[ $host_rc == 0 ]] || { cat "$log" >&2; fail "splash-host.exe failed under Wine"; }
[[ -n $window ]] || { cat "$log" >&2; fail "no splash window appeared"; }
[[ -s $screenshot ]] || { cat "$log" >&2; fail "the screenshot could not be taken"; }
grep -h 'mainDLLInit' "$log" || true
echo "$screenshot"
