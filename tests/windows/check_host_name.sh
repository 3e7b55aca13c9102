#!/usr/bin/env bash
# usage: check_host_name.sh PROBE.exe -- RUNNER...
# Runs host_name_probe as Game.EXE in an empty folder, started as game.exe
# under RUNNER (cmake/wine-run.sh BUILD_DIR): the module path is the folder's
# (in either case), and HostFileName holds the bare name as stored on disk.
set -euo pipefail
[[ $# -ge 3 && $2 == -- ]] || { echo "usage: check_host_name.sh PROBE.exe -- RUNNER..." >&2; exit 2; }
probe=$1
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$probe" "$work/Game.EXE"
cd "$work"
out=$("$@" game.exe | tr -d '\r')
reported=$(sed -n 1p <<<"$out") recorded=$(sed -n 2p <<<"$out")
[[ ${reported,,} =~ ^[a-z]:\\.*\\game\.exe$ ]] || { echo "check_host_name: module path '$reported'" >&2; exit 1; }
[[ $recorded == "1 Game.EXE" ]] || { echo "check_host_name: recorded '$recorded', not '1 Game.EXE'" >&2; exit 1; }
