#!/usr/bin/env bash
# Builds the plug-in (both Windows builds) and plays the example publication with the
# demonstration host under wine64 on a private X server. Pass another script to play it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
script=${1:-examples/typical-road.txt}

scripts/setup.sh
scripts/build.sh win64 win32
echo
echo "built: dist/win32/TarvikD.lmp (shipping, 32-bit) and dist/win64/TarvikD.lmp"
echo

source scripts/display.sh

# As on the Russian-speaking authors' machines: code page 1251 and a Russian keyboard
# layout, so the catalogue's Cyrillic texts arrive intact and a press reports its key in
# the author's own layout.
echo "== playing $script with dist/win64/tarvik-host.exe under wine64"
TARVIK_LOCALE=ru_RU.UTF-8 scripts/wine-run dist/win64/tarvik-host.exe --dll TarvikD.lmp "$script"
