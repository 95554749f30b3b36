#!/usr/bin/env bash
# Builds the one dependency, libjpeg-turbo, as a static library for a MinGW-w64 target,
# from the source package of the version Debian ships. Usage: scripts/libjpeg.sh TRIPLE
# (i686-w64-mingw32 or x86_64-w64-mingw32). Prints the install folder. The source is
# fetched once into build/deps/src and each target is built once into
# build/deps/TRIPLE, so a fresh build folder does not rebuild it; remove build/deps to
# start over. The package sources need a deb-src entry: scripts/setup.sh adds it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
triple=${1:?usage: scripts/libjpeg.sh TRIPLE}
# Pinned: the version of Debian's libjpeg62-turbo-dev, which the native build links.
version=2.1.5
debian_version=1:2.1.5-2

deps="$root/build/deps"
source_dir="$deps/src/libjpeg-turbo-$version"
prefix="$deps/$triple"
# One build at a time: two presets configured at once share build/deps.
mkdir -p "$deps"
exec 9>"$deps/.lock"
flock 9

# The marker holds this script's checksum: changed settings build again.
stamp=$(sha256sum "$root/scripts/libjpeg.sh" | cut -d' ' -f1)
if [ -f "$prefix/lib/libjpeg.a" ] && [ "$(cat "$prefix/.tarvik-built" 2>/dev/null)" = "$stamp" ]; then
  echo "$prefix"
  exit 0
fi

if [ ! -f "$source_dir/CMakeLists.txt" ]; then
  mkdir -p "$deps/src"
  (cd "$deps/src" && apt-get source -qq "libjpeg-turbo=$debian_version") >&2 || {
    echo "libjpeg.sh: apt-get source failed; run scripts/setup.sh (it adds the deb-src entry)" >&2
    exit 1
  }
fi

case "$triple" in
  i686-*) processor=i686 ;;
  x86_64-*) processor=AMD64 ;;
  *) echo "libjpeg.sh: unknown target $triple" >&2; exit 1 ;;
esac

work="$deps/build-$triple"
rm -rf "$work" "$prefix"
mkdir -p "$work"
# The static library alone: no shared library, no TurboJPEG API, no arithmetic coding,
# no SIMD, optimised for size, each function in its own section. No JPEGMEM variable
# (NO_GETENV), and the C library's own printf family rather than MinGW's, so that
# neither scanf nor MinGW's formatter comes into the DLL for the library's messages,
# which the plug-in never shows. The unwind tables stay although they keep every
# function alive in the plug-in's link: on x86_64, longjmp (how our error handler leaves
# libjpeg) unwinds through libjpeg's frames with them, and without them a damaged
# picture crashed the decoder.
cmake -S "$source_dir" -B "$work" -G Ninja \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=$processor \
  -DCMAKE_C_COMPILER=$triple-gcc-posix -DCMAKE_RC_COMPILER=$triple-windres \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_C_FLAGS="-ffunction-sections -fdata-sections -DNO_GETENV -D__USE_MINGW_ANSI_STDIO=0" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
  -DWITH_ARITH_ENC=OFF -DWITH_ARITH_DEC=OFF -DWITH_JPEG8=OFF -DWITH_JAVA=OFF \
  -DCMAKE_INSTALL_PREFIX="$prefix" >"$work/configure.log" 2>&1 || {
    tail -n 30 "$work/configure.log" >&2; exit 1; }
cmake --build "$work" --target jpeg-static >"$work/build.log" 2>&1 || {
  tail -n 30 "$work/build.log" >&2; exit 1; }
mkdir -p "$prefix/lib" "$prefix/include"
cp "$work/libjpeg.a" "$prefix/lib/libjpeg.a"
cp "$source_dir/jpeglib.h" "$source_dir/jmorecfg.h" "$source_dir/jerror.h" "$work/jconfig.h" "$prefix/include/"
echo "$stamp" > "$prefix/.tarvik-built"
echo "$prefix"
