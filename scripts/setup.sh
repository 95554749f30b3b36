#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Tarvik. Safe to run again:
# it installs only missing packages. Needs root (or sudo) the first time.
set -euo pipefail

packages=(cmake ninja-build g++ googletest
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
          wine64 xvfb xauth
          fonts-wine fonts-liberation imagemagick x11-apps
          clang libclang-rt-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
