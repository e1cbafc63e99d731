#!/usr/bin/env bash
# The Wine the Windows half runs under: Debian trixie's Wine 10, in a root of
# its own (bookworm's glibc is too old for it). Two ways, chosen by a probe of
# the kernel when the root is built:
#  - wow64: the kernel runs 32-bit code in a 64-bit process, so 32-bit
#    Windows programs run natively inside 64-bit Wine (WoW64 mode), with no
#    32-bit Linux library and no i386 architecture anywhere;
#  - emulated: the kernel has no 32-bit code segment at all (some virtual
#    machines), so nothing 32-bit can run natively. The root's 32-bit Wine
#    then runs under the root's own static qemu-i386, registered with
#    binfmt_misc under a name of ours. The host gets neither i386 nor qemu.
#
#   wine-root.sh build           build the root unless it is current
#   wine-root.sh enter [DIR...]  make the mounts (once), DIR bound at its path
#   wine-root.sh run CMD...      run CMD inside, in the caller's folder
#   wine-root.sh leave           end the root's processes and drop the mounts
#
# The root lives outside any checkout, in one fixed folder, so that a reused
# machine keeps it and no checkout ever holds a tree with /dev and /proc (and
# itself) mounted inside. Its mounts live in a mount namespace of their own:
# the host never sees them, and dropping the namespace undoes them all.
set -euo pipefail

WINE_ROOT=${PELMORA_WINE_ROOT:-/var/cache/pelmora/wine-root}
# Where the delivery tests' DNS server listens (tests/delivery).
TEST_NAME_SERVER=127.0.53.53
# The mount namespace is held by a process of ours that only sleeps in it;
# everything else enters it by that process's id.
NS_HOLDER=/run/pelmora-wine-ns$(echo "$WINE_ROOT" | tr / _).pid
# Raise when the way the root is built changes: an older root is rebuilt.
RECIPE=2
STAMP=$WINE_ROOT/etc/pelmora-wine-root
TEMPLATE=/var/lib/pelmora/prefix-template
WINE_DLLS=/usr/lib/x86_64-linux-gnu/wine
ROOT_PACKAGES=(
  wine wine64 wine64-preloader libwine fonts-wine fonts-liberation xvfb xauth
  libxrender1 libxcursor1 libxi6 libxrandr2 libxinerama1 libxcomposite1
  libxfixes3 libxxf86vm1 libgnutls30t64 x11-utils
)
EMULATED_PACKAGES=(wine32:i386 wine32-preloader:i386 libwine:i386 qemu-user-static)
BINFMT_NAME=pelmora-i386
# Every route's 32-bit Windows DLLs, as seen from the root (relative link).
DLL_LINK=/var/lib/pelmora/i386-windows

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
log() { echo "wine-root: $*" >&2; }

# The host's own Debian mirror: the root comes from the same place.
debian_mirror() {
  if [ -n "${PELMORA_DEBIAN_MIRROR:-}" ]; then
    echo "$PELMORA_DEBIAN_MIRROR"
    return
  fi
  local uri
  uri=$(grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}' |
    grep -v security | head -1 || true)
  if [ -z "$uri" ]; then
    uri=$(grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
      sed 's/\[[^]]*\]//' | awk '{print $2}' | grep -v security | head -1 || true)
  fi
  [ -n "$uri" ] || { log "no Debian mirror in the host's apt sources"; exit 1; }
  echo "$uri"
}

in_root() { chroot "$1" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "${@:2}"; }

# apt-get update that survives an index that fails to download: it retries,
# then goes on with the indexes it has. A package that cannot be had fails
# the install, and the install says which.
apt_update() {
  local root=$1
  shift
  local i
  for i in 1 2 3; do
    if in_root "$root" apt-get -o Acquire::Retries=3 "$@" update -qq; then return 0; fi
    log "apt-get update failed (try $i of 3)"
    sleep $((i * 5))
  done
  log "going on with the package indexes that did download"
}

