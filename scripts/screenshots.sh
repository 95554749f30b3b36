#!/usr/bin/env bash
# Opens each of the plug-in's dialogs with the demonstration host under wine64 + Xvfb,
# as the host does while an author edits a script, and photographs it:
# docs/screenshots/<command>.png with the Western code page and <command>-ru.png with
# the Russian one (code page 1251; the parameters then hold Cyrillic variable names).
# Then it walks the 64-bit installer's pages in a fresh prefix, Enter on each, and
# photographs them: docs/screenshots/Installer-*.png, the message for a folder it cannot write
# and the question it asks while a host
# holds the plug-in, and the uninstaller's pages (Uninstall-*.png). Last, TarvikAdd and the
# About box under a black high-contrast scheme: *-highcontrast.png (see shoot_high_contrast).
# Pass dialog names (TarvikAdd ... tvOnKeyPress, About, Installer, HighContrast) to
# photograph only those.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

scripts/setup.sh
[ -f dist/win64/TarvikD.lmp ] && [ -f dist/win64/tarvik-host.exe ] && [ -f dist/win64/Tarvik-setup.exe ] ||
  scripts/build.sh win64
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
  read -r left top right bottom < <(tr -d '\r' <"$ready")
  # The dialog's own X window, found by its place and size: a capture of the root
  # window shows Wine's owned popups black.
  local geometry="$((right - left))x$((bottom - top))+$left+$top" id
  id=$(xwininfo -root -tree -display "$DISPLAY" | grep -F " $geometry " | awk '{print $1}' | head -n 1)
  if [ -n "$id" ]; then
    xwd -id "$id" -silent -display "$DISPLAY" | /usr/bin/convert xwd:- "$out"
  else
    xwd -root -silent -display "$DISPLAY" | /usr/bin/convert xwd:- -crop "$geometry" +repage "$out"
  fi
  wait $pid || true
  echo "screenshots: $(basename "$out") ($((right - left)) x $((bottom - top)))"
}

# The X window of a top-level Wine window whose caption begins with $1, other than $2.
window_named() {
  xwininfo -root -tree -display "$DISPLAY" | grep -F "\"$1" | awk '{print $1}' | grep -v -x -F "${2:-none}" | head -n 1
}

# Waits up to 30 s for such a window and prints its id.
wait_window() {
  local id="" waited=0
  while [ -z "$id" ] && [ $waited -lt 300 ]; do
    id=$(window_named "$@"); [ -n "$id" ] || sleep 0.1; waited=$((waited + 1))
  done
  [ -n "$id" ] && echo "$id"
}

snap() {
  xwd -id "$2" -silent -display "$DISPLAY" | /usr/bin/convert xwd:- "$shots/$1.png"
  echo "screenshots: $1.png"
}

# Enter on the page in front, then a moment for the next one to be drawn.
next_page() { xdotool key Return; sleep "${1:-1.5}"; }

shoot_installer() {
  local saved_prefix=$WINEPREFIX
  export WINEPREFIX="$work/installer-prefix"
  # A Russian system: the message boxes' buttons are Russian too.
  export TARVIK_LOCALE=ru_RU.UTF-8
  local setup="$root/dist/win64/Tarvik-setup.exe" id
  local folder="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Lumora\\Plugins"
  scripts/wine-run cmd /c exit >/dev/null 2>&1 || true  # the prefix and its fonts
  scripts/wine-run "$setup" >/dev/null 2>&1 &
  local installer=$!
  id=$(wait_window "Tarvik 1.2") || { echo "screenshots: the installer shows no window"; return 1; }
  sleep 1.5
  snap Installer-1-welcome "$id"; next_page
  snap Installer-2-folder "$id"; next_page 4
  snap Installer-3-files "$id"; next_page
  snap Installer-4-finish "$id"; next_page
  wait $installer || true

  # Again, while a host has the installed plug-in loaded: the file cannot be replaced.
  local ready="$work/ready"
  rm -f "$ready"
  scripts/wine-run dist/win64/tarvik-host.exe --dll "$folder\\TarvikD.lmp" --close ok --after 60000 \
    --ready-file "Z:$ready" --about >/dev/null 2>&1 &
  local host=$! waited=0
  while [ ! -s "$ready" ] && [ $waited -lt 300 ]; do sleep 0.1; waited=$((waited + 1)); done
  scripts/wine-run "$setup" >/dev/null 2>&1 &
  installer=$!
  id=$(wait_window "Tarvik 1.2") || return 1
  sleep 1.5; next_page; next_page 3
  local question
  if question=$(wait_window "Tarvik 1.2" "$id"); then
    snap Installer-5-plugin-held "$question"
  else
    echo "screenshots: no question while the plug-in is held"; status=1
  fi
  xdotool key Escape; sleep 1.5   # cancel: the installation stops
  "$wineserver" -k >/dev/null 2>&1 || true
  wait $installer $host 2>/dev/null || true

  # Into a place the user cannot write: Windows answers access denied, here because a
  # folder stands where the plug-in would go. No Retry: the message says what to do.
  local denied="$WINEPREFIX/drive_c/Denied"
  mkdir -p "$denied/TarvikD.lmp"
  scripts/wine-run "$setup" '/D=C:\Denied' >/dev/null 2>&1 &
  installer=$!
  id=$(wait_window "Tarvik 1.2") || return 1
  sleep 1.5; next_page; next_page 3
  if question=$(wait_window "Tarvik 1.2" "$id"); then
    snap Installer-6-no-write-access "$question"
  else
    echo "screenshots: no message for a folder that cannot be written"; status=1
  fi
  xdotool key Return; sleep 1.5
  "$wineserver" -k >/dev/null 2>&1 || true
  wait $installer 2>/dev/null || true
  rm -rf "$denied"

  scripts/wine-run "$folder\\uninstall.exe" >/dev/null 2>&1 &
  id=$(wait_window "Tarvik 1.2") || { echo "screenshots: the uninstaller shows no window"; return 1; }
  sleep 1.5
  snap Uninstall-1-confirm "$id"; next_page 4
  snap Uninstall-2-files "$id"; next_page
  "$wineserver" -w >/dev/null 2>&1 || true
  export WINEPREFIX=$saved_prefix
  unset TARVIK_LOCALE
}

