#!/usr/bin/env bash
# usage: scripts/setup.sh
# Installs everything the project needs on Debian 12 (run as root). Idempotent:
# when all is in place it only re-checks, in well under a second.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
cd "$(dirname "$0")/.."

PACKAGES=(cmake g++ googletest libgtest-dev libbenchmark-dev libjpeg62-turbo-dev zlib1g-dev libz-mingw-w64-dev
          libjpeg-turbo-progs libstb-dev clang lld llvm libclang-rt-14-dev imagemagick python3-pil nlohmann-json3-dev
          xvfb xdotool g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine wine64 valgrind)

fail() { echo "setup: $*" >&2; exit 1; }

# One dpkg-query for all: a dpkg call costs about 0.1 s here.
mapfile -t present < <(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${PACKAGES[@]}" 2>/dev/null |
                       awk '$1 == "ii" {print $2}')
missing=()
for package in "${PACKAGES[@]}"; do
  [[ " ${present[*]} " == *" $package "* ]] || missing+=("$package")
done
if ((${#missing[@]})); then
  [[ $(id -u) == 0 ]] || fail "must run as root to install: ${missing[*]}"
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  # A partial update still serves the amd64 lists; the install below decides.
  apt-get update >"$log" 2>&1 || true
  apt-get install -y -q --no-install-recommends "${missing[@]}" >>"$log" 2>&1 ||
    { tail -n 20 "$log" >&2; fail "apt-get install failed: ${missing[*]}"; }
fi

# 32-bit Wine (the product is a 32-bit DLL); also re-registers qemu-i386.
scripts/install-wine32.sh || fail "32-bit Wine could not be installed; the Windows tests cannot run"