apt_install() {
  local root=$1
  shift
  local missing=()
  local p
  for p in "$@"; do
    in_root "$root" apt-cache show --no-all-versions "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    log "packages that cannot be had from the mirror: ${missing[*]}"
    exit 1
  fi
  in_root "$root" apt-get -o Acquire::Retries=3 install -y -qq --no-install-recommends "$@" >/dev/null
}

wine_version_in() { in_root "$1" dpkg-query -W -f '${Version}' wine 2>/dev/null || true; }

root_is_current() {
  [ -f "$STAMP" ] || return 1
  grep -qx "recipe $RECIPE" "$STAMP" || return 1
  local built
  built=$(sed -n 's/^wine //p' "$STAMP")
  [ -n "$built" ] || return 1
  # A newer Wine on the mirror means a rebuild; a mirror that cannot be
  # reached means keeping what is there.
  local candidate
  candidate=$(unshare --mount --propagation private bash -c "
    mount -t proc proc '$WINE_ROOT/proc'
    chroot '$WINE_ROOT' apt-get -o Acquire::Retries=1 update -qq >/dev/null 2>&1 || true
    chroot '$WINE_ROOT' apt-cache policy wine | sed -n 's/^ *Candidate: //p'" 2>/dev/null || true)
  if [ -n "$candidate" ] && [ "$candidate" != "(none)" ] && [ "$candidate" != "$built" ]; then
    log "the mirror has Wine $candidate (root has $built): rebuilding"
    return 1
  fi
  return 0
}

# Removes a root that no namespace holds; never crosses into another
# file system, so a stray mount cannot take anything of the host with it.
remove_root() {
  local dir=$1
  [ -e "$dir" ] || return 0
  if grep -q " $dir[/ ]" /proc/mounts; then
    log "$dir has mounts on the host; not removing it"
    exit 1
  fi
  rm -rf --one-file-system "$dir"
}

# wow64 when this kernel runs 32-bit code in a 64-bit process, else emulated.
kernel_route() {
  local probe
  probe=$(mktemp)
  if cc -O1 -static -no-pie -o "$probe" "$HERE/../tools/platform/compat_mode_probe.c" 2>/dev/null &&
    "$probe" 2>/dev/null; then
    echo wow64
  else
    echo emulated
  fi
  rm -f "$probe"
}

# trixie's amd64 libwine ships no 32-bit Windows DLLs; libwine:i386 of the
# same version has them. They are Windows files, so they are taken out of
# the i386 package with a separate package list: no i386 architecture is
# added, not even inside the root.
wow64_dlls() {
  local new=$1 version=$2
  local lists=/var/lib/pelmora/i386-lists
  mkdir -p "$new$lists/partial" "$new/tmp/i386"
  chmod 777 "$new/tmp/i386" # apt downloads as its own user
  unshare --mount --propagation private bash -c "
    set -e
    mount -t proc proc '$new/proc'
    mount --rbind /dev '$new/dev'
    $(declare -f log in_root apt_update)
    apt_update '$new' -o APT::Architectures::=amd64 -o APT::Architectures::=i386 \
      -o Dir::State::Lists=$lists
    chroot '$new' sh -c 'cd /tmp/i386 && apt-get -o APT::Architectures::=amd64 \
      -o APT::Architectures::=i386 -o Dir::State::Lists=$lists -o Acquire::Retries=3 \
      download -qq libwine:i386=$version'
  "
  local deb
  deb=$(ls "$new"/tmp/i386/libwine_*_i386.deb)
  mkdir -p "$new/tmp/i386/x" "$new$WINE_DLLS/i386-windows"
  dpkg-deb -x "$deb" "$new/tmp/i386/x"
  cp -a "$new/tmp/i386/x/usr/lib/i386-linux-gnu/wine/i386-windows/." "$new$WINE_DLLS/i386-windows/"
  rm -rf "$new/tmp/i386" "$new$lists"
  # The first process loads a 32-bit program directly, without a 64-bit
  # start.exe in between.
  ln -sf wine64 "$new/usr/lib/wine/wine"
  ln -sf wine64-preloader "$new/usr/lib/wine/wine-preloader"
  mkdir -p "$new$(dirname "$DLL_LINK")"
  ln -sfn ../../../usr/lib/x86_64-linux-gnu/wine/i386-windows "$new$DLL_LINK"
}

# The i386 architecture inside the root only (trixie's own package lists):
# 32-bit Wine and the static emulator that runs it.
emulated_wine() {
  local new=$1 version=$2
  unshare --mount --propagation private bash -c "
    set -e
    mount -t proc proc '$new/proc'
    mount --rbind /dev '$new/dev'
    $(declare -f log in_root apt_update apt_install)
    in_root '$new' dpkg --add-architecture i386
    apt_update '$new'
    apt_install '$new' $(printf '%s ' "${EMULATED_PACKAGES[@]}" | sed "s/libwine:i386/libwine:i386=$version/")
    in_root '$new' apt-mark hold wine32:i386 libwine:i386 >/dev/null
    in_root '$new' apt-get clean
  "
  mkdir -p "$new$(dirname "$DLL_LINK")"
  ln -sfn ../../../usr/lib/i386-linux-gnu/wine/i386-windows "$new$DLL_LINK"
  register_emulator "$new"
}

# binfmt_misc runs the root's 32-bit programs through the root's emulator.
# Registrations end with the machine, so entering the root checks it again.
register_emulator() {
  local root=$1
  local entry=/proc/sys/fs/binfmt_misc/$BINFMT_NAME
  mountpoint -q /proc/sys/fs/binfmt_misc ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  if [ -e "$entry" ]; then
    grep -qx "interpreter $root/usr/bin/qemu-i386" "$entry" && return 0
    echo -1 >"$entry"
  fi
  # i386 ELF executables; F opens the emulator now, so it runs in any root.
  printf '%s' ":$BINFMT_NAME:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$root/usr/bin/qemu-i386:FOC" \
    >/proc/sys/fs/binfmt_misc/register
}

build_root() {
  local new=$WINE_ROOT.new
  local mirror
  mirror=$(debian_mirror)
  remove_root "$new"
  mkdir -p "$(dirname "$WINE_ROOT")"
  local t0=$SECONDS
  log "debootstrap trixie from the host's mirror"
  debootstrap --variant=minbase trixie "$new" "$mirror" >"$new.log" 2>&1 ||
    { tail -20 "$new.log" >&2; exit 1; }
  rm -f "$new.log"
  log "debootstrap: $((SECONDS - t0)) s"

  echo "deb $mirror trixie main" >"$new/etc/apt/sources.list"
  rm -f "$new/etc/apt/sources.list.d/"*
  cat >"$new/etc/hosts" <<EOF
127.0.0.1 localhost
::1 localhost
127.0.1.1 $(hostname)
EOF
  cp /etc/resolv.conf "$new/etc/resolv.conf" 2>/dev/null || true

  t0=$SECONDS
  unshare --mount --propagation private bash -c "
    set -e
    mount -t proc proc '$new/proc'
    mount --rbind /dev '$new/dev'
    $(declare -f log in_root apt_update apt_install)
    apt_update '$new'
    apt_install '$new' ${ROOT_PACKAGES[*]}
    in_root '$new' apt-mark hold wine wine64 libwine >/dev/null
    in_root '$new' apt-get clean
  "
  local version
  version=$(wine_version_in "$new")
  log "packages (Wine $version): $((SECONDS - t0)) s"

  local route
  route=$(kernel_route)
  t0=$SECONDS
  if [ "$route" = wow64 ]; then
    wow64_dlls "$new" "$version"
  else
    emulated_wine "$new" "$version"
  fi
  log "32-bit Wine ($route): $((SECONDS - t0)) s"

  # Half the disk and a faster prefix; plain strip would change the file
  # alignment and slow every process start.
  t0=$SECONDS
  find "$new$WINE_DLLS/x86_64-windows" "$new$WINE_DLLS/i386-windows" \
    "$new/usr/lib/i386-linux-gnu/wine/i386-windows" -type f \
    \( -name '*.dll' -o -name '*.exe' -o -name '*.drv' -o -name '*.sys' -o -name '*.ocx' \
    -o -name '*.cpl' -o -name '*.acm' -o -name '*.ax' -o -name '*.tlb' -o -name '*.ds' \) \
    -print0 2>/dev/null |
    xargs -0 -P "$(nproc)" -n 32 sh -c 'for f; do objcopy --strip-debug --file-alignment 0x1000 "$f" 2>/dev/null || true; done' sh
  log "strip: $((SECONDS - t0)) s"

  t0=$SECONDS
  make_template "$new" "$route"
  log "prefix template: $((SECONDS - t0)) s"

  printf 'recipe %s\nwine %s\nroute %s\nbuilt %s\n' "$RECIPE" "$version" "$route" \
    "$(date -u +%FT%TZ)" >"$new/etc/pelmora-wine-root"
  leave
  remove_root "$WINE_ROOT"
  mv "$new" "$WINE_ROOT"
  log "root ready: Wine $version in $WINE_ROOT"
}

# The prefix every test and the demo start from, with the settings that keep
# tests from hanging. Copies are made with cp -a: the wineserver rewrites the
# registry files in place, so hard links would corrupt the template.
make_template() {
  local root=$1 arch=win64
  [ "$2" = emulated ] && arch=win32
  unshare --mount --propagation private bash -c "
    set -e
    mount -t proc proc '$root/proc'
    mount --rbind /dev '$root/dev'
    mount -t sysfs sys '$root/sys'
    chroot '$root' /usr/bin/env -i PATH=/usr/lib/wine:/usr/bin:/bin HOME=/root LANG=C.UTF-8 \
      WINEPREFIX=$TEMPLATE WINEARCH=$arch WINEDEBUG=-all \
      WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' sh -c '
        set -e
        wineboot -i >/dev/null 2>&1
        wine reg add \"HKCU\\Software\\Wine\\WineDbg\" /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        wine reg add \"HKCU\\Software\\Wine\\X11 Driver\" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        wineserver -w
        # Marlett for caption buttons, Tahoma and MS Sans Serif stand-ins,
        # Arial and Courier New metrics.
        cp -n /usr/share/wine/fonts/*.ttf /usr/share/fonts/truetype/liberation/*.ttf \
          $TEMPLATE/drive_c/windows/Fonts/ 2>/dev/null || true
        touch $TEMPLATE/.pelmora-ready'
  "
}

# The holder's id when the namespace lives, else nothing.
ns_holder() {
  local pid
  pid=$(cat "$NS_HOLDER" 2>/dev/null) || return 1
  [ -n "$pid" ] && [ -d "/proc/$pid" ] || return 1
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = sleep ] || return 1
  # A killed holder nobody has reaped yet is gone all the same.
  grep -q '^State:[[:space:]]*Z' "/proc/$pid/status" 2>/dev/null && return 1
  local ns
  ns=$(readlink "/proc/$pid/ns/mnt" 2>/dev/null) || return 1
  [ -n "$ns" ] && [ "$ns" != "$(readlink /proc/self/ns/mnt)" ] || return 1
  echo "$pid"
}
ns_alive() { ns_holder >/dev/null; }

enter() {
  [ -f "$STAMP" ] || { log "no Wine root; run scripts/wine-root.sh build"; exit 1; }
  # Test runners enter side by side: one at a time makes the mounts.
  exec 9>"$NS_HOLDER.lock"
  flock 9
  if grep -qx "route emulated" "$STAMP"; then register_emulator "$WINE_ROOT"; fi
  # The delivery tests answer mail-server queries on a loopback address of
  # their own (port 53); first in the list, since only three are read. A
  # query to it finds nobody at once when no test runs.
  local conf="$WINE_ROOT/etc/resolv.conf"
  if ! grep -qx "nameserver $TEST_NAME_SERVER" "$conf" 2>/dev/null; then
    { echo "nameserver $TEST_NAME_SERVER"; grep -v "^nameserver $TEST_NAME_SERVER" "$conf" 2>/dev/null; } >"$conf.new" &&
      mv "$conf.new" "$conf"
  fi
  if ! ns_alive; then
    rm -f "$NS_HOLDER"
    # The holder keeps no descriptor of its starter open: a test runner
    # waiting for the end of its output would wait for ever.
    setsid unshare --mount --propagation private bash -c '
      set -e
      for fd in /proc/$$/fd/*; do
        n=${fd##*/}
        if [ "$n" -gt 2 ] 2>/dev/null; then eval "exec $n>&-"; fi
      done
      mount -t proc proc "$1/proc"
      mount -t sysfs sys "$1/sys"
      mount --rbind /dev "$1/dev"
      mount -t tmpfs -o mode=1777 tmp "$1/tmp"
      mount -t tmpfs tmp "$1/dev/shm"
      echo $$ >"$2.new"
      exec sleep infinity
    ' holder "$WINE_ROOT" "$NS_HOLDER" </dev/null >/dev/null 2>&1 &
    local _
    for _ in $(seq 100); do [ -s "$NS_HOLDER.new" ] && break; sleep 0.05; done
    mv "$NS_HOLDER.new" "$NS_HOLDER" 2>/dev/null || { log "the root's mounts could not be made"; exit 1; }
    for _ in $(seq 100); do ns_alive && break; sleep 0.02; done
    ns_alive || { log "the root's mounts could not be made"; exit 1; }
  fi
  local dir holder
  holder=$(ns_holder)
  for dir in "$@"; do
    dir=$(cd "$dir" && pwd -P)
    nsenter --target "$holder" --mount --root -- bash -c "
      grep -q ' $WINE_ROOT$dir ' /proc/mounts && exit 0
      mkdir -p '$WINE_ROOT$dir'
      mount --rbind '$dir' '$WINE_ROOT$dir'
    "
  done
}

