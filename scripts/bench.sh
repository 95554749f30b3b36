#!/usr/bin/env bash
# Builds the win64 preset and prints the benchmark table of tests/bench/TarvikBench.cpp,
# measured under wine64 with a private X server and wineserver. The figures are this
# machine's; docs/PERFORMANCE.md says how to read them.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

scripts/setup.sh || exit 1
scripts/build.sh win64 >/dev/null || { echo "build failed"; exit 1; }

source scripts/display.sh
"$wineserver" -k >/dev/null 2>&1; "$wineserver" -w >/dev/null 2>&1
# Start the wineserver and the prefix before the clock runs.
scripts/wine-run cmd /c exit >/dev/null 2>&1 || true

echo "machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)"
echo "wine: $(/usr/lib/wine/wine64 --version 2>/dev/null || wine64 --version 2>/dev/null)"
echo "load average: $(cut -d ' ' -f 1-3 /proc/loadavg)"
echo
for locale in "" ru_RU.UTF-8; do
  echo "### ${locale:-default locale} (code page $([ -n "$locale" ] && echo 1251 || echo 1252))"
  echo
  TARVIK_LOCALE=$locale scripts/wine-run build/win64/tests/tarvik_bench.exe dist/win64/TarvikD.lmp 2>/dev/null
  status=$?
  [ "$status" -eq 0 ] || { echo "tarvik_bench failed with status $status"; exit 1; }
  echo
done
