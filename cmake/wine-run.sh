#!/usr/bin/env bash
# usage: wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
# Runs a Windows program under Wine in the build tree's own prefix
# (BUILD_DIR/wineprefix, created once), on a private Xvfb display; with
# WINE_RUN_DISPLAY=host it uses the caller's DISPLAY instead. With
# WINE_RUN_DISPLAY_FILE=PATH it writes the display's name there once it is up.
# WINE_RUN_SCREEN sets the Xvfb screen (default 1024x768x24).
# Runs are serialised per build tree: each one starts its own display and
# waits for the prefix's wineserver to exit before the display goes, so no
# Wine process ever outlives the X server it is bound to.
set -euo pipefail
[[ $# -ge 2 ]] || { echo "usage: wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]" >&2; exit 2; }
build_dir=$1; shift

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
fail() { echo "wine-run: $*" >&2; exit 125; }
[[ -x $wine && -x $wineserver ]] || fail "64-bit Wine is not installed: run scripts/setup.sh"
command -v flock >/dev/null || fail "flock is missing (util-linux)"

# A 32-bit program needs wine32 (and, on kernels without i386 support, qemu).
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 0
  [[ -n $offset ]] && od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}
if [[ -f $1 && $(pe_machine "$1") == 014c ]]; then
  /usr/lib/wine/wine --version >/dev/null 2>&1 ||
    fail "32-bit Wine does not run here: run scripts/setup.sh (it installs wine32 and registers qemu-i386)"
fi

export WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all WINELOADER=$wine
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$build_dir"
# Children get the lock's descriptor closed (9>&-): a lingering wineserver
# must not hold the lock.
exec 9>"$build_dir/wine-run.lock"
flock 9

# Runs are serialised, so a wineserver alive now was left by an interrupted
# run and may be bound to a display that is gone.
"$wineserver" -k >/dev/null 2>&1 9>&- || true

# One prefix per build tree, initialised once (about 20 s) and reused.
if [[ ! -f $WINEPREFIX/.initialised ]]; then
  rm -rf "$WINEPREFIX"
  env -u DISPLAY "$wine" wineboot -i >/dev/null 2>&1 9>&- || fail "wineboot failed in $WINEPREFIX"
  # Without a window manager Wine waits 2 s for one whenever a window closes.
  env -u DISPLAY "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 9>&- ||
    fail "cannot set X11 Driver\\Managed in $WINEPREFIX"
  "$wineserver" -w 9>&-
  touch "$WINEPREFIX/.initialised"
fi

xvfb_pid=
stop_display() { [[ -z $xvfb_pid ]] || { kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; }; }
trap stop_display EXIT
# Interrupted (a test timeout): end this prefix's processes before the display.
trap '"$wineserver" -k >/dev/null 2>&1 || true; exit 143' TERM INT
if [[ ${WINE_RUN_DISPLAY:-} == host ]]; then
  [[ -n ${DISPLAY:-} ]] || fail "WINE_RUN_DISPLAY=host but DISPLAY is not set"
else
  command -v Xvfb >/dev/null || fail "Xvfb is not installed: run scripts/setup.sh"
  display_file=$(mktemp)
  # -displayfd picks a free display and reports it once the server is ready.
  Xvfb -displayfd 8 -screen 0 "${WINE_RUN_SCREEN:-1024x768x24}" -nolisten tcp 8>"$display_file" 2>/dev/null 9>&- &
  xvfb_pid=$!
  for _ in $(seq 200); do
    [[ -s $display_file ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"
    sleep 0.05
  done
  [[ -s $display_file ]] || fail "Xvfb did not report a display"
  export DISPLAY=:$(head -n1 "$display_file")
  rm -f "$display_file"
fi

[[ -z ${WINE_RUN_DISPLAY_FILE:-} ]] || echo "$DISPLAY" >"$WINE_RUN_DISPLAY_FILE"

rc=0
"$wine" "$@" 9>&- &  # in the background, so that the TERM trap runs at once
wait $! || rc=$?
"$wineserver" -w 9>&-
exit $rc
