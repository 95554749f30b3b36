#!/usr/bin/env bash
# Builds every preset and runs every test layer: the native unit and conformance tests
# (AddressSanitizer, UBSan), the DLL image checks, and under Wine + Xvfb, once for the
# x86_64 build and once for the shipping i686 build, the unit tests as a Windows program,
# the conformance suite against real Win32, the integration tests through the DLL's
# exports and the installer. Ends with a line per layer and one line that counts the
# tests of all layers.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

scripts/setup.sh || exit 1
# win32 makes the shipping dist/win32 files; win32-tests builds the i686 test programs
# that drive them (GoogleTest needs the posix thread model the shipping DLL does without).
scripts/build.sh native win64 win32 win32-tests || { echo "build failed"; exit 1; }

results="$root/build/test-results"
rm -rf "$results" && mkdir -p "$results"
passed=0
failed=0
skipped=0
summary=()
suite_timeout=900  # seconds one test program may take

# Runs one GoogleTest program (through a launcher, for wine) and adds up its verdict.
run_suite() {
  local label=$1; shift
  local log="$results/$label.log"
  echo "== $label"
  timeout "$suite_timeout" "$@" --gtest_color=no >"$log" 2>&1
  local status=$?
  grep -E '^\[  (FAILED|PASSED|SKIPPED) |^\[==========\]' "$log" | sed 's/^/   /'
  local p f s
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -n 1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*, listed below.*/\1/p' "$log" | tail -n 1)
  s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*/\1/p' "$log" | tail -n 1)
  p=${p:-0}; f=${f:-0}; s=${s:-0}
  # A layer that runs no test proves nothing: a filter that matches nothing, a program
  # that stops before its tests.
  if [ "$status" -eq 0 ] && [ $((p + f + s)) -eq 0 ]; then
    echo "   $label ran no test"
    f=1
  fi
  # A program that dies in a test never prints the closing count, and a crash under
  # wine does not always show in the exit status.
  if ! grep -qE '^\[==========\] [0-9]+ tests? from .* ran\.' "$log" && [ "$status" -eq 0 ]; then
    status=1
  fi
  if [ "$status" -ne 0 ] && [ "$f" -eq 0 ]; then
    echo "   $label exited with status $status without a verdict; last lines:"
    tail -n 20 "$log" | sed 's/^/   | /'
    f=1
  elif [ "$f" -ne 0 ]; then
    grep -B 5 -E '^\[  FAILED  \] [A-Za-z]' "$log" | grep -vE '^\[ +(RUN|OK) ' | head -n 60 | sed 's/^/   | /'
  fi
  passed=$((passed + p)); failed=$((failed + f)); skipped=$((skipped + s))
  summary+=("$(layer_line "$label" "$p" "$f" "$s")")
}

# Runs a script that ends with "NAME: N passed, N failed" and adds up its verdict.
run_script_suite() {
  local label=$1; shift
  local log="$results/$label.log"
  echo "== $label"
  timeout "$suite_timeout" "$@" >"$log" 2>&1
  local status=$? counts p f
  counts=$(sed -n 's/^[a-z0-9-]*: \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' "$log" | tail -n 1)
  sed '$d' "$log" | sed 's/^ *//; s/^/   /'
  if [ -z "$counts" ]; then
    echo "   $label exited with status $status without a verdict"
    counts="0 1"
  fi
  read -r p f <<<"$counts"
  [ "$status" -eq 0 ] || [ "$f" -ne 0 ] || f=1
  [ $((p + f)) -ne 0 ] || { echo "   $label ran no test"; f=1; }
  passed=$((passed + p)); failed=$((failed + f))
  summary+=("$(layer_line "$label" "$p" "$f" 0)")
}

# Whether this kernel executes i386 code: a 93-byte static i386 program that only exits.
kernel_runs_i386() {
  local probe="$root/build/i386-probe"
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' >"$probe" &&
    chmod +x "$probe" && "$probe" 2>/dev/null
}

layer_line() {
  local line="$1: $2 passed, $3 failed"
  [ "$4" -eq 0 ] || line+=", $4 skipped"
  echo "$line"
}

restart_wineserver() {
  "$wineserver" -k >/dev/null 2>&1; "$wineserver" -w >/dev/null 2>&1
}

# One build's Windows layers, a line each: the layer's name after the build's, the locale
# it runs under (- for the machine's own), the program, its test filter (- for all). The
# -ru layers run as on the Russian-speaking authors' machines, code page 1251 and the
# Russian layout; each of their programs first checks that the locale took (a run whose
# TARVIK_LOCALE did not take fails instead of repeating the plain run).
windows_layers=(
  "unit|-|tarvik_unit_tests.exe|-"
  "unit-ru|ru_RU.UTF-8|tarvik_unit_tests.exe|KeyNameIndexOnTheSystem*"
  "conformance|-|tarvik_conformance.exe|-"
  "conformance-ru|ru_RU.UTF-8|tarvik_conformance.exe|-"
  "integration|-|tarvik_integration.exe|-DialogSoakIt.*"
  "soak|-|tarvik_integration.exe|DialogSoakIt.*"
  "integration-ru|ru_RU.UTF-8|tarvik_integration.exe|*Layout*:*Lifecycle*:*CodePage*"
  "installer|-|tarvik_installer_tests.exe|-"
)