# What a Windows program inside is given of the caller's environment.
pass_env() {
  local v
  for v in DISPLAY WINEPREFIX WINEDEBUG WINEDLLOVERRIDES WINESERVER TZ TERM LANG; do
    [ -n "${!v+x}" ] && printf '%s=%s\0' "$v" "${!v}"
  done
  env -0 | grep -zE '^(PELMORA_|OSTREL_|GM_SIM_|GTEST_)' || true
}

run() {
  local holder
  holder=$(ns_holder) || { log "the root is not entered; run scripts/wine-root.sh enter"; exit 1; }
  local cwd
  cwd=$(pwd -P)
  local envs=()
  local e
  while IFS= read -r -d '' e; do envs+=("$e"); done < <(pass_env)
  # exec all the way down: the caller's process id is the Windows program's.
  exec nsenter --target "$holder" --mount --root -- chroot "$WINE_ROOT" /usr/bin/env -i -C "$cwd" \
    PATH=/usr/lib/wine:/usr/bin:/bin HOME=/root LANG=C.UTF-8 "${envs[@]}" "$@"
}

# Ends what still runs inside (the processes of our mount namespace, by their
# ids), the holder last; with it the namespace and every mount go.
leave() {
  local holder ns pid
  holder=$(ns_holder) || { rm -f "$NS_HOLDER"; return 0; }
  ns=$(readlink "/proc/$holder/ns/mnt")
  for pid in /proc/[0-9]*; do
    pid=${pid#/proc/}
    [ "$pid" = "$holder" ] && continue
    [ "$(readlink "/proc/$pid/ns/mnt" 2>/dev/null)" = "$ns" ] && kill -9 "$pid" 2>/dev/null
  done
  kill -9 "$holder" 2>/dev/null
  rm -f "$NS_HOLDER"
}

case ${1:-} in
  build) root_is_current || build_root ;;
  enter) shift; enter "$@" ;;
  run) shift; run "$@" ;;
  leave) leave ;;
  *) echo "usage: wine-root.sh build|enter [DIR...]|run CMD...|leave" >&2; exit 2 ;;
esac
