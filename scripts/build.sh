#!/usr/bin/env bash
# Configures and builds the given presets (default: all three). A build folder configured
# for another place (a checkout copied or moved with its build/ folder) names that
# place's files throughout: it is removed and configured afresh here.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win64 win32)
for preset in "${presets[@]}"; do
  echo "== build $preset"
  cache="build/$preset/CMakeCache.txt"
  if [ -f "$cache" ]; then
    configured=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")
    if [ ! "$configured" -ef "$root" ]; then
      echo "build.sh: build/$preset belongs to the checkout in ${configured:-an unknown place}, not to $root: configuring it afresh"
      rm -rf "build/$preset"
    fi
  fi
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