# Runs one build's Windows layers; a third argument "once" leaves out the -ru runs of the
# unit and conformance programs, where every program start is slow, and counts them as
# skipped.
run_windows_layers() {
  local build=$1 tests="$root/build/$2/tests" runs=${3:-all} line name locale program filter
  for line in "${windows_layers[@]}"; do
    IFS='|' read -r name locale program filter <<<"$line"
    if [ "$runs" = once ] && [ "$locale" != - ] && [ "$name" != integration-ru ]; then
      skip_layers "every 32-bit program starts slowly under emulation" "$build-$name"
      continue
    fi
    local command=(scripts/wine-run "$tests/$program")
    [ "$filter" = - ] || command+=("--gtest_filter=$filter")
    [ "$locale" = - ] || command=(env TARVIK_LOCALE="$locale" "${command[@]}")
    if [ "$name" = soak ]; then
      # Thousands of dialog openings (5 to 9 minutes under wine64), on a clock of their own.
      suite_timeout=$((suite_timeout * 2)) run_suite "$build-$name" "${command[@]}"
    else
      run_suite "$build-$name" "${command[@]}"
    fi
    restart_wineserver
  done
}

# Counts the layers named as skipped, with one line that says why and which.
skip_layers() {
  local reason=$1; shift
  echo "== skipped, $reason: $*"
  skipped=$((skipped + $#))
  summary+=("${1%%-*}: $# layers skipped ($*): $reason")
}

# The setup script against stand-ins for Debian's package tools.
run_script_suite setup-script tests/setup/setup_test.sh

native="$root/build/native/tests"
run_suite native-unit "$native/tarvik_unit_tests"
run_suite native-conformance "$native/tarvik_conformance"
run_suite dll-images "$native/tarvik_dll_tests"
run_suite native-artwork "$native/tarvik_art_tests"
run_suite help-file "$native/tarvik_help_tests"

# Windows programs: a private X server and a private, fresh wineserver.
source scripts/display.sh

# The x86_64 twin (wine64), then the shipping i686 build (32-bit Wine): the plug-in and
# installer of dist/win32, driven by i686 test programs whose host checks every entry
# point's and callback's stdcall stack.
run_windows_layers win64 win64
# The shipping i686 build needs 32-bit Wine, which runs only where the kernel executes
# i386 code. Where it runs 64-bit user code only, 32-bit Wine can run under QEMU's
# user-mode emulator (scripts/setup.sh, TARVIK_WIN32_EMULATED=1): there every 32-bit
# program takes minutes to start and the emulator now and then loses the 32-bit Wine
# client in the middle of a test, so those runs are made only on request.
win32_layers=()
for line in "${windows_layers[@]}"; do win32_layers+=("win32-${line%%|*}"); done
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && [ "${TARVIK_WIN32_EMULATED:-0}" = 1 ] &&
   "$(dirname "$wineserver")/wine" --version >/dev/null 2>&1; then
  echo "== win32: this kernel does not execute i386 code; 32-bit programs run under QEMU's user-mode emulator"
  suite_timeout=2400
  run_windows_layers win32 win32-tests once
elif [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  skip_layers "this kernel does not execute i386 code (TARVIK_WIN32_EMULATED=1 runs them under QEMU's emulator, slowly and not reliably)" "${win32_layers[@]}"
elif ! kernel_runs_i386; then
  skip_layers "this kernel does not execute i386 code (\"Exec format error\")" "${win32_layers[@]}"
elif [ ! -x "$(dirname "$wineserver")/wine" ]; then
  skip_layers "32-bit Wine (wine32:i386) is not installed: scripts/setup.sh could not install it" "${win32_layers[@]}"
elif ! "$(dirname "$wineserver")/wine" --version >/dev/null 2>&1; then
  skip_layers "32-bit Wine is installed but does not start" "${win32_layers[@]}"
else
  run_windows_layers win32 win32-tests
fi

# The shipping build once more, in another folder: the same bytes in dist/ (a minute).
run_script_suite reproducible scripts/reproducible.sh win32

# The fuzz targets, 30 seconds each from the checked-in seeds; each counts as one test.
echo "== fuzz"
scripts/fuzz.sh 30 >"$results/fuzz.log" 2>&1
grep -E '^== fuzz|DONE|found something|^   \|' "$results/fuzz.log" | sed 's/^/   /'
fuzz_total=$(grep -c '^== fuzz ' "$results/fuzz.log")
fuzz_failed=$(sed -n 's/^fuzz: [0-9]* targets, \([0-9]*\) found something$/\1/p' "$results/fuzz.log")
if [ -z "$fuzz_failed" ]; then
  echo "   the fuzz build or run did not finish; last lines:"
  tail -n 20 "$results/fuzz.log" | sed 's/^/   | /'
  failed=$((failed + 1))
else
  passed=$((passed + fuzz_total - fuzz_failed)); failed=$((failed + fuzz_failed))
fi
summary+=("$(layer_line fuzz "$((fuzz_total - ${fuzz_failed:-0}))" "${fuzz_failed:-1}" 0)")

echo
printf '%s\n' "${summary[@]}"
echo "tests: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
