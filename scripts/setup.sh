#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Tarvik. Safe to run again:
# it installs only missing packages. Needs root (or sudo) the first time.
set -euo pipefail

packages=(cmake ninja-build g++ googletest
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
          wine64 xvfb xauth
          fonts-wine fonts-liberation imagemagick x11-apps x11-utils xdotool
          fp-utils nsis p7zip-full
          clang libclang-rt-dev)
# libjpeg: Debian's build for the native tests, and the tools that unpack its source
# package for the Windows builds (scripts/libjpeg.sh).
packages+=(libjpeg62-turbo-dev dpkg-dev)

# scripts/libjpeg.sh fetches libjpeg-turbo with `apt-get source`, which needs deb-src
# entries: they are copied from the machine's own deb entries, so no host is named here.
if ! apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q '^Package: libjpeg-turbo'; then
  as_root=""
  [ "$(id -u)" -eq 0 ] || as_root=sudo
  echo "setup: adding deb-src entries for the libjpeg-turbo source package"
  for list in /etc/apt/sources.list.d/*.sources; do
    [ -f "$list" ] && grep -q '^Types: deb$' "$list" || continue
    sed 's/^Types: deb$/Types: deb-src/' "$list" |
      $as_root tee "/etc/apt/sources.list.d/tarvik-src-$(basename "$list")" >/dev/null
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $as_root tee /etc/apt/sources.list.d/tarvik-src.list >/dev/null
  fi
  $as_root apt-get update -qq
fi

# 32-bit Wine beside wine64 runs the shipping i686 plug-in, its test programs and the x86
# installer. Where the kernel cannot execute i386 code the package still installs; the
# test script then skips the 32-bit layers.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root=""
  [ "$(id -u)" -eq 0 ] || as_root=sudo
  echo "setup: adding the i386 architecture for 32-bit Wine"
  $as_root dpkg --add-architecture i386
  $as_root apt-get update -qq
fi
packages+=(wine32:i386)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Some kernels run 64-bit user code only (execve of any i386 program fails with "Exec
# format error"). On request (TARVIK_WIN32_EMULATED=1) the 32-bit Wine loader then runs
# under QEMU's user-mode emulator, registered with binfmt_misc for i386 programs: slow
# (minutes to start each 32-bit program) and not reliable, so never by default.
if [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1 &&
   [ "${TARVIK_WIN32_EMULATED:-0}" = 1 ]; then
  as_root=""
  [ "$(id -u)" -eq 0 ] || as_root=sudo
  if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q "install ok installed"; then
    echo "setup: this kernel does not run i386 code; installing QEMU's user-mode emulator for 32-bit Wine"
    DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -f "$binfmt/register" ] || $as_root mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
  if [ -f "$binfmt/register" ] && [ ! -e "$binfmt/qemu-i386" ]; then
    # ELF, 32-bit, little-endian, executable or shared object, machine i386; F opens the
    # emulator now, so it is found from any mount namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
      $as_root tee "$binfmt/register" >/dev/null || true
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1 ||
    echo "setup: 32-bit programs cannot run here; the win32 test layers will be skipped"
fi
