#!/usr/bin/env bash
# Installs every Debian package the build, the demo and the tests need.
# Idempotent: a machine that already has them spends a few seconds here.
set -euo pipefail

PKGS=(
  cmake ninja-build g++ clang-14 libclang-rt-14-dev lld-14 clang-format
  g++-mingw-w64-i686 libz-mingw-w64-dev binutils-mingw-w64-i686
  wine wine32:i386 wine64 xvfb xauth x11-utils fonts-wine fonts-liberation
  googletest libbenchmark-dev zlib1g-dev libpng-dev libzydis-dev libcapstone-dev libsqlite3-dev
  libdw-dev libelf-dev binutils-dev
  python3 python3-pil python3-aiosmtpd
  unzip imagemagick tcl dpkg-dev valgrind gcc-multilib qemu-user-static
)

missing=()
have_i386=$(dpkg --print-foreign-architectures | grep -c '^i386$' || true)
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

need_src=0
[ -d /usr/src/pelmora-sqlite ] || need_src=1

if [ "${#missing[@]}" -eq 0 ] && [ "$have_i386" -eq 1 ] && [ "$need_src" -eq 0 ]; then
  exec bash "$(dirname "$0")/enable-i386.sh"
fi

export DEBIAN_FRONTEND=noninteractive
if [ "$have_i386" -ne 1 ]; then dpkg --add-architecture i386; fi

# Source packages (SQLite for the GoldMine stand-in) need deb-src entries;
# derive them from the machine's own deb entries.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  for f in /etc/apt/sources.list.d/debian.sources; do
    [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f" > /etc/apt/sources.list.d/pelmora-src.sources
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
    grep '^deb .*debian' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/pelmora-src.list
  fi
fi

apt-get update -qq
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ "$need_src" -eq 1 ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source -qq sqlite3 >/dev/null 2>&1)
  src=$(find "$tmp" -maxdepth 1 -mindepth 1 -type d -name 'sqlite3-*' | head -1)
  mkdir -p /usr/src/pelmora-sqlite
  cp -a "$src"/. /usr/src/pelmora-sqlite/
  rm -rf "$tmp"
fi

bash "$(dirname "$0")/enable-i386.sh"
