#!/usr/bin/env bash
# Installs every Debian package the build, the demo and the tests need on the
# host, and builds the Wine root the Windows half runs in (scripts/wine-root.sh).
# Idempotent: a machine that already has everything spends seconds here.
#   install-deps.sh [packages]   with "packages", the host's packages only
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

PKGS=(
  cmake ninja-build g++ clang-14 libclang-rt-14-dev lld-14 clang-format
  g++-mingw-w64-i686 libz-mingw-w64-dev binutils-mingw-w64-i686
  debootstrap x11-utils
  googletest libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libpng-dev libzydis-dev libcapstone-dev libsqlite3-dev
  libdw-dev libelf-dev binutils-dev
  python3 python3-pil python3-aiosmtpd python3-dnslib openssl
  unzip imagemagick tcl dpkg-dev valgrind
)

log() { echo "install-deps: $*" >&2; }

# An index that fails to download (a mirror in the middle of a sync, say) is
# retried, then left out: the install goes on with the indexes that worked.
apt_update() {
  local i
  for i in 1 2 3; do
    if apt-get -o Acquire::Retries=3 update -qq; then return 0; fi
    log "apt-get update failed (try $i of 3)"
    sleep $((i * 5))
  done
  log "going on with the package indexes that did download"
}

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
need_src=0
[ -d /usr/src/pelmora-sqlite ] || need_src=1

if [ "${#missing[@]}" -gt 0 ] || [ "$need_src" -eq 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  # Source packages (SQLite for the GoldMine stand-in) need deb-src entries;
  # derive them from the machine's own deb entries.
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    for f in /etc/apt/sources.list.d/debian.sources; do
      [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f" >/etc/apt/sources.list.d/pelmora-src.sources
    done
    if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
      grep '^deb .*debian' /etc/apt/sources.list | sed 's/^deb /deb-src /' >/etc/apt/sources.list.d/pelmora-src.list
    fi
  fi
  apt_update
  if [ "${#missing[@]}" -gt 0 ]; then
    unavailable=()
    for p in "${missing[@]}"; do
      candidate=$(apt-cache policy "$p" 2>/dev/null | sed -n 's/^ *Candidate: //p')
      [ -n "$candidate" ] && [ "$candidate" != "(none)" ] || unavailable+=("$p")
    done
    if [ "${#unavailable[@]}" -gt 0 ]; then
      log "needed packages that no package index offers: ${unavailable[*]}"
      exit 1
    fi
    if ! apt-get -o Acquire::Retries=3 install -y -qq --no-install-recommends "${missing[@]}" >/tmp/pelmora-apt.log 2>&1; then
      grep -E '^(E:| [^ ].*: Depends)' /tmp/pelmora-apt.log >&2 || tail -20 /tmp/pelmora-apt.log >&2
      log "these packages could not be installed: ${missing[*]}"
      exit 1
    fi
  fi
  if [ "$need_src" -eq 1 ]; then
    tmp=$(mktemp -d)
    (cd "$tmp" && apt-get -o Acquire::Retries=3 source -qq sqlite3 >/dev/null 2>&1) ||
      { log "the sqlite3 source package could not be downloaded"; exit 1; }
    src=$(find "$tmp" -maxdepth 1 -mindepth 1 -type d -name 'sqlite3-*' | head -1)
    mkdir -p /usr/src/pelmora-sqlite
    cp -a "$src"/. /usr/src/pelmora-sqlite/
    rm -rf "$tmp"
  fi
fi

[ "${1:-}" = packages ] || bash "$here/wine-root.sh" build
