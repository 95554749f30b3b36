#!/usr/bin/env bash
# Opens each of the plug-in's dialogs with the demonstration host under wine64 + Xvfb,
# as the host does while an author edits a script, and photographs it:
# docs/screenshots/<command>.png with the Western code page and <command>-ru.png with
# the Russian one (code page 1251; the parameters then hold Cyrillic variable names).
# Pass dialog names (TarvikAdd ... tvOnKeyPress, About) to photograph only those.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

scripts/setup.sh
[ -f dist/win64/TarvikD.lmp ] && [ -f dist/win64/tarvik-host.exe ] || scripts/build.sh win64
source scripts/display.sh

shots="$root/docs/screenshots"
mkdir -p "$shots"
work=$(mktemp -d)
trap 'rm -rf "$work"; stop_display' EXIT

# name, command number, parameters (plain), parameters (Russian)
dialogs=(
  "TarvikAdd|1|Ctrl+Alt+F5;HK|Ctrl+Alt+F5;Клавиша"
  "TarvikChange|2|HK;Ctrl+Shift+F6;HK|Клавиша;Ctrl+Shift+F6;Клавиша"
  "TarvikRemove|3|Ctrl+Alt+F5;Removed|Ctrl+Alt+F5;Удалено"
  "TarvikRemoveById|4|HK;Removed|Клавиша;Удалено"
  "TarvikIsValid|6|Ctrl+Alt+F5;Valid|Ctrl+Alt+F5;Годится"
  "TarvikIsAvailable|7|Ctrl+Alt+F5;Free|Ctrl+Alt+F5;Свободна"
  "tvOnKeyPress|8|OnHotkey;ID;KEY|OnHotkey;Номер;Комбинация"
  "About|0||"
)

# Runs the host on one dialog and crops the dialog's window out of the X screen.
shoot() {
  local out=$1 locale=$2; shift 2
  local ready="$work/ready" log="$work/host.log"
  rm -f "$ready"
  env ${locale:+TARVIK_LOCALE=$locale} scripts/wine-run dist/win64/tarvik-host.exe \
    --dll TarvikD.lmp --subs Main,OnHotkey,Cleanup --close cancel --after 1500 \
    --ready-file "Z:$ready" "$@" >"$log" 2>&1 &
  local pid=$! waited=0
  while [ ! -s "$ready" ] && [ $waited -lt 300 ] && kill -0 $pid 2>/dev/null; do
    sleep 0.1; waited=$((waited + 1))
  done
  if [ ! -s "$ready" ]; then
    wait $pid || true
    echo "screenshots: no dialog for $(basename "$out"); the host said:"; sed 's/^/  | /' "$log"
    return 1
  fi
  local left top right bottom
  read -r left top right bottom <"$ready"
  xwd -root -silent -display "$DISPLAY" |
    /usr/bin/convert xwd:- -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$out"
  wait $pid || true
  echo "screenshots: $(basename "$out") ($((right - left)) x $((bottom - top)))"
}

wanted=("$@")
status=0
for row in "${dialogs[@]}"; do
  IFS='|' read -r name number plain russian <<<"$row"
  if [ ${#wanted[@]} -gt 0 ] && [[ ! " ${wanted[*]} " =~ " $name " ]]; then
    continue
  fi
  for variant in plain ru; do
    if [ "$variant" = plain ]; then params=$plain locale="" suffix=""; else params=$russian locale=ru_RU.UTF-8 suffix="-ru"; fi
    if [ "$number" = 0 ]; then
      args=(--about)
    else
      IFS=';' read -r -a texts <<<"$params"
      args=(--edit "$number" "${texts[@]}")
    fi
    shoot "$shots/$name$suffix.png" "$locale" "${args[@]}" || status=1
    "$wineserver" -k >/dev/null 2>&1 || true
  done
done
exit $status