# High contrast, black. Wine 8 draws every system colour from HKCU\Control Panel\Colors
# (read as a program starts), but answers SPI_GETHIGHCONTRAST with "off" whatever the
# accessibility setting HKCU\Control Panel\Accessibility\HighContrast holds (Windows
# keeps Flags "127" there while it is on; it is written anyway). So a copy of the prefix
# gets the black scheme's colours and the setting, and the host's --high-contrast answers
# the plug-in's question for Wine: the DLL's import of SystemParametersInfoW says "on".
shoot_high_contrast() {
  local saved_prefix=$WINEPREFIX reg="$work/high-contrast.reg"
  "$wineserver" -k >/dev/null 2>&1 || true
  export WINEPREFIX="$work/contrast-prefix"
  [ -f "$saved_prefix/system.reg" ] || scripts/wine-run cmd /c exit >/dev/null 2>&1 || true
  cp -a "$saved_prefix" "$WINEPREFIX"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Control Panel\\Accessibility\\HighContrast]\r\n"Flags"="127"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n'
    local colour
    for colour in "ActiveBorder=255 255 0" "ActiveTitle=128 0 128" "AppWorkSpace=0 0 0" \
                  "Background=0 0 0" "ButtonAlternateFace=0 0 0" "ButtonDkShadow=128 128 128" \
                  "ButtonFace=0 0 0" "ButtonHilight=255 255 255" "ButtonLight=192 192 192" \
                  "ButtonShadow=128 128 128" "ButtonText=255 255 255" "GradientActiveTitle=128 0 128" \
                  "GradientInactiveTitle=0 128 0" "GrayText=63 242 63" "Hilight=26 235 255" \
                  "HilightText=0 0 0" "HotTrackingColor=255 255 0" "InactiveBorder=0 128 0" \
                  "InactiveTitle=0 128 0" "InactiveTitleText=255 255 255" "InfoText=255 255 255" \
                  "InfoWindow=0 0 0" "Menu=0 0 0" "MenuBar=0 0 0" "MenuHilight=128 0 128" \
                  "MenuText=255 255 255" "Scrollbar=0 0 0" "TitleText=255 255 255" \
                  "Window=0 0 0" "WindowFrame=255 255 255" "WindowText=255 255 255"; do
      printf '"%s"="%s"\r\n' "${colour%%=*}" "${colour#*=}"
    done
  } >"$reg"
  scripts/wine-run reg import "Z:$reg" >/dev/null 2>&1
  "$wineserver" -w >/dev/null 2>&1 || true
  echo "edit TarvikAdd \"Ctrl+Alt+F5\" \"HK\"" >"$work/dialog.txt"
  shoot "$shots/TarvikAdd-highcontrast.png" "" --high-contrast "Z:$work/dialog.txt" || status=1
  "$wineserver" -k >/dev/null 2>&1 || true
  echo "about" >"$work/dialog.txt"
  shoot "$shots/About-highcontrast.png" "" --high-contrast "Z:$work/dialog.txt" || status=1
  "$wineserver" -k >/dev/null 2>&1 || true
  export WINEPREFIX=$saved_prefix
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
    # The host reads its script as bytes, so the Russian texts travel in code page 1251
    # exactly as a host on such a system hands them over.
    script="$work/dialog.txt"
    if [ "$number" = 0 ]; then
      echo "about" >"$script.utf8"
    else
      line="edit $name"
      IFS=';' read -r -a texts <<<"$params"
      for text in "${texts[@]}"; do line="$line \"$text\""; done
      echo "$line" >"$script.utf8"
    fi
    if [ "$variant" = ru ]; then iconv -f UTF-8 -t CP1251 "$script.utf8" >"$script"; else cp "$script.utf8" "$script"; fi
    args=("Z:$script")
    shoot "$shots/$name$suffix.png" "$locale" "${args[@]}" || status=1
    "$wineserver" -k >/dev/null 2>&1 || true
  done
done
if [ ${#wanted[@]} -eq 0 ] || [[ " ${wanted[*]} " =~ " Installer " ]]; then
  shoot_installer || status=1
fi
if [ ${#wanted[@]} -eq 0 ] || [[ " ${wanted[*]} " =~ " HighContrast " ]]; then
  shoot_high_contrast || status=1
fi
exit $status
