#!/usr/bin/env bash
# usage: scripts/install-wine32.sh
# Makes 32-bit Wine (wine32:i386) work on Debian 12 amd64 (run as root).
# Idempotent and quiet; when it is installed it only re-checks that i386
# programs run (registering qemu-i386 again after a reboot). Never downgrades.
#
# It tries the plain route first (add i386, update, install). Two faults of
# some machines are handled after that:
#  - a mirror whose bookworm-security i386 index does not match its signed
#    release file makes `apt-get update` fail once i386 is enabled: the
#    security source is limited to amd64 and its i386 index read as a flat
#    repository (not signature-checked; the .debs are still hash-checked);
#  - Multi-Arch "same" libraries need one version on both architectures, but
#    the installed amd64 one may have no i386 twin: for each one in wine32's
#    dependency closure, the highest version found on both architectures and
#    not older than the installed one is requested explicitly for both.
# Kernels that cannot run i386 code get qemu-i386 through binfmt_misc, and
# wine32-preloader, without which each 32-bit process spends about 60 s in
# memory reservation retries under qemu.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

LOG=$(mktemp)
TMPD=$(mktemp -d)
trap 'rm -rf "$LOG" "$TMPD"' EXIT
fail() { [[ -s $LOG ]] && tail -n 20 "$LOG" >&2; echo "install-wine32: $*" >&2; exit 1; }

# winex11 needs these i386 X libraries (Recommends of libwine, not pulled in
# with --no-install-recommends).
WANT=(wine32:i386 wine32-preloader:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386
      libxcursor1:i386 libxinerama1:i386 libxcomposite1:i386 libxfixes3:i386 libxext6:i386)

installed() {
  local count
  count=$(dpkg-query -W -f='${Status}\n' "${WANT[@]}" 2>/dev/null | grep -c 'install ok installed' || true)
  [[ $count == "${#WANT[@]}" ]]
}

# Lets the kernel run i386 programs, through qemu when it cannot natively.
ensure_i386_exec() {
  /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
  if [[ ! -x /usr/bin/qemu-i386-static ]]; then
    apt-get install -y -q --no-install-recommends qemu-user-static >>"$LOG" 2>&1 ||
      fail "cannot install qemu-user-static"
  fi
  [[ -e /proc/sys/fs/binfmt_misc/register ]] ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || fail "cannot mount binfmt_misc"
  if [[ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]]; then
    # magic and mask as in qemu's qemu-binfmt-conf.sh (ELF32, EM_386, ET_EXEC or ET_DYN)
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:FP' \
      >/proc/sys/fs/binfmt_misc/register || fail "cannot register qemu-i386 with binfmt_misc"
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1 || fail "i386 programs do not run, even under qemu-i386"
}

apt_update() { apt-get update >"$LOG" 2>&1 && ! grep -q '^E: ' "$LOG"; }

# Limits debian-security to amd64 and reads its i386 index as a flat repository.
use_flat_security_index() {
  grep -Eq '^E: Failed to fetch .*debian-security.*binary-i386' "$LOG" ||
    fail "apt-get update failed"
  local flat=/etc/apt/sources.list.d/zz-security-i386-flat.list file
  : >"$TMPD/flat"
  mkdir -p /var/backups
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -e $file ]] && grep -q 'debian-security' "$file" || continue
    cp -n "$file" "/var/backups/$(basename "$file").pre-wine32" || true
    # deb822: add "Architectures: amd64" to debian-security stanzas without one.
    awk -v flat="$TMPD/flat" '
      function flush() {
        if (n == 0) return
        if (sec && !arch) { blk[++n] = "Architectures: amd64" }
        if (sec) { split(uris, U, " "); split(suites, S, " ")
          for (i in U) for (j in S)
            printf "deb [arch=i386 trusted=yes] %s dists/%s/main/binary-i386/\n", U[i], S[j] >> flat }
        for (i = 1; i <= n; i++) print blk[i]
        n = 0; sec = 0; arch = 0; uris = ""; suites = ""
      }
      /^[[:space:]]*$/ { flush(); print; next }
      { blk[++n] = $0 }
      /^URIs:/ && /debian-security/ { sec = 1; uris = $0; sub(/^URIs:[[:space:]]*/, "", uris) }
      /^Suites:/ { suites = $0; sub(/^Suites:[[:space:]]*/, "", suites) }
      /^Architectures:/ { arch = 1 }
      END { flush() }' "$file" >"$file.new"
    mv "$file.new" "$file"
  done
  if [[ -f /etc/apt/sources.list ]] && grep -Eq '^deb +http[^[]*debian-security' /etc/apt/sources.list; then
    cp -n /etc/apt/sources.list /var/backups/sources.list.pre-wine32 || true
    grep -E '^deb +http[^[]*debian-security' /etc/apt/sources.list |
      awk '{printf "deb [arch=i386 trusted=yes] %s dists/%s/main/binary-i386/\n", $2, $3}' >>"$TMPD/flat"
    sed -i -E 's/^deb +(http[^[]*debian-security)/deb [arch=amd64] \1/' /etc/apt/sources.list
  fi
  sort -u "$TMPD/flat" >"$flat"
  apt_update || fail "apt-get update still fails with the flat security index"
}

