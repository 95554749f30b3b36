#!/usr/bin/env bash
# Says what each part of the shipping DLL costs. Links dist/win32/TarvikD.lmp once more,
# unstripped, with a link map (build/win32/size/), and adds up the bytes the link kept
# from each input: the plug-in's folders, libjpeg, the C++ runtime, MinGW's start-up
# code, the import tables and the resources. Run after scripts/build.sh win32.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
build="$root/build/win32"
dll="$root/dist/win32/TarvikD.lmp"
[ -f "$dll" ] && [ -f "$build/build.ninja" ] || { echo "dll-size: build the win32 preset first" >&2; exit 1; }

out="$build/size"
mkdir -p "$out"
# The DLL's own link command, sent to other files and without -s.
link=$(cd "$build" && ninja -t commands TarvikD | tail -n 1)
link=${link//" -o $dll "/" -o $out/TarvikD.lmp -Wl,-Map=$out/TarvikD.map "}
link=${link//" -s "/" "}
link=${link//"--out-implib,src/libTarvikD.dll.a"/"--out-implib,$out/libTarvikD.dll.a"}
(cd "$build" && eval "$link")

# Object file name -> the source folder it was built from.
folders=$(cd src && find . -name '*.cpp' | sed 's|^\./||' | awk -F/ '{ n = $NF; sub(/\/[^\/]*$/, ""); print n ".obj " $0 }')

awk -v folders="$folders" '
  BEGIN {
    n = split(folders, lines, "\n")
    for (i = 1; i <= n; ++i) { split(lines[i], f, " "); folder[f[1]] = f[2] }
  }
  function hex(text,   i, c, v) {
    v = 0; text = tolower(text); sub(/^0x/, "", text)
    for (i = 1; i <= length(text); ++i) { c = index("0123456789abcdef", substr(text, i, 1)); v = v * 16 + c - 1 }
    return v
  }
  function part(input,   member, archive) {
    member = input; archive = input
    if (input ~ /\(.*\)$/) { sub(/^.*\(/, "", member); sub(/\)$/, "", member); sub(/\(.*$/, "", archive) }
    else member = ""
    sub(/^.*\//, "", archive)
    if (input == "dll") return "export and relocation tables"
    if (archive ~ /\.res$/) return "resources (pictures, icon, strings, version)"
    if (archive == "libjpeg.a") return "libjpeg-turbo (About picture decoder)"
    if (archive ~ /^libstdc\+\+/ || archive ~ /^libgcc/ || archive ~ /^libsupc/) return "C++ runtime and unwinder (libstdc++, libgcc)"
    if (archive ~ /^lib(kernel32|user32|gdi32|advapi32|shell32|comdlg32|ole32|oleaut32|uuid|winspool)\.a$/) return "import thunks"
    if (archive ~ /^(libmingw|libmsvcrt|dllcrt|crt)/) return "MinGW start-up and C library glue"
    obj = member != "" ? member : archive
    if (obj in folder) return "src/" folder[obj] "/"
    return "other (" archive ")"
  }
  /^Linker script and memory map/ { inmap = 1; next }
  !inmap { next }
  /^ \.[^ ]+$/ { pending = 1; name = $1; next }
  {
    if (pending && $1 ~ /^0x/) { address = $1; size = $2; input = $3; pending = 0 }
    else if ($0 ~ /^ \.[^ ]+ +0x/) { name = $1; address = $2; size = $3; input = $4; pending = 0 }
    else { pending = 0; next }
    if (name ~ /^\.(debug|stab|comment)/) next
    if (hex(address) == 0 || hex(size) == 0 || input == "") next
    bytes[part(input)] += hex(size); total += hex(size)
  }
  END {
    for (p in bytes) printf "%d\t%s\n", bytes[p], p
  }' "$out/TarvikD.map" | sort -rn > "$out/parts.tsv"

stripped=$(stat -c %s "$dll")
kept=$(awk -F'\t' '{ s += $1 } END { print s }' "$out/parts.tsv")
echo "dist/win32/TarvikD.lmp: $stripped bytes stripped ($((stripped / 1024)) KiB)"
echo
echo "| part | bytes | share |"
echo "|---|---:|---:|"
awk -F'\t' -v total="$stripped" '{ printf "| %s | %d | %.1f %% |\n", $2, $1, 100 * $1 / total }' "$out/parts.tsv"
printf '| headers and alignment | %d | %.1f %% |\n' \
  $((stripped - kept)) "$(awk -v a=$((stripped - kept)) -v t="$stripped" 'BEGIN { print 100 * a / t }')"
