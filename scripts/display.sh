# Sourced by the scripts that run Windows programs: a private X server for Wine, a
# private wine prefix under build/, and a cleanup that stops both on exit.
# Sets DISPLAY, WINEPREFIX and $wineserver.
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
# Never fails: under set -e a failing command here (no wineserver left to stop) would
# become the exit status of the script that sourced this.
stop_display() { "$wineserver" -k >/dev/null 2>&1 || true; kill "$xvfb_pid" 2>/dev/null || true; }
trap stop_display EXIT
sleep 1