# Installs WANT with explicit matching amd64/i386 versions of Multi-Arch
# "same" libraries (few apt-cache calls: each costs about a second here).
install_with_matched_versions() {
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances "${WANT[@]}" 2>/dev/null |
    grep -E '^[a-z0-9].*:i386$' | sed 's/:i386$//' | sort -u >"$TMPD/closure"
  local closure
  mapfile -t closure <"$TMPD/closure"
  apt-cache show "${closure[@]/%/:i386}" 2>/dev/null |
    awk '/^Package:/{p=$2} /^Multi-Arch: *same/{print p}' | sort -u >"$TMPD/masame"
  apt-cache policy "${closure[@]/%/:amd64}" "${closure[@]/%/:i386}" >"$TMPD/policy" 2>/dev/null
  # One line per M-A:same package with an installed amd64 twin:
  #   name installed_amd64 candidate_i386 versions_downloadable_for_both...
  awk -v masame="$TMPD/masame" '
    BEGIN { while ((getline l < masame) > 0) same[l] = 1 }
    /^[^ ].*:$/ { h = substr($0, 1, length($0) - 1); a = "amd64"
                  if (h ~ /:i386$/) { a = "i386"; sub(/:i386$/, "", h) } ; next }
    /^  Installed:/ { inst[h, a] = $2; next }
    /^  Candidate:/ { cand[h, a] = $2; next }
    /^ (\*\*\*|   ) [^ ]+ -?[0-9]+$/ { v = ($1 == "***") ? $2 : $1; next }
    /^        -?[0-9]+ / { if ($2 != "/var/lib/dpkg/status") dl[h, a, v] = 1; next }
    END {
      for (k in dl) { split(k, K, SUBSEP)
        if (K[2] == "amd64" && ((K[1], "i386", K[3]) in dl)) common[K[1]] = common[K[1]] " " K[3] }
      for (p in same) {
        if (!((p, "amd64") in inst) || inst[p, "amd64"] == "(none)") continue
        c = cand[p, "i386"]; if (c == "") c = "(none)"
        print p, inst[p, "amd64"], c common[p]
      }
    }' "$TMPD/policy" | sort >"$TMPD/plan"

  local pins=() problems=() wasauto=() auto p inst icand vers v best
  auto=$(apt-mark showauto 2>/dev/null || true)
  while read -r p inst icand vers; do
    best=""
    for v in $vers; do
      dpkg --compare-versions "$v" ge "$inst" || continue
      if [[ -z $best ]] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
    done
    if [[ -z $best ]]; then
      problems+=("$p (amd64 $inst installed; on both: ${vers:-none})")
      continue
    fi
    if [[ $best != "$inst" ]]; then
      pins+=("$p:amd64=$best")
      grep -qx "$p" <<<"$auto" && wasauto+=("$p:amd64")
    fi
    [[ $icand == "$best" ]] || pins+=("$p:i386=$best")
  done <"$TMPD/plan"
  ((${#problems[@]} == 0)) || fail "would have to downgrade amd64 libraries: ${problems[*]}"

  apt-get install -y -q --no-install-recommends "${WANT[@]}" "${pins[@]}" >>"$LOG" 2>&1 ||
    fail "apt-get install of wine32 failed"
  ((${#wasauto[@]} == 0)) || apt-mark auto "${wasauto[@]}" >/dev/null
}

if ! installed; then
  [[ $(id -u) == 0 ]] || fail "must run as root"
  dpkg --add-architecture i386
  if apt_update; then
    apt-get install -y -q --no-install-recommends "${WANT[@]}" >>"$LOG" 2>&1 ||
      install_with_matched_versions
  else
    use_flat_security_index
    install_with_matched_versions
  fi
  installed || fail "wine32 is still not installed"
fi
ensure_i386_exec
