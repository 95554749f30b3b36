#!/usr/bin/env bash
# Builds the Windows presets and prints the benchmark table of tests/bench/TarvikBench.cpp
# for each build in the same run: the x86_64 twin with dist/win64/TarvikD.lmp, and the i686
# benchmark with the shipping dist/win32/TarvikD.lmp (under 32-bit Wine), with a private X
# server and wineserver. The figures are this machine's; docs/PERFORMANCE.md says how to
# read them.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

scripts/setup.sh || exit 1
scripts/build.sh win64 win32 win32-tests >/dev/null || { echo "build failed"; exit 1; }

source scripts/display.sh
"$wineserver" -k >/dev/null 2>&1; "$wineserver" -w >/dev/null 2>&1
# Start the wineserver and the prefix before the clock runs.
scripts/wine-run cmd /c exit >/dev/null 2>&1 || true

echo "machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)"
echo "wine: $(/usr/lib/wine/wine64 --version 2>/dev/null || wine64 --version 2>/dev/null)"
echo "load average: $(cut -d ' ' -f 1-3 /proc/loadavg)"
echo
# An i686 program runs natively where the kernel executes i386 code, else through QEMU's
# user-mode emulator (scripts/setup.sh): its figures then measure the emulator.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then i686_how="i686 under QEMU user-mode emulation"; else i686_how="i686"; fi
  builds=("x86_64:build/win64/tests/tarvik_bench.exe:dist/win64/TarvikD.lmp"
          "$i686_how:build/win32-tests/tests/tarvik_bench.exe:dist/win32/TarvikD.lmp")
else
  echo "(i686: this kernel cannot execute i386 code; only the x86_64 build is measured)"
  builds=("x86_64:build/win64/tests/tarvik_bench.exe:dist/win64/TarvikD.lmp")
fi
for build in "${builds[@]}"; do
  IFS=: read -r label bench dll <<<"$build"
  for locale in "" ru_RU.UTF-8; do
    echo "### $label, $dll, ${locale:-default locale} (code page $([ -n "$locale" ] && echo 1251 || echo 1252))"
    echo
    TARVIK_LOCALE=$locale scripts/wine-run "$root/$bench" "$dll" 2>/dev/null
    status=$?
    [ "$status" -eq 0 ] || { echo "tarvik_bench ($label) failed with status $status"; exit 1; }
    echo
  done
done
