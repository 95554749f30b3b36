#!/usr/bin/env bash
# scripts/setup.sh against stand-ins for apt-get, apt-cache, dpkg and dpkg-query: what it
# runs and what it prints when a package source or a package fails, without the network
# and without touching the machine's packages. Ends with "setup-script: N passed, N failed".
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
setup=$here/../../scripts/setup.sh
passed=0
failed=0

# A machine as the case needs it: an apt folder with one deb source, the packages already
# installed (one a line) and the foreign architectures. Runs setup.sh there; sets $out,
# $status and $STANDIN (whose log lists every call).
run_setup() {
  local installed=$1 archs=$2; shift 2
  STANDIN=$(mktemp -d)
  mkdir -p "$STANDIN/apt/sources.list.d"
  printf 'Types: deb\nURIs: http://deb.example/debian\nSuites: bookworm\nComponents: main\n' \
    >"$STANDIN/apt/sources.list.d/debian.sources"
  printf '%s' "$installed" >"$STANDIN/installed"
  printf '%s' "$archs" >"$STANDIN/archs"
  out=$(env "$@" STANDIN="$STANDIN" PATH="$here/standins:$PATH" TARVIK_APT_DIR="$STANDIN/apt" \
        TARVIK_SETUP_PAUSE=0 TARVIK_WIN32_EMULATED=0 bash "$setup" 2>&1)
  status=$?
}

calls() { grep -c "^apt-get $1" "$STANDIN/log" 2>/dev/null || true; }

check() {
  local name=$1; shift
  if "$@"; then
    passed=$((passed + 1)); echo "ok: $name"
  else
    failed=$((failed + 1)); echo "FAILED: $name"
    echo "$out" | sed 's/^/   | /'
    sed 's/^/   log: /' "$STANDIN/log" 2>/dev/null
  fi
  rm -rf "$STANDIN"
}

every_package_installed() {
  local p
  for p in cmake nsis fp-utils wine64 libjpeg62-turbo-dev; do grep -qxF "$p" "$STANDIN/installed" || return 1; done
}

# A fresh machine: deb-src entries and the i386 architecture are added, one index
# update, the required packages in one call and 32-bit Wine in a call of its own.
run_setup "" ""
fresh() {
  [ "$status" -eq 0 ] && [ "$(calls update)" -eq 1 ] && [ "$(calls install)" -eq 2 ] &&
  grep "^apt-get install" "$STANDIN/log" | head -n 1 | grep -q " cmake .* nsis .* dpkg-dev$" &&
  grep "^apt-get install" "$STANDIN/log" | tail -n 1 | grep -q "install -y -qq --no-install-recommends wine32:i386 libgstreamer-plugins-base1.0-0:i386$" &&
  grep -qx i386 "$STANDIN/archs" && [ -f "$STANDIN/apt/sources.list.d/tarvik-src-debian.sources" ] &&
  grep -q '^Types: deb-src$' "$STANDIN/apt/sources.list.d/tarvik-src-debian.sources" &&
  every_package_installed && grep -qxF wine32:i386 "$STANDIN/installed"
}
check "a fresh machine gets everything in two install calls after one update" fresh

# Run again on the machine it just set up: nothing is updated or installed, and it says
# nothing.
run_setup "" ""
rerun_quiet() {
  : >"$STANDIN/log"
  out=$(env STANDIN="$STANDIN" PATH="$here/standins:$PATH" TARVIK_APT_DIR="$STANDIN/apt" \
        TARVIK_SETUP_PAUSE=0 TARVIK_WIN32_EMULATED=0 bash "$setup" 2>&1)
  [ $? -eq 0 ] && [ "$(calls update)" -eq 0 ] && [ "$(calls install)" -eq 0 ] && [ -z "$out" ]
}
check "a second run on the machine it set up does nothing" rerun_quiet

# An index update that fails once is tried again and says nothing.
run_setup "" "" STANDIN_UPDATE=fail-once
fails_once() {
  [ "$status" -eq 0 ] && [ "$(calls update)" -eq 2 ] && ! grep -q "could not" <<<"$out" &&
  every_package_installed
}
check "an update that fails once is tried again" fails_once

# A source whose i386 index never arrives: three tries, one line naming it, and the
# packages still go in from the indexes apt has.
run_setup "" "" STANDIN_UPDATE=fail-i386
fails_always() {
  [ "$status" -eq 0 ] && [ "$(calls update)" -eq 3 ] &&
  [ "$(grep -c "could not all be updated" <<<"$out")" -eq 1 ] &&
  grep -q "^setup: the package indexes could not all be updated (3 tries): Failed to fetch http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?; going on with the indexes apt has$" <<<"$out" &&
  every_package_installed
}
check "an i386 index that always fails is named and passed over" fails_always

# 32-bit Wine refused with the security suite's newer amd64 libraries: installed from the
# release's own suite, with one line that says so, and wine64, which that install took
# away, installed again beside it.
run_setup "" "" STANDIN_UPDATE=fail-i386 STANDIN_REFUSE=wine32:i386 STANDIN_RELEASE_ONLY=1 STANDIN_RELEASE_REMOVES=wine64
from_release() {
  [ "$status" -eq 0 ] && every_package_installed && grep -qxF wine32:i386 "$STANDIN/installed" &&
  grep -q "^apt-get install -y -qq --no-install-recommends -t [a-z]* wine32:i386 libgstreamer" "$STANDIN/log" &&
  [ "$(grep "^apt-get install" "$STANDIN/log" | tail -n 1)" = "apt-get install -y -qq --no-install-recommends wine64" ] &&
  grep -qx "setup: 32-bit Wine installed from the $(. /etc/os-release && echo "$VERSION_CODENAME") suite alone (Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages.)" <<<"$out"
}
check "32-bit Wine that the security suite breaks comes from the release's suite" from_release

# 32-bit Wine that cannot be installed at all: one line, and the setup goes on to succeed.
run_setup "" "" STANDIN_UPDATE=fail-i386 STANDIN_REFUSE=wine32:i386
no_wine32() {
  [ "$status" -eq 0 ] && every_package_installed && ! grep -qxF wine32:i386 "$STANDIN/installed" &&
  [ "$(tail -n 1 <<<"$out")" = "setup: 32-bit Wine could not be installed (Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages.): the win32 layers will be skipped" ]
}
check "32-bit Wine that cannot be installed is reported, not fatal" no_wine32

# A required package that cannot be installed stops the setup with its name and apt's
# reason; the other required packages are tried one by one, and 32-bit Wine is not.
run_setup "" "" STANDIN_REFUSE=nsis
no_nsis() {
  [ "$status" -eq 1 ] &&
  [ "$(tail -n 1 <<<"$out")" = "setup: the required package nsis could not be installed: Unable to locate package nsis" ] &&
  grep -qxF cmake "$STANDIN/installed" && ! grep -q "wine32" "$STANDIN/log"
}
check "a required package that cannot be installed stops the setup with its name" no_nsis

echo "setup-script: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
