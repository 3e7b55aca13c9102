#!/usr/bin/env bash
# usage: run_game.sh DIR GAME.exe -- RUNNER...
# Runs GAME.exe in DIR under RUNNER (cmake/wine-run.sh BUILD_DIR) and prints
# what a player would see: "exit N, splash, T ms" when a window of the game
# became visible on its display while it ran, else "exit N, no splash, T ms"
# (T: the run's wall-clock time, Wine's start and end included).
set -euo pipefail
[[ $# -ge 4 && $3 == -- ]] || { echo "usage: run_game.sh DIR GAME.exe -- RUNNER..." >&2; exit 2; }
dir=$1 game=$2
shift 3
command -v xdotool >/dev/null || { echo "run_game: xdotool is missing (scripts/setup.sh)" >&2; exit 2; }

display_file=$(mktemp)
log=$(mktemp)
trap 'rm -f "$display_file" "$log"' EXIT
start=$(date +%s%N)
(cd "$dir" && WINE_RUN_DISPLAY_FILE=$display_file "$@" "$game" >"$log" 2>&1) &
runner=$!

# The splash stays up for 3000 ms; polling every 0.1 s cannot miss it.
seen=no
while kill -0 "$runner" 2>/dev/null; do
  if [[ $seen == no && -s $display_file ]] &&
     DISPLAY=$(cat "$display_file") xdotool search --onlyvisible --classname "^${game,,}\$" >/dev/null 2>&1; then
    seen=yes
  fi
  sleep 0.1
done
rc=0
wait "$runner" || rc=$?
[[ ! -s $log ]] || cat "$log" >&2  # what Wine or the game said
((rc != 125)) || { echo "run_game: the runner failed" >&2; exit 2; }
[[ $seen == yes ]] && shown=splash || shown="no splash"
echo "exit $rc, $shown, $((($(date +%s%N) - start) / 1000000)) ms"
