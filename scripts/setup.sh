#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Tarvik. Safe to run again:
# it installs only missing packages. Needs root (or sudo) the first time.
#
# A package source that fails does not stop it: the index update is tried a few times and
# then used with whatever indexes apt has, with one line naming what failed. The required
# packages go in one call; a required package that cannot be installed stops the setup
# with its name and apt's reason. 32-bit Wine, which only the win32 test layers need, goes
# in a call of its own, and a failure there is reported and passed over.
set -uo pipefail

required=(cmake ninja-build g++ googletest
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
          wine64 xvfb xauth locales
          fonts-wine fonts-liberation imagemagick x11-apps x11-utils xdotool
          fp-utils nsis p7zip-full
          clang libclang-rt-dev)
# locales: the sources scripts/wine-run generates the -ru runs' locale from where the
# system lacks it (without it Wine's Unix file names are ASCII).
# libjpeg: Debian's build for the native tests, and the tools that unpack its source
# package for the Windows builds (scripts/libjpeg.sh).
required+=(libjpeg62-turbo-dev dpkg-dev)
# Only the win32 layers need these: 32-bit Wine beside wine64 runs the shipping i686
# plug-in, its test programs and the x86 installer. GStreamer's base plug-ins are a
# dependency of it, named so that apt's resolver finds them also when every i386 package
# has to come from the release's own suite (below).
optional=(wine32:i386 libgstreamer-plugins-base1.0-0:i386)

apt_dir=${TARVIK_APT_DIR:-/etc/apt}          # the stand-in test points this elsewhere
tries=${TARVIK_SETUP_TRIES:-3}               # index updates before going on without
pause=${TARVIK_SETUP_PAUSE:-15}              # seconds between them
as_root=""
[ "$(id -u)" -eq 0 ] || as_root=sudo
export DEBIAN_FRONTEND=noninteractive

say() { echo "setup: $*"; }

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# apt's own words for a failure: its error lines, joined, without the long lines of hashes
# that follow a failed download.
apt_reason() {
  local reason
  reason=$(grep -E '^E: ' | grep -v '^E: Some index files failed to download' | sed 's/^E: //; s/ *\[IP: [^]]*\]//' | head -n 3 | paste -sd ';' - | sed 's/;/; /g')
  echo "${reason:-apt gave no reason}"
}

# Brings the package indexes up to date, trying again after a pause; a source that keeps
# failing (a mirror in the middle of a sync, say) is named and the indexes apt already
# has are used.
update_indexes() {
  local try out=""
  for ((try = 1; try <= tries; try++)); do
    if out=$($as_root apt-get update -qq 2>&1); then
      return 0
    fi
    [ "$try" -lt "$tries" ] && sleep "$pause"
  done
  say "the package indexes could not all be updated ($tries tries): $(apt_reason <<<"$out"); going on with the indexes apt has"
}

# Installs the packages named, in one call; prints apt's reason when that fails.
install_packages() {
  local out
  out=$($as_root apt-get install -y -qq --no-install-recommends "$@" 2>&1) && return 0
  apt_reason <<<"$out"
  return 1
}

missing_required=()
for p in "${required[@]}"; do installed "$p" || missing_required+=("$p"); done
missing_optional=()
for p in "${optional[@]}"; do installed "$p" || missing_optional+=("$p"); done

changed_sources=0
# scripts/libjpeg.sh fetches libjpeg-turbo with `apt-get source`, which needs deb-src
# entries: they are copied from the machine's own deb entries, so no host is named here.
if ! apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q '^Package: libjpeg-turbo'; then
  say "adding deb-src entries for the libjpeg-turbo source package"
  for list in "$apt_dir"/sources.list.d/*.sources; do
    [ -f "$list" ] && grep -q '^Types: deb$' "$list" || continue
    sed 's/^Types: deb$/Types: deb-src/' "$list" |
      $as_root tee "$apt_dir/sources.list.d/tarvik-src-$(basename "$list")" >/dev/null
  done
  if [ -f "$apt_dir/sources.list" ] && grep -q '^deb ' "$apt_dir/sources.list"; then
    sed -n 's/^deb /deb-src /p' "$apt_dir/sources.list" | $as_root tee "$apt_dir/sources.list.d/tarvik-src.list" >/dev/null
  fi
  changed_sources=1
fi

# Where the kernel cannot execute i386 code the 32-bit packages still install; the test
# script then skips the 32-bit layers.
if [ ${#missing_optional[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  say "adding the i386 architecture for 32-bit Wine"
  if $as_root dpkg --add-architecture i386; then
    changed_sources=1
  else
    say "the i386 architecture could not be added"
  fi
fi

if [ "$changed_sources" = 1 ] || [ ${#missing_required[@]} -gt 0 ] || [ ${#missing_optional[@]} -gt 0 ]; then
  update_indexes
fi

# Installs the required packages that are missing, in one call; a package apt refuses
# stops the setup with its name and apt's reason.
install_required() {
  local missing=() p reason refused=0
  for p in "${required[@]}"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -gt 0 ] || return 0
  say "installing ${missing[*]}"
  install_packages "${missing[@]}" >/dev/null && return 0
  # One call for all failed: find out which packages apt refuses, one at a time.
  for p in "${missing[@]}"; do
    installed "$p" && continue
    if ! reason=$(install_packages "$p"); then
      say "the required package $p could not be installed: $reason"
      refused=1
    fi
  done
  [ "$refused" = 0 ] || exit 1
}
install_required

# A source whose i386 index failed (a security suite in the middle of a sync) leaves the
# i386 libraries at the release's versions while their amd64 twins are newer, and the two
# must be the same version: then everything comes from the release's own suite, which
# moves those amd64 libraries to the release's versions.
release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
if [ ${#missing_optional[@]} -gt 0 ]; then
  say "installing ${missing_optional[*]}"
  if ! reason=$(install_packages "${missing_optional[@]}"); then
    if [ -n "$release" ] && install_packages -t "$release" "${missing_optional[@]}" >/dev/null; then
      say "32-bit Wine installed from the $release suite alone ($reason)"
      # To match the i386 libraries apt may have taken away an amd64 package that needs a
      # newer twin (wine64 among them): it comes back beside them.
      install_required
    else
      say "32-bit Wine could not be installed ($reason): the win32 layers will be skipped"
    fi
  fi
fi

# Some kernels run 64-bit user code only (execve of any i386 program fails with "Exec
# format error"). On request (TARVIK_WIN32_EMULATED=1) the 32-bit Wine loader then runs
# under QEMU's user-mode emulator, registered with binfmt_misc for i386 programs: slow
# (minutes to start each 32-bit program) and not reliable, so never by default.
if [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1 &&
   [ "${TARVIK_WIN32_EMULATED:-0}" = 1 ]; then
  if ! installed qemu-user-static; then
    say "this kernel does not run i386 code; installing QEMU's user-mode emulator for 32-bit Wine"
    reason=$(install_packages qemu-user-static) ||
      say "QEMU's user-mode emulator could not be installed ($reason): the win32 layers will be skipped"
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -f "$binfmt/register" ] || $as_root mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
  if [ -f "$binfmt/register" ] && [ ! -e "$binfmt/qemu-i386" ] && [ -x /usr/bin/qemu-i386-static ]; then
    # ELF, 32-bit, little-endian, executable or shared object, machine i386; F opens the
    # emulator now, so it is found from any mount namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
      $as_root tee "$binfmt/register" >/dev/null || true
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1 ||
    say "32-bit programs cannot run here; the win32 test layers will be skipped"
fi
exit 0
