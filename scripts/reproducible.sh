#!/usr/bin/env bash
# Builds the given presets (default: win32, the shipping build) a second time, in a copy of
# this checkout's files (those git tracks or would) under build/reproducible/, and compares every file each
# put in dist/ (and dist/Tarvik.chm) with this checkout's: the same sources must give the
# same bytes. Names each file that differs and where. Ends with
# "reproducible: N passed, N failed", a file each.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(win32)

# Both builds carry the same date: the last commit's, as CMake would take it.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=0
fi
export SOURCE_DATE_EPOCH

scripts/build.sh "${presets[@]}" >/dev/null || { echo "reproducible: the build here failed"; exit 1; }

copy=$root/build/reproducible
rm -rf "$copy" && mkdir -p "$copy/build"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy"
# libjpeg, built once per target, names no path of the checkout (README, Builds).
[ -d build/deps ] && cp -a build/deps "$copy/build/"
(cd "$copy" && scripts/build.sh "${presets[@]}") >"$root/build/reproducible.log" 2>&1 ||
  { echo "reproducible: the second build failed (build/reproducible.log)"; tail -n 20 "$root/build/reproducible.log"; exit 1; }

passed=0
failed=0
compare() {
  local name=$1
  if cmp -s "$root/dist/$name" "$copy/dist/$name"; then
    passed=$((passed + 1))
    echo "   same: dist/$name"
  else
    failed=$((failed + 1))
    echo "   DIFFERENT: dist/$name ($(stat -c %s "$root/dist/$name" 2>/dev/null || echo missing) and $(stat -c %s "$copy/dist/$name" 2>/dev/null || echo missing) bytes); first differing bytes (offset, octal here, octal there):"
    cmp -l "$root/dist/$name" "$copy/dist/$name" 2>&1 | head -n 8 | sed 's/^/     /'
  fi
}
compare Tarvik.chm
for preset in "${presets[@]}"; do
  name=$(sed -n 's/^TARVIK_DIST_NAME:STRING=//p' "build/$preset/CMakeCache.txt")
  [ -n "$name" ] || continue
  for file in "dist/$name"/*; do
    compare "${file#dist/}"
  done
done
echo "reproducible: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
